#pragma once
// The cameras busy with a setting or a factory default, as the camera list watches them:
// at most 256, each with its action and the tick it started. Scan decides, from the time
// passed, which to re-query and which to give up on; the caller carries the decisions out
// on its own thread. Every operation takes the table's lock, so the watcher's thread and
// the window's thread may use it at once.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/CameraRecord.h"

struct BusySlot {
    uint32_t viaHttp;
    char mac[CAMERA_TEXT_SHORT];  // empty: the slot is free
    char action[8];               // "SETTING" or "DEFAULT"
    uint32_t since;               // tick in milliseconds
};

// What the watcher does about one slot.
struct BusyDecision {
    enum Kind {
        Requery,         // a defaulted camera that still shows a busy status: ask it again
        SettingExpired,  // a setting no reply ever confirmed
        DefaultExpired,  // a defaulted camera that never came back
        DefaultSettled,  // a defaulted camera that answered again (its row shows "View")
    };
    Kind kind;
    std::string mac;
    bool viaHttp;
};

class BusyTable {
public:
    static constexpr int kSlots = 256;
    static constexpr uint32_t kSettingSeconds = 60;
    static constexpr uint32_t kDefaultSeconds = 100;
    static constexpr uint32_t kRequeryAfterSeconds = 60;
    static constexpr uint32_t kRequeryEverySeconds = 5;

    // Into the first free slot; false when all are used (the camera is not watched).
    // action is "SETTING" or "DEFAULT"; a camera already watched gets its slot renewed.
    bool MarkBusy(const char* mac, const char* action, uint32_t viaHttp, uint32_t now);
    void ClearBusy(const char* mac);
    void Clear();
    bool IsBusy(const char* mac) const;
    int Count() const;

    // Looks at every slot at tick `now`. statusOf gives the row's status index of a MAC
    // (called with the table's lock released). Expired and settled slots are freed.
    std::vector<BusyDecision> Scan(uint32_t now, const std::function<int(const char* mac)>& statusOf);

private:
    mutable std::mutex m_lock;
    BusySlot m_slots[kSlots] = {};
};
