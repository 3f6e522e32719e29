// The simulated camera against the finder's own codec: requests built by the finder parse
// on the camera side, and the camera's replies (with and without faults) decode, or are
// refused, on the finder side exactly as a real camera's would be.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "SimCamera.h"
#include "SimProtocol.h"
#include "common/Md5.h"
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
    c.model = "TRL-D320";
    c.firmware = "5.2.1";
    c.company = "Acme";
    c.ip = "192.168.1.101";
    c.mask = "255.255.255.0";
    c.gateway = "192.168.1.1";
    c.mode = "manual";
    c.httpPort = 8080;
    c.user = "admin";
    c.password = "s3cret";
    c.rebootSilentMs = 200;
    c.factoryIp = "192.168.0.20";
    c.factoryMask = "255.255.0.0";
    c.factoryMode = "dhcp";
    c.factoryName = "IPCAM";
    c.factoryPassword = "admin";
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

std::string Digest(const std::string& text) {
    unsigned char d[16];
    Md5(text.data(), text.size(), d);
    return std::string(reinterpret_cast<char*>(d), 16);
}

TEST(CamsimProtocol, QueryOfBothTransportsIsAnsweredWithTheCamerasFields) {
    SimCamera camera(Config());
    for (int transport : {TRANSPORT_BROADCAST, TRANSPORT_MULTICAST}) {
        for (uint32_t type : {uint32_t{HEADER_IP_QUERY}, uint32_t{HEADER_WIRELESS_IP_QUERY}}) {
            Bytes request = Build(transport, type, "");
            SimRequest parsed = Parse(request);
            EXPECT_EQ(parsed.type, type);
            EXPECT_TRUE(parsed.IsForAllCameras());
            EXPECT_EQ(parsed.items.size(), 10u);
            Bytes reply = camsim::BuildReply(parsed, camera);
            ASSERT_GE(reply.size(), 40u);
            // The reply repeats the request's version bytes and host address, sender 0.
            EXPECT_EQ(0, std::memcmp(reply.data(), request.data(), 4));
            EXPECT_EQ(0, std::memcmp(reply.data() + 6, request.data() + 6, 4));
            EXPECT_EQ(reply[16], 0);
            CameraReply out;
            ASSERT_EQ(Decode(reply, out), static_cast<int>(type));
            EXPECT_EQ(std::string(out.deviceName) + out.mac + out.productName + out.fwVersion +
                          out.company + out.httpPort + out.ip + out.mask + out.gateway + out.mode,
                      std::string("Lobby") + kMac + "TRL-D3205.2.1Acme8080192.168.1.101" +
                          "255.255.255.0192.168.1.1manual");
            // Declared length and datagram length agree.
            uint32_t total = reply[36] | (reply[37] << 8) | (reply[38] << 16) | (reply[39] << 24);
            EXPECT_EQ(total, reply.size());
        }
    }
}

TEST(CamsimProtocol, CameraAnswersOnlyRequestsMeantForIt) {
    SimCamera camera(Config());
    // A query to its own MAC (any case) is answered; one to another camera is not.
    EXPECT_FALSE(camsim::BuildReply(Parse(Build(2, HEADER_IP_QUERY, "00:1b:2c:0a:0b:0c")), camera).empty());
    EXPECT_TRUE(camsim::BuildReply(Parse(Build(2, HEADER_IP_QUERY, "00:1B:2C:0A:0B:0D")), camera).empty());
    // Authentication only to its own MAC, never to all cameras.
    EXPECT_TRUE(camsim::BuildReply(Parse(Build(2, HEADER_IP_AUTHENTICATE, "")), camera).empty());
    // Set and command requests get no reply.
    EXPECT_TRUE(camsim::BuildReply(Parse(Build(2, HEADER_IP_SET, kMac, "admin", "s3cret",
                                               "network.device_name=x")), camera).empty());

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

TEST(CamsimProtocol, AuthenticationReplyCarriesDigestsOfTheAdminAccount) {
    SimCamera camera(Config());
    Bytes reply = camsim::BuildReply(Parse(Build(1, HEADER_IP_AUTHENTICATE, kMac)), camera);
    CameraReply out;
    ASSERT_EQ(Decode(reply, out), 3);
    EXPECT_STREQ(out.mac, kMac);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.digestA), 16), Digest("admin/admin"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.digestB), 16), Digest("s3cret/s3cret"));

    camsim::SimFaults faults;
    faults.wrongDigests = true;
    camera.SetFaults(faults);
    reply = camsim::BuildReply(Parse(Build(1, HEADER_IP_AUTHENTICATE, kMac)), camera);
    ASSERT_EQ(Decode(reply, out), 3);
    EXPECT_NE(std::string(reinterpret_cast<char*>(out.digestA), 16), Digest("admin/admin"));
    EXPECT_NE(std::string(reinterpret_cast<char*>(out.digestB), 16), Digest("s3cret/s3cret"));
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

