#include "engine/BusyTable.h"

#include <cstring>

#include "common/stdafx.h"

namespace {
bool IsAction(const BusySlot& slot, const char* action) { return std::strcmp(slot.action, action) == 0; }
}  // namespace

bool BusyTable::MarkBusy(const char* mac, const char* action, uint32_t viaHttp, uint32_t now) {
    if (mac == nullptr || mac[0] == '\0') return false;
    std::lock_guard<std::mutex> guard(m_lock);
    BusySlot* target = nullptr;
    // A camera busy again (a second setting) is watched from its latest start, in one slot.
    for (BusySlot& slot : m_slots)
        if (std::strcmp(slot.mac, mac) == 0) target = &slot;
    if (target == nullptr)
        for (BusySlot& slot : m_slots)
            if (slot.mac[0] == '\0') {
                target = &slot;
                break;
            }
    if (target == nullptr) return false;
    CopyTruncated(target->mac, mac);
    CopyTruncated(target->action, action);
    target->viaHttp = viaHttp;
    target->since = now;
    return true;
}

void BusyTable::ClearBusy(const char* mac) {
    if (mac == nullptr || mac[0] == '\0') return;
    std::lock_guard<std::mutex> guard(m_lock);
    for (BusySlot& slot : m_slots)
        if (std::strcmp(slot.mac, mac) == 0) slot = BusySlot{};
}

void BusyTable::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    for (BusySlot& slot : m_slots) slot = BusySlot{};
}

bool BusyTable::IsBusy(const char* mac) const {
    if (mac == nullptr || mac[0] == '\0') return false;
    std::lock_guard<std::mutex> guard(m_lock);
    for (const BusySlot& slot : m_slots)
        if (std::strcmp(slot.mac, mac) == 0) return true;
    return false;
}

int BusyTable::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    int count = 0;
    for (const BusySlot& slot : m_slots) count += slot.mac[0] != '\0';
    return count;
}

std::vector<BusyDecision> BusyTable::Scan(uint32_t now, const std::function<int(const char*)>& statusOf) {
    std::vector<BusySlot> used;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const BusySlot& slot : m_slots)
            if (slot.mac[0] != '\0') used.push_back(slot);
    }
    std::vector<BusyDecision> decisions;
    std::vector<BusySlot> freed;
    for (const BusySlot& slot : used) {
        const uint32_t t = (now - slot.since) / 1000;  // unsigned: survives the tick's wrap
        const bool http = slot.viaHttp == 1;
        if (IsAction(slot, "SETTING")) {
            if (t > kSettingSeconds) {
                decisions.push_back({BusyDecision::SettingExpired, slot.mac, http});
                freed.push_back(slot);
            }
        } else if (t > kDefaultSeconds) {
            decisions.push_back({BusyDecision::DefaultExpired, slot.mac, http});
            freed.push_back(slot);
        } else if (t > kRequeryAfterSeconds && t % kRequeryEverySeconds == 0) {
            if (statusOf(slot.mac) != 0) {
                if (!http) decisions.push_back({BusyDecision::Requery, slot.mac, http});
            } else {
                decisions.push_back({BusyDecision::DefaultSettled, slot.mac, http});
                freed.push_back(slot);
            }
        }
    }
    // A slot renewed meanwhile (same MAC, later start) is kept.
    std::lock_guard<std::mutex> guard(m_lock);
    for (const BusySlot& gone : freed)
        for (BusySlot& slot : m_slots)
            if (std::strcmp(slot.mac, gone.mac) == 0 && slot.since == gone.since) slot = BusySlot{};
    return decisions;
}
