#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/stdafx.h"
#include "finder/LibIP.h"
#include "platform/HostAdapters.h"

namespace {

// atoi without its undefined overflow: the leading decimal number, clamped to int's range.
long long LeadingNumber(const char* text) {
    errno = 0;
    long long n = std::strtoll(text, nullptr, 10);
    return n;
}

bool InMaskSet(uint64_t octet) {
    switch (octet) {
        case 0: case 128: case 192: case 224: case 240: case 248: case 252: case 254:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool IsValidIpText(const char* text) {
    if (text == nullptr) return false;
    in_addr parsed{};
    return ::inet_pton(AF_INET, text, &parsed) == 1;
}

uint64_t IpTextToValue(const char* text) {
    if (!IsValidIpText(text)) return INVALID_IP_VALUE;
    uint64_t value = 0;
    const char* piece = text;
    for (int i = 0; i < 4; ++i) {
        value = value * 256 + static_cast<uint64_t>(LeadingNumber(piece));
        const char* dot = std::strchr(piece, '.');
        if (dot == nullptr) break;
        piece = dot + 1;
    }
    return value;
}

std::string IpValueToText(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>((value >> 24) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>(value & 0xFF));
    return text;
}

uint64_t SubnetOf(uint64_t address, uint64_t mask) { return address & mask; }

uint64_t LastAddress(uint64_t address, uint64_t mask) {
    return (address & mask) + ((static_cast<uint64_t>(1) << 32) - mask) - 1;
}

bool IsValidMaskText(const char* text) {
    uint64_t value = IpTextToValue(text);
    if (value == INVALID_IP_VALUE) return false;
    uint64_t o1 = (value >> 24) & 0xFF, o2 = (value >> 16) & 0xFF;
    uint64_t o3 = (value >> 8) & 0xFF, o4 = value & 0xFF;
    if (o1 != 255) return false;
    if (InMaskSet(o2) && o3 == 0 && o4 == 0) return true;
    if (o2 != 255) return false;
    if (InMaskSet(o3) && o4 == 0) return true;
    if (o3 != 255) return false;
    return o4 != 254 && InMaskSet(o4);
}

bool IsValidPortText(const char* text) {
    if (text == nullptr) return false;
    long long n = LeadingNumber(text);
    if (n <= 0 || n >= 65536) return false;
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%lld", n);
    return std::strcmp(formatted, text) == 0;
}

void EnumerateAdapters(std::vector<NetworkAdapter>& list) {
    list.clear();
    uint32_t counter = 0;
    for (const tarsel::HostAdapter& host : tarsel::ListHostAdapters()) {
        NetworkAdapter adapter{};
        adapter.index = counter++;
        CopyTruncated(adapter.name, host.name.c_str());
        CopyTruncated(adapter.description, host.description.c_str());
        CopyTruncated(adapter.gateway, "0.0.0.0");
        CopyTruncated(adapter.dns1, "0.0.0.0");
        CopyTruncated(adapter.dns2, "0.0.0.0");
        for (const auto& [address, mask] : host.addresses) {
            NetworkAddress pair{};
            CopyTruncated(pair.address, address.c_str());
            CopyTruncated(pair.mask, mask.c_str());
            adapter.addresses.push_back(pair);
        }
        // Like the platform's own adapter table, an adapter without an address shows one
        // "0.0.0.0" pair.
        if (adapter.addresses.empty()) {
            NetworkAddress none{};
            CopyTruncated(none.address, "0.0.0.0");
            CopyTruncated(none.mask, "0.0.0.0");
            adapter.addresses.push_back(none);
        }
        for (const std::string& gateway : host.gateways) {
            if (std::strcmp(adapter.gateway, "0.0.0.0") == 0 && gateway != "0.0.0.0") {
                CopyTruncated(adapter.gateway, gateway.c_str());
            }
        }
        for (const std::string& server : host.dns) {
            if (server.empty()) continue;
            if (std::strcmp(adapter.dns1, "0.0.0.0") == 0) {
                CopyTruncated(adapter.dns1, server.c_str());
            } else if (std::strcmp(adapter.dns2, "0.0.0.0") == 0) {
                CopyTruncated(adapter.dns2, server.c_str());
            }
        }
        list.push_back(std::move(adapter));
    }
}
