#include "onvif/OnvifDeviceList.h"

#include <algorithm>

namespace tarsel::onvif {

MergeResult OnvifDeviceList::Merge(const ProbeMatch& match, const std::string& adapter,
                                   uint32_t sourceAddress) {
    OnvifDevice merged;
    MergeResult result = MergeLocked(match, adapter, sourceAddress, listener_ ? &merged : nullptr);
    if (result != MergeResult::Full && listener_) listener_(merged);
    return result;
}

MergeResult OnvifDeviceList::MergeLocked(const ProbeMatch& match, const std::string& adapter,
                                         uint32_t sourceAddress, OnvifDevice* copy) {
    std::lock_guard<std::mutex> lock(mutex_);
    MergeResult result = MergeResult::Updated;
    const auto found = index_.find(match.endpoint);
    OnvifDevice* it = nullptr;
    if (found != index_.end()) {
        it = &devices_[found->second];
    } else {
        if (devices_.size() >= capacity_) {
            ++dropped_;
            return MergeResult::Full;
        }
        index_.emplace(match.endpoint, devices_.size());
        it = &devices_.emplace_back();
        result = MergeResult::Added;
    }
    // A later answer carries the device's current facts (an address it took since, new
    // scopes); an answer with a lower MetadataVersion is an old one that arrived late.
    if (result == MergeResult::Added || match.metadataVersion >= it->match.metadataVersion) {
        it->match = match;
        it->sourceAddress = sourceAddress;
    }
    if (!adapter.empty() && std::find(it->adapters.begin(), it->adapters.end(), adapter) == it->adapters.end())
        it->adapters.push_back(adapter);
    ++it->answers;
    if (copy != nullptr) *copy = *it;
    return result;
}

std::vector<OnvifDevice> OnvifDeviceList::Devices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_;
}

size_t OnvifDeviceList::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_.size();
}

size_t OnvifDeviceList::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace tarsel::onvif
