// The simulated camera's parameter store, its configuration file, and its discovery
// responder on the loopback address (unicast replies; nothing leaves 127.0.0.1).

#include <netinet/in.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "LibPacket/PacketProcess.h"
#include "SimCamera.h"
#include "SimConfig.h"
#include "UdpResponder.h"
#include "platform/UdpSocket.h"
#include "support/TestSupport.h"

namespace {

using namespace std::chrono_literals;
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

// A finder stand-in on the loopback address.
class LoopbackFinder {
public:
    LoopbackFinder() { tarsel::BindIPv4(fd_.Get(), INADDR_LOOPBACK, 0); }
    uint16_t Port() const { return tarsel::LocalPort(fd_.Get()); }

    void Query(uint16_t cameraPort, uint32_t type = HEADER_IP_QUERY, const char* mac = "",
               const char* user = "", const char* password = "", const char* text = "") {
        unsigned char buffer[PACKET_BUFFER_SIZE] = {};
        int n = CPacketProcess().BuildPacket(buffer, TRANSPORT_BROADCAST, type, "127.0.0.1", mac,
                                             user, password, text);
        tarsel::SendDatagram(fd_.Get(), INADDR_LOOPBACK, cameraPort, buffer, n);
    }

    // Decoded replies, until `count` arrived or the wait ran out (a guard, or the quiet
    // time in which a camera must stay silent).
    std::vector<CameraReply> Collect(std::chrono::milliseconds wait, size_t count = SIZE_MAX) {
        std::vector<CameraReply> out;
        auto end = std::chrono::steady_clock::now() + wait;
        while (out.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd pfd{fd_.Get(), POLLIN, 0};
            if (poll(&pfd, 1, 10) <= 0) continue;
            unsigned char buffer[PACKET_BUFFER_SIZE];
            int n = tarsel::ReceiveDatagram(fd_.Get(), buffer, sizeof buffer);
            CameraReply reply{};
            if (n > 0 && CPacketProcess().DecodePacket(buffer, n, "127.0.0.1", &reply) > 0)
                out.push_back(reply);
        }
        return out;
    }

private:
    tarsel::UniqueFd fd_ = tarsel::OpenUdpSocket();
};

TEST(SimCamera, ResponderAnswersEveryCameraAndHonoursDelayNeverAnswerAndReboot) {
    LoopbackFinder finder;
    std::vector<std::shared_ptr<SimCamera>> cameras;
    for (int i = 0; i < 3; ++i) {
        SimCameraConfig c;
        c.mac = "00:1B:2C:00:00:0" + std::to_string(i + 1);
        c.ip = "127.0.0.1";
        c.rebootSilentMs = 3000;
        cameras.push_back(std::make_shared<SimCamera>(c));
    }
    camsim::UdpResponderOptions options;
    options.bindAddress = "127.0.0.1";
    options.listenPort = 0;
    options.replyPort = finder.Port();
    options.joinMulticast = false;
    options.unicastReplies = true;
    camsim::UdpResponder responder(cameras, options);
    std::string error;
    ASSERT_TRUE(responder.Start(error)) << error;

    finder.Query(responder.BoundPort());
    auto replies = finder.Collect(20s, 3);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_STREQ(replies[0].mac, "00:1B:2C:00:00:01");

    // Camera 2 never answers, camera 3 answers 250 ms late.
    camsim::SimFaults silent;
    silent.neverAnswer = true;
    cameras[1]->SetFaults(silent);
    camsim::SimFaults slow;
    slow.replyDelayMs = 250;
    cameras[2]->SetFaults(slow);
    const auto asked = std::chrono::steady_clock::now();
    finder.Query(responder.BoundPort());
    auto answers = finder.Collect(20s, 2);
    const auto lateArrived = std::chrono::steady_clock::now();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_STREQ(answers[0].mac, "00:1B:2C:00:00:01");
    EXPECT_STREQ(answers[1].mac, "00:1B:2C:00:00:03");
    EXPECT_GE(lateArrived - asked, 250ms);
    EXPECT_TRUE(finder.Collect(300ms).empty());  // camera 2 stays silent

    // A reboot by command (right credentials) silences camera 1, then it answers again.
    finder.Query(responder.BoundPort(), HEADER_SYSTEM_COMMAND, "00:1B:2C:00:00:01", "admin",
                 "admin", "system.reboot=1");
    ASSERT_TRUE(testsupport::WaitFor([&] { return cameras[0]->IsSilent(); }));
    finder.Query(responder.BoundPort(), HEADER_IP_QUERY, "00:1B:2C:00:00:01");
    EXPECT_TRUE(finder.Collect(100ms).empty());
    auto until = std::chrono::steady_clock::now() + 20s;
    std::vector<CameraReply> back;
    while (back.empty() && std::chrono::steady_clock::now() < until) {
        finder.Query(responder.BoundPort(), HEADER_IP_QUERY, "00:1B:2C:00:00:01");
        back = finder.Collect(100ms);
    }
    ASSERT_EQ(back.size(), 1u);
    EXPECT_STREQ(back[0].mac, "00:1B:2C:00:00:01");
    responder.Stop();
    EXPECT_GE(responder.RequestCount(), 5u);
}

}  // namespace
