// The camera table's ONVIF devices: one row per EndpointReference, or the facts of a native
// camera listed at the address the device answered from.

#include <algorithm>
#include <cctype>

#include "common/stdafx.h"
#include "engine/CameraTable.h"
#include "engine/MacText.h"
#include "finder/LibIP.h"
#include "onvif/OnvifDeviceList.h"
#include "onvif/OnvifHttp.h"

namespace {

bool ValidIndex(int index) { return index >= 0 && index <= STATUS_INDEX_COUNT; }

// The port of the device's http service address; "" when it is not one.
std::string UrlPort(const std::string& url) {
    std::string host, port, path;
    return tarsel::onvif::SplitHttpUrl(url, &host, &port, &path) ? port : std::string();
}

OnvifEntry EntryOfDevice(const tarsel::onvif::OnvifDevice& device) {
    const tarsel::onvif::ProbeMatch& m = device.match;
    OnvifEntry e;
    e.endpoint = m.endpoint;
    e.types = m.types;
    e.scopes = m.scopes;
    e.xaddrs = m.xaddrs;
    e.xaddr = m.xaddr;
    e.address = device.sourceAddress != 0 ? IpValueToText(device.sourceAddress) : m.address;
    e.name = m.name;
    e.hardware = m.hardware;
    e.location = m.location;
    e.macHint = m.macHint;
    e.adapters = device.adapters;
    return e;
}

// The hexadecimal digits of a MAC in any spelling, upper case.
std::string MacDigits(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return digits;
}

// The mask of a prefix length, "" when it is not one.
std::string MaskOfPrefix(int prefix) {
    if (prefix < 0 || prefix > 32) return {};
    const uint32_t mask = prefix == 0 ? 0u : ~0u << (32 - prefix);
    return IpValueToText(mask);
}

// What an ONVIF device's row shows, in the fields a native camera's row uses.
void ShowOnvifFacts(CameraRecord& r, const OnvifEntry& e) {
    const tarsel::onvif::OnvifFacts& f = e.facts;
    CopyTruncated(r.name, e.name.c_str());
    CopyTruncated(r.ip, e.address.c_str());
    CopyTruncated(r.httpPort, UrlPort(e.xaddr).c_str());
    CopyTruncated(r.model, (!f.info.model.empty() ? f.info.model : e.hardware).c_str());
    CopyTruncated(r.company, f.info.manufacturer.c_str());
    CopyTruncated(r.fwVersion, f.info.firmware.c_str());
    CopyTruncated(r.serial, f.info.serial.c_str());
    CopyTruncated(r.mode, f.interfaceKnown ? (f.network.dhcp ? "dhcp" : "manual") : "");
    CopyTruncated(r.mask, f.interfaceKnown ? MaskOfPrefix(f.network.prefixLength).c_str() : "");
    CopyTruncated(r.adapterName, e.adapters.empty() ? "" : e.adapters.front().c_str());
}

// A fresh answer keeps what the credentials read before it.
std::shared_ptr<const OnvifEntry> WithFactsOf(OnvifEntry fresh, const std::shared_ptr<const OnvifEntry>& before) {
    if (before && before->endpoint == fresh.endpoint) {
        fresh.factsRead = before->factsRead;
        fresh.outcome = before->outcome;
        fresh.facts = before->facts;
        std::vector<std::string> adapters = before->adapters;  // in the order first heard
        for (std::string& adapter : fresh.adapters)
            if (std::find(adapters.begin(), adapters.end(), adapter) == adapters.end())
                adapters.push_back(std::move(adapter));
        fresh.adapters = std::move(adapters);
    }
    return std::make_shared<const OnvifEntry>(std::move(fresh));
}

}  // namespace

std::string CameraTable::KeyOfText(const char* text) {
    if (text == nullptr) return {};
    return IsOnvifKey(text) ? std::string(text) : MacKey(text);
}

CameraTable::Slot* CameraTable::NativeAtLocked(uint64_t address) {
    const auto holders = m_byAddress.find(address);
    if (holders == m_byAddress.end()) return nullptr;
    for (size_t position : holders->second) {
        Slot& slot = m_slots[position];
        if (slot.listed && slot.entry.kind == DeviceKind::Native) return &slot;
    }
    return nullptr;
}

void CameraTable::AbsorbOnvifAtLocked(Slot& native) {
    const auto holders = m_byAddress.find(native.judgedAddress);
    if (holders == m_byAddress.end()) return;
    for (size_t position : std::vector<size_t>(holders->second)) {
        Slot& row = m_slots[position];
        if (!row.listed || row.entry.kind != DeviceKind::Onvif || !row.entry.onvif) continue;
        if (native.entry.onvif && native.entry.onvif->endpoint != row.entry.onvif->endpoint) continue;
        MergeIntoLocked(native, row);
        return;
    }
}

void CameraTable::MergeIntoLocked(Slot& native, Slot& row) {
    native.entry.onvif = WithFactsOf(*row.entry.onvif, native.entry.onvif);
    row.listed = false;
    row.merged = true;
    --m_listedCount;
    if (ValidIndex(row.entry.statusIndex)) --m_statusCounts[row.entry.statusIndex];
    if (const auto holders = m_byAddress.find(row.judgedAddress); holders != m_byAddress.end()) {
        std::vector<size_t>& list = holders->second;
        list.erase(std::remove(list.begin(), list.end(), row.position), list.end());
        if (list.empty()) m_byAddress.erase(holders);
    }
    row.judgedAddress = INVALID_IP_VALUE;
    NoteChangedLocked(row.entry);
    NoteChangedLocked(native.entry);
}

