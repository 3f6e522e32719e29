// The simulated camera's parameter store and its configuration file.

#include <gtest/gtest.h>

#include "SimCamera.h"
#include "SimConfig.h"

namespace {

using camsim::SimCamera;
using camsim::SimCameraConfig;

TEST(SimCamera, AssignmentsAreValidatedAndListenersHearOfThem) {
    SimCameraConfig config;
    config.mac = "00:1B:2C:00:00:01";
    config.ip = "10.1.1.10";
    config.mode = "dhcp";
    SimCamera camera(config);
    std::vector<camsim::SimChange> changes;
    camera.AddListener([&](SimCamera&, camsim::SimChange change) { changes.push_back(change); });

    // Bad values are refused and leave the camera as it was.
    using namespace camsim::keys;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {kManualAddress, "10.1.1.300/255.255.255.0/"}, {kManualAddress, "10.1.1.20"},
             {kMode, "static"}, {kHttpPort, "70000"}, {kHttpPort, "8o"},
             {kMac, "00:00:00:00:00:00"} /* read-only */, {"no.such.key", "1"},
             {kDeviceName, std::string(128, 'n')}, {kDeviceName, ""}})
        EXPECT_FALSE(camera.Set(key, value)) << key << "=" << value;
    EXPECT_TRUE(changes.empty());

    // A DHCP camera keeps its leased address until it is switched to a static one.
    EXPECT_EQ(camera.Apply("network.wire.ipv4.manual.address=10.1.1.20/255.255.255.0/10.1.1.1"), 1);
    EXPECT_EQ(camera.Network().ip, "10.1.1.10");
    EXPECT_EQ(camera.Apply("&&network.wire.ipv4.mode=manual&bogus=1&"), 1);
    EXPECT_EQ(camera.Network().ip, "10.1.1.20");
    EXPECT_EQ(camera.Network().gateway, "10.1.1.1");
    EXPECT_EQ(camera.GetOr(camsim::keys::kCurrentAddress), "10.1.1.20/255.255.255.0/10.1.1.1");
    EXPECT_EQ(changes.size(), 2u);

    // Listeners run without the camera's lock held: they may read it back.
    std::string seen;
    camera.AddListener([&](SimCamera& c, camsim::SimChange) { seen = c.GetOr(camsim::keys::kDeviceName); });
    EXPECT_TRUE(camera.Set(camsim::keys::kDeviceName, "Dock"));
    EXPECT_EQ(seen, "Dock");
}

TEST(SimCamera, ConfigurationIsCheckedCameraByCamera) {
    std::vector<SimCameraConfig> cameras;
    std::string error;
    ASSERT_TRUE(camsim::ParseSimConfig(R"({"cameras":[
        {"name":"A","mac":"00:1B:2C:00:00:0A","ip":"192.168.1.10","httpPort":"8081",
         "factory":{"ip":"192.168.0.20"},"faults":{"neverAnswer":true,"replyDelayMs":50}},
        {"mac":"00:1B:2C:00:00:0B","serial":12345,"lan":"a","namespace":"g1"}]})",
                                       cameras, error))
        << error;
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].httpPort, 8081);
    EXPECT_TRUE(cameras[0].faults.neverAnswer);
    EXPECT_EQ(cameras[0].faults.replyDelayMs, 50);
    EXPECT_EQ(cameras[0].factoryIp, "192.168.0.20");
    EXPECT_EQ(cameras[1].serial, "12345");
    EXPECT_EQ(cameras[1].name, "Camera-2");

    EXPECT_FALSE(camsim::ParseSimConfig(R"({"cameras":[{"mac":"00:1B:2C:00:00"}]})", cameras, error));
    EXPECT_NE(error.find("camera 1"), std::string::npos);
    EXPECT_FALSE(camsim::ParseSimConfig(
        R"({"cameras":[{"mac":"00:1B:2C:00:00:01"},{"mac":"00:1b:2c:00:00:01"}]})", cameras, error));
    EXPECT_NE(error.find("used twice"), std::string::npos);
    for (const char* bad : {R"({"cameras":[{"mode":"static"}]})", R"({"cameras":[{"name":["x"]}]})",
                            "[1,2]", "{\"cameras\": ["})
        EXPECT_FALSE(camsim::ParseSimConfig(bad, cameras, error)) << bad;
}

}  // namespace
