#include "engine/EngineInternal.h"

#include <arpa/inet.h>

#include <cstdio>

namespace engine_internal {

uint64_t AddressValue(const char* text) {
    in_addr parsed{};
    if (text == nullptr || inet_pton(AF_INET, text, &parsed) != 1) return ~0ULL;
    return ntohl(parsed.s_addr);
}

std::string AddressText(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>((value >> 24) & 255),
                  static_cast<unsigned>((value >> 16) & 255),
                  static_cast<unsigned>((value >> 8) & 255), static_cast<unsigned>(value & 255));
    return text;
}

}  // namespace engine_internal
