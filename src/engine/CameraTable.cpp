#include "engine/CameraTable.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/stdafx.h"
#include "engine/MacText.h"
#include "finder/LibIP.h"

namespace {
constexpr uint32_t kSettingTimeoutMs = 25000;
// The host's adapters are asked again after this long: often enough to follow an address
// the installer gives this PC, rarely enough for a list that changes every few ms.
constexpr uint32_t kSubnetsValidMs = 1000;

bool Same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

bool ValidIndex(int index) { return index >= 0 && index <= STATUS_INDEX_COUNT; }
}  // namespace

const char* StatusIndexText(int index) {
    switch (index) {
        case STATUS_INDEX_VIEW:
        case STATUS_INDEX_VERIFIED: return "View";
        case STATUS_INDEX_SETTING: return "Setting";
        case STATUS_INDEX_NO_RESPONSE:
        case STATUS_INDEX_SET_IP_NO_RESPONSE: return "No Response";
        case STATUS_INDEX_REBOOTING: return "Rebooting";
        case STATUS_INDEX_WAIT_UPGRADE: return "Wait for upgrading";
        case STATUS_INDEX_VERIFY_FAIL: return "Verify Fail";
        case STATUS_INDEX_UPGRADE_FAIL: return "FW Upgrade Fail";
        case STATUS_INDEX_NO_IP: return "NO IP";
        case STATUS_INDEX_OTHER_ADAPTER: return "Different Network Cards";
        case STATUS_INDEX_ASSIGN_IP: return "Assign IP";
        case STATUS_INDEX_IGNORE: return "Ignore";
        case STATUS_INDEX_AUTO_UNKNOWN:
        case STATUS_INDEX_VERIFY_UNKNOWN: return "Unknown";
        default: return "";
    }
}

// ---------------------------------------------------------------- decisions

bool SettingConfirmed(CameraRecord* record, uint32_t now) {
    if (record->settingSince == 0) return false;
    if (now - record->settingSince > kSettingTimeoutMs) {
        TLOG_WARNING("(%s:%d)%s, Setting timeout", record->mac);
        record->settingSince = 0;
        SetStatus(record, STATUS_SETTING_TIMEOUT);
        return false;
    }
    if (HasStatus(record, STATUS_HTTP_NO_RESPONSE)) return false;
    const bool addressKept = Same(record->oldIp, record->ip) && Same(record->oldMask, record->mask) &&
                             Same(record->oldGateway, record->gateway);
    if (!addressKept) {
        TLOG("(%s:%d)Old: %s, %s, %s ; New: %s, %s, %s", record->oldIp, record->oldMask, record->oldGateway,
             record->ip, record->mask, record->gateway);
    }
    bool ok = true;
    if (!Same(record->oldMode, record->reqMode) && Same(record->reqMode, "dhcp")) {
        ok = Same(record->mode, record->reqMode) && !addressKept;
    }
    if (Same(record->reqMode, "manual")) {
        if (!Same(record->reqIp, record->ip) || !Same(record->reqMask, record->mask) ||
            !Same(record->reqGateway, record->gateway))
            ok = false;
    }
    if (!Same(record->reqName, record->name)) return false;
    if (!Same(record->reqPort, record->httpPort)) return false;
    return ok;
}

