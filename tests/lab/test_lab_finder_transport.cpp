// The finder library on real interfaces inside a lab: two host adapters on one LAN both
// hear every broadcast reply, yet each reply reaches the engine once, through the adapter it
// names; malformed replies are dropped with their log lines.

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "LibSocket/SocketProcess.h"
#include "finder/LIbFinder.h"
#include "lab/LabSupport.h"
#include "platform/Log.h"
#include "platform/UdpSocket.h"
#include "support/TestSupport.h"

namespace {

using tarsel::lab::Lab;
using tarsel::lab::ScopedNamespace;

// Host adapters A (eth0) and B (eth1) share LAN "a". cam1 answers; cam2's simulator is
// silent, and its namespace is where the crafted replies come from.
const char kOneLanTwoAdapters[] = R"({
  "host": {"adapters": [
    {"name": "eth0", "lan": "a", "address": "192.168.7.5/24", "mac": "02:00:00:00:07:05"},
    {"name": "eth1", "lan": "a", "address": "192.168.7.6/24", "mac": "02:00:00:00:07:06"}]},
  "cameras": [
    {"lan": "a", "name": "Real", "mac": "00:1B:2C:20:00:01", "ip": "192.168.7.101"},
    {"lan": "a", "name": "Crafter", "mac": "00:1B:2C:20:00:02", "ip": "192.168.7.102",
     "faults": {"neverAnswer": true}}]
})";

std::vector<unsigned char> CraftedReply(const char* hostAddress, const char* mac) {
    const unsigned char header[4] = {0x01, 0x01, 0xFE, 0xFE};
    in_addr host{};
    inet_aton(hostAddress, &host);  // network order: first octet first
    return testsupport::ReplyDatagram(header, HEADER_IP_QUERY,
                                      reinterpret_cast<const unsigned char*>(&host.s_addr), mac);
}

// Sends datagrams to the finder's reply port from inside a camera namespace, by broadcast
// unless a unicast destination is given.
void SendFrom(const Lab& lab, const std::string& cameraNamespace,
              const std::vector<std::vector<unsigned char>>& datagrams,
              const char* destination = nullptr) {
    std::thread sender([&] {
        ScopedNamespace inCamera(lab.Namespace(cameraNamespace));
        ASSERT_TRUE(inCamera.Ok());
        tarsel::UniqueFd fd = tarsel::OpenUdpSocket();
        ASSERT_TRUE(fd.Valid() && tarsel::SetBroadcast(fd.Get()) &&
                    tarsel::BindToDevice(fd.Get(), "eth0"));
        uint32_t to = INADDR_BROADCAST;
        if (destination != nullptr) tarsel::ParseIPv4(destination, &to);
        for (const auto& d : datagrams)
            ASSERT_EQ(int(d.size()),
                      tarsel::SendDatagram(fd.Get(), to, FINDER_RECV_PORT, d.data(), d.size()));
    });
    sender.join();
}

using testsupport::WaitFor;

struct Engine {
    std::mutex mutex;
    std::vector<CameraReply> replies;
    std::atomic<int> calls{0};
    static void OnReply(void* context, const CameraReply& reply) {
        auto* self = static_cast<Engine*>(context);
        std::lock_guard lock(self->mutex);
        self->replies.push_back(reply);
        ++self->calls;
    }
    std::vector<CameraReply> Take() {
        std::lock_guard lock(mutex);
        return std::exchange(replies, {});
    }
};

}  // namespace