void CameraTable::ShowAdapterAddressLocked(CameraRecord& record, uint32_t now) {
    if (record.adapterName[0] == '\0') return;
    RefreshSubnetsLocked(now);
    const std::vector<AdapterSubnet>& subnets = SubnetsLocked(record.adapterName, now);
    if (subnets.empty()) return;
    const AdapterSubnet* shown = &subnets.front();
    for (const AdapterSubnet& subnet : subnets)
        if (WarningsOf(record.ip, false, {subnet}).empty()) shown = &subnet;  // holds the device
    CopyTruncated(record.adapterIp, shown->address.c_str());
}

bool CameraTable::MergeOnvif(const tarsel::onvif::OnvifDevice& device, uint32_t now) {
    std::lock_guard<std::mutex> guard(m_lock);
    OnvifEntry fresh = EntryOfDevice(device);
    if (fresh.endpoint.empty()) return false;
    const std::string key = OnvifKey(fresh.endpoint);
    Slot* own = FindAnyLocked(key.c_str());
    const uint64_t address = UsableCameraAddress(fresh.address);
    Slot* native = address != INVALID_IP_VALUE ? NativeAtLocked(address) : nullptr;
    // A camera of this family that answers ONVIF too is one row: its own.
    // (Not a device with a row of its own there: its MAC said it is another device.)
    if (native != nullptr && (own == nullptr || !own->listed) &&
        (!native->entry.onvif || native->entry.onvif->endpoint == fresh.endpoint)) {
        native->entry.onvif = WithFactsOf(std::move(fresh), native->entry.onvif);
        NoteChangedLocked(native->entry);
        if (own != nullptr && own->listed) MergeIntoLocked(*native, *own);
        return true;
    }
    if (own != nullptr && !own->listed) return true;  // went into a native camera that has moved since
    return OnvifRowLocked(WithFactsOf(std::move(fresh), own != nullptr ? own->entry.onvif : nullptr), now) != nullptr;
}

CameraTable::Slot* CameraTable::OnvifRowLocked(std::shared_ptr<const OnvifEntry> onvif, uint32_t now) {
    const std::string key = OnvifKey(onvif->endpoint);
    Slot* slot = FindAnyLocked(key.c_str());
    if (slot == nullptr) {
        if (m_slots.size() >= kMaxCameras) return nullptr;
        slot = &m_slots.emplace_back();
        slot->position = m_slots.size() - 1;
        slot->judgedAddress = INVALID_IP_VALUE;
        slot->entry.key = key;
        slot->entry.kind = DeviceKind::Onvif;
        m_byKey.emplace(key, slot->position);
    }
    if (!slot->listed) {  // new, or back from a camera's row
        slot->listed = true;
        slot->merged = false;
        ++m_listedCount;
        if (ValidIndex(slot->entry.statusIndex)) ++m_statusCounts[slot->entry.statusIndex];
    }
    slot->entry.onvif = std::move(onvif);
    ShowOnvifFacts(slot->entry.record, *slot->entry.onvif);
    ShowAdapterAddressLocked(slot->entry.record, now);
    NoteChangedLocked(slot->entry);
    JudgeLocked(*slot, now);
    return slot;
}

void CameraTable::ShowOnvifOutcomeLocked(Slot& slot, tarsel::onvif::OnvifOutcome outcome) {
    using tarsel::onvif::OnvifOutcome;
    ShowOnvifFacts(slot.entry.record, *slot.entry.onvif);
    slot.entry.verified = outcome == OnvifOutcome::Verified;
    int index = STATUS_INDEX_VIEW;
    if (outcome == OnvifOutcome::Verified) index = STATUS_INDEX_VERIFIED;
    else if (outcome == OnvifOutcome::CredentialsRefused) index = STATUS_INDEX_VERIFY_FAIL;
    else if (outcome == OnvifOutcome::NoAnswer) index = STATUS_INDEX_NO_RESPONSE;
    SetIndexLocked(slot, index);
}

void CameraTable::SetOnvifFacts(const std::string& key, tarsel::onvif::OnvifOutcome outcome,
                                const tarsel::onvif::OnvifFacts& facts) {
    using tarsel::onvif::OnvifOutcome;
    ChangeEntry(key.c_str(), [&](Slot& slot) {
        CameraEntry& entry = slot.entry;
        if (!entry.onvif) return false;
        auto updated = std::make_shared<OnvifEntry>(*entry.onvif);
        updated->factsRead = true;
        updated->outcome = outcome;
        // A refusal or a silence tells less than an earlier read: what it did learn (the
        // clock) joins what was known.
        if (outcome == OnvifOutcome::Verified || !entry.onvif->factsRead) {
            updated->facts = facts;
        } else if (facts.clockKnown) {
            updated->facts.clockKnown = true;
            updated->facts.clockOffset = facts.clockOffset;
        }
        entry.onvif = updated;
        if (entry.kind == DeviceKind::Onvif) {
            ShowOnvifOutcomeLocked(slot, outcome);
            return true;
        }
        // Joined to our camera by its address: the MAC it tells confirms it, or shows another
        // device on the same address, which gets a row of its own (both then warn).
        const std::string& told = updated->facts.network.mac;
        if (outcome != OnvifOutcome::Verified || !updated->facts.interfaceKnown || told.empty() ||
            MacDigits(told) == MacDigits(entry.record.mac))
            return true;
        TLOG_NOTICE("(%s:%d) ONVIF device %s at %s tells MAC %s, not camera %s's: listed apart",
                    updated->endpoint.c_str(), updated->address.c_str(), told.c_str(), entry.record.mac);
        entry.onvif.reset();
        if (Slot* row = OnvifRowLocked(updated, m_subnetsCheckedAt)) ShowOnvifOutcomeLocked(*row, outcome);
        return true;
    });
}