TEST(CamsimProtocol, SetAndCommandRequestsNeedTheAdminDigestAndTheCamerasMac) {
    SimCamera camera(Config());
    auto apply = [&](uint32_t type, const char* mac, const char* password, const char* text) {
        return camsim::ApplyRequest(Parse(Build(2, type, mac, "admin", password, text)), camera);
    };
    const char* text =
        "network.wire.ipv4.mode=manual&network.device_name=Gate&"
        "network.wire.ipv4.manual.address=192.168.1.150/255.255.255.0/192.168.1.254&"
        "network.web.http_port=81";
    // Wrong password, wrong camera, broadcast target: nothing changes.
    EXPECT_FALSE(apply(HEADER_IP_SET, kMac, "nope", text));
    EXPECT_FALSE(apply(HEADER_IP_SET, "00:1B:2C:0A:0B:0D", "s3cret", text));
    EXPECT_FALSE(apply(HEADER_IP_SET, "", "s3cret", text));
    EXPECT_EQ(camera.GetOr(camsim::keys::kDeviceName), "Lobby");

    EXPECT_TRUE(apply(HEADER_IP_SET, kMac, "s3cret", text));
    CameraReply out;
    ASSERT_EQ(Decode(camsim::BuildReply(Parse(Build(2, HEADER_IP_QUERY, "")), camera), out), 2);
    EXPECT_STREQ(out.deviceName, "Gate");
    EXPECT_STREQ(out.ip, "192.168.1.150");
    EXPECT_STREQ(out.gateway, "192.168.1.254");
    EXPECT_STREQ(out.httpPort, "81");

    // Software default: name and account back to factory, network kept; silent a while.
    EXPECT_TRUE(apply(HEADER_SYSTEM_COMMAND, kMac, "s3cret", "system.sw_factory_default=1"));
    EXPECT_TRUE(camera.IsSilent());
    EXPECT_EQ(camera.GetOr(camsim::keys::kDeviceName), "IPCAM");
    EXPECT_EQ(camera.Network().ip, "192.168.1.150");
    EXPECT_TRUE(camera.CheckCredentials("admin", "admin"));

    // Hardware default (with the factory password now): everything back to factory.
    EXPECT_TRUE(apply(HEADER_SYSTEM_COMMAND, kMac, "admin", "system.hw_factory_default=1"));
    camsim::SimNetwork net = camera.Network();
    EXPECT_EQ(net.ip, "192.168.0.20");
    EXPECT_EQ(net.mask, "255.255.0.0");
    EXPECT_EQ(net.mode, "dhcp");
    EXPECT_EQ(net.httpPort, 8080);

    // Reboot silences the camera for its reboot time; any other command text does nothing.
    const auto start = SimCamera::Clock::now();
    EXPECT_TRUE(apply(HEADER_SYSTEM_COMMAND, kMac, "admin", "system.reboot=1"));
    EXPECT_TRUE(camera.IsSilent(start + std::chrono::milliseconds(150)));
    EXPECT_FALSE(camera.IsSilent(start + std::chrono::milliseconds(400)));
    EXPECT_FALSE(apply(HEADER_SYSTEM_COMMAND, kMac, "admin", "system.reboot=0"));
}

TEST(CamsimProtocol, ParserNeverReadsPastTheDatagram) {
    // Random tails after a valid header: the parser must stay inside the buffer (ASan
    // checks) and every item it reports must fit.
    std::mt19937 random(7);
    Bytes base = Build(2, HEADER_IP_QUERY, "");
    for (int round = 0; round < 2000; ++round) {
        size_t length = 40 + random() % 300;
        Bytes datagram(base.begin(), base.begin() + 40);
        while (datagram.size() < length) datagram.push_back(static_cast<uint8_t>(random()));
        Bytes exact(datagram);  // exactly sized so ASan sees any overread
        SimRequest parsed;
        ASSERT_TRUE(camsim::ParseRequest(exact.data(), exact.size(), parsed));
        size_t sum = 40;
        for (const auto& item : parsed.items) {
            ASSERT_GE(item.length, 8u);
            sum += item.length;
        }
        ASSERT_LE(sum, exact.size());
    }
}

}  // namespace
