// The finder library end to end on 127.0.0.1: requests reach the (replaced) sender, replies
// sent to the receive sockets reach the engine callback, checked and tagged.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CliEngine.h"
#include "LibSocket/SocketProcess.h"
#include "common/Md5.h"
#include "finder/LIbFinder.h"
#include "platform/Log.h"
#include "platform/UdpSocket.h"
#include "support/TestSupport.h"

namespace {


// No interface name: the receive socket is bound to the address itself.
AdapterEntry Loopback(const char* address) {
    AdapterEntry entry{};
    std::strcpy(entry.addressText, address);
    return entry;
}

using testsupport::WaitFor;

std::vector<unsigned char> Reply(const unsigned char host[4], const char* mac) {
    const unsigned char header[4] = {0x02, 0x00, 0xFD, 0xFF};
    return testsupport::ReplyDatagram(header, HEADER_IP_QUERY, host, mac);
}

void SendTo(unsigned port, const std::vector<unsigned char>& bytes, const char* to) {
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    uint32_t address = 0;
    ASSERT_TRUE(tarsel::ParseIPv4(to, &address));
    ASSERT_EQ(static_cast<int>(bytes.size()),
              tarsel::SendDatagram(socket.Get(), address, static_cast<uint16_t>(port), bytes.data(),
                                   bytes.size()));
}

struct Engine {
    std::mutex mutex;
    std::vector<CameraReply> replies;
    std::atomic<int> calls{0};
    std::atomic<bool> sendFromCallback{false};
    std::atomic<int> callbackSendResult{1};

    static void OnReply(void* context, const CameraReply& reply) {
        auto* self = static_cast<Engine*>(context);
        {
            std::lock_guard lock(self->mutex);
            self->replies.push_back(reply);
        }
        if (self->sendFromCallback) {
            self->callbackSendResult =
                SendPacketData(HEADER_IP_AUTHENTICATE, reply.mac, "", "", "");
        }
        ++self->calls;
    }
};

struct SentLog {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::vector<unsigned char>>> packets;  // by address
    size_t Size() {
        std::lock_guard lock(mutex);
        return packets.size();
    }
};

class FinderLibrary : public ::testing::Test {
protected:
    void SetUp() override { Use({Loopback("127.0.0.1"), Loopback("127.0.0.2")}); }
    void Use(std::vector<AdapterEntry> adapters) {
        HubOptions options;
        options.adapters = adapters;
        options.recvPort = 0;
        options.recvTransport = 0;
        SentLog* sent = &sent_;
        options.send = [sent](int, const char* address, uint32_t, const unsigned char* data,
                              int length) {
            std::lock_guard lock(sent->mutex);
            sent->packets.emplace_back(address, std::vector<unsigned char>(data, data + length));
            return length;
        };
        SetFinderHubOptions(&options);
        callback_ = {Engine::OnReply, &engine_};
    }
    void TearDown() override {
        DestroyRecvPacket();
        SetFinderHubOptions(nullptr);
    }
    Engine engine_;
    EngineCallback callback_{};
    SentLog sent_;
};

const unsigned char kHostA[4] = {127, 0, 0, 1};

}  // namespace

TEST(CheckAuthDigest, KnownDigestsAndLogLines) {
    tarsel::CapturingLogSink log;
    unsigned char admin[16], slash[16], other[16];
    Md5("admin/admin", 11, admin);
    Md5("/", 1, slash);
    Md5("root/root", 9, other);

    EXPECT_EQ(1, CheckAuthDigest("admin", "admin", admin, admin));
    EXPECT_EQ(1, CheckAuthDigest("admin", "", admin, slash));  // empty password: MD5 of "/"
    EXPECT_EQ(0, CheckAuthDigest("admin", "admin", admin, slash));
    EXPECT_EQ(0, CheckAuthDigest("root", "admin", admin, admin));
    EXPECT_EQ(0, CheckAuthDigest("admin", "admin", other, admin));

    // The log tells whether each digest matched and nothing of any digest, not even a
    // prefix of the one the camera sent.
    for (const unsigned char* digest : {admin, slash, other})
        for (bool upper : {false, true})
            EXPECT_EQ(0u, log.Count(Md5Hex(digest, upper).substr(0, 4))) << Md5Hex(digest);
    EXPECT_EQ(5u, log.Count("Credential digests:"));
    EXPECT_EQ(2u, log.Count("user (match), password (match)"));
    EXPECT_EQ(1u, log.Count("user (match), password (no match)"));
    EXPECT_EQ(2u, log.Count("user (no match), password (match)"));
}