TEST(LabFinderTransport, ReplyIsTakenOnceThroughTheAdapterItNames) {
    Lab lab(kOneLanTwoAdapters);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    tarsel::CapturingLogSink log;
    Engine engine;
    EngineCallback callback{Engine::OnReply, &engine};
    ScopedNamespace inHost(lab.Namespace("host"));
    ASSERT_TRUE(inHost.Ok());
    ASSERT_EQ(0, CreateRecvPacket(&callback));
    AdapterEntry adapters[4];
    ASSERT_EQ(2, GetFinderAdapters(adapters, 4));  // loopback is not an adapter
    EXPECT_STREQ("192.168.7.5", adapters[0].addressText);
    EXPECT_STREQ("eth0", adapters[0].name);
    EXPECT_STREQ("192.168.7.6", adapters[1].addressText);
    EXPECT_STREQ("eth1", adapters[1].name);

    // A crafted reply naming A is heard by both adapters: taken through A, refused on B.
    SendFrom(lab, "cam2", {CraftedReply("192.168.7.5", "00:1B:2C:20:00:02")});
    ASSERT_TRUE(WaitFor([&] { return log.Contains("Check_SrcIp fail."); }));
    ASSERT_TRUE(WaitFor([&] { return engine.calls.load() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto replies = engine.Take();
    ASSERT_EQ(1u, replies.size());
    EXPECT_STREQ("00:1B:2C:20:00:02", replies[0].mac);
    EXPECT_STREQ("192.168.7.5", replies[0].adapter.addressText);
    EXPECT_STREQ("eth0", replies[0].adapter.name);
    EXPECT_EQ(1u, log.Count("Check_SrcIp fail."));
    EXPECT_EQ(0u, log.Count("Packet iType error"));  // refused before the handler

    // The real simulated camera answers each of the four queries by broadcast: every answer
    // reaches the engine once, through the adapter whose query it answers.
    log.Clear();
    ASSERT_EQ(0, SendPacketData(HEADER_IP_QUERY, "", "", "", ""));
    ASSERT_TRUE(WaitFor([&] { return engine.calls.load() >= 1 + 4; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    replies = engine.Take();
    int throughA = 0, throughB = 0;
    for (const CameraReply& reply : replies) {
        EXPECT_STREQ("00:1B:2C:20:00:01", reply.mac);
        EXPECT_STREQ("Real", reply.deviceName);
        EXPECT_STREQ("192.168.7.101", reply.ip);
        throughA += std::strcmp(reply.adapter.name, "eth0") == 0;
        throughB += std::strcmp(reply.adapter.name, "eth1") == 0;
    }
    EXPECT_EQ(2, throughA);
    EXPECT_EQ(2, throughB);
    EXPECT_EQ(4u, log.Count("Check_SrcIp fail."));

    // A unicast reply to A's address that the camera's ARP entry steers into B's interface:
    // it still belongs to A, and reaches the engine once.
    log.Clear();
    ASSERT_EQ(0, lab.Exec("cam2",
                          "ip neigh replace 192.168.7.5 lladdr 02:00:00:00:07:06 dev "
                          "eth0 nud permanent"));
    SendFrom(lab, "cam2", {CraftedReply("192.168.7.5", "00:1B:2C:20:00:02")}, "192.168.7.5");
    ASSERT_TRUE(WaitFor([&] { return engine.calls.load() >= 1 + 4 + 1; }))
        << ::testing::PrintToString(log.Lines());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    replies = engine.Take();
    ASSERT_EQ(1u, replies.size());
    EXPECT_STREQ("00:1B:2C:20:00:02", replies[0].mac);
    EXPECT_STREQ("eth0", replies[0].adapter.name);
    EXPECT_EQ(0u, log.Count("Check_SrcIp fail."));
    DestroyRecvPacket();
}

TEST(LabFinderTransport, WithoutDeviceBindingOneSharedSocketTagsEachArrivalAdapter) {
    Lab lab(kOneLanTwoAdapters);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    tarsel::CapturingLogSink log;
    Engine engine;
    EngineCallback callback{Engine::OnReply, &engine};
    ScopedNamespace inHost(lab.Namespace("host"));
    ASSERT_TRUE(inHost.Ok());
    HubOptions options;
    options.refuseDeviceBinding = true;
    SetFinderHubOptions(&options);
    ASSERT_EQ(0, CreateRecvPacket(&callback));
    SetFinderHubOptions(nullptr);

    // Every broadcast reply arrives through both interfaces; tagged by arrival, each is
    // taken once, through the adapter whose query it answers. A reply sent to the group
    // arrives through both memberships and is taken through the adapter it names.
    ASSERT_EQ(0, SendPacketData(HEADER_IP_QUERY, "", "", "", ""));
    ASSERT_TRUE(WaitFor([&] { return log.Count("Check_SrcIp fail.") == 4; }));
    SendFrom(lab, "cam2", {CraftedReply("192.168.7.6", "00:1B:2C:20:00:02")},
             FINDER_MULTICAST_GROUP);
    ASSERT_TRUE(WaitFor([&] { return log.Count("Check_SrcIp fail.") == 5; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::multiset<std::string> through;  // "MAC adapter address" per reply taken
    for (const CameraReply& r : engine.Take())
        through.insert(std::string(r.mac) + " " + r.adapter.name + " " + r.adapter.addressText);
    EXPECT_EQ((std::multiset<std::string>{"00:1B:2C:20:00:01 eth0 192.168.7.5",
        "00:1B:2C:20:00:01 eth0 192.168.7.5", "00:1B:2C:20:00:01 eth1 192.168.7.6",
        "00:1B:2C:20:00:01 eth1 192.168.7.6", "00:1B:2C:20:00:02 eth1 192.168.7.6"}), through);
    DestroyRecvPacket();
}
