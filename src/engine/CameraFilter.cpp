#include "engine/CameraFilter.h"

#include <cctype>
#include <cstring>

#include "engine/CameraTable.h"

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

bool IsMacSeparator(char c) { return c == ':' || c == '-' || c == '.' || c == ' '; }

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Does `value` contain `text`, ASCII letters compared without case, and for a MAC with the
// separators of both left out (so that "001b2c" finds "00:1B:2C:...")? Nothing is copied:
// the list asks this of every row on every key of the filter.
bool Contains(const char* value, const char* text, bool mac) {
    const auto skip = [mac](const char* at) {
        while (mac && *at != '\0' && IsMacSeparator(*at)) ++at;
        return at;
    };
    const char* first = skip(text);
    // A MAC text of separators alone asks for nothing in particular.
    if (*first == '\0') return true;
    for (const char* start = skip(value); *start != '\0'; start = skip(start + 1)) {
        const char* v = start;
        const char* t = first;
        while (*t != '\0' && *v != '\0' && SameLetter(*v, *t)) {
            v = skip(v + 1);
            t = skip(t + 1);
        }
        if (*t == '\0') return true;
    }
    return false;
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
    return Contains(value, text, field == FILTER_MAC);
}
}  // namespace

bool FilterShowsCamera(const CameraRecord& record, int field, const char* text, bool invert) {
    if (text == nullptr || text[0] == '\0') return true;
    const char* value = FieldText(record, field);
    if (value == nullptr) return true;
    return Matches(value, field, text) != invert;
}

std::string MakerOf(const CameraEntry& entry) {
    if (entry.record.company[0] != '\0' || entry.onvif == nullptr) return entry.record.company;
    return OnvifMaker(*entry.onvif);
}

std::string MakerColumnText(const CameraEntry& entry) {
    const std::string maker = MakerOf(entry);
    if (entry.kind != DeviceKind::Onvif) return maker;
    return maker.empty() ? kOnvifKindMark : std::string(kOnvifKindMark) + " " + maker;
}

bool FilterShowsEntry(const CameraEntry& entry, int field, const char* text, bool invert) {
    if (field != FILTER_MAKER) return FilterShowsCamera(entry.record, field, text, invert);
    if (text == nullptr || text[0] == '\0') return true;
    return Contains(MakerColumnText(entry).c_str(), text, false) != invert;
}
