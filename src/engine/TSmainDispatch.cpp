// Every reply, from the receiver or from an HTTP read, enters the engine here. The decision,
// and the camera row's status with it, is made under the engine mutex; callbacks and sends
// it causes run after the mutex was released, in the order they were decided.

#include <cstring>

#include "common/stdafx.h"
#include "engine/MacText.h"
#include "engine/TSmain.h"

struct CTSmainDlg::Deferred {
    std::string authenticationRequestMac;
    VerifyCallback verifyCallback = nullptr;
    VerifyContext* verifyContext = nullptr;
    int verifyOk = 0;
};

void CTSmainDlg::RecvCameraProcess(const CameraReply& reply) {
    m_ports.EnsureThreadLanguage();
    // Only a well-formed MAC names a camera: the reply is the only source of the key, and a
    // hostile host could otherwise make a row of any text of the right length.
    if (::strnlen(reply.mac, sizeof reply.mac) >= sizeof reply.mac || !IsMacText(reply.mac)) {
        TLOG("(%s:%d)Mode:%d, Htype:%d ip:%s mac:%s", m_Tarsel_mode.load(),
             static_cast<int>(reply.type), reply.ip, reply.mac);
        return;
    }
    Deferred after;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        // The mode as it is under the lock: a new search or batch switches it meanwhile.
        const int32_t mode = m_Tarsel_mode.load();
        CameraRecord* record = records.Find(reply.mac);
        if (record != nullptr && !FromCameraItself(records, record, reply)) {
            // Another host's claim: the record keeps what the camera said.
        } else if (reply.viaHttp == 1) {
            if (record != nullptr) {
                rvRepeatProcess(record, reply);
            } else {
                record = CreateCamera(records, reply);
                if (record == nullptr) return;
                BoundedCopy(record->user, reply.user, "CTSmainDlg::RecvCameraProcess", __LINE__);
                // Found with these credentials: the camera accepted them.
                KeepCredentialsLocked(record->mac, reply.user, reply.password);
            }
            if (record->viaHttp == 1) {
                record->status = 0;
                SetStatus(record, STATUS_AUTH_OK);
            }
            DecideLocked(records, record);
        } else {
            if (record != nullptr && (reply.type == HEADER_IP_QUERY || reply.type == HEADER_WIRELESS_IP_QUERY))
                rvRepeatProcess(record, reply);
            if (mode == MODE_SEARCH) {
                DispatchSearch(records, reply, record, after);
            } else if (mode == MODE_AUTO_SET_IP) {
                DispatchAutoSetIp(records, reply, record, after);
            } else if (mode == MODE_VERIFY_ALL) {
                DispatchVerifyAll(records, reply, record);
            } else {
                TLOG_WARNING("(%s:%d)This should not happen m_Tarsel_mode:%d", mode);
            }
        }
    }
    RunDeferred(after);
}

void CTSmainDlg::DispatchSearch(Records& records, const CameraReply& reply, CameraRecord* record,
                                Deferred& after) {
    const int type = static_cast<int>(reply.type);
    if (type == HEADER_IP_AUTHENTICATE && record != nullptr && verifyContext != nullptr &&
        SameMac(verifyContext->mac, reply.mac)) {
        if (verifyCallback == nullptr) return;
        const int ok = m_ports.CheckAuthDigest(verifyContext->user, verifyContext->password,
                                               reply.digestA, reply.digestB);
        SetStatus(record, ok == 1 ? STATUS_AUTH_OK : STATUS_AUTH_FAIL);
        after.verifyCallback = verifyCallback;
        after.verifyContext = verifyContext;
        after.verifyOk = ok == 1 ? 1 : 0;
        return;
    }
    const std::string key = MacKey(reply.mac);
    if (type == HEADER_IP_AUTHENTICATE && record != nullptr && m_reverifying.erase(key) != 0) {
        ReverifyLocked(records, record, reply);
        return;
    }
    if (record == nullptr) {
        record = CreateCamera(records, reply);
        // A camera verified earlier in this run answers a new search: asked again in the
        // background with the credentials it accepted, it shows verified once it proves them.
        if (record != nullptr && type != HEADER_IP_AUTHENTICATE && m_credentials.count(key) != 0 &&
            m_reverifying.insert(key).second)
            after.authenticationRequestMac = record->mac;
    }
    if (record != nullptr) DecideLocked(records, record);
}

