#pragma once
// The host's network interfaces with their first IPv4 address, in the kernel's order.

#include <string>
#include <vector>

namespace tarsel {

struct Ipv4Interface {
    std::string name;         // interface name, e.g. "eth0"
    std::string addressText;  // first IPv4 address, dotted; "" when it has none
    bool up = false;
    bool loopback = false;
};

// One entry per interface; an empty list when the enumeration fails.
std::vector<Ipv4Interface> ListIpv4Interfaces();

}  // namespace tarsel
