// The automatic IP assignment: each verified DHCP camera on the chosen adapter gets a fixed
// address from the range (its own if it holds one there, the one it had before if free,
// else the first free one) and is watched until it comes back with it. No camera is given
// an address another listed camera holds, nor one MayAssignAddress keeps back.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/stdafx.h"
#include "finder/LibIP.h"
#include "engine/MacText.h"
#include "engine/TSmain.h"

namespace {
constexpr uint64_t kInvalidAddress = ~0ULL;

// A network that keeps answering (other cameras, a camera re-queried by someone else) must
// not hold the run open: after this many rounds without a change it ends, answers or not.
constexpr int kMaxQuietRounds = 60;
// A camera given an address is asked for about two minutes at most.
constexpr int kMaxConfirmRounds = 40;
}  // namespace

int CTSmainDlg::GoAuotSetIPProc(const char* user, const char* password,
                                const AutoIpSettings& settings) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_Tarsel_mode.store(MODE_AUTO_SET_IP);
        BoundedCopy(batchUser, user, "CTSmainDlg::GoAuotSetIPProc", __LINE__);
        BoundedCopySecret(batchPassword, password, "CTSmainDlg::GoAuotSetIPProc", __LINE__);
        // A copy: the dialog that holds the settings may change them during the run.
        autoIpSettings = settings;
        // The run's silence is counted from its start, not from a reply of an earlier run.
        lastReplyTick.store(m_ports.Now());
        // One completion worker serves the run; a second start while it runs joins that
        // run, even when the worker has just decided to end (it sees m_autoRestarted). The
        // flag is judged under the engine mutex, as the worker clears it.
        if (m_autoWorkerRunning.load()) {
            m_autoRestarted = true;
            m_autoStop.store(false);
            return 0;
        }
        m_autoWorkerRunning.store(true);
        m_autoRestarted = false;
        m_autoAssigned.store(0);
        m_autoFailed.store(0);
        m_autoStop.store(false);
    }
    StartWorker([this] { Thread_CheckAutoIPDone(); });
    return 0;
}

void CTSmainDlg::Thread_CheckAutoIPDone() {
    TLOG("(%s:%d)Thread_CheckAutoIPDone");
    EngineOwnerSlots slots;
    while (RunAutoIpRounds()) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_autoRestarted) {  // started again while this run was ending: serve it too
            m_autoRestarted = false;
            continue;
        }
        // The mode is back, and the worker counts as gone, before the owner hears of the
        // end: it never sees the event while the engine still dispatches as in the
        // assignment, and a start right after the event gets a worker of its own.
        m_Tarsel_mode.store(MODE_SEARCH);
        m_autoWorkerRunning.store(false);
        std::lock_guard<std::mutex> slotsGuard(m_slotsLock);
        slots = m_slots;
        break;
    }
    if (m_stopping.load()) {
        m_autoWorkerRunning.store(false);
        return;
    }
    if (slots.PostCameraEvent != nullptr) slots.PostCameraEvent(slots.owner, EVT_AUTO_IP_DONE, 0);
}

void CTSmainDlg::AutoIpProgress(int* assigned, int* total) {
    *assigned = m_autoAssigned.load();
    *total = *assigned + m_autoFailed.load() + static_cast<int>(PendingAutoCount());
}

bool CTSmainDlg::RunAutoIpRounds() {
    size_t last = 0;
    int unchanged = 0;
    for (;;) {
        if (!Pause(1000, 0)) return false;
        if (m_autoStop.load()) {
            // Stopped: nobody else is sent an address; the run ends once those sent one
            // are back or given up.
            {
                std::lock_guard<std::mutex> queue(queueLock);
                setIpQueue.clear();
            }
            if (runningSetIp.load() == 0) return true;
            continue;
        }
        const int diff = static_cast<int>((m_ports.Now() - lastReplyTick.load()) / 1000);
        for (;;) {
            std::string mac;
            {
                std::lock_guard<std::mutex> queue(queueLock);
                if (setIpQueue.empty()) break;
                mac = setIpQueue.front();
                setIpQueue.pop_front();
            }
            AssignAndSend(mac);
            if (m_stopping.load()) return false;
        }
        const size_t n = PendingAutoCount();
        if (runningSetIp.load() == 0) {
            unchanged = n == last ? unchanged + 1 : 0;
            last = n;
        } else {
            unchanged = 0;
        }
        if (unchanged > 10 && (diff > 10 || unchanged > kMaxQuietRounds)) {
            TLOG("(%s:%d)No action, exit. change_counter:%d, diffTime:%d", unchanged, diff);
            return true;
        }
        if (n == 0 && diff >= 10) return true;
    }
}

