#pragma once
// The machine's network interfaces as the adapter list needs them: every interface but
// loopback with its IPv4 addresses (labelled secondary ones included), its default gateway
// and the DNS servers a camera can use.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarsel {

struct HostAdapter {
    std::string name;         // interface name
    std::string description;  // interface name, plus " (alias)" when an ifalias is set
    std::vector<std::pair<std::string, std::string>> addresses;  // dotted address, mask
    std::vector<std::string> gateways;                            // default gateways
    std::vector<std::string> dns;                                 // IPv4 name servers
};

// Every non-loopback interface in interface-index order; empty when the kernel says nothing.
std::vector<HostAdapter> ListHostAdapters();

// The IPv4 "nameserver" entries of a resolv.conf text, in order.
std::vector<std::string> ParseNameservers(std::string_view resolvConf);
// The name servers a camera can use, from a resolv.conf text: never a loopback address
// (127.x: a local resolver such as a stub, dnsmasq or unbound); when only such local ones
// are named, those of upstreamConf (systemd-resolved's list). Empty when none is left.
std::vector<std::string> CameraNameservers(std::string_view resolvConf,
                                           std::string_view upstreamConf);
// CameraNameservers of /etc/resolv.conf and /run/systemd/resolve/resolv.conf.
std::vector<std::string> SystemNameservers();

// The default gateways per interface from a /proc/net/route text, lowest metric first:
// pairs of interface name and dotted gateway.
std::vector<std::pair<std::string, std::string>> ParseDefaultGateways(std::string_view routeTable);

}  // namespace tarsel
