#include "engine/SettingsText.h"

#include <cstdio>
#include <utility>

#include "common/CameraText.h"
#include "engine/CameraCommands.h"

std::string SettingRefusal::Describe() const {
    switch (kind) {
        case Separator:
            return field + " may not hold \"" + character +
                   "\": it separates the settings sent to the camera";
        case Control:
            return field + " may not hold the control character " + character;
        case TooLong:
            return field + " holds at most " + std::to_string(limit) + " bytes";
        case NotUtf8:
            return field + " is not valid UTF-8 text";
        case None:
            break;
    }
    return "";
}

namespace {
std::string CodePoint(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", value);
    return text;
}
}  // namespace

SettingRefusal CheckSettingValue(const std::string& field, const std::string& value,
                                 size_t maxBytes) {
    SettingRefusal refusal;
    refusal.field = field;
    for (size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c == '&' || c == '=') {
            refusal.kind = SettingRefusal::Separator;
            refusal.character = std::string(1, static_cast<char>(c));
            return refusal;
        }
        if (c < 0x20 || c == 0x7F) {
            refusal.kind = SettingRefusal::Control;
            refusal.character = CodePoint(c);
            return refusal;
        }
        // U+0080..U+009F, the C1 controls, are 0xC2 0x80..0x9F in UTF-8.
        if (c == 0xC2 && i + 1 < value.size()) {
            const auto next = static_cast<unsigned char>(value[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                refusal.kind = SettingRefusal::Control;
                refusal.character = CodePoint(next);
                return refusal;
            }
        }
    }
    if (value.size() > maxBytes) {
        refusal.kind = SettingRefusal::TooLong;
        refusal.limit = maxBytes;
    }
    return refusal;
}

SettingRefusal CheckTypedSettingValue(const std::string& field, const std::string& value,
                                      size_t maxBytes) {
    SettingRefusal refusal = CheckSettingValue(field, value, maxBytes);
    if (!refusal && !IsValidUtf8(value)) {
        refusal.kind = SettingRefusal::NotUtf8;
        refusal.field = field;
    }
    return refusal;
}

SettingRefusal CheckSettingsRequest(const CameraSettingsRequest& request) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"name", &request.name}, {"address", &request.ip}, {"mask", &request.mask},
        {"gateway", &request.gateway}, {"mode", &request.mode}, {"port", &request.port}};
    for (const auto& [label, value] : fields) {
        const size_t limit = value == &request.name ? kMaxDeviceNameBytes : kMaxSettingValueBytes;
        if (SettingRefusal refusal = CheckSettingValue(label, *value, limit)) return refusal;
    }
    return {};
}