TEST_F(FinderLibrary, ReplacingTheHubLeavesOneSocketPerAdapter) {
    EXPECT_EQ(-1, SendPacketData(HEADER_IP_QUERY, "", "", "", ""));  // no hub yet
    ASSERT_EQ(0, CreateRecvPacket(&callback_));
    ASSERT_EQ(0, CreateRecvPacket(&callback_));  // replaces, never duplicates
    AdapterEntry adapters[4];
    ASSERT_EQ(2, GetFinderAdapters(adapters, 4));
    EXPECT_NE(0u, GetFinderReceivePort(0));
    EXPECT_NE(0u, GetFinderReceivePort(1));
    EXPECT_EQ(0u, GetFinderReceivePort(2));
    ASSERT_EQ(0, SendPacketData(HEADER_IP_QUERY, "", "", "", ""));
    ASSERT_TRUE(WaitFor([&] { return sent_.Size() == 4; }));
}

// Checking and tagging replies per adapter runs on real interfaces in LabFinderTransport;
// here, that the engine may answer a reply with a request from inside the callback.
TEST_F(FinderLibrary, TheEngineMayAnswerAReplyFromInsideTheCallback) {
    ASSERT_EQ(0, CreateRecvPacket(&callback_));
    engine_.sendFromCallback = true;
    SendTo(GetFinderReceivePort(0), Reply(kHostA, "00:11:22:33:44:55"), "127.0.0.1");
    ASSERT_TRUE(WaitFor([&] { return engine_.calls.load() == 1; }));
    EXPECT_EQ(0, engine_.callbackSendResult.load());
    EXPECT_TRUE(WaitFor([&] { return sent_.Size() == 4; }));
    std::lock_guard lock(engine_.mutex);
    EXPECT_STREQ("127.0.0.1", engine_.replies[0].adapter.addressText);
}

TEST_F(FinderLibrary, QueryCarriesEachAdapterAddressAndUnbindableAdaptersStillSend) {
    tarsel::CapturingLogSink log;
    Use({Loopback("192.168.1.5"), Loopback("10.0.0.7")});
    EngineCallback none{nullptr, nullptr};
    ASSERT_EQ(0, CreateRecvPacket(&none));
    // Neither address is this machine's: both receive sockets fail, each logged.
    EXPECT_EQ(2u, log.Count("socket bind fail."));
    EXPECT_EQ(1u, log.Count("CreateRecvSocket fail IP:192.168.1.5, PORT:0"));
    EXPECT_EQ(1u, log.Count("CreateRecvSocket fail IP:10.0.0.7, PORT:0"));
    // Sending does not need the receive sockets: each adapter still gets its query by
    // broadcast and by multicast, with its own address (search_two_lans.sh checks those
    // datagrams on the wire).
    ASSERT_EQ(0, SendPacketData(HEADER_IP_QUERY, "", "", "", ""));
    ASSERT_TRUE(WaitFor([&] { return sent_.Size() == 4; }, 2000));
    std::lock_guard lock(sent_.mutex);
    EXPECT_EQ("10.0.0.7", sent_.packets[3].first);
    ASSERT_EQ(120u, sent_.packets[3].second.size());
    EXPECT_EQ(0, std::memcmp("\x0a\x00\x00\x07", &sent_.packets[3].second[6], 4));
}

// A command-line session that ends while replies are still being dispatched: its owner
// callbacks stop before its engine goes, so none finds the engine half destroyed (a crash
// here, a reported race under ThreadSanitizer).
TEST_F(FinderLibrary, CommandLineSessionEndsWhileRepliesArrive) {
    for (int round = 0; round < 10; ++round) {
        auto session = std::make_unique<cli::EngineSession>();
        session->Search(0.01);
        const unsigned port = GetFinderReceivePort(0);
        ASSERT_NE(0u, port);
        std::atomic<bool> stop{false};
        std::thread replies([&] {
            for (int i = 0; !stop.load(); ++i) {
                char mac[18];
                std::snprintf(mac, sizeof mac, "00:1B:2C:%02X:%02X:%02X", round, (i >> 8) & 0xFF, i & 0xFF);
                SendTo(port, Reply(kHostA, mac), "127.0.0.1");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        EXPECT_TRUE(WaitFor([&] { return session->Macs().size() >= 3; }));
        session.reset();
        stop.store(true);
        replies.join();
    }
}
