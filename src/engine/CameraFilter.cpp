#include "engine/CameraFilter.h"

#include <cstring>

namespace {
const char* FieldText(const CameraRecord& record, int field) {
    switch (field) {
        case FILTER_NAME: return record.name;
        case FILTER_MAC: return record.mac;
        case FILTER_IP: return record.ip;
        case FILTER_PORT: return record.httpPort;
        case FILTER_FW_VERSION: return record.fwVersion;
        case FILTER_CUSTOMER: return record.company;
        default: return nullptr;
    }
}
}  // namespace

bool FilterShowsCamera(const CameraRecord& record, int field, const char* text, bool invert) {
    if (text == nullptr || text[0] == '\0') return true;
    const char* value = FieldText(record, field);
    if (value == nullptr) return true;
    const size_t n = std::strlen(text);
    // A field shorter than the text cannot match; strncmp stops at its terminator.
    const bool matches = std::strncmp(value, text, n) == 0;
    return matches != invert;
}

std::vector<size_t> FilterCameras(const std::vector<CameraRecord>& records, int field,
                                  const char* text, bool invert) {
    std::vector<size_t> shown;
    shown.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        if (FilterShowsCamera(records[i], field, text, invert)) shown.push_back(i);
    return shown;
}
