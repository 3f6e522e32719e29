#include "platform/NetworkDoctor.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/Interfaces.h"

namespace tarsel {
namespace {

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string RpFilter(const std::string& conf) {
    return ReadLine("/proc/sys/net/ipv4/conf/" + conf + "/rp_filter");
}

DoctorCheck RpFilterCheck(const std::string& conf, const std::string& adapter) {
    DoctorCheck c{"rp_filter", adapter, true, "", ""};
    const std::string value = RpFilter(conf);
    c.detail = "net.ipv4.conf." + conf + ".rp_filter is " + (value.empty() ? "unknown" : value);
    if (value == "1") {
        c.ok = false;
        c.detail += " (strict): replies from cameras in a foreign subnet are dropped";
        c.fix = "sysctl -w net.ipv4.conf." + conf + ".rp_filter=0 (or 2 where a route covers the cameras)";
    }
    return c;
}

// The program holding a socket inode, as "name (pid N)"; "" when it cannot be seen.
std::string SocketOwner(const std::string& inode) {
    const std::string wanted = "socket:[" + inode + "]";
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return "";
    std::string owner;
    while (dirent* p = readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9') continue;
        const std::string base = std::string("/proc/") + p->d_name;
        DIR* fds = opendir((base + "/fd").c_str());
        if (fds == nullptr) continue;
        while (dirent* f = readdir(fds)) {
            char target[64] = {};
            const std::string link = base + "/fd/" + f->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && wanted == target) {
                owner = ReadLine(base + "/comm") + " (pid " + p->d_name + ")";
                break;
            }
        }
        closedir(fds);
        if (!owner.empty()) break;
    }
    closedir(proc);
    return owner;
}

DoctorCheck ReplyPortCheck(unsigned short port) {
    DoctorCheck c{"reply-port", "", true, "UDP " + std::to_string(port) + " is free", ""};
    std::ifstream in("/proc/net/udp");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        const size_t colon = local.find(':');
        if (colon == std::string::npos) continue;
        if (std::strtoul(local.c_str() + colon + 1, nullptr, 16) != port) continue;
        const std::string owner = SocketOwner(inode);
        c.ok = false;
        c.detail = "UDP " + std::to_string(port) + " is already bound by " +
                   (owner.empty() ? "another program" : owner) + ": the cameras' replies may go to it";
        c.fix = "close that program (another camera finder?) while searching";
        break;
    }
    return c;
}

DoctorCheck MulticastCheck(const Ipv4Interface& adapter, const std::string& group) {
    DoctorCheck c{"multicast", adapter.name, true, "can join " + group, ""};
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ip_mreq request{};
    inet_pton(AF_INET, group.c_str(), &request.imr_multiaddr);
    inet_pton(AF_INET, adapter.addressText.c_str(), &request.imr_interface);
    if (s < 0 || setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        c.ok = false;
        c.detail = "cannot join " + group + ": " + std::strerror(errno) +
                   "; only broadcast replies will arrive";
        c.fix = "ip link set " + adapter.name + " multicast on";
    }
    if (s >= 0) close(s);
    return c;
}

bool CanOpen(int domain, int type, int protocol) {
    const int s = socket(domain, type | SOCK_CLOEXEC, protocol);
    if (s < 0) return false;
    close(s);
    return true;
}

DoctorCheck SettingsFileCheck(const std::string& path) {
    DoctorCheck c{"settings-file", "", true, path + " is writable", ""};
    std::string probe = path;
    if (access(path.c_str(), F_OK) != 0) {
        const size_t slash = path.rfind('/');
        probe = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        c.detail = path + " does not exist yet; its folder is writable";
    }
    if (access(probe.c_str(), W_OK) != 0) {
        c.ok = false;
        c.detail = probe + " is not writable: the address history and language are not kept";
        c.fix = "make it writable, or give --config FILE in a writable folder";
    }
    return c;
}

