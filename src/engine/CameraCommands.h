#pragma once
// What the window and the command line do to cameras through the engine: Save (the
// settings payload, the bookkeeping that lets a later reply confirm it, the send) and the
// confirmed reboot or default. The camera table shows each step. No widgets here.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CameraRecord.h"
#include "engine/CameraTable.h"
#include "engine/SettingsText.h"

class CTSmainDlg;
struct UpgradeCameraInfo;

// The values of the information panel when Save is pressed.
struct CameraSettingsRequest {
    std::string name, ip, mask, gateway, mode, port;
};

// The assignments Save sends: name, address/mask/gateway, mode and port joined by "&"; an
// empty gateway is sent as "0.0.0.0". With the camera's current record, the address is
// left out when it is unchanged (and the mode does not turn manual). -1 when a value cannot
// be sent (CheckSettingsRequest: a separator, a control character, too long); why, when
// given, then tells which.
int BuildSettingsPayload(const CameraSettingsRequest& request, std::string* payload,
                         SettingRefusal* why = nullptr, const CameraRecord* current = nullptr);

// Save's engine part: records the old and requested values and the time, sends the
// payload, shows the requested values in the record until the next reply, and re-queries.
// 0; -1 when the camera is not listed or a value is refused (nothing sent then; why, when
// given, tells which value and character); -2 when sending failed (over HTTP: the camera
// did not answer or did not take a setting): the setting is marked timed out at once.
int ApplySettings(CTSmainDlg& engine, const char* mac, const CameraSettingsRequest& request,
                  SettingRefusal* why = nullptr);

// ApplySettings in two steps, for a caller that must not wait for the camera: the
// bookkeeping (old and requested values, the time; the camera's row shows the requested
// values as "Setting"; quick, engine mutex only), then the sending (over HTTP it waits for
// the camera), which also shows the requested values in the record and re-queries.
struct PreparedSettings {
    std::string payload;
    CameraRecord shown;  // the record with the requested values
};
int PrepareSettings(CTSmainDlg& engine, const char* mac, const CameraSettingsRequest& request,
                    PreparedSettings* out, SettingRefusal* why = nullptr);
// The result of the send: 0, or -1 when it could not go out or, over HTTP, the camera did
// not take it; the setting is then marked timed out at once and the record keeps its values.
int SendSettings(CTSmainDlg& engine, const PreparedSettings& prepared);

// A confirmed reboot or default, in two steps as well: every camera still listed shows
// "Rebooting", watched until it is back, and counts as not verified; returns their MACs.
// Then the command goes to each of them (over HTTP it waits for the camera).
std::vector<std::string> BeginCommand(CTSmainDlg& engine, const std::vector<std::string>& macs);
void SendCommand(CTSmainDlg& engine, const std::vector<std::string>& macs, const char* command);

// What the upgrade worker's reboot check needs of a listed camera: its addresses, its port
// and when it last answered discovery.
void CopyUpgradeInfo(const CameraRecord& record, UpgradeCameraInfo* info);
