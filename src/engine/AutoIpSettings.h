#pragma once
// The settings of one automatic IP assignment run: the chosen adapter, the range and what
// is sent to the cameras. Addresses are 64-bit address values (all ones = invalid).

#include <cstdint>
#include <string>

struct AutoIpSettings {
    std::string adapterName;   // the platform's adapter name, compared with each reply's
    std::string adapterLabel;  // the adapter's description, as listed
    uint64_t adapterIp = ~0ULL;
    uint64_t adapterMask = ~0ULL;
    uint64_t adapterGateway = ~0ULL;
    uint64_t adapterDns1 = ~0ULL;
    uint64_t adapterDns2 = ~0ULL;
    uint64_t startIp = ~0ULL;
    uint64_t endIp = ~0ULL;
    uint64_t setMask = ~0ULL;
    uint64_t setGateway = ~0ULL;
    uint64_t setDns1 = ~0ULL;
    uint64_t setDns2 = ~0ULL;
    int32_t m_SetIPMode = 0;  // 0 "Auto": the adapter's own values; 1 "Manual": entered ones
};