StatusDecision ChooseStatusIndex(int32_t mode, CameraRecord* record, int currentIndex, uint32_t now) {
    StatusDecision d{currentIndex, false};
    if (mode == MODE_AUTO_SET_IP) {
        if (HasStatus(record, STATUS_AUTH_FAIL)) d.index = STATUS_INDEX_VERIFY_FAIL;
        else if (HasStatus(record, STATUS_OTHER_ADAPTER)) d.index = STATUS_INDEX_OTHER_ADAPTER;
        else if (HasStatus(record, STATUS_NO_FREE_IP)) d.index = STATUS_INDEX_NO_IP;
        else if (HasStatus(record, STATUS_SET_IP_TIMEOUT)) d.index = STATUS_INDEX_SET_IP_NO_RESPONSE;
        else if (HasStatus(record, STATUS_NOT_DHCP)) d.index = STATUS_INDEX_IGNORE;
        else if (HasStatus(record, STATUS_SETTING_IP)) d.index = STATUS_INDEX_ASSIGN_IP;
        else d.index = STATUS_INDEX_AUTO_UNKNOWN;
        return d;
    }
    if (mode == MODE_VERIFY_ALL) {
        if (HasStatus(record, STATUS_AUTH_FAIL)) d.index = STATUS_INDEX_VERIFY_FAIL;
        else if (HasStatus(record, STATUS_AUTH_OK)) d.index = STATUS_INDEX_VERIFIED;
        else d.index = STATUS_INDEX_VERIFY_UNKNOWN;
        return d;
    }
    if (SettingConfirmed(record, now)) {
        record->settingSince = 0;
        d.confirmed = true;
        if (currentIndex != STATUS_INDEX_VERIFIED && HasStatus(record, STATUS_AUTH_OK))
            d.index = STATUS_INDEX_VERIFIED;
        // A confirmed setting is over, whatever the camera's verification says.
        else if (currentIndex == STATUS_INDEX_SETTING)
            d.index = STATUS_INDEX_VIEW;
    } else if (record->settingSince == 0) {
        // A setting that no reply confirmed in time failed, whichever way the camera is
        // reached: "View" would tell the user it went through.
        if (HasStatus(record, STATUS_SETTING_TIMEOUT))
            d.index = STATUS_INDEX_NO_RESPONSE;
        else if (HasStatus(record, STATUS_AUTH_OK))
            d.index = STATUS_INDEX_VERIFIED;
        else
            d.index = STATUS_INDEX_VIEW;
    }
    return d;
}

// ---------------------------------------------------------------- table

CameraTable::CameraTable() : m_subnetsOf(AdapterSubnetsOf) {}

void CameraTable::SetNotify(Notify notify) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_notify = std::move(notify);
}

void CameraTable::SetSubnets(SubnetsOf subnetsOf) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_subnetsOf = std::move(subnetsOf);
    m_subnets.clear();
    m_subnetsChecked = false;
}

void CameraTable::Clear(uint32_t generation) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_generation = generation;
    m_slots.clear();
    m_listedCount = 0;
    m_byKey.clear();
    m_byAddress.clear();
    std::fill(std::begin(m_statusCounts), std::end(m_statusCounts), 0);
    m_changed.clear();
    m_changedKeys.clear();
    m_subnets.clear();
    m_subnetsChecked = false;
}

CameraTable::Slot* CameraTable::FindAnyLocked(const char* mac) {
    if (mac == nullptr) return nullptr;
    const auto it = m_byKey.find(KeyOfText(mac));
    return it == m_byKey.end() ? nullptr : &m_slots[it->second];
}

CameraTable::Slot* CameraTable::FindLocked(const char* mac) {
    Slot* slot = FindAnyLocked(mac);
    return slot != nullptr && slot->listed ? slot : nullptr;
}

const CameraTable::Slot* CameraTable::FindLocked(const char* mac) const {
    return const_cast<CameraTable*>(this)->FindLocked(mac);
}

void CameraTable::SetIndexLocked(Slot& slot, int index) {
    if (ValidIndex(slot.entry.statusIndex)) --m_statusCounts[slot.entry.statusIndex];
    slot.entry.statusIndex = index;
    if (ValidIndex(index)) ++m_statusCounts[index];
}

void CameraTable::NoteChangedLocked(const CameraEntry& entry) {
    if (!m_changedKeys.emplace(entry.key, true).second) return;
    m_changed.push_back(entry.key);
    if (m_changed.size() == 1) m_notifyPending = true;
}

