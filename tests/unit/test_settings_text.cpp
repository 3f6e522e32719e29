// The check every front end runs on a typed value before it goes into the settings text.

#include <gtest/gtest.h>

#include "engine/SettingsText.h"
#include "engine/CameraCommands.h"

TEST(SettingsText, RefusesSeparatorsControlsAndOverlongValues) {
    using K = SettingRefusal::Kind;
    const struct {
        std::string value;
        K kind;
        const char* character;
    } cases[] = {
        {"Kamera \xC5\xBC\xC3\xB3\xC5\x82ta #%+?/", K::None, ""},  // UTF-8, blanks
        {std::string(32, 'x'), K::None, ""},     {"a&b=c", K::Separator, "&"},
        {"a=b", K::Separator, "="},              {"line\nbreak", K::Control, "U+000A"},
        {std::string("nul\0x", 5), K::Control, "U+0000"}, {"del\x7F", K::Control, "U+007F"},
        {"c1\xC2\x85", K::Control, "U+0085"},    {std::string(33, 'x'), K::TooLong, ""},
    };
    for (const auto& c : cases) {
        const SettingRefusal r = CheckSettingValue("--name", c.value, kMaxDeviceNameBytes);
        EXPECT_EQ(c.kind, r.kind) << c.value;
        EXPECT_EQ(c.character, r.character) << c.value;
    }
    // Save refuses any field, names it, and builds nothing.
    CameraSettingsRequest request{"Cam", "192.168.1.20", "255.255.255.0", "", "manual", "80&system.reboot=1"};
    std::string payload;
    SettingRefusal why;
    EXPECT_EQ(-1, BuildSettingsPayload(request, &payload, &why));
    EXPECT_TRUE(payload.empty());
    EXPECT_NE(std::string::npos, why.Describe().find("port may not hold \"&\""));
}