// The program's path from PATH (and the sbin folders, often left out of a user's PATH).
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = std::string(path ? path : "") + ":/usr/sbin:/sbin";
    std::istringstream in(folders);
    std::string folder;
    while (std::getline(in, folder, ':')) {
        if (folder.empty() || folder.find('\'') != std::string::npos) continue;
        const std::string candidate = folder + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

bool Mentions(const std::string& line, const std::string& word) {
    for (size_t at = line.find(word); at != std::string::npos; at = line.find(word, at + 1)) {
        const bool startOk = at == 0 || !std::isalnum(static_cast<unsigned char>(line[at - 1]));
        const size_t end = at + word.size();
        const bool endOk = end >= line.size() || !std::isalnum(static_cast<unsigned char>(line[end]));
        if (startOk && endOk) return true;
    }
    return false;
}

}  // namespace

namespace {

// Traffic a firewall may keep out: the words that name it in a rule, how it is said, and the
// match of a rule that lets it in.
struct Traffic {
    std::vector<std::string> words;
    std::string what;    // "the cameras' replies"
    std::string udp;     // "UDP 6565"
    std::string accept;  // "udp dport 6565 accept"
};

std::vector<DoctorCheck> NftChecks(const std::string& ruleset, const Traffic& traffic) {
    std::vector<DoctorCheck> checks;
    std::istringstream in(ruleset);
    std::string line, table, chain;
    bool inputHook = false, dropPolicy = false, accepted = false;
    const auto mentioned = [&](const std::string& rule) {
        for (const std::string& word : traffic.words)
            if (Mentions(rule, word)) return true;
        return false;
    };
    while (std::getline(in, line)) {
        const size_t first = line.find_first_not_of(" \t");
        line = first == std::string::npos ? "" : line.substr(first);
        if (line.rfind("table ", 0) == 0) {
            table = line.substr(6, line.find(" {") - 6);
        } else if (line.rfind("chain ", 0) == 0) {
            chain = line.substr(6, line.find(" {") - 6);
            inputHook = dropPolicy = accepted = false;
        } else if (!chain.empty() && line == "}") {
            if (inputHook && dropPolicy && !accepted)
                checks.push_back({"firewall", "", false,
                                  "nft chain " + table + " " + chain + " drops incoming packets by default "
                                  "and accepts no " + traffic.udp,
                                  "nft add rule " + table + " " + chain + " " + traffic.accept});
            chain.clear();
        } else if (!chain.empty()) {
            if (Mentions(line, "hook") && Mentions(line, "input")) inputHook = true;
            if (line.find("policy drop") != std::string::npos) dropPolicy = true;
            const bool ours = mentioned(line);
            if (ours && Mentions(line, "accept")) accepted = true;
            if (ours && (Mentions(line, "drop") || Mentions(line, "reject")))
                checks.push_back({"firewall", "", false,
                                  "nft chain " + table + " " + chain + " drops " + traffic.what + ": " + line,
                                  "remove that rule (nft -a list chain " + table + " " + chain +
                                      " shows its handle)"});
        }
    }
    return checks;
}

const Traffic kOnvifAnswers{{std::to_string(kOnvifDiscoveryPort)},
                            "the ONVIF devices' answers",
                            "UDP from port " + std::to_string(kOnvifDiscoveryPort),
                            "udp sport " + std::to_string(kOnvifDiscoveryPort) + " accept"};

// The program's standard output, or nullopt-like false when it could not run or failed
// (listing the rules needs root).
bool ReadProgram(const std::string& command, std::string& output) {
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    return pipe != nullptr && pclose(pipe) == 0;
}

}  // namespace

std::vector<DoctorCheck> FirewallChecks(const std::string& ruleset, unsigned short replyPort) {
    const std::string port = std::to_string(replyPort);
    return NftChecks(ruleset, {{port, "5656"}, "the cameras' replies", "UDP " + port,
                               "udp dport " + port + " accept"});
}

std::vector<DoctorCheck> OnvifFirewallChecks(const std::string& ruleset) {
    return NftChecks(ruleset, kOnvifAnswers);
}

