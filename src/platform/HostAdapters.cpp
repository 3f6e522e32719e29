#include "platform/HostAdapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace tarsel {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string DottedText(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return "0.0.0.0";
    char text[INET_ADDRSTRLEN] = "0.0.0.0";
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                sizeof text);
    return text;
}

// 127.0.0.0/8: a resolver on this machine (a stub, dnsmasq, unbound). A camera asking it
// would ask itself.
bool IsLoopback(const std::string& address) { return address.rfind("127.", 0) == 0; }

// The interface an address belongs to: a labelled secondary address ("eth0:1") is listed
// under its interface ("eth0").
std::string InterfaceOfLabel(const char* label) {
    std::string name(label);
    return name.substr(0, name.find(':'));
}

}  // namespace

std::vector<std::string> CameraNameservers(std::string_view resolvConf,
                                           std::string_view upstreamConf) {
    std::vector<std::string> servers = ParseNameservers(resolvConf);
    const bool hadLocal = std::any_of(servers.begin(), servers.end(), IsLoopback);
    std::erase_if(servers, IsLoopback);
    if (servers.empty() && hadLocal) {
        // Only a local resolver: the servers it forwards to, when systemd-resolved says.
        servers = ParseNameservers(upstreamConf);
        std::erase_if(servers, IsLoopback);
    }
    return servers;
}

std::vector<std::string> ParseNameservers(std::string_view resolvConf) {
    std::vector<std::string> servers;
    std::istringstream in{std::string(resolvConf)};
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        if (!(words >> keyword >> address) || keyword != "nameserver") continue;
        in_addr parsed{};
        if (::inet_pton(AF_INET, address.c_str(), &parsed) == 1) servers.push_back(address);
    }
    return servers;
}

std::vector<std::string> SystemNameservers() {
    return CameraNameservers(ReadText("/etc/resolv.conf"),
                             ReadText("/run/systemd/resolve/resolv.conf"));
}

std::vector<std::pair<std::string, std::string>> ParseDefaultGateways(std::string_view routeTable) {
    struct Route {
        unsigned long metric;
        size_t order;
        std::string name;
        std::string gateway;
    };
    std::vector<Route> routes;
    std::istringstream in{std::string(routeTable)};
    std::string line;
    std::getline(in, line);  // column titles
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, flags, refCount, use, metric, mask;
        if (!(fields >> name >> destination >> gateway >> flags >> refCount >> use >> metric >> mask)) {
            continue;
        }
        // The kernel prints these words in hexadecimal, in network byte order.
        unsigned long dest = std::strtoul(destination.c_str(), nullptr, 16);
        unsigned long gw = std::strtoul(gateway.c_str(), nullptr, 16);
        unsigned long netmask = std::strtoul(mask.c_str(), nullptr, 16);
        unsigned long flagBits = std::strtoul(flags.c_str(), nullptr, 16);
        const unsigned long kUp = 0x1, kGateway = 0x2;
        if (dest != 0 || netmask != 0 || gw == 0 || (flagBits & (kUp | kGateway)) != (kUp | kGateway)) {
            continue;
        }
        in_addr address{};
        address.s_addr = static_cast<in_addr_t>(gw);
        char text[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &address, text, sizeof text);
        routes.push_back({std::strtoul(metric.c_str(), nullptr, 10), routes.size(), name, text});
    }
    std::stable_sort(routes.begin(), routes.end(),
                     [](const Route& a, const Route& b) { return a.metric < b.metric; });
    std::vector<std::pair<std::string, std::string>> result;
    for (const Route& route : routes) result.emplace_back(route.name, route.gateway);
    return result;
}

std::vector<HostAdapter> ListHostAdapters() {
    std::vector<HostAdapter> adapters;
    struct if_nameindex* names = ::if_nameindex();
    if (names == nullptr) return adapters;
    std::vector<std::pair<unsigned, std::string>> interfaces;
    for (struct if_nameindex* n = names; n->if_index != 0 && n->if_name != nullptr; ++n) {
        interfaces.emplace_back(n->if_index, n->if_name);
    }
    ::if_freenameindex(names);
    std::sort(interfaces.begin(), interfaces.end());

    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) list = nullptr;
    std::map<std::string, bool> loopback;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> addresses;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_name == nullptr) continue;
        const std::string name = InterfaceOfLabel(a->ifa_name);
        if (a->ifa_flags & IFF_LOOPBACK) loopback[name] = true;
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        addresses[name].emplace_back(DottedText(a->ifa_addr), DottedText(a->ifa_netmask));
    }
    if (list != nullptr) ::freeifaddrs(list);

    std::vector<std::pair<std::string, std::string>> gateways =
        ParseDefaultGateways(ReadText("/proc/thread-self/net/route"));
    std::vector<std::string> dns = SystemNameservers();

    for (const auto& [index, name] : interfaces) {
        if (loopback[name] || name == "lo") continue;
        HostAdapter adapter;
        adapter.name = name;
        adapter.description = name;
        std::string alias = ReadText("/sys/class/net/" + name + "/ifalias");
        while (!alias.empty() && (alias.back() == '\n' || alias.back() == ' ')) alias.pop_back();
        if (!alias.empty()) adapter.description += " (" + alias + ")";
        adapter.addresses = addresses[name];
        for (const auto& [routeInterface, gateway] : gateways) {
            if (routeInterface == name) adapter.gateways.push_back(gateway);
        }
        adapter.dns = dns;
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

}  // namespace tarsel