void CameraTable::AfterChange(bool started) {
    if (!started) return;
    Notify notify;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_notifyPending) return;
        m_notifyPending = false;
        notify = m_notify;
    }
    if (notify) notify();
}

void CameraTable::NotifyIfPending() { AfterChange(true); }

CameraRecord* CameraTable::Records::Find(const char* mac) {
    Slot* slot = m_table.FindAnyLocked(mac);
    return slot == nullptr ? nullptr : &slot->entry.record;
}

CameraRecord* CameraTable::Records::Create(const char* mac) {
    CameraTable& t = m_table;
    if (mac == nullptr || t.m_slots.size() >= kMaxCameras) return nullptr;
    std::string key = MacKey(mac);
    if (t.m_byKey.count(key) != 0) return nullptr;
    Slot& slot = t.m_slots.emplace_back();
    slot.position = t.m_slots.size() - 1;
    slot.judgedAddress = INVALID_IP_VALUE;
    slot.entry.key = key;
    CopyTruncated(slot.entry.record.mac, mac);
    t.m_byKey.emplace(std::move(key), slot.position);
    return &slot.entry.record;
}

// The slot that owns a record the hold handed out (its MAC is never changed).
CameraTable::Slot& CameraTable::Records::SlotOf(CameraRecord* record) {
    Slot* slot = m_table.FindAnyLocked(record->mac);
    assert(slot != nullptr && &slot->entry.record == record);
    return *slot;
}

CameraTable::Decided CameraTable::Records::Decide(int32_t mode, CameraRecord* record, uint32_t now) {
    return m_table.DecideLocked(mode, SlotOf(record), now);
}

void CameraTable::Records::Refresh(CameraRecord* record, uint32_t now) {
    Slot& slot = SlotOf(record);
    slot.shown.reset();
    if (!slot.listed) return;
    m_table.NoteChangedLocked(slot.entry);
    m_table.JudgeLocked(slot, now);
}

void CameraTable::Records::FlagConflict(CameraRecord* record, uint32_t now) {
    Slot& slot = SlotOf(record);
    if (slot.entry.addressConflict) return;
    slot.entry.addressConflict = true;
    if (slot.listed) m_table.JudgeLocked(slot, now);
}

CameraTable::Decided CameraTable::DecideLocked(int32_t mode, Slot& slot, uint32_t now) {
    Decided result;
    CameraEntry& entry = slot.entry;
    CameraRecord* record = &entry.record;
    slot.shown.reset();
    if (!slot.listed) {  // its first decision gives it a row
        slot.listed = true;
        ++m_listedCount;
        ++m_statusCounts[STATUS_INDEX_VIEW];
    }
    int index = entry.statusIndex;
    if (entry.busy == BusyAction::Default && mode == MODE_SEARCH && !entry.wentSilent) {
        // Still up before its reboot: the answer says nothing about the command yet.
    } else {
        const StatusDecision d = ChooseStatusIndex(mode, record, index, now);
        index = d.index;
        if (entry.busy == BusyAction::Default && mode == MODE_SEARCH) entry.busy = BusyAction::None;
        if (d.confirmed) {
            result.confirmed = entry.settingConfirmed = true;
            if (entry.busy == BusyAction::Setting) entry.busy = BusyAction::None;
        }
    }
    // An upgrade's row keeps its percentage; the reply still refreshes the cells.
    if (entry.busy != BusyAction::Upgrade) SetIndexLocked(slot, index);
    if (HasStatus(record, STATUS_AUTH_OK)) entry.verified = true;
    result.listed = true;
    result.noneSetting = result.confirmed && m_statusCounts[STATUS_INDEX_SETTING] == 0;
    NoteChangedLocked(entry);
    JudgeLocked(slot, now);
    return result;
}

