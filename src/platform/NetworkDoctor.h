#pragma once
// Why a camera does not show up: the host-side causes a finder meets, each checked and
// reported with what to do about it. Checks per adapter (up with IPv4, strict reverse-path
// filtering, multicast membership) and for the system (reverse-path filtering on "all",
// the reply port held by another program, unprivileged ICMP, raw sockets, the settings
// file, firewall rules that drop the cameras' replies).

#include <string>
#include <vector>

namespace tarsel {

struct DoctorCheck {
    std::string check;    // "adapter", "rp_filter", "reply-port", "multicast", "icmp",
                          // "raw-socket", "settings-file", "firewall"
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

}  // namespace tarsel
