// The window's checks before it changes a camera: Save's input, the selection a reboot or
// default needs, and the web page a camera's address gives.

#include <gtest/gtest.h>

#include "engine/CommandChecks.h"
#include "finder/LibIP.h"

TEST(CommandChecks, SaveRefusesWhatCannotBeSentOrUsed) {
    const CameraSettingsRequest good{"Lobby 2", "192.168.1.20", "255.255.255.0", "", "manual", "8080"};
    EXPECT_EQ(CheckSaveInput(good), SAVE_OK);  // an empty gateway is fine
    auto with = [&](auto change) {
        CameraSettingsRequest request = good;
        change(request);
        return CheckSaveInput(request);
    };
    EXPECT_EQ(with([](auto& r) { r.name = "a&b=c"; }), SAVE_NAME_CHARACTERS);
    EXPECT_EQ(with([](auto& r) { r.name = "line\nbreak"; }), SAVE_NAME_CHARACTERS);
    EXPECT_EQ(with([](auto& r) { r.name = std::string(12, 'x') + "\xE6\x94\x9D\xE5\xBD\xB1\xE6\xA9\x9F\xE5\x90\x8D\xE7\xA8\xB1\xE9\x81\x8E\xE9\x95\xB7"; }),
              SAVE_NAME_TOO_LONG);  // 19 characters, 33 bytes
    EXPECT_EQ(with([](auto& r) { r.ip = "192.168.1.300"; }), SAVE_BAD_ADDRESS);
    EXPECT_EQ(with([](auto& r) { r.mask = "255.0.255.0"; }), SAVE_BAD_MASK);
    EXPECT_EQ(with([](auto& r) { r.gateway = "gw"; }), SAVE_BAD_GATEWAY);
    EXPECT_EQ(with([](auto& r) { r.port = "0"; }), SAVE_BAD_PORT);
    EXPECT_EQ(with([](auto& r) { r.port = "65536"; }), SAVE_BAD_PORT);
    // Outside manual mode the address fields are sent as shown, but never with a separator.
    EXPECT_EQ(with([](auto& r) { r.mode = "dhcp"; r.ip = "0.0.0.0.0"; }), SAVE_OK);
    EXPECT_EQ(with([](auto& r) { r.mode = "dhcp"; r.ip = "1.2.3.4&network.device_name=x"; }), SAVE_BAD_ADDRESS);
    EXPECT_EQ(with([](auto& r) { r.mode = ""; }), SAVE_OK);
    EXPECT_EQ(with([](auto& r) { r.mode = "static"; }), SAVE_BAD_MODE);
    // A gateway outside the new subnet cuts the camera off; 0.0.0.0 means none.
    EXPECT_EQ(with([](auto& r) { r.ip = "192.168.2.31"; r.gateway = "192.168.1.254"; }), SAVE_GATEWAY_SUBNET);
    EXPECT_EQ(with([](auto& r) { r.gateway = "192.168.1.254"; }), SAVE_OK);
    EXPECT_EQ(with([](auto& r) { r.gateway = "0.0.0.0"; }), SAVE_OK);
    EXPECT_EQ(with([](auto& r) { r.mode = "dhcp"; r.gateway = "10.0.0.1"; }), SAVE_OK);
}

TEST(CommandChecks, ReachableOnlyInASubnetOfThePcsAdapters) {
    NetworkAdapter eth0{0, "eth0", "eth0", "0.0.0.0", "0.0.0.0", "0.0.0.0", {{"192.168.1.2", "255.255.255.0"}}};
    NetworkAdapter down{1, "eth1", "eth1", "0.0.0.0", "0.0.0.0", "0.0.0.0", {{"0.0.0.0", "0.0.0.0"}}};
    CameraSettingsRequest request{"Gate", "192.168.1.31", "255.255.255.0", "", "manual", "80"};
    EXPECT_TRUE(ReachableFromAdapters(request, {down, eth0}));
    request.ip = "192.168.2.31";
    EXPECT_FALSE(ReachableFromAdapters(request, {down, eth0}));
    request.mode = "dhcp";  // the camera chooses its address: nothing to judge
    EXPECT_TRUE(ReachableFromAdapters(request, {}));
}

TEST(CommandChecks, SelectionForACommand) {
    auto verified = [](const std::string& mac) { return mac != "unverified"; };
    // The first checked row that fails decides, in list order.
    EXPECT_EQ(CommandSelectionMessage({{"a", false}, {"unverified", false}, {"b", true}}, "", false, verified), 0);
    EXPECT_EQ(CommandSelectionMessage({{"a", false}, {"b", true}, {"unverified", false}}, "", false, verified), 9);
    // Checked rows win over the selected camera.
    EXPECT_EQ(CommandSelectionMessage({{"a", false}}, "unverified", false, verified), -1);
    EXPECT_EQ(CommandSelectionMessage({}, "", false, verified), 4);
    EXPECT_EQ(CommandSelectionMessage({}, "unverified", false, verified), 0);
    EXPECT_EQ(CommandSelectionMessage({}, "a", true, verified), 9);
    EXPECT_EQ(CommandSelectionMessage({}, "a", false, verified), -1);
}

TEST(CommandChecks, WebPageOnlyForADottedAddressAndAPort) {
    std::string url;
    ASSERT_TRUE(CameraPageUrl("192.168.1.20", "8080", &url));
    EXPECT_EQ(url, "http://192.168.1.20:8080");
    for (const auto& [ip, port] : std::vector<std::pair<std::string, std::string>>{
             {"192.168.1", "80"}, {"evil.example", "80"}, {"1.2.3.4/x", "80"}, {"1.2.3.4", "0"},
             {"1.2.3.4", "65536"}, {"1.2.3.4", "80 --x"}, {"", ""}}) {
        EXPECT_FALSE(CameraPageUrl(ip, port, &url)) << ip << ":" << port;
    }
}
