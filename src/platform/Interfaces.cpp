#include "platform/Interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace tarsel {

std::vector<Ipv4Interface> ListIpv4Interfaces() {
    std::vector<Ipv4Interface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return result;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr)
            continue;
        Ipv4Interface* known = nullptr;
        for (Ipv4Interface& existing : result) {
            if (existing.name == entry->ifa_name)
                known = &existing;
        }
        if (known == nullptr) {
            result.push_back(Ipv4Interface{entry->ifa_name, "", (entry->ifa_flags & IFF_UP) != 0,
                                           (entry->ifa_flags & IFF_LOOPBACK) != 0});
            known = &result.back();
        }
        if (known->addressText.empty() && entry->ifa_addr != nullptr &&
            entry->ifa_addr->sa_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) {
                known->addressText = text;
            }
        }
    }
    ::freeifaddrs(list);
    return result;
}

}  // namespace tarsel
