// A simulated camera's interface follows its settings: set address, DHCP lease, defaults.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "InterfaceFollower.h"
#include "SimCamera.h"
#include "support/TestSupport.h"

namespace {

struct Recorder {
    std::mutex mutex;
    std::vector<std::string> commands;
    std::vector<std::string> Commands() {
        std::lock_guard lock(mutex);
        return commands;
    }
};

using testsupport::WaitFor;

TEST(CamsimFollower, AddressLeaseAndDefaultsReachTheInterface) {
    camsim::SimCameraConfig config;
    config.mac = "00:1B:2C:00:00:05";
    config.ip = "192.168.1.101";
    config.gateway = "192.168.1.1";
    config.factoryIp = "192.168.1.220";
    config.factoryMask = "255.255.255.0";
    config.factoryMode = "manual";
    config.rebootSilentMs = 0;
    auto camera = std::make_shared<camsim::SimCamera>(config);
    Recorder rec;
    camsim::InterfaceFollower follower(camera, "eth0", [&](const std::vector<std::string>& args) {
        std::string line;
        for (const auto& a : args) line += (line.empty() ? "" : " ") + a;
        std::lock_guard lock(rec.mutex);
        rec.commands.push_back(line);
        return 0;
    });

    // A set request: several parameters, one change of the interface.
    EXPECT_EQ(3, camera->Apply("network.device_name=Gate&network.wire.ipv4.manual.address="
                               "192.168.1.151/255.255.0.0/192.168.1.254&network.wire.ipv4.mode=manual"));
    ASSERT_TRUE(WaitFor([&] { return follower.Changes() == 1; }));
    EXPECT_EQ((std::vector<std::string>{"addr flush dev eth0",
                                        "addr add 192.168.1.151/16 dev eth0",
                                        "route replace default via 192.168.1.254 dev eth0"}),
              rec.Commands());

    // A switch to DHCP leases another address of the subnet.
    EXPECT_TRUE(camera->Set("network.wire.ipv4.mode", "dhcp"));
    EXPECT_EQ("192.168.0.205", camera->Network().ip);
    EXPECT_EQ("dhcp", camera->Network().mode);
    ASSERT_TRUE(WaitFor([&] { return follower.Changes() == 2; }));
    EXPECT_EQ("addr add 192.168.0.205/16 dev eth0", rec.Commands()[4]);
    EXPECT_TRUE(camera->Set("network.wire.ipv4.mode", "dhcp"));  // already DHCP: same lease
    EXPECT_EQ("192.168.0.205", camera->Network().ip);

    // A software default keeps the network; a hardware default goes back to the factory one.
    camera->SoftwareDefault();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(2, follower.Changes());
    camera->HardwareDefault();
    ASSERT_TRUE(WaitFor([&] { return follower.Changes() == 3; }));
    EXPECT_EQ("addr add 192.168.1.220/24 dev eth0", rec.Commands()[7]);
    EXPECT_EQ(24, camsim::MaskPrefix("255.255.255.0"));
    EXPECT_EQ(-1, camsim::MaskPrefix("x"));
}

}  // namespace
