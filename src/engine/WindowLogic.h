#pragma once
// The decisions the main window takes about a camera that the command line needs as well:
// which status a row shows after a reply, whether a sent setting took effect, which cameras
// count as verified, the settings payload of Save and the system commands after their
// confirmation. No widgets here: the window and the command line both call these.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/CameraRecord.h"
#include "engine/SettingsText.h"

class CTSmainDlg;
struct UpgradeCameraInfo;

// Status indexes of a camera row; each selects the row's status text.
enum StatusIndex : int {
    STATUS_INDEX_VIEW = 0,  // not verified
    STATUS_INDEX_VERIFIED = 1,
    STATUS_INDEX_SETTING = 2,
    STATUS_INDEX_NO_RESPONSE = 3,
    STATUS_INDEX_REBOOTING = 4,
    STATUS_INDEX_PROGRESS = 5,
    STATUS_INDEX_VERIFY_FAIL = 7,
    STATUS_INDEX_UPGRADE_FAIL = 8,
    STATUS_INDEX_NO_IP = 9,
    STATUS_INDEX_SET_IP_NO_RESPONSE = 10,
    STATUS_INDEX_OTHER_ADAPTER = 11,
    STATUS_INDEX_ASSIGN_IP = 12,
    STATUS_INDEX_IGNORE = 13,
    STATUS_INDEX_AUTO_UNKNOWN = 15,
    STATUS_INDEX_VERIFY_UNKNOWN = 16,
};

// The English status text of an index ("View", "Setting", "NO IP"...); "" for 5 and others.
const char* StatusIndexText(int index);

// The MACs verified since the last search, as many as there are cameras. Safe to use from
// any thread.
class AuthenticatedMacs {
public:
    bool IsCameraVerified(const char* mac) const;
    void RememberAuthenticated(const char* mac);
    // Empties the record's slot and resets its stored credentials flag and status. The
    // record belongs to the engine: call with the engine mutex held (WithCamera).
    void ForgetAuthenticated(CameraRecord* record);
    void Clear();
    size_t Count() const;

private:
    mutable std::mutex m_lock;
    std::unordered_set<std::string> m_macs;
};

// Has the setting sent by ApplySettings taken effect? Marks a setting older than 25 s as
// timed out. Engine mutex held.
bool SettingConfirmed(CameraRecord* record, uint32_t now);

// The status index a row shows after a reply (OnCameraChanged): by the engine mode; in the
// search mode it also confirms or times out a pending setting. Engine mutex held.
struct StatusDecision {
    int index;
    bool confirmed;  // a pending setting was confirmed by this reply
};
StatusDecision ChooseStatusIndex(int32_t mode, CameraRecord* record, int currentIndex,
                                 uint32_t now);

// What OnCameraChanged does to the engine for a camera: the status decision, then a
// verified camera is remembered and its credentials stored. currentIndex is the row's
// status now (-1 when it has no row). False when the camera is not in the list.
struct CameraChange {
    StatusDecision decision;
    CameraRecord record;  // copy after the decision
};
bool ApplyCameraChange(CTSmainDlg& engine, AuthenticatedMacs& verified, const char* mac,
                       int currentIndex, CameraChange* out);

// The values of the information panel when Save is pressed.
struct CameraSettingsRequest {
    std::string name, ip, mask, gateway, mode, port;
};

// The assignments Save sends: name, address/mask/gateway, mode and port joined by "&"; an
// empty gateway is sent as "0.0.0.0". -1 when a value cannot be sent (CheckSettingsRequest:
// a separator, a control character, too long); why, when given, then tells which.
int BuildSettingsPayload(const CameraSettingsRequest& request, std::string* payload,
                         SettingRefusal* why = nullptr);

// Save's engine part: records the old and requested values and the time, sends the
// payload, shows the requested values in the record until the next reply, and re-queries.
// 0; -1 when the camera is not listed or a value is refused (nothing sent then; why, when
// given, tells which value and character); -2 when sending failed (over HTTP: the camera
// did not answer or did not take a setting): the setting is marked timed out at once.
int ApplySettings(CTSmainDlg& engine, const char* mac, const CameraSettingsRequest& request,
                  SettingRefusal* why = nullptr);

// ApplySettings in two steps, for a caller that must not wait for the camera: the
// bookkeeping (old and requested values, the time; quick, engine mutex only), then the
// sending (over HTTP it waits for the camera), which also shows the requested values in
// the record and re-queries. The window marks the row before the first reply can judge it.
struct PreparedSettings {
    std::string payload;
    CameraRecord shown;  // the record with the requested values
};
int PrepareSettings(CTSmainDlg& engine, const char* mac, const CameraSettingsRequest& request,
                    PreparedSettings* out, SettingRefusal* why = nullptr);
// The result of the send: 0, or -1 when it could not go out or, over HTTP, the camera did
// not take it; the setting is then marked timed out at once and the record keeps its values.
int SendSettings(CTSmainDlg& engine, const PreparedSettings& prepared);

// The confirmed reboot or default: the command goes to every camera still listed, which
// then counts as not verified. Returns the MACs the command was sent to.
std::vector<std::string> ConfirmCommand(CTSmainDlg& engine, AuthenticatedMacs& verified,
                                        const std::vector<std::string>& macs,
                                        const char* command);

// What the upgrade worker's reboot check needs of a listed camera: its addresses, its port
// and when it last answered discovery.
void CopyUpgradeInfo(const CameraRecord& record, UpgradeCameraInfo* info);
