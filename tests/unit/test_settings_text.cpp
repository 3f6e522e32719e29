// The check every front end runs on a typed value before it goes into the settings text.

#include <gtest/gtest.h>

#include "engine/SettingsText.h"
#include "engine/WindowLogic.h"

namespace {

TEST(SettingsText, RefusesSeparatorsControlsAndOverlongValues) {
    struct Case {
        std::string value;
        SettingRefusal::Kind kind;
        const char* character;
    };
    const Case cases[] = {
        {"Cam #2 A", SettingRefusal::None, ""},
        {"Kamera \xC5\xBC\xC3\xB3\xC5\x82ta %+?/", SettingRefusal::None, ""},  // UTF-8, blanks
        {std::string(32, 'x'), SettingRefusal::None, ""},
        {"a&b=c", SettingRefusal::Separator, "&"},
        {"a=b", SettingRefusal::Separator, "="},
        {"line\nbreak", SettingRefusal::Control, "U+000A"},
        {"tab\there", SettingRefusal::Control, "U+0009"},
        {std::string("nul\0x", 5), SettingRefusal::Control, "U+0000"},
        {"del\x7F", SettingRefusal::Control, "U+007F"},
        {"c1\xC2\x85", SettingRefusal::Control, "U+0085"},
        {std::string(33, 'x'), SettingRefusal::TooLong, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const SettingRefusal r = CheckSettingValue("--name", c.value, kMaxDeviceNameBytes);
        EXPECT_EQ(c.kind, r.kind);
        EXPECT_EQ(c.character, r.character);
        if (c.kind != SettingRefusal::None) {
            EXPECT_NE(std::string::npos, r.Describe().find("--name"));
        }
    }
}

TEST(SettingsText, SaveRefusesAnyFieldAndBuildsNothing) {
    CameraSettingsRequest ok{"Cam #2 A", "192.168.1.20", "255.255.255.0", "", "manual", "80"};
    std::string payload;
    ASSERT_EQ(0, BuildSettingsPayload(ok, &payload));
    EXPECT_EQ(0u, payload.find("network.device_name=Cam #2 A&"));

    CameraSettingsRequest injected = ok;
    injected.port = "80&system.reboot=1";
    SettingRefusal why;
    payload.clear();
    EXPECT_EQ(-1, BuildSettingsPayload(injected, &payload, &why));
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ("port", why.field);
    EXPECT_EQ("&", why.character);

    injected = ok;
    injected.name = "a&b=c";
    EXPECT_EQ(-1, BuildSettingsPayload(injected, &payload, &why));
    EXPECT_EQ("name", why.field);
}

}  // namespace
