#include "engine/CameraWarnings.h"

#include <map>

#include "finder/LibIP.h"

namespace {

// The address as a number; INVALID_IP_VALUE for a text that is none, or for 0.0.0.0.
uint64_t UsableAddress(const std::string& text) {
    const uint64_t value = IpTextToValue(text.c_str());
    return value == 0 ? INVALID_IP_VALUE : value;
}

bool InsideAnySubnet(uint64_t address, const std::vector<AdapterSubnet>& subnets) {
    for (const AdapterSubnet& subnet : subnets) {
        const uint64_t local = UsableAddress(subnet.address);
        const uint64_t mask = IpTextToValue(subnet.mask.c_str());
        if (local == INVALID_IP_VALUE || mask == INVALID_IP_VALUE) continue;
        if ((local & mask) == (address & mask)) return true;
    }
    return false;
}

}  // namespace

std::vector<std::vector<std::string>> CameraWarnings(const std::vector<CameraPlace>& cameras) {
    std::map<uint64_t, int> holders;
    for (const CameraPlace& camera : cameras) {
        const uint64_t address = UsableAddress(camera.ip);
        if (address != INVALID_IP_VALUE) ++holders[address];
    }
    std::vector<std::vector<std::string>> warnings(cameras.size());
    for (size_t i = 0; i < cameras.size(); ++i) {
        const uint64_t address = UsableAddress(cameras[i].ip);
        if (address == INVALID_IP_VALUE) continue;
        if (holders[address] > 1) warnings[i].push_back(kWarningDuplicateIp);
        bool anySubnet = false;
        for (const AdapterSubnet& subnet : cameras[i].adapterSubnets)
            anySubnet |= UsableAddress(subnet.address) != INVALID_IP_VALUE;
        if (anySubnet && !InsideAnySubnet(address, cameras[i].adapterSubnets))
            warnings[i].push_back(kWarningForeignSubnet);
    }
    return warnings;
}

std::vector<AdapterSubnet> AdapterSubnetsOf(const std::string& name) {
    std::vector<NetworkAdapter> adapters;
    EnumerateAdapters(adapters);
    std::vector<AdapterSubnet> subnets;
    for (const NetworkAdapter& adapter : adapters) {
        if (name != adapter.name) continue;
        for (const NetworkAddress& pair : adapter.addresses) subnets.push_back({pair.address, pair.mask});
    }
    return subnets;
}

std::string JoinWarnings(const std::vector<std::string>& warnings) {
    std::string text;
    for (const std::string& warning : warnings) text += (text.empty() ? "" : " ") + warning;
    return text;
}
