#pragma once
// One camera as the engine knows it: what its last reply said, how it was verified, and what
// the automatic assignment and the main window's settings asked of it.

#include <cstdint>

// Status bits of a camera record. The pairs AUTH_OK/AUTH_FAIL and
// HTTP_NO_RESPONSE/SETTING_TIMEOUT exclude each other (SetStatus keeps them apart).
enum : uint32_t {
    STATUS_AUTH_OK = 0x002,
    STATUS_AUTH_FAIL = 0x004,
    STATUS_NO_FREE_IP = 0x008,
    STATUS_OTHER_ADAPTER = 0x010,
    STATUS_SETTING_IP = 0x020,
    STATUS_NOT_DHCP = 0x040,
    STATUS_SET_IP_TIMEOUT = 0x080,
    STATUS_HTTP_NO_RESPONSE = 0x100,
    STATUS_SETTING_TIMEOUT = 0x200,
};

// Engine modes (m_Tarsel_mode).
enum : int32_t {
    MODE_SEARCH = 0,
    MODE_AUTO_SET_IP = 1,
    MODE_VERIFY_ALL = 2,
};

// Capacities of the record's text fields, terminator included.
constexpr unsigned CAMERA_TEXT_SHORT = 32;
constexpr unsigned CAMERA_TEXT_NAME = 33;
constexpr unsigned CAMERA_TEXT_CREDENTIAL = 41;

// The record holds no password: the credentials a camera accepted stay with the engine,
// which hands them only to the commands that send them.
struct CameraRecord {
    char name[CAMERA_TEXT_NAME];
    char mac[CAMERA_TEXT_SHORT];
    char serial[CAMERA_TEXT_NAME];
    char ip[CAMERA_TEXT_SHORT];
    char mask[CAMERA_TEXT_SHORT];
    char gateway[CAMERA_TEXT_SHORT];
    char fwVersion[CAMERA_TEXT_NAME];
    char mode[CAMERA_TEXT_SHORT];
    char model[CAMERA_TEXT_NAME];
    char httpPort[CAMERA_TEXT_SHORT];
    char user[CAMERA_TEXT_CREDENTIAL];  // the user name it was verified with
    char company[CAMERA_TEXT_NAME];
    uint32_t credentialsStored;
    uint32_t status;
    uint32_t viaHttp;
    // The local adapter the camera's first discovery reply came through (its address text
    // and interface); empty for a camera read over HTTP.
    char adapterIp[CAMERA_TEXT_SHORT];
    char adapterName[CAMERA_TEXT_SHORT];
    // The IPv4 address (host order) the camera's discovery answers come from, 0 while
    // unknown: an answer for this MAC from elsewhere is not the camera's.
    uint32_t answerSource;
    char newIp[CAMERA_TEXT_SHORT];
    char newMask[CAMERA_TEXT_SHORT];
    char newGateway[CAMERA_TEXT_SHORT];
    char newDns1[CAMERA_TEXT_SHORT];
    char newDns2[CAMERA_TEXT_SHORT];
    uint32_t settingSince;
    uint32_t lastSeen;
    char oldName[CAMERA_TEXT_NAME];
    char oldIp[CAMERA_TEXT_SHORT];
    char oldMask[CAMERA_TEXT_SHORT];
    char oldGateway[CAMERA_TEXT_SHORT];
    char oldMode[CAMERA_TEXT_SHORT];
    char oldPort[CAMERA_TEXT_SHORT];
    char reqName[CAMERA_TEXT_NAME];
    char reqIp[CAMERA_TEXT_SHORT];
    char reqMask[CAMERA_TEXT_SHORT];
    char reqGateway[CAMERA_TEXT_SHORT];
    char reqMode[CAMERA_TEXT_SHORT];
    char reqPort[CAMERA_TEXT_SHORT];
};

// Sets bits, first clearing the partner of each exclusive pair that is being set.
inline void SetStatus(CameraRecord* record, uint32_t bits) {
    if (bits & STATUS_AUTH_OK) record->status &= ~STATUS_AUTH_FAIL;
    if (bits & STATUS_AUTH_FAIL) record->status &= ~STATUS_AUTH_OK;
    if (bits & STATUS_HTTP_NO_RESPONSE) record->status &= ~STATUS_SETTING_TIMEOUT;
    if (bits & STATUS_SETTING_TIMEOUT) record->status &= ~STATUS_HTTP_NO_RESPONSE;
    record->status |= bits;
}

inline void ClearStatus(CameraRecord* record, uint32_t bits) { record->status &= ~bits; }

// True when any of the bits is set.
inline bool HasStatus(const CameraRecord* record, uint32_t bits) {
    return (record->status & bits) != 0;
}
