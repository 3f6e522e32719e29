#include "engine/CameraFilter.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char* FieldText(const CameraRecord& record, int field) {
    switch (field) {
        case FILTER_NAME: return record.name;
        case FILTER_MAC: return record.mac;
        case FILTER_IP: return record.ip;
        case FILTER_PORT: return record.httpPort;
        case FILTER_FW_VERSION: return record.fwVersion;
        case FILTER_CUSTOMER: return record.company;
        case FILTER_MODEL: return record.model;
        default: return nullptr;
    }
}

// The text folded for comparison: ASCII letters in lower case, and for a MAC without its
// separators, so that "001b2c" finds "00:1B:2C:...".
std::string Folded(const char* text, bool dropSeparators) {
    std::string folded;
    for (; *text != '\0'; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        if (dropSeparators && (c == ':' || c == '-' || c == '.' || c == ' ')) continue;
        folded.push_back(static_cast<char>(std::tolower(c)));
    }
    return folded;
}

// A whole number of at most `maxDigits` digits and no more than `max`, -1 otherwise.
long WholeNumber(const char* text, size_t length, size_t maxDigits, long max) {
    if (length == 0 || length > maxDigits) return -1;
    long value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value <= max ? value : -1;
}

// The value of a complete dotted address ("192.168.1.5"), -1 when the text is not one.
long long WholeAddress(const char* text) {
    long long value = 0;
    for (int part = 0; part < 4; ++part) {
        const char* end = part < 3 ? std::strchr(text, '.') : text + std::strlen(text);
        if (end == nullptr) return -1;
        const long octet = WholeNumber(text, static_cast<size_t>(end - text), 3, 255);
        if (octet < 0) return -1;
        value = value * 256 + octet;
        text = end + 1;
    }
    return value;
}

bool Matches(const char* value, int field, const char* text) {
    if (field == FILTER_IP) {
        const long long wanted = WholeAddress(text);
        if (wanted >= 0) return WholeAddress(value) == wanted;
    } else if (field == FILTER_PORT) {
        const long wanted = WholeNumber(text, std::strlen(text), 5, 65535);
        if (wanted >= 0) return WholeNumber(value, std::strlen(value), 5, 65535) == wanted;
    }
    const bool mac = field == FILTER_MAC;
    const std::string needle = Folded(text, mac);
    // A MAC text of separators alone asks for nothing in particular.
    return needle.empty() || Folded(value, mac).find(needle) != std::string::npos;
}
}  // namespace

bool FilterShowsCamera(const CameraRecord& record, int field, const char* text, bool invert) {
    if (text == nullptr || text[0] == '\0') return true;
    const char* value = FieldText(record, field);
    if (value == nullptr) return true;
    return Matches(value, field, text) != invert;
}