CameraEntry CameraTable::ReaderCopy(const Slot& slot) {
    CameraEntry entry = slot.entry;
    if (slot.shown) {
        CameraRecord& r = entry.record;
        CopyTruncated(r.name, slot.shown->name.c_str());
        CopyTruncated(r.ip, slot.shown->ip.c_str());
        CopyTruncated(r.mask, slot.shown->mask.c_str());
        CopyTruncated(r.gateway, slot.shown->gateway.c_str());
        CopyTruncated(r.mode, slot.shown->mode.c_str());
        CopyTruncated(r.httpPort, slot.shown->port.c_str());
    }
    return entry;
}

const char* CameraTable::ShownIp(const Slot& slot) {
    return slot.shown ? slot.shown->ip.c_str() : slot.entry.record.ip;
}

// ---------------------------------------------------------------- warnings

// Keeps the duplicate index in step with the camera's address and judges the camera, and
// the one other camera whose duplicate warning its move may have changed: only a holder
// left alone, or joined by a second, changes (so a thousand answers from one address cost
// no more than one each).
void CameraTable::JudgeLocked(Slot& slot, uint32_t now) {
    RefreshSubnetsLocked(now);
    const uint64_t address = UsableCameraAddress(ShownIp(slot));
    const size_t position = slot.position;
    size_t affected[2];
    size_t affectedCount = 0;
    if (address != slot.judgedAddress) {
        if (slot.judgedAddress != INVALID_IP_VALUE) {
            std::vector<size_t>& old = m_byAddress[slot.judgedAddress];
            if (const auto it = std::find(old.begin(), old.end(), position); it != old.end()) old.erase(it);
            if (old.size() == 1) affected[affectedCount++] = old.front();
            if (old.empty()) m_byAddress.erase(slot.judgedAddress);
        }
        if (address != INVALID_IP_VALUE) {
            std::vector<size_t>& holders = m_byAddress[address];
            if (holders.size() == 1) affected[affectedCount++] = holders.front();
            holders.push_back(position);
        }
        slot.judgedAddress = address;
        // A native camera at the address of an ONVIF-only row: the row goes into it.
        if (slot.entry.kind == DeviceKind::Native && address != INVALID_IP_VALUE) AbsorbOnvifAtLocked(slot);
    }
    JudgeWarningsLocked(slot);
    for (size_t i = 0; i < affectedCount; ++i)
        if (m_slots[affected[i]].listed) JudgeWarningsLocked(m_slots[affected[i]]);
}

void CameraTable::JudgeWarningsLocked(Slot& slot) {
    CameraEntry& entry = slot.entry;
    const auto holders = m_byAddress.find(slot.judgedAddress);
    const bool shared = holders != m_byAddress.end() && holders->second.size() > 1;
    static const std::vector<AdapterSubnet> kNone;
    const std::string adapter = entry.record.viaHttp == 1 ? std::string() : entry.record.adapterName;
    std::vector<std::string> warnings =
        WarningsOf(ShownIp(slot), shared, adapter.empty() ? kNone : SubnetsLocked(adapter, m_subnetsCheckedAt));
    if (entry.addressConflict) warnings.push_back(kWarningAddressConflict);
    if (warnings == entry.warnings) return;
    entry.warnings = std::move(warnings);
    NoteChangedLocked(entry);
}

const std::vector<AdapterSubnet>& CameraTable::SubnetsLocked(const std::string& adapter, uint32_t now) {
    auto it = m_subnets.find(adapter);
    if (it == m_subnets.end()) {
        it = m_subnets.emplace(adapter, AdapterSubnets{m_subnetsOf ? m_subnetsOf(adapter) : std::vector<AdapterSubnet>{},
                                                       now})
                 .first;
    }
    return it->second.subnets;
}

