#include "engine/CameraCommands.h"

#include <cstdio>
#include <cstring>

#include "common/stdafx.h"
#include "engine/TSmain.h"
#include "web/UpgradeProc.h"

// ---------------------------------------------------------------- Save

namespace {
bool Same(const std::string& a, const char* b) { return a == b; }
}  // namespace

int BuildSettingsPayload(const CameraSettingsRequest& request, std::string* payload,
                         SettingRefusal* why, const CameraRecord* current) {
    const std::string gateway = request.gateway.empty() ? "0.0.0.0" : request.gateway;
    // Each value must fit the record field that remembers it and travel as one assignment.
    static_assert(kMaxDeviceNameBytes < CAMERA_TEXT_NAME && kMaxSettingValueBytes < CAMERA_TEXT_SHORT);
    if (SettingRefusal refusal = CheckSettingsRequest(request)) {
        TLOG_NOTICE("(%s:%d)Settings refused: %s", refusal.Describe().c_str());
        if (why != nullptr) *why = refusal;
        return -1;
    }
    // The address goes only when the user changed it, or fixes a DHCP camera's address: a
    // rename never re-sends an address the list may have from somewhere else.
    const char* currentGateway = current == nullptr || current->gateway[0] == '\0' ? "0.0.0.0" : current->gateway;
    const bool sendAddress = current == nullptr || !Same(request.ip, current->ip) ||
                             !Same(request.mask, current->mask) || !Same(gateway, currentGateway) ||
                             (request.mode == "manual" && !Same(request.mode, current->mode));
    std::string text;
    text += "network.device_name=" + request.name + "&";
    if (sendAddress) {
        text += "network.wire.ipv4.manual.address=" + request.ip;
        text += "/" + request.mask;
        text += "/" + gateway + "&";
    }
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
        BuildSettingsPayload(request, &payload, nullptr, &r);
        // An address not sent is confirmed by the camera keeping the one it reports.
        const bool addressSent = payload.find("manual.address=") != std::string::npos;
        BoundedCopy(r.reqName, request.name.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqIp, request.ip.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqMask, request.mask.c_str(), kCaller, __LINE__);
        BoundedCopy(r.reqGateway, addressSent ? gateway.c_str() : r.gateway, kCaller, __LINE__);
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
    out->payload = payload;
    out->shown = shown;
    // Marked before the first reply can judge it.
    engine.Table().ShowSetting(shown, now);
    return 0;
}

int SendSettings(CTSmainDlg& engine, const PreparedSettings& prepared) {
    // The camera is reached at the address it has now: the record takes the requested
    // values only after the send.
    if (engine.SetCameraParameters(prepared.shown.mac, prepared.payload.c_str()) != 0) {
        // Nothing will confirm a setting the camera never took: say so now, not after 25 s.
        engine.ShowNoResponse(prepared.shown.mac);
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

std::vector<std::string> BeginCommand(CTSmainDlg& engine, const std::vector<std::string>& macs) {
    std::vector<std::string> listed;
    const uint32_t now = engine.Ports().Now();
    for (const std::string& mac : macs) {
        if (!engine.Table().IsMacListed(mac.c_str())) continue;  // gone with a new search
        engine.Table().ShowRebooting(mac.c_str(), now);
        // Not verified from now on: it must be verified again before the next change.
        engine.ForgetAuthenticated(mac.c_str());
        listed.push_back(mac);
    }
    return listed;
}

void SendCommand(CTSmainDlg& engine, const std::vector<std::string>& macs, const char* command) {
    for (const std::string& mac : macs) engine.SystemCommand(mac.c_str(), command);
}

void CopyUpgradeInfo(const CameraRecord& record, UpgradeCameraInfo* info) {
    CopyTruncated(info->ip, record.ip);
    CopyTruncated(info->mask, record.mask);
    CopyTruncated(info->gateway, record.gateway);
    CopyTruncated(info->httpPort, record.httpPort);
    info->lastSeen = record.lastSeen;
}
