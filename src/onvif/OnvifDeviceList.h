#pragma once
// The devices one search has heard, one entry per identity (the normalised EndpointReference
// address): repeated answers and answers through several adapters update that entry, which
// remembers every adapter that heard it. Safe to fill from several receiving threads.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "onvif/WsDiscovery.h"

namespace tarsel::onvif {

// The camera table holds at most this many devices of both kinds together.
inline constexpr size_t kDeviceTableMax = 8192;

struct OnvifDevice {
    ProbeMatch match;                   // the latest answer's facts
    uint32_t sourceAddress = 0;         // host order: who sent the latest answer
    std::vector<std::string> adapters;  // every adapter (interface name) that heard it
    unsigned answers = 0;               // answers merged into this entry
};

enum class MergeResult { Added, Updated, Full };

class OnvifDeviceList {
public:
    explicit OnvifDeviceList(size_t capacity = kDeviceTableMax) : capacity_(capacity) {}

    // Merges one match heard through adapter from sourceAddress. Full (nothing stored, the
    // caller logs it) when a new identity would pass the capacity.
    MergeResult Merge(const ProbeMatch& match, const std::string& adapter, uint32_t sourceAddress);

    // Called after each merge that stored something, with a copy of the merged entry, on the
    // merging thread and outside the list's lock. Set before the first merge.
    using Listener = std::function<void(const OnvifDevice&)>;
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    // A copy of every entry, in the order first heard.
    std::vector<OnvifDevice> Devices() const;
    size_t Size() const;
    // Answers refused by the capacity.
    size_t Dropped() const;

private:
    MergeResult MergeLocked(const ProbeMatch& match, const std::string& adapter, uint32_t sourceAddress,
                            OnvifDevice* copy);

    mutable std::mutex mutex_;
    size_t capacity_;
    Listener listener_;
    size_t dropped_ = 0;
    std::vector<OnvifDevice> devices_;
    std::unordered_map<std::string, size_t> index_;  // endpoint -> position in devices_
};

}  // namespace tarsel::onvif
