#pragma once
// The one definition of the window message WM_CAMERA_EVENT and its event codes, through
// which the engine, the camera list and the dialogs reach the main window later or from
// another thread, and the slots through which the engine reaches its owner. No Qt here:
// the window's event type (controls/CameraEvent.h) is built from these numbers.

#include <cstdint>

struct CameraRecord;

// The platform's first user message plus 100 (0x464); it lies in the range of user event
// types of the window toolkit, so the window uses the number itself as its event type.
constexpr int WM_CAMERA_EVENT = 0x400 + 100;

constexpr int EVT_START_SEARCH = 0x9001;
constexpr int EVT_CHECK_CHANGED = 0x9002;
constexpr int EVT_SELECTION_CHANGED = 0x9003;
constexpr int EVT_AUTO_IP_DONE = 0x9004;
constexpr int EVT_SHOW_RESULT = 0x9005;
constexpr int EVT_HTTP_UNREACHABLE = 0x9007;

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