std::vector<DoctorCheck> OnvifIptablesChecks(const std::string& saved) {
    std::vector<DoctorCheck> checks;
    const std::string port = std::to_string(kOnvifDiscoveryPort);
    std::istringstream in(saved);
    std::string line, table;
    std::vector<std::string> dropping;  // INPUT chains of the current table that drop by default
    std::vector<std::string> accepting;
    const auto close = [&] {
        for (const std::string& chain : dropping)
            if (std::find(accepting.begin(), accepting.end(), chain) == accepting.end())
                checks.push_back({"firewall", "", false,
                                  "iptables " + table + " chain " + chain + " drops incoming packets by "
                                  "default and accepts no " + kOnvifAnswers.udp,
                                  "iptables -t " + table + " -I " + chain + " -p udp --sport " + port +
                                      " -j ACCEPT"});
        dropping.clear();
        accepting.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("*", 0) == 0) {
            table = line.substr(1);
        } else if (line == "COMMIT") {
            close();
        } else if (line.rfind(":INPUT DROP", 0) == 0) {
            dropping.push_back("INPUT");
        } else if (line.rfind("-A ", 0) == 0 && Mentions(line, port)) {
            const std::string chain = line.substr(3, line.find(' ', 3) - 3);
            if (Mentions(line, "ACCEPT")) accepting.push_back(chain);
            if (Mentions(line, "DROP") || Mentions(line, "REJECT"))
                checks.push_back({"firewall", "", false,
                                  "iptables " + table + " drops " + kOnvifAnswers.what + ": " + line,
                                  "iptables -t " + table + " -D" + line.substr(2)});
        }
    }
    close();
    return checks;
}

DoctorCheck MulticastRouteCheck(const std::string& routes, const std::string& adapter,
                                const std::string& group) {
    DoctorCheck c{"onvif-route", adapter, true, "", ""};
    in_addr target{};
    inet_pton(AF_INET, group.c_str(), &target);
    // The most specific route covering the group, through this adapter or a rejecting one
    // ("unreachable", "prohibit", "blackhole" hold for every adapter).
    constexpr unsigned kRejectFlag = 0x0200;
    int bestPrefix = -1;
    bool bestRejects = false;
    std::string bestText;
    std::istringstream in(routes);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refCount, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refCount >> use >> metric >> mask))
            continue;
        const uint32_t dest = static_cast<uint32_t>(std::strtoul(destination.c_str(), nullptr, 16));
        const uint32_t bits = static_cast<uint32_t>(std::strtoul(mask.c_str(), nullptr, 16));
        const bool rejects = (std::strtoul(flags.c_str(), nullptr, 16) & kRejectFlag) != 0;
        if ((iface != adapter && !rejects) || (target.s_addr & bits) != dest) continue;
        const int prefix = __builtin_popcount(bits);
        if (prefix <= bestPrefix) continue;
        bestPrefix = prefix;
        bestRejects = rejects;
        in_addr shown{dest};
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &shown, text, sizeof text);
        bestText = std::string(text) + "/" + std::to_string(prefix);
    }
    // The probes' socket is bound to its adapter: the kernel sends them out through it
    // when no route, another adapter's route or a rejecting route is all the table has.
    // So this is told, never warned of: other programs' unbound multicast may differ.
    if (bestPrefix < 0) {
        c.detail = "no route covers " + group + " through " + adapter +
                   "; the ONVIF probes leave through it all the same (bound to it)";
    } else if (bestRejects) {
        c.detail = "the rejecting route " + bestText + " covers " + group +
                   "; the ONVIF probes leave through " + adapter + " all the same (bound to it)";
    } else {
        c.detail = "route " + bestText + " through " + adapter + " covers " + group;
    }
    return c;
}

