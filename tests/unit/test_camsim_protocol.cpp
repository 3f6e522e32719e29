// The simulated camera against the finder's own codec: requests built by the finder parse
// on the camera side, which acts only on those meant for it, and its faulty replies are
// refused, or cut, by the finder exactly as a real camera's would be.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "SimCamera.h"
#include "SimProtocol.h"
#include "platform/Log.h"

namespace {

using camsim::SimCamera;
using camsim::SimCameraConfig;
using camsim::SimRequest;
using Bytes = std::vector<uint8_t>;

constexpr char kHost[] = "192.168.1.5";
constexpr char kMac[] = "00:1B:2C:0A:0B:0C";

SimCameraConfig Config() {
    SimCameraConfig c;
    c.name = "Lobby";
    c.mac = kMac;
    c.ip = "192.168.1.101";
    c.mask = "255.255.255.0";
    c.gateway = "192.168.1.1";
    c.mode = "manual";
    c.user = "admin";
    c.password = "s3cret";
    return c;
}

Bytes Build(int transport, uint32_t type, const char* mac, const char* user = "",
            const char* password = "", const char* text = "") {
    unsigned char buffer[PACKET_BUFFER_SIZE] = {};
    CPacketProcess codec;
    int n = codec.BuildPacket(buffer, transport, type, kHost, mac, user, password, text);
    return Bytes(buffer, buffer + n);
}

SimRequest Parse(const Bytes& bytes) {
    SimRequest request;
    EXPECT_TRUE(camsim::ParseRequest(bytes.data(), bytes.size(), request));
    return request;
}

int Decode(const Bytes& reply, CameraReply& out, const char* arrival = kHost) {
    std::memset(&out, 0, sizeof out);
    CPacketProcess codec;
    return codec.DecodePacket(reply.data(), static_cast<int>(reply.size()), arrival, &out);
}

TEST(CamsimProtocol, CameraAnswersOnlyRequestsMeantForIt) {
    SimCamera camera(Config());
    // A query to its own MAC (any case) is answered; one to another camera is not.
    EXPECT_FALSE(camsim::BuildReply(Parse(Build(2, HEADER_IP_QUERY, "00:1b:2c:0a:0b:0c")), camera).empty());
    EXPECT_TRUE(camsim::BuildReply(Parse(Build(2, HEADER_IP_QUERY, "00:1B:2C:0A:0B:0D")), camera).empty());
    // Authentication only to its own MAC, never to all cameras.
    EXPECT_TRUE(camsim::BuildReply(Parse(Build(2, HEADER_IP_AUTHENTICATE, "")), camera).empty());
    // Set and command requests get no reply, and change nothing without the admin digest
    // and the camera's own MAC.
    EXPECT_TRUE(camsim::BuildReply(Parse(Build(2, HEADER_IP_SET, kMac, "admin", "s3cret",
                                               "network.device_name=x")), camera).empty());
    for (const auto& [mac, password] : {std::pair{kMac, "nope"}, {"00:1B:2C:0A:0B:0D", "s3cret"},
                                        {"", "s3cret"}}) {
        EXPECT_FALSE(camsim::ApplyRequest(
            Parse(Build(2, HEADER_IP_SET, mac, "admin", password, "network.device_name=Gate")), camera));
        EXPECT_FALSE(camsim::ApplyRequest(
            Parse(Build(2, HEADER_SYSTEM_COMMAND, mac, "admin", password, "system.reboot=1")), camera));
    }
    EXPECT_EQ(camera.GetOr(camsim::keys::kDeviceName), "Lobby");
    EXPECT_FALSE(camera.IsSilent());

    // The camera ignores what is not a finder request: its own kind of reply, short
    // datagrams, broken version bytes.
    Bytes request = Build(2, HEADER_IP_QUERY, "");
    SimRequest parsed;
    Bytes reply = camsim::BuildReply(Parse(request), camera);
    EXPECT_FALSE(camsim::ParseRequest(reply.data(), reply.size(), parsed));
    EXPECT_FALSE(camsim::ParseRequest(request.data(), 39, parsed));
    request[3] ^= 1;
    EXPECT_FALSE(camsim::ParseRequest(request.data(), request.size(), parsed));
}

TEST(CamsimProtocol, MalformedReplyFaultsAreRefusedOrCutByTheFinder) {
    tarsel::CapturingLogSink log;
    SimCamera camera(Config());
    SimRequest query = Parse(Build(2, HEADER_IP_QUERY, ""));
    CameraReply out;
    auto withFault = [&](auto set) {
        camsim::SimFaults faults;
        set(faults);
        camera.SetFaults(faults);
        return camsim::BuildReply(query, camera);
    };

    // Each knob breaks the one header field the finder checks.
    EXPECT_EQ(Decode(withFault([](auto& f) { f.badVersion = true; }), out), -1);
    EXPECT_EQ(Decode(withFault([](auto& f) { f.senderOne = true; }), out), -1);
    EXPECT_EQ(Decode(withFault([](auto& f) { f.wrongHostAddress = true; }), out), -1);
    EXPECT_EQ(log.Count("Check_Version fail") + log.Count("Check_Sender fail") +
                  log.Count("Check_SrcIp fail."), 3u);

    // The last item runs past the end: the walk stops, earlier items stand.
    Bytes truncated = withFault([](auto& f) { f.truncatedItems = true; });
    EXPECT_EQ(Decode(truncated, out), 2);
    EXPECT_STREQ(out.mac, kMac);
    EXPECT_STREQ(out.gateway, "192.168.1.1");
    EXPECT_STREQ(out.mode, "");  // the item that lied about its length

    Bytes oversized = withFault([](auto& f) { f.oversizedValues = true; });
    EXPECT_EQ(Decode(oversized, out), 2);
    EXPECT_EQ(std::strlen(out.deviceName), 127u);
    EXPECT_STREQ(out.mac, kMac);
}

}  // namespace
