#pragma once
// Events that the engine and the camera list send to the main window (WM_CAMERA_EVENT) and
// the slots through which the engine reaches its owner.

#include <cstdint>

struct CameraRecord;

constexpr uint32_t WM_CAMERA_EVENT = 0x400 + 100;

enum : uint32_t {
    EVT_START_SEARCH = 0x9001,
    EVT_CHECK_CHANGED = 0x9002,
    EVT_SELECTION_CHANGED = 0x9003,
    EVT_AUTO_IP_DONE = 0x9004,
    EVT_SHOW_RESULT = 0x9005,
    EVT_HTTP_UNREACHABLE = 0x9007,
};

// Second parameter of EVT_HTTP_UNREACHABLE: the row of that MAC gets that status index.
struct CameraStatusEvent {
    const char* mac;
    int statusIndex;
};

// The owner's callbacks. Each is called without any engine lock held, on the engine's
// threads (dispatch thread, workers) or the caller's. `record` in OnCameraChanged points to a
// copy of the camera's record taken under the engine lock, valid for the call only (it may be
// null); to change the real record, look it up again by its MAC.
struct EngineOwnerSlots {
    void* owner = nullptr;
    void (*OnCameraChanged)(void* owner, int replyType, const CameraRecord* record) = nullptr;
    bool (*IsMacListed)(void* owner, const char* mac) = nullptr;
    // Posts WM_CAMERA_EVENT: handled later on the owner's thread.
    void (*PostCameraEvent)(void* owner, uint32_t code, void* param) = nullptr;
    // Sends WM_CAMERA_EVENT: handled before the call returns (param may live on the stack).
    void (*SendCameraEvent)(void* owner, uint32_t code, void* param) = nullptr;
};
