#include "engine/WindowLogic.h"

#include <cstdio>
#include <cstring>

#include "common/stdafx.h"
#include "engine/TSmain.h"
#include "web/UpgradeProc.h"

namespace {
constexpr uint32_t kSettingTimeoutMs = 25000;

bool Same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
}  // namespace

const char* StatusIndexText(int index) {
    switch (index) {
        case 0:
        case 1:
            return "View";
        case 2:
            return "Setting";
        case 3:
        case 10:
            return "No Response";
        case 4:
            return "Rebooting";
        case 7:
            return "Verify Fail";
        case 8:
            return "FW Upgrade Fail";
        case 9:
            return "NO IP";
        case 11:
            return "Different Network Cards";
        case 12:
            return "Assign IP";
        case 13:
            return "Ignore";
        case 15:
        case 16:
            return "Unknown";
        default:
            return "";
    }
}

// ---------------------------------------------------------------- verified set

bool AuthenticatedMacs::IsCameraVerified(const char* mac) const {
    if (mac == nullptr || mac[0] == '\0') return false;
    std::lock_guard<std::mutex> guard(m_lock);
    return m_macs.count(mac) != 0;
}

void AuthenticatedMacs::RememberAuthenticated(const char* mac) {
    if (mac == nullptr || mac[0] == '\0') return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_macs.insert(mac);
}

void AuthenticatedMacs::ForgetAuthenticated(CameraRecord* record) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_macs.erase(record->mac);
    }
    record->credentialsStored = 0;
    record->status = 0;
}

void AuthenticatedMacs::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_macs.clear();
}

size_t AuthenticatedMacs::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_macs.size();
}

// ---------------------------------------------------------------- setting confirmation