void CTSmainDlg::AssignAndSend(const std::string& mac) {
    const uint32_t gen = generation.load();
    if (!ChooseAddress(mac)) {
        m_autoFailed.fetch_add(1);
        DecideAndNotify(mac.c_str());
        std::lock_guard<std::mutex> guard(m_lock);
        RemovePendingLocked(mac.c_str());
        return;
    }
    CameraRecord copy;
    std::string user, password;
    if (!CopyForCommand(mac.c_str(), &copy, &user, &password)) return;
    // Each assignment holds at most 127 characters.
    char dns[256], address[256], mode[256];
    std::snprintf(dns, sizeof dns,
                  "network.wire.ipv4.manual.dns.1.address=%s&network.wire.ipv4.manual.dns.2."
                  "address=%s",
                  copy.newDns1, copy.newDns2);
    std::snprintf(address, sizeof address, "network.wire.ipv4.manual.address=%s/%s/%s",
                  copy.newIp, copy.newMask, copy.newGateway);
    std::snprintf(mode, sizeof mode, "network.wire.ipv4.mode=%s", "manual");
    dns[127] = address[127] = mode[127] = '\0';
    const std::string payload = std::string(dns) + "&" + address + "&" + mode;
    m_ports.SendPacketData(HEADER_IP_SET, copy.mac, user.c_str(), password.c_str(), payload.c_str());
    TLOG("(%s:%d)%s cmd: %s %s", copy.mac, copy.newIp, copy.newMask);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (generation.load() != gen) return;
        Records records(m_table);
        CameraRecord* record = records.Find(mac.c_str());
        if (record == nullptr) return;
        runningSetIp.fetch_add(1);
        SetStatus(record, STATUS_SETTING_IP);
    }
    StartWorker([this, mac, gen] { ConfirmSetIp(mac, gen); });
}

