// The search cycle, the re-query worker, the camera commands and the verification.

#include <cstring>

#include "common/stdafx.h"
#include "engine/MacText.h"
#include "engine/TSmain.h"

void CTSmainDlg::StartSearch() {
    // Workers of the previous search stop touching records from here on; the sleeping ones
    // wake up to notice it.
    generation.fetch_add(1);
    if (generation.load() == 0) generation.fetch_add(1);  // 0 means "engine going away"
    {
        std::lock_guard<std::mutex> sleepGuard(m_sleepLock);
    }
    m_wake.notify_all();
    // The old receiver goes first: once it is replaced its dispatch thread has ended, so no
    // reply of the previous search can land in the list cleared next.
    if (m_ports.CreateRecvPacket(&m_hook) != 0) {
        TLOG_WARNING("(%s:%d)CreateRecvPacket Error\n");
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_table.Clear(generation.load());
        // The credentials cameras accepted stay: those that answer again are asked again.
        m_reverifying.clear();
        m_ignoredCameras.store(0);
        m_ignoredLogged = 0;
    }
    {
        std::lock_guard<std::mutex> history(m_historyLock);
        m_ports.History().Load();
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        assignedIps.clear();
        discoveredIps.clear();
        {
            std::lock_guard<std::mutex> queue(queueLock);
            setIpQueue.clear();
        }
        pendingAuto.clear();
        runningSetIp.store(0);
        verifyCallback = nullptr;
        verifyContext = nullptr;
    }
    SendQueryPackets();
}

void CTSmainDlg::SendQueryPackets() {
    if (m_ports.SendPacketData(HEADER_IP_QUERY, "", "", "", "") != 0)
        TLOG("(%s:%d)SendPacket HEADER_IP_QUERY\n");
    if (m_ports.SendPacketData(HEADER_WIRELESS_IP_QUERY, "", "", "", "") != 0)
        TLOG("(%s:%d)SendPacket HEADER_WIRELESS_IP_QUERY\n");
    // Other makers' devices are asked at the same moment, on the same adapters.
    StartOnvifSearch();
}

void CTSmainDlg::KeepQuery() {
    uint32_t gen = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_Tarsel_mode.store(MODE_SEARCH);
        const int32_t rounds = keepQueryRounds.load();
        // One worker per search: a worker of this search still sleeping after its last
        // round sees the new rounds and goes on. (A worker of an earlier search is on its
        // way out and would not serve this one.)
        if (m_keepQueryWorkerGen == 0 || m_keepQueryWorkerGen != generation.load()) {
            keepQueryRounds.store(20);
            gen = generation.load();
            m_keepQueryWorkerGen = gen;
        } else if (rounds < 20) {
            keepQueryRounds.store(20);
        } else {
            keepQueryRounds.store(rounds + 3);
        }
    }
    if (gen != 0) StartWorker([this, gen] { Thread_KEEP_IP_QUERY(gen); });
}

void CTSmainDlg::SetKeepQueryRounds(int32_t rounds) {
    std::lock_guard<std::mutex> guard(m_lock);
    keepQueryRounds.store(rounds);
}

void CTSmainDlg::Thread_KEEP_IP_QUERY(uint32_t gen) {
    bool go = Pause(3000, gen);
    for (;;) {
        std::vector<std::string> udpMacs, httpMacs;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!go || generation.load() != gen || keepQueryRounds.load() < 1) {
                if (m_keepQueryWorkerGen == gen) {
                    keepQueryRounds.store(0);
                    m_keepQueryWorkerGen = 0;
                }
                return;
            }
            const int32_t left = keepQueryRounds.fetch_sub(1) - 1;
            TLOG("(%s:%d)Thread_KEEP_IP_QUERY open %d", left);
            Records records(m_table);
            records.ForEach([&](const CameraRecord& record) {
                if (record.settingSince != 0) (record.viaHttp == 1 ? httpMacs : udpMacs).push_back(record.mac);
            });
        }
        for (const std::string& mac : udpMacs) {
            m_ports.SendPacketData(HEADER_IP_QUERY, mac.c_str(), "", "", "");
            m_ports.SendPacketData(HEADER_WIRELESS_IP_QUERY, mac.c_str(), "", "", "");
        }
        for (const std::string& mac : httpMacs) RequeryHttpCamera(mac, gen);
        go = Pause(3000, gen);
    }
}

void CTSmainDlg::RequeryHttpCamera(const std::string& mac, uint32_t gen) {
    CameraRecord copy;
    std::string user, password;
    if (generation.load() != gen || !CopyForCommand(mac.c_str(), &copy, &user, &password)) return;
    CameraReply info{};
    const HttpOutcome result =
        CheckCGI(m_ports, copy.ip, copy.httpPort, user.c_str(), password.c_str(), &info);
    if (result.Done()) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (generation.load() != gen) return;
            Records records(m_table);
            if (CameraRecord* record = records.Find(mac.c_str())) ClearStatus(record, STATUS_HTTP_NO_RESPONSE);
        }
        RecvCameraProcess(info);
    } else if (result.result == HttpResult::NoAnswer) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            Records records(m_table);
            CameraRecord* record = records.Find(mac.c_str());
            if (generation.load() != gen || record == nullptr) return;
            SetStatus(record, STATUS_HTTP_NO_RESPONSE);
            DecideLocked(records, record);
        }
        NotifyOwner();
    }
}

