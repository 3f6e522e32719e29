#pragma once
// Why a camera does not show up: the host-side causes a finder meets, each checked and
// reported with what to do about it. Checks per adapter (up with IPv4, strict reverse-path
// filtering, multicast membership) and for the system (reverse-path filtering on "all",
// the reply port held by another program, unprivileged ICMP, raw sockets, the settings
// file, firewall rules that drop the cameras' replies or the ONVIF devices' answers, and
// the route of the ONVIF multicast group through each adapter).

#include <string>
#include <vector>

namespace tarsel {

struct DoctorCheck {
    std::string check;    // "adapter", "rp_filter", "reply-port", "multicast", "icmp",
                          // "raw-socket", "settings-file", "firewall", "onvif-route"
    std::string adapter;  // the interface; "" for a check of the whole system
    bool ok = true;
    std::string detail;   // what was found, one line
    std::string fix;      // what to do, one line; "" when ok
};

struct DoctorOptions {
    std::string settingsPath;  // the settings file the program uses
    unsigned short replyPort = 6565;
    std::string multicastGroup = "239.0.0.10";
};

std::vector<DoctorCheck> RunDoctor(const DoctorOptions& options);

// The firewall part on its own, from the text of `nft list ruleset`: input chains that
// drop by default without accepting the reply port, and rules that drop or reject it.
std::vector<DoctorCheck> FirewallChecks(const std::string& ruleset, unsigned short replyPort);

// ONVIF devices answer WS-Discovery from UDP port 3702 to the probing socket's own
// (ephemeral) port, to the multicast group's probes as to unicast ones.
inline constexpr unsigned short kOnvifDiscoveryPort = 3702;
inline constexpr char kOnvifMulticastGroup[] = "239.255.255.250";
// The same for their answers, from `nft list ruleset`: rules that drop or reject UDP port
// 3702, input chains that drop by default without accepting UDP from port 3702.
std::vector<DoctorCheck> OnvifFirewallChecks(const std::string& ruleset);
// The same from `iptables-save`.
std::vector<DoctorCheck> OnvifIptablesChecks(const std::string& saved);
// From the text of /proc/net/route: the most specific route covering the group through the
// adapter, or rejecting it ("unreachable", "prohibit", "blackhole"). Told, never a warning:
// the probes' socket is bound to the adapter, and the kernel sends them through it whatever
// the table holds (a rejecting route included).
DoctorCheck MulticastRouteCheck(const std::string& routes, const std::string& adapter,
                                const std::string& group);

}  // namespace tarsel