bool CTSmainDlg::ChooseAddress(const std::string& mac) {
    const uint32_t gen = generation.load();
    CameraRecord copy;
    AutoIpSettings settings;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        CameraRecord* record = records.Find(mac.c_str());
        if (record == nullptr) return false;
        copy = *record;
        settings = autoIpSettings;
    }
    if (std::strcmp(copy.mode, "dhcp") != 0) return false;
    const uint64_t a = settings.adapterIp;
    const uint64_t m = settings.adapterMask;
    if (a == kInvalidAddress) return false;
    if (settings.startIp > 0xFFFFFFFFULL || settings.endIp > 0xFFFFFFFFULL) return false;
    const uint64_t s = a & m;
    const uint64_t cur = IpTextToValue(copy.ip);
    const uint64_t cameraGateway = IpTextToValue(copy.gateway);
    // In the range, and none of the addresses that would cut someone off.
    auto inRange = [&](uint64_t c) {
        return c >= settings.startIp && c <= settings.endIp && MayAssignAddress(settings, c, cameraGateway);
    };
    auto listed = [&](const std::unordered_set<uint64_t>& values, uint64_t c) {
        std::lock_guard<std::mutex> guard(m_lock);
        return values.count(c) != 0;
    };
    AddressHistory& history = m_ports.History();

    uint64_t chosen = 0;
    bool found = false;
    // 1. A camera that already answers ARP for an address of the range keeps it.
    if (cur != 0 && cur != a && inRange(cur) && m_ports.AddressProbe(cur, a, copy.mac) == 2) {
        chosen = cur;
        found = true;
    }
    // 2. The address it was given before in this subnet, if still free.
    if (!found) {
        uint64_t h;
        {
            std::lock_guard<std::mutex> historyGuard(m_historyLock);
            h = history.FindRememberedIp(copy.mac, s, m);
        }
        if (h != 0 && h != a && inRange(h) &&
            (h == cur || (!listed(discoveredIps, h) && m_ports.AddressProbe(h, a, nullptr) == 0))) {
            chosen = h;
            found = true;
        }
    }
    // 3. The first address nobody holds, was given, or answers.
    for (uint64_t c = settings.startIp; !found && c <= settings.endIp; ++c) {
        if (m_stopping.load()) return false;
        bool remembered;
        {
            std::lock_guard<std::mutex> historyGuard(m_historyLock);
            remembered = history.IsIpRemembered(c, s, m);
        }
        if (remembered || !inRange(c) || listed(discoveredIps, c) || listed(assignedIps, c)) continue;
        if (m_ports.AddressProbe(c, a, nullptr) == 0) {
            chosen = c;
            found = true;
        }
    }
    // 4. Last resort: an address remembered for another camera that nothing answers on.
    for (uint64_t c = settings.startIp; !found && c <= settings.endIp; ++c) {
        if (m_stopping.load()) return false;
        if (!inRange(c) || listed(discoveredIps, c) || listed(assignedIps, c)) continue;
        if (m_ports.AddressProbe(c, a, nullptr) == 0) {
            std::lock_guard<std::mutex> historyGuard(m_historyLock);
            history.ForgetIp(c, m);
            chosen = c;
            found = true;
        }
    }

    std::lock_guard<std::mutex> guard(m_lock);
    Records records(m_table);
    CameraRecord* record = generation.load() == gen ? records.Find(mac.c_str()) : nullptr;
    if (!found) {
        if (record != nullptr) SetStatus(record, STATUS_NO_FREE_IP);
        TLOG_NOTICE("(%s:%d)Not Find, %s, %d", copy.mac, static_cast<int>(assignedIps.size()));
        return false;
    }
    assignedIps.insert(chosen);
    if (record != nullptr) {
        static const char kCaller[] = "CTSmainDlg::ChooseAddress";
        BoundedCopy(record->newIp, IpValueToText(chosen).c_str(), kCaller, __LINE__);
        BoundedCopy(record->newMask, IpValueToText(settings.setMask).c_str(), kCaller, __LINE__);
        const uint64_t gateway = GatewayToSend(settings, chosen, IpTextToValue(copy.gateway));
        BoundedCopy(record->newGateway, IpValueToText(gateway).c_str(), kCaller, __LINE__);
        BoundedCopy(record->newDns1, IpValueToText(settings.setDns1).c_str(), kCaller, __LINE__);
        BoundedCopy(record->newDns2, IpValueToText(settings.setDns2).c_str(), kCaller, __LINE__);
    }
    {
        std::lock_guard<std::mutex> historyGuard(m_historyLock);
        history.RememberIp(copy.mac, chosen, m);
    }
    return record != nullptr;
}

void CTSmainDlg::ConfirmSetIp(std::string mac, uint32_t gen) {
    if (!Pause(3000, gen)) return;
    int rounds = 0;
    bool back = false;
    for (;;) {
        if (generation.load() != gen) return;
        if (back) {
            m_autoAssigned.fetch_add(1);
            runningSetIp.fetch_sub(1);
            return;
        }
        if (rounds > 10 && m_ports.Now() - lastReplyTick.load() > 10000) break;
        if (rounds >= kMaxConfirmRounds) break;
        m_ports.SendPacketData(HEADER_IP_QUERY, mac.c_str(), "", "", "");
        if (!Pause(3000, gen)) return;
        ++rounds;
        // Back once its answer with the new address was listed, whether or not a filter
        // lets the window show it.
        back = m_table.IsMacListed(mac.c_str());
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        CameraRecord* record = records.Find(mac.c_str());
        if (generation.load() != gen || record == nullptr) return;
        SetStatus(record, STATUS_SET_IP_TIMEOUT);
        DecideLocked(records, record);
        m_autoFailed.fetch_add(1);
    }
    NotifyOwner();
    if (generation.load() == gen) runningSetIp.fetch_sub(1);
}