// Once a second the adapters are asked again; when one of them changed its subnets, every
// camera that answered through it is judged again.
void CameraTable::RefreshSubnetsLocked(uint32_t now) {
    if (m_subnetsChecked && now - m_subnetsCheckedAt < kSubnetsValidMs) return;
    m_subnetsChecked = true;
    m_subnetsCheckedAt = now;
    std::vector<std::string> changed;
    for (auto& [adapter, known] : m_subnets) {
        std::vector<AdapterSubnet> fresh = m_subnetsOf ? m_subnetsOf(adapter) : std::vector<AdapterSubnet>{};
        known.since = now;
        const bool same = fresh.size() == known.subnets.size() &&
                          std::equal(fresh.begin(), fresh.end(), known.subnets.begin(),
                                     [](const AdapterSubnet& a, const AdapterSubnet& b) {
                                         return a.address == b.address && a.mask == b.mask;
                                     });
        if (same) continue;
        known.subnets = std::move(fresh);
        changed.push_back(adapter);
    }
    if (changed.empty()) return;
    for (Slot& slot : m_slots)
        if (slot.listed && std::find(changed.begin(), changed.end(), std::string(slot.entry.record.adapterName)) != changed.end())
            JudgeWarningsLocked(slot);
}

// ---------------------------------------------------------------- readers

uint32_t CameraTable::Generation() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_generation;
}

size_t CameraTable::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_listedCount;
}

bool CameraTable::Find(const char* mac, CameraEntry* out) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const Slot* slot = FindLocked(mac);
    if (slot == nullptr) return false;
    if (out != nullptr) *out = ReaderCopy(*slot);
    return true;
}

bool CameraTable::IsMacListed(const char* mac) const { return Find(mac, nullptr); }

int CameraTable::StatusOf(const char* mac) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const Slot* slot = FindLocked(mac);
    return slot == nullptr ? -1 : slot->entry.statusIndex;
}

bool CameraTable::AnyWithStatus(int index) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return ValidIndex(index) && m_statusCounts[index] > 0;
}

std::vector<CameraEntry> CameraTable::Entries() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<CameraEntry> entries;
    entries.reserve(m_listedCount);
    for (const Slot& slot : m_slots)
        if (slot.listed) entries.push_back(ReaderCopy(slot));
    return entries;
}

std::vector<CameraEntry> CameraTable::EntriesOf(const std::vector<std::string>& macs) const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<CameraEntry> entries;
    entries.reserve(macs.size());
    for (const std::string& mac : macs) {
        const Slot* slot = const_cast<CameraTable*>(this)->FindAnyLocked(mac.c_str());
        if (slot == nullptr) continue;
        if (slot->listed) {
            entries.push_back(ReaderCopy(*slot));
        } else if (slot->merged) {
            CameraEntry& gone = entries.emplace_back();
            gone.key = slot->entry.key;
            gone.kind = slot->entry.kind;
            gone.removed = true;
        }
    }
    return entries;
}

CameraChangeBatch CameraTable::TakeChanges() {
    std::lock_guard<std::mutex> guard(m_lock);
    CameraChangeBatch batch;
    batch.generation = m_generation;
    batch.macs.swap(m_changed);
    m_changedKeys.clear();
    m_notifyPending = false;
    return batch;
}

// ---------------------------------------------------------------- changes from the owner


void CameraTable::SetStatus(const char* mac, int index, const std::string& text) {
    ChangeEntry(mac, [&](Slot& slot) {
        if (slot.entry.statusIndex == index && slot.entry.statusText == text) return false;
        SetIndexLocked(slot, index);
        slot.entry.statusText = text;
        return true;
    });
}

void CameraTable::SetProgress(const char* mac, int percent) {
    ChangeEntry(mac, [&](Slot& slot) {
        CameraEntry& entry = slot.entry;
        if (percent < 0) {
            SetIndexLocked(slot, STATUS_INDEX_UPGRADE_FAIL);
            entry.statusText.clear();
            entry.busy = BusyAction::None;
            return true;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", percent);
        // Busy until the image is in: other commands would cut the upgrade short.
        entry.busy = percent < 100 ? BusyAction::Upgrade : BusyAction::None;
        SetIndexLocked(slot, STATUS_INDEX_PROGRESS);
        entry.progress = percent;
        entry.statusText = text;
        return true;
    });
}

bool CameraTable::IsCameraVerified(const char* mac) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const Slot* slot = FindLocked(mac);
    return slot != nullptr && slot->entry.verified;
}

