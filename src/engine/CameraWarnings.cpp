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

uint64_t UsableCameraAddress(const std::string& ip) { return UsableAddress(ip); }

std::vector<std::string> WarningsOf(const std::string& ip, bool sharedAddress,
                                    const std::vector<AdapterSubnet>& adapterSubnets) {
    std::vector<std::string> warnings;
    const uint64_t address = UsableAddress(ip);
    if (address == INVALID_IP_VALUE) return warnings;
    if (sharedAddress) warnings.push_back(kWarningDuplicateIp);
    bool anySubnet = false;
    for (const AdapterSubnet& subnet : adapterSubnets) anySubnet |= UsableAddress(subnet.address) != INVALID_IP_VALUE;
    if (anySubnet && !InsideAnySubnet(address, adapterSubnets)) warnings.push_back(kWarningForeignSubnet);
    return warnings;
}

std::vector<std::vector<std::string>> CameraWarnings(const std::vector<CameraPlace>& cameras) {
    std::map<uint64_t, int> holders;
    for (const CameraPlace& camera : cameras) {
        const uint64_t address = UsableAddress(camera.ip);
        if (address != INVALID_IP_VALUE) ++holders[address];
    }
    std::vector<std::vector<std::string>> warnings(cameras.size());
    for (size_t i = 0; i < cameras.size(); ++i) {
        const uint64_t address = UsableAddress(cameras[i].ip);
        warnings[i] = WarningsOf(cameras[i].ip, address != INVALID_IP_VALUE && holders[address] > 1,
                                 cameras[i].adapterSubnets);
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
