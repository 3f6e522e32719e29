#pragma once
// The one definition of the window message WM_CAMERA_EVENT and its event codes, through
// which the engine, the camera list and the dialogs reach the main window later or from
// another thread, and the slots through which the engine reaches its owner. No Qt here:
// the window's event type (controls/CameraEvent.h) is built from these numbers.

#include <cstdint>

// The platform's first user message plus 100 (0x464); it lies in the range of user event
// types of the window toolkit, so the window uses the number itself as its event type.
constexpr int WM_CAMERA_EVENT = 0x400 + 100;

constexpr int EVT_START_SEARCH = 0x9001;
constexpr int EVT_CHECK_CHANGED = 0x9002;
constexpr int EVT_SELECTION_CHANGED = 0x9003;
constexpr int EVT_AUTO_IP_DONE = 0x9004;
constexpr int EVT_SHOW_RESULT = 0x9005;
constexpr int EVT_HTTP_UNREACHABLE = 0x9007;

// The owner's callbacks. Each is called without any engine lock held, on the engine's
// threads (dispatch thread, workers) or the caller's.
struct EngineOwnerSlots {
    void* owner = nullptr;
    // The camera table has changes waiting (engine/CameraTable.h): called once when the
    // first change of a batch is noted; the owner takes the batch when it is ready.
    void (*OnCameraChanged)(void* owner) = nullptr;
    // Posts WM_CAMERA_EVENT: handled later on the owner's thread.
    void (*PostCameraEvent)(void* owner, uint32_t code, void* param) = nullptr;
};