void CTSmainDlg::ReverifyLocked(Records& records, CameraRecord* record, const CameraReply& reply) {
    const auto kept = m_credentials.find(MacKey(reply.mac));
    if (kept == m_credentials.end()) return;
    if (m_ports.CheckAuthDigest(kept->second.user.c_str(), kept->second.password.c_str(), reply.digestA,
                                reply.digestB) != 1) {
        // Changed since (a default, another tool): it must be verified again by hand.
        TLOG_NOTICE("(%s:%d)%s no longer takes the credentials it was verified with", record->mac);
        m_credentials.erase(kept);
        return;
    }
    BoundedCopy(record->user, kept->second.user.c_str(), "CTSmainDlg::ReverifyLocked", __LINE__);
    SetStatus(record, STATUS_AUTH_OK);
    DecideLocked(records, record);
}

void CTSmainDlg::DispatchAutoSetIp(Records& records, const CameraReply& reply, CameraRecord* record,
                                   Deferred& after) {
    const int type = static_cast<int>(reply.type);
    lastReplyTick.store(m_ports.Now());
    if (record != nullptr) {
        if (HasStatus(record, STATUS_AUTH_OK) || type != HEADER_IP_AUTHENTICATE) {
            if (!HasStatus(record, STATUS_AUTH_OK)) return;
            if (std::strcmp(record->mode, "dhcp") == 0) return;
            // Back with its new fixed address.
            DecideLocked(records, record);
            RemovePendingLocked(record->mac);
            return;
        }
        if (m_ports.CheckAuthDigest(batchUser, batchPassword, reply.digestA, reply.digestB) != 1) {
            SetStatus(record, STATUS_AUTH_FAIL);
            DecideLocked(records, record);
            RemovePendingLocked(record->mac);
            return;
        }
        BoundedCopy(record->user, batchUser, "CTSmainDlg::DispatchAutoSetIp", __LINE__);
        KeepCredentialsLocked(record->mac, batchUser, batchPassword);
        SetStatus(record, STATUS_AUTH_OK);
        if (autoIpSettings.adapterName == reply.adapter.name) {
            std::lock_guard<std::mutex> queue(queueLock);
            setIpQueue.push_back(record->mac);
        } else {
            SetStatus(record, STATUS_OTHER_ADAPTER);
            DecideLocked(records, record);
            RemovePendingLocked(record->mac);
        }
        return;
    }
    if (type != HEADER_IP_QUERY && type != HEADER_WIRELESS_IP_QUERY) return;
    record = CreateCamera(records, reply);
    if (record == nullptr) return;
    if (std::strcmp(record->mode, "dhcp") != 0) {
        SetStatus(record, STATUS_NOT_DHCP);
        DecideLocked(records, record);
    } else {
        pendingAuto.insert(MacKey(record->mac));
    }
    after.authenticationRequestMac = record->mac;
}

void CTSmainDlg::DispatchVerifyAll(Records& records, const CameraReply& reply, CameraRecord* record) {
    const int type = static_cast<int>(reply.type);
    if (type == HEADER_IP_QUERY) {
        // A camera not in the list has no row to show it in.
        if (record != nullptr) DecideLocked(records, record);
        return;
    }
    if (type != HEADER_IP_AUTHENTICATE || record == nullptr) return;
    if (m_ports.CheckAuthDigest(batchUser, batchPassword, reply.digestA, reply.digestB) != 1) {
        if (HasStatus(record, STATUS_AUTH_FAIL)) return;
        SetStatus(record, STATUS_AUTH_FAIL);
        batchFail.fetch_add(1);
        return;
    }
    if (HasStatus(record, STATUS_AUTH_OK)) return;
    BoundedCopy(record->user, batchUser, "CTSmainDlg::DispatchVerifyAll", __LINE__);
    KeepCredentialsLocked(record->mac, batchUser, batchPassword);
    SetStatus(record, STATUS_AUTH_OK);
    DecideLocked(records, record);
    batchOk.fetch_add(1);
}

void CTSmainDlg::RunDeferred(Deferred& after) {
    NotifyOwner();
    if (!after.authenticationRequestMac.empty()) {
        m_ports.SendPacketData(HEADER_IP_AUTHENTICATE, after.authenticationRequestMac.c_str(),
                               "", "", "");
    }
    if (after.verifyContext != nullptr) {
        std::lock_guard<std::mutex> call(m_verifyCallLock);
        {
            // Cancelled or replaced meanwhile: the caller may have let the context go.
            std::lock_guard<std::mutex> guard(m_lock);
            if (verifyContext != after.verifyContext) return;
        }
        after.verifyCallback(after.verifyContext, after.verifyOk);
    }
}