void CameraTable::RememberAuthenticated(const char* mac) {
    ChangeEntry(mac, [](Slot& slot) { return !std::exchange(slot.entry.verified, true); });
}

void CameraTable::ForgetAuthenticated(const char* mac) {
    ChangeEntry(mac, [](Slot& slot) {
        if (!slot.entry.verified) return false;
        slot.entry.verified = false;
        slot.entry.record.credentialsStored = 0;
        slot.entry.record.status = 0;
        return true;
    });
}

void CameraTable::ShowSetting(const CameraRecord& shown, uint32_t now) {
    ChangeEntry(shown.mac, [&](Slot& slot) {
        CameraEntry& entry = slot.entry;
        slot.shown = ShownSetting{shown.name, shown.ip, shown.mask, shown.gateway, shown.mode, shown.httpPort};
        entry.settingConfirmed = false;
        entry.busy = BusyAction::Setting;
        entry.busySince = now;
        SetIndexLocked(slot, STATUS_INDEX_SETTING);
        JudgeLocked(slot, now);
        return true;
    });
}

void CameraTable::ShowRebooting(const char* mac, uint32_t now) {
    ChangeEntry(mac, [&](Slot& slot) {
        CameraEntry& entry = slot.entry;
        entry.busy = BusyAction::Default;
        entry.busySince = now;
        entry.lastRequery = 0;
        entry.wentSilent = false;
        SetIndexLocked(slot, STATUS_INDEX_REBOOTING);
        return true;
    });
}

void CameraTable::MarkBusy(const char* mac, BusyAction action, uint32_t now) {
    std::lock_guard<std::mutex> guard(m_lock);
    Slot* slot = FindLocked(mac);
    if (slot == nullptr) return;
    slot->entry.busy = action;
    slot->entry.busySince = now;
}

void CameraTable::ClearBusy(const char* mac) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (Slot* slot = FindLocked(mac)) slot->entry.busy = BusyAction::None;
}

BusyAction CameraTable::BusyOf(const char* mac) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const Slot* slot = FindLocked(mac);
    return slot == nullptr ? BusyAction::None : slot->entry.busy;
}

std::vector<BusyDecision> CameraTable::ScanBusy(uint32_t now) {
    std::vector<BusyDecision> decisions;
    std::lock_guard<std::mutex> guard(m_lock);
    for (Slot& slot : m_slots) {
        CameraEntry& entry = slot.entry;
        const uint32_t age = now - entry.busySince;  // unsigned: survives the tick's wrap
        const bool http = entry.record.viaHttp == 1;
        if (entry.busy == BusyAction::Setting) {
            if (age <= kSettingBusyMs) continue;
            entry.busy = BusyAction::None;
            decisions.push_back({BusyDecision::SettingExpired, entry.record.mac, http});
        } else if (entry.busy == BusyAction::Default) {
            if (age > kDefaultBusyMs) {
                entry.busy = BusyAction::None;
                decisions.push_back({BusyDecision::DefaultExpired, entry.record.mac, http});
                continue;
            }
            // A re-query the camera did not answer: it went down, and its next answer
            // says it is back.
            if (entry.lastRequery != 0 && now - entry.lastRequery >= kSilentAfterMs &&
                static_cast<int32_t>(entry.record.lastSeen - entry.lastRequery) < 0)
                entry.wentSilent = true;
            if (http || now - entry.lastRequery < kRequeryEveryMs) continue;
            entry.lastRequery = now == 0 ? 1 : now;
            decisions.push_back({BusyDecision::Requery, entry.record.mac, http});
        }
    }
    return decisions;
}
