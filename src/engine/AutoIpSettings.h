#pragma once
// The settings of one automatic IP assignment run: the chosen adapter, the range and what
// is sent to the cameras. Addresses are 64-bit address values (all ones = invalid).

#include <cstdint>
#include <string>
#include <vector>

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

struct NetworkAdapter;

// Why a form is refused (the window and the command line say it in their own texts).
enum class AutoIpRefusal {
    None = 0,
    AdapterError,   // the adapter or its address is no longer there
    InvalidIp,      // a value that is no address, a bad mask, an unknown mode
    RangeError,     // the range is reversed or leaves the subnet's host addresses
    GatewaySubnet,  // the gateway lies outside the range's subnet
};

// What the user entered in the automatic IP dialog.
struct AutoIpForm {
    std::string adapterText;  // the adapter list's text: an adapter description
    std::string addressText;  // the address list's text: one address of that adapter
    std::string start, end, mask, gateway, dns1, dns2;
    int32_t mode = 0;  // m_SetIPMode
};

// Checks the form against the adapters and fills settings: None, or why it is refused.
// settings is changed only on success.
AutoIpRefusal ValidateAutoIpSettings(const AutoIpForm& form, const std::vector<NetworkAdapter>& adapters,
                                     AutoIpSettings* settings);
// The same against the adapters as they are now.
AutoIpRefusal ValidateAutoIpSettings(const AutoIpForm& form, AutoIpSettings* settings);

// The gateway sent to a camera given newIp, whose gateway is now cameraGateway. In "Auto"
// mode an adapter without a gateway (0.0.0.0) offers nothing to replace the camera's own:
// the camera keeps its gateway when that is a host address of the new subnet, so a working
// route is not lost. Otherwise the run's gateway (setGateway).
uint64_t GatewayToSend(const AutoIpSettings& settings, uint64_t newIp, uint64_t cameraGateway);

// Whether the run may hand out address to a camera whose gateway is now cameraGateway.
// Never the network or broadcast address of the subnet it sets, this PC's own address on
// the adapter, the gateway the run sends or the adapter's, nor the camera's own gateway
// (the router the cameras there use, even when this PC has no gateway): a camera on any
// of them cuts off the PC, the router or the whole subnet.
bool MayAssignAddress(const AutoIpSettings& settings, uint64_t address, uint64_t cameraGateway);