std::vector<DoctorCheck> RunDoctor(const DoctorOptions& options) {
    std::vector<DoctorCheck> checks;
    int usable = 0;
    std::vector<Ipv4Interface> adapters;
    for (const Ipv4Interface& a : ListIpv4Interfaces()) {
        if (a.loopback) continue;
        DoctorCheck c{"adapter", a.name, true, "up with " + a.addressText, ""};
        if (!a.up) {
            c = {"adapter", a.name, false, "down", "ip link set " + a.name + " up"};
        } else if (a.addressText.empty()) {
            c = {"adapter", a.name, false, "up without an IPv4 address: no search goes out here",
                 "give it an address (ip addr add A/PREFIX dev " + a.name + ") or a DHCP lease"};
        } else {
            ++usable;
            adapters.push_back(a);
        }
        checks.push_back(c);
    }
    if (usable == 0)
        checks.push_back({"adapter", "", false, "no adapter is up with an IPv4 address",
                          "connect the camera network and give its adapter an address"});
    checks.push_back(RpFilterCheck("all", ""));
    for (const Ipv4Interface& a : adapters) checks.push_back(RpFilterCheck(a.name, a.name));
    for (const Ipv4Interface& a : adapters) checks.push_back(MulticastCheck(a, options.multicastGroup));
    checks.push_back(ReplyPortCheck(options.replyPort));

    std::string range;
    for (char ch : ReadLine("/proc/sys/net/ipv4/ping_group_range"))
        range += ch == '\t' ? ' ' : ch;  // the kernel separates the two ids with a tab
    if (CanOpen(AF_INET, SOCK_DGRAM, IPPROTO_ICMP)) {
        checks.push_back({"icmp", "", true, "unprivileged ICMP echo allowed (ping_group_range " + range + ")", ""});
    } else {
        checks.push_back({"icmp", "", false,
                          "unprivileged ICMP echo not allowed for this user's groups (ping_group_range " +
                              range + "): address probes use a raw socket or the ping program",
                          "sysctl -w net.ipv4.ping_group_range='0 2147483647'"});
    }
    if (CanOpen(AF_PACKET, SOCK_RAW, 0) && CanOpen(AF_INET, SOCK_RAW, IPPROTO_ICMP)) {
        checks.push_back({"raw-socket", "", true, "raw and packet sockets allowed", ""});
    } else {
        checks.push_back({"raw-socket", "", false,
                          "no raw-socket privilege: ARP probes read the kernel's neighbour table instead",
                          "run as root, or setcap cap_net_raw+ep on the program"});
    }
    checks.push_back(SettingsFileCheck(options.settingsPath));

    if (const std::string nft = FindProgram("nft"); !nft.empty()) {
        std::string ruleset;
        if (!ReadProgram("'" + nft + "' list ruleset 2>/dev/null", ruleset)) {
            checks.push_back({"firewall", "", true, "nft rules not checked: listing them needs root", ""});
        } else {
            std::vector<DoctorCheck> found = FirewallChecks(ruleset, options.replyPort);
            if (found.empty()) found.push_back({"firewall", "", true, "no nft rule drops the cameras' replies", ""});
            std::vector<DoctorCheck> onvif = OnvifFirewallChecks(ruleset);
            if (onvif.empty())
                onvif.push_back({"firewall", "", true, "no nft rule drops the ONVIF devices' answers", ""});
            checks.insert(checks.end(), found.begin(), found.end());
            checks.insert(checks.end(), onvif.begin(), onvif.end());
        }
    }
    // iptables rules (the legacy tables are not in nft's listing).
    if (const std::string iptables = FindProgram("iptables-save"); !iptables.empty()) {
        std::string saved;
        if (ReadProgram("'" + iptables + "' 2>/dev/null", saved)) {
            std::vector<DoctorCheck> found = OnvifIptablesChecks(saved);
            if (found.empty())
                found.push_back(
                    {"firewall", "", true, "no iptables rule drops the ONVIF devices' answers", ""});
            checks.insert(checks.end(), found.begin(), found.end());
        }
    }
    std::ifstream routeFile("/proc/net/route");
    const std::string routes((std::istreambuf_iterator<char>(routeFile)), std::istreambuf_iterator<char>());
    for (const Ipv4Interface& a : adapters)
        checks.push_back(MulticastRouteCheck(routes, a.name, kOnvifMulticastGroup));
    return checks;
}

}  // namespace tarsel