bool SettingConfirmed(CameraRecord* record, uint32_t now) {
    if (record->settingSince == 0) return false;
    if (now - record->settingSince > kSettingTimeoutMs) {
        TLOG_WARNING("(%s:%d)%s, Setting timeout", record->mac);
        record->settingSince = 0;
        SetStatus(record, STATUS_SETTING_TIMEOUT);
        return false;
    }
    if (HasStatus(record, STATUS_HTTP_NO_RESPONSE)) return false;
    const bool addressKept = Same(record->oldIp, record->ip) &&
                             Same(record->oldMask, record->mask) &&
                             Same(record->oldGateway, record->gateway);
    if (!addressKept) {
        TLOG("(%s:%d)Old: %s, %s, %s ; New: %s, %s, %s", record->oldIp, record->oldMask,
             record->oldGateway, record->ip, record->mask, record->gateway);
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

StatusDecision ChooseStatusIndex(int32_t mode, CameraRecord* record, int currentIndex,
                                 uint32_t now) {
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

bool ApplyCameraChange(CTSmainDlg& engine, AuthenticatedMacs& verified, const char* mac,
                       int currentIndex, CameraChange* out) {
    const uint32_t now = engine.Ports().Now();
    const int32_t mode = engine.Mode();
    const bool found = engine.WithCamera(mac, [&](CameraRecord& record) {
        out->decision = ChooseStatusIndex(mode, &record, currentIndex, now);
        out->record = record;
        out->record.next = nullptr;
    });
    if (!found) return false;
    const CameraRecord& r = out->record;
    if (!HasStatus(&r, STATUS_AUTH_OK)) return true;
    verified.RememberAuthenticated(r.mac);
    if (r.credentialsStored == 0) {
        engine.SetCameraAuth(r.ip, r.mac, r.user, r.password);
        out->record.credentialsStored = 1;
    }
    return true;
}

// ---------------------------------------------------------------- Save

int BuildSettingsPayload(const CameraSettingsRequest& request, std::string* payload,
                         SettingRefusal* why) {
    const std::string gateway = request.gateway.empty() ? "0.0.0.0" : request.gateway;
    // Each value must fit the record field that remembers it and travel as one assignment.
    static_assert(kMaxDeviceNameBytes < CAMERA_TEXT_NAME && kMaxSettingValueBytes < CAMERA_TEXT_SHORT);
    if (SettingRefusal refusal = CheckSettingsRequest(request)) {
        TLOG_NOTICE("(%s:%d)Settings refused: %s", refusal.Describe().c_str());
        if (why != nullptr) *why = refusal;
        return -1;
    }
    std::string text;
    text += "network.device_name=" + request.name + "&";
    text += "network.wire.ipv4.manual.address=" + request.ip;
    text += "/" + request.mask;
    text += "/" + gateway + "&";
    text += "network.wire.ipv4.mode=" + request.mode + "&";
    text += "network.web.http_port=" + request.port;
    if (text.size() > 1023) return -1;
    *payload = text;
    return 0;
}

int PrepareSettings(CTSmainDlg& engine, const char* mac, const CameraSettingsRequest& request,
                    PreparedSettings* out, SettingRefusal* why) {
    std::string payload;
    if (BuildSettingsPayload(request, &payload, why) != 0) return -1;
    const std::string gateway = request.gateway.empty() ? "0.0.0.0" : request.gateway;
    const uint32_t now = engine.Ports().Now();
    CameraRecord shown{};
    const bool found = engine.WithCamera(mac, [&](CameraRecord& r) {
        static const char kCaller[] = "PrepareSettings";
        BoundedCopy(r.reqName, request.name.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqIp, request.ip.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqMask, request.mask.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqGateway, gateway.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqMode, request.mode.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqPort, request.port.c_str(), kCaller, __LINE__);
        BoundedCopy(r.oldName, r.name, kCaller, __LINE__);
        BoundedCopy(r.oldIp, r.ip, kCaller, __LINE__);
        BoundedCopy(r.oldMask, r.mask, kCaller, __LINE__);
        BoundedCopy(r.oldGateway, r.gateway, kCaller, __LINE__);
        BoundedCopy(r.oldMode, r.mode, kCaller, __LINE__);
        BoundedCopy(r.oldPort, r.httpPort, kCaller, __LINE__);
        // 0 means "nothing pending": a tick of exactly 0 is taken as 1.
        r.settingSince = now == 0 ? 1 : now;
        shown = r;
    });
    if (!found) return -1;
    static const char kCaller[] = "PrepareSettings";
    BoundedCopy(shown.name, request.name.c_str(), kCaller, __LINE__);
    BoundedCopy(shown.ip, request.ip.c_str(), kCaller, __LINE__);
    BoundedCopy(shown.mask, request.mask.c_str(), kCaller, __LINE__);
    BoundedCopy(shown.gateway, request.gateway.c_str(), kCaller, __LINE__);
    BoundedCopy(shown.mode, request.mode.c_str(), kCaller, __LINE__);
    BoundedCopy(shown.httpPort, request.port.c_str(), kCaller, __LINE__);
    shown.next = nullptr;
    out->payload = payload;
    out->shown = shown;
    return 0;
}

int SendSettings(CTSmainDlg& engine, const PreparedSettings& prepared) {
    // The camera is reached at the address it has now: the record takes the requested
    // values only after the send.
    if (engine.SetCameraParameters(prepared.shown.mac, prepared.payload.c_str()) != 0) {
        // Nothing will confirm a setting the camera never took: say so now, not after 25 s.
        engine.WithCamera(prepared.shown.mac, [&](CameraRecord& r) {
            r.settingSince = 0;
            SetStatus(&r, STATUS_SETTING_TIMEOUT);
        });
        return -1;
    }
    engine.UpdateCamera(prepared.shown);
    engine.SetMode(MODE_SEARCH);
    engine.KeepQuery();
    return 0;
}

int ApplySettings(CTSmainDlg& engine, const char* mac, const CameraSettingsRequest& request,
                  SettingRefusal* why) {
    PreparedSettings prepared;
    if (PrepareSettings(engine, mac, request, &prepared, why) != 0) return -1;
    return SendSettings(engine, prepared) == 0 ? 0 : -2;
}

std::vector<std::string> ConfirmCommand(CTSmainDlg& engine, AuthenticatedMacs& verified,
                                        const std::vector<std::string>& macs,
                                        const char* command) {
    std::vector<std::string> sent;
    for (const std::string& mac : macs) {
        CameraRecord copy;
        if (!engine.CopyCamera(mac.c_str(), &copy)) continue;  // gone with a new search
        engine.SystemCommand(mac.c_str(), command);
        engine.WithCamera(mac.c_str(),
                          [&](CameraRecord& record) { verified.ForgetAuthenticated(&record); });
        sent.push_back(mac);
    }
    return sent;
}

void CopyUpgradeInfo(const CameraRecord& record, UpgradeCameraInfo* info) {
    CopyTruncated(info->ip, record.ip);
    CopyTruncated(info->mask, record.mask);
    CopyTruncated(info->gateway, record.gateway);
    CopyTruncated(info->httpPort, record.httpPort);
    info->lastSeen = record.lastSeen;
}
