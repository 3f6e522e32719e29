#pragma once
// Whether a value a user typed can travel in a camera's settings text. The settings go to
// the camera as "key=value" assignments joined by "&" (in the discovery set packet and in
// the HTTP set request alike), so a value holding "&" or "=" would split into other
// settings, and a control character or line break has no place in a camera's field. The
// window's Save, `tarsel set` and plan files all check here, before anything is sent, so
// that they refuse the same input with the same reason.

#include <cstddef>
#include <string>

struct CameraSettingsRequest;

struct SettingRefusal {
    enum Kind { None, Separator, Control, TooLong, NotUtf8 };
    Kind kind = None;
    std::string field;      // the field's label as the user knows it ("name", "port")
    std::string character;  // the refused character: "&", "=", or "U+000A" for a control
    size_t limit = 0;       // TooLong: the most bytes the field holds

    explicit operator bool() const { return kind != None; }
    // One English sentence naming the field and the character, for messages and logs.
    std::string Describe() const;
};

// The longest device name a camera holds, in bytes (UTF-8 text counts its bytes).
constexpr size_t kMaxDeviceNameBytes = 32;
// The longest of the other values (address, mask, gateway, mode, port) a record holds.
constexpr size_t kMaxSettingValueBytes = 31;

// The first reason value cannot be sent in field; no refusal when it can. Every printable
// character is allowed, blanks and UTF-8 included; "&", "=", C0 and C1 control characters
// and DEL are not, nor more than maxBytes bytes.
SettingRefusal CheckSettingValue(const std::string& field, const std::string& value,
                                 size_t maxBytes);

// The same for a value a person typed or planned, which must also be valid UTF-8. A value
// kept from the camera is not held to that: a camera may name itself in another encoding,
// and its own name goes back to it as it came.
SettingRefusal CheckTypedSettingValue(const std::string& field, const std::string& value,
                                      size_t maxBytes);

// Every value Save sends, in the order they are sent: name, address, mask, gateway, mode,
// port. An empty gateway is fine (it is sent as "0.0.0.0").
SettingRefusal CheckSettingsRequest(const CameraSettingsRequest& request);