// ---------------------------------------------------------------- commands

int CTSmainDlg::SetCameraParameters(const char* mac, const char* payload) {
    CameraRecord copy;
    std::string user, password;
    if (!CopyForCommand(mac, &copy, &user, &password)) return -1;
    if (copy.viaHttp == 1) {
        TLOG("(%s:%d)pParm:%s", payload);
        const HttpOutcome result =
            m_ports.SetNode(copy.ip, copy.httpPort, user.c_str(), password.c_str(), payload);
        if (!result.Done()) {
            TLOG_WARNING("(%s:%d)%s did not take the settings over HTTP: %s", copy.mac,
                         DescribeOutcome(result).c_str());
            return -1;
        }
        return 0;
    }
    if (m_ports.SendPacketData(HEADER_IP_SET, copy.mac, user.c_str(), password.c_str(), payload) != 0) {
        TLOG_WARNING("(%s:%d)SendPacket error\n");
        return -1;
    }
    return 0;
}

void CTSmainDlg::SystemCommand(const char* mac, const char* command) {
    const char* assignment = nullptr;
    if (std::strcmp(command, "REBOOT") == 0) {
        assignment = "system.reboot=1";
    } else if (std::strcmp(command, "SW_DEFAULT") == 0) {
        assignment = "system.sw_factory_default=1";
    } else if (std::strcmp(command, "HW_DEFAULT") == 0) {
        assignment = "system.hw_factory_default=1";
    } else {
        return;
    }
    CameraRecord copy;
    std::string user, password;
    if (!CopyForCommand(mac, &copy, &user, &password)) return;
    if (copy.viaHttp == 1) {
        m_ports.SetNode(copy.ip, copy.httpPort, user.c_str(), password.c_str(), assignment);
    } else {
        m_ports.SendPacketData(HEADER_SYSTEM_COMMAND, copy.mac, user.c_str(), password.c_str(), assignment);
    }
}

// ---------------------------------------------------------------- verification

void CTSmainDlg::VerifyCamera(VerifyCallback callback, VerifyContext* context) {
    CameraRecord copy;
    bool found = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_Tarsel_mode.store(MODE_SEARCH);
        verifyCallback = callback;
        verifyContext = context;
        if (!IsMacText(context->mac)) return;
        Records records(m_table);
        if (CameraRecord* record = records.Find(context->mac)) {
            copy = *record;
            found = true;
        }
    }
    if (!found || copy.viaHttp == 1) {
        // These are answered here and now, not by a later reply: the context must not stay
        // pending, or a reply of another camera would read it after the caller let it go.
        std::lock_guard<std::mutex> guard(m_lock);
        if (verifyContext == context) {
            verifyCallback = nullptr;
            verifyContext = nullptr;
        }
    }
    if (!found) {
        // Nothing would ever answer for a camera that is not listed.
        if (callback != nullptr) callback(context, 0);
        return;
    }
    if (copy.viaHttp == 1) {
        CameraReply info{};
        const HttpOutcome result =
            CheckCGI(m_ports, copy.ip, copy.httpPort, context->user, context->password, &info);
        if (result.Done()) {
            {
                std::lock_guard<std::mutex> guard(m_lock);
                KeepCredentialsLocked(context->mac, context->user, context->password);
            }
            WithCamera(context->mac, [&](CameraRecord& record) {
                BoundedCopy(record.user, context->user, "CTSmainDlg::VerifyCamera", __LINE__);
            });
            if (callback != nullptr) callback(context, 1);
            return;
        }
        const bool unreachable = result.result == HttpResult::NoAnswer;
        // Unreachable is not refused: the user's credentials were never judged.
        if (callback != nullptr) callback(context, unreachable ? VERIFY_NO_ANSWER : 0);
        if (unreachable) ShowNoResponse(copy.mac);
        return;
    }
    if (m_ports.SendPacketData(HEADER_IP_AUTHENTICATE, context->mac, "", "", "") != 0)
        TLOG_WARNING("(%s:%d)Send HEADER_IP_AUTHENTICATE Error\n");
}

void CTSmainDlg::CancelVerify(VerifyContext* context) {
    std::lock_guard<std::mutex> call(m_verifyCallLock);
    std::lock_guard<std::mutex> guard(m_lock);
    if (verifyContext == context) {
        verifyCallback = nullptr;
        verifyContext = nullptr;
    }
}

void CTSmainDlg::BeginVerifyAll(const char* user, const char* password) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_Tarsel_mode.store(MODE_VERIFY_ALL);
    BoundedCopy(batchUser, user, "CTSmainDlg::BeginVerifyAll", __LINE__);
    BoundedCopySecret(batchPassword, password, "CTSmainDlg::BeginVerifyAll", __LINE__);
    batchSent.store(0);
    batchOk.store(0);
    batchFail.store(0);
}

void CTSmainDlg::SetCameraAuth(const char*, const char* mac, const char* user,
                               const char* password) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        if (records.Find(mac) == nullptr) return;
        KeepCredentialsLocked(mac, user, password);
    }
    WithCamera(mac, [&](CameraRecord& record) {
        record.credentialsStored = 1;
        BoundedCopy(record.user, user, "CTSmainDlg::SetCameraAuth", __LINE__);
    });
}
