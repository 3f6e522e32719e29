// The sender, the receiver and the hub's send queue, on 127.0.0.1 only.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LibSocket/SocketProcess.h"
#include "LibSocket/SocketRecv.h"
#include "LibSocket/SocketSend.h"
#include "platform/Log.h"
#include "platform/UdpSocket.h"
#include "support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

AdapterEntry Loopback(const char* address) {
    AdapterEntry entry{};
    std::strcpy(entry.addressText, address);  // no interface name: bound to the address
    return entry;
}

void SendTo(uint16_t port, const void* data, size_t length, const char* to = "127.0.0.1") {
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    ASSERT_TRUE(socket.Valid());
    uint32_t address = 0;
    ASSERT_TRUE(tarsel::ParseIPv4(to, &address));
    ASSERT_EQ(static_cast<int>(length),
              tarsel::SendDatagram(socket.Get(), address, port, data, length));
}

using testsupport::WaitFor;

struct Delivery {
    std::string bytes;
    std::string addressText;
    const AdapterEntry* adapter;
    uint32_t source;
    Clock::time_point at;
};

// Records every handler call; optionally holds the dispatch thread inside the first call.
struct Recorder {
    std::mutex mutex;
    std::condition_variable released;
    std::vector<Delivery> deliveries;
    bool hold = false;
    std::atomic<int> calls{0};

    static void Handle(void* context, const ReceivedDatagram& datagram) {
        auto* self = static_cast<Recorder*>(context);
        std::unique_lock lock(self->mutex);
        self->deliveries.push_back(
            {std::string(reinterpret_cast<const char*>(datagram.bytes.get()), datagram.length),
             datagram.addressText, datagram.adapter, datagram.source, Clock::now()});
        ++self->calls;
        self->released.wait(lock, [self] { return !self->hold; });
    }
    void Release() {
        std::lock_guard lock(mutex);
        hold = false;
        released.notify_all();
    }
    // Sends "first" and waits until the dispatch thread holds in its call.
    void HoldFirstCall(uint16_t port) {
        hold = true;
        SendTo(port, "first", 5);
        ASSERT_TRUE(WaitFor([&] { return calls.load() == 1; }));
    }
    std::vector<Delivery> Snapshot() {
        std::lock_guard lock(mutex);
        return deliveries;
    }
};

}  // namespace

TEST(SocketSend, RefusalsAreLoggedAndSendNothing) {
    tarsel::CapturingLogSink log;
    CSocketSend sender;
    const unsigned char data[4] = {1, 2, 3, 4};
    EXPECT_EQ(-1, sender.SendPacket(TRANSPORT_BROADCAST, "127.0.0.1", 5656, data, 0));
    EXPECT_EQ(1u, log.Count("Error: SendPacket less than zero, port:5656\n"));

    EXPECT_EQ(-1, sender.SendPacket(3, "127.0.0.1", 5656, data, 4));
    EXPECT_EQ(1u, log.Count("Not support this protocol:3\n"));

    // An address this host does not own: the broadcast fails at the bind, with the error.
    EXPECT_EQ(-1, sender.SendPacket(TRANSPORT_BROADCAST, "192.0.2.77", 5656, data, 4));
    EXPECT_EQ(1u, log.Count("Error: SendPacket bind fail. IP:192.0.2.77, port:5656, LastError:99"));
    EXPECT_EQ(-1, sender.SendPacket(TRANSPORT_MULTICAST, "192.0.2.77", 5656, data, 4));
    EXPECT_EQ(1u, log.Count("Error: SendPacket setsockopt IPPROTO_IP IP_MULTICAST_IF fail."));
}

TEST(AdapterTable, UsableInterfacesInOrderAtMost32) {
    std::vector<tarsel::Ipv4Interface> interfaces = {
        {"lo", "127.0.0.1", true, true},    {"eth0", "192.168.1.5", true, false},
        {"eth1", "", true, false},          {"eth2", "0.0.0.0", true, false},
        {"eth3", "10.0.0.7", false, false}, {"wlan0", "10.0.0.8", true, false},
    };
    AdapterEntry table[kMaxAdapters];
    ASSERT_EQ(2, BuildAdapterTable(interfaces, table));
    EXPECT_EQ("eth0 192.168.1.5, wlan0 10.0.0.8", std::string(table[0].name) + " " +
                                                      table[0].addressText + ", " + table[1].name +
                                                      " " + table[1].addressText);

    std::vector<tarsel::Ipv4Interface> many;
    for (int i = 0; i < 40; ++i) {
        many.push_back(
            {"veth" + std::to_string(i), "10.1.0." + std::to_string(i + 1), true, false});
    }
    ASSERT_EQ(kMaxAdapters, BuildAdapterTable(many, table));
    EXPECT_STREQ("10.1.0.32", table[31].addressText);
    EXPECT_STREQ("veth31", table[31].name);
}

TEST(SocketRecv, SocketsDeliverOncePerDatagramInOrderAllQueuedInOnePass) {
    tarsel::CapturingLogSink log;
    Recorder recorder;
    AdapterEntry a0 = Loopback("127.0.0.1");
    AdapterEntry unbindable = Loopback("192.0.2.77");
    // A clock that stands still: however long the handler takes, the budget never runs out.
    CSocketRecv receiver(CSocketRecv::kDefaultMaxPending, [] { return uint64_t{0}; });
    ASSERT_EQ(0, receiver.CreateRecvSocket(0, &a0, 0, &recorder, Recorder::Handle));
    uint16_t port = receiver.SlotPort(0);
    ASSERT_NE(0, port);
    // Same address text and port again: no second socket.
    ASSERT_EQ(0, receiver.CreateRecvSocket(0, &a0, 0, &recorder, Recorder::Handle));
    EXPECT_EQ(1, receiver.SlotCount());
    // An address that cannot be bound is logged; the other adapter keeps receiving.
    EXPECT_EQ(-1, receiver.CreateRecvSocket(0, &unbindable, port, &recorder, Recorder::Handle));
    EXPECT_EQ(1, receiver.SlotCount());
    auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("socket bind fail.\n"));
    EXPECT_NE(std::string::npos,
              lines[1].find("CreateRecvSocket fail IP:192.0.2.77, PORT:" + std::to_string(port)));

    // An empty datagram is not queued.
    SendTo(port, "", 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(0, recorder.calls.load());

    // Held in the first call while 100 more queue up: the same pass hands them all over, in
    // order.
    recorder.HoldFirstCall(port);
    for (int i = 0; i < 100; ++i) {
        std::string body = "reply-" + std::to_string(i);
        SendTo(port, body.data(), body.size());
    }
    ASSERT_TRUE(WaitFor([&] { return receiver.PendingCount() == 100; }));
    recorder.Release();
    ASSERT_TRUE(WaitFor([&] { return recorder.calls.load() == 101; }));
    auto got = recorder.Snapshot();
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ("reply-" + std::to_string(i), got[i + 1].bytes);
    EXPECT_EQ("127.0.0.1", got[100].addressText);
    EXPECT_EQ(&a0, got[100].adapter);
    EXPECT_EQ(0x7F000001u, got[100].source);  // what the queue tells senders apart by
    EXPECT_EQ(0u, receiver.PendingCount());
    EXPECT_EQ(1u, receiver.DispatchPasses());
}

// A handler call that costs 1 ms on the receiver's clock: a pass stops once 5 ms of work
// are done, and the next one goes on where it stopped.
TEST(SocketRecv, PassEndsWhenItsWorkHasTakenTheBudget) {
    Recorder recorder;
    AdapterEntry a0 = Loopback("127.0.0.1");
    CSocketRecv receiver(CSocketRecv::kDefaultMaxPending,
                         [&] { return static_cast<uint64_t>(recorder.calls.load()) * 1000; });
    ASSERT_EQ(0, receiver.CreateRecvSocket(0, &a0, 0, &recorder, Recorder::Handle));
    const uint16_t port = receiver.SlotPort(0);
    recorder.HoldFirstCall(port);
    for (int i = 0; i < 300; ++i) SendTo(port, "x", 1);
    ASSERT_TRUE(WaitFor([&] { return receiver.PendingCount() == 300; }));
    recorder.Release();
    ASSERT_TRUE(WaitFor([&] { return recorder.calls.load() == 301; }));
    EXPECT_EQ(301u / 5 + 1, receiver.DispatchPasses());
}

// Destruction drops what is still queued: it neither drains the queue nor calls the handler
// once it has returned. The first call is held until the destructor has begun, so the queue
// is full of undelivered datagrams when it does.
TEST(SocketRecv, DestroyDropsUndeliveredWithoutHandlerCalls) {
    tarsel::CapturingLogSink log;
    Recorder recorder;
    AdapterEntry a0 = Loopback("127.0.0.1");
    auto receiver = std::make_unique<CSocketRecv>();
    ASSERT_EQ(0, receiver->CreateRecvSocket(0, &a0, 0, &recorder, Recorder::Handle));
    uint16_t port = receiver->SlotPort(0);
    recorder.HoldFirstCall(port);
    constexpr int kQueued = 100;
    for (int i = 0; i < kQueued; ++i) SendTo(port, "x", 1);
    ASSERT_TRUE(WaitFor([&] { return receiver->PendingCount() == kQueued; }));
    std::thread releaser([&] {
        WaitFor([&] { return log.Contains("~CSocketRecv"); });
        recorder.Release();
    });
    receiver.reset();
    releaser.join();
    // A drain would have made every queued call; at most a stray one or two may slip in
    // between the destructor's start and its stop flag.
    const int callsAtReturn = recorder.calls.load();
    EXPECT_LT(callsAtReturn, kQueued / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(callsAtReturn, recorder.calls.load());
    EXPECT_TRUE(log.Contains("Exit ThreadCheckRecvInfo"));
}

TEST(SocketRecv, QueueIsCappedAndDropsAreReportedAtMostOnceASecond) {
    tarsel::CapturingLogSink log;
    Recorder recorder;
    AdapterEntry a0 = Loopback("127.0.0.1");
    CSocketRecv receiver;
    ASSERT_EQ(0, receiver.CreateRecvSocket(0, &a0, 0, &recorder, Recorder::Handle));
    uint16_t port = receiver.SlotPort(0);
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    uint32_t loopback = 0x7F000001;
    recorder.HoldFirstCall(port);
    // Feed in small batches so that the socket buffer never overflows before our queue does.
    size_t sent = 0;
    while (sent < CSocketRecv::kDefaultMaxPending + 500) {
        for (int i = 0; i < 100; ++i, ++sent) {
            tarsel::SendDatagram(socket.Get(), loopback, port, "y", 1);
        }
        size_t expected = std::min(sent, CSocketRecv::kDefaultMaxPending);
        WaitFor([&] { return receiver.PendingCount() >= expected; });
    }
    ASSERT_TRUE(WaitFor([&] { return log.Contains("Receive queue full"); }));
    EXPECT_TRUE(log.Contains("most queued from 127.0.0.1"));
    EXPECT_EQ(CSocketRecv::kDefaultMaxPending, receiver.PendingCount());
    // More drops within the same second are counted, not logged again.
    for (int i = 0; i < 50; ++i)
        tarsel::SendDatagram(socket.Get(), loopback, port, "z", 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(1u, log.Count("Receive queue full"));
    EXPECT_EQ(CSocketRecv::kDefaultMaxPending, receiver.PendingCount());
    recorder.Release();
}

TEST(SocketProcess, QueueSendsBroadcastThenMulticastPerAdapterPaced) {
    struct Sent {
        int transport;
        std::string address;
        uint32_t port;
        std::string bytes;
        Clock::time_point at;
    };
    std::mutex mutex;
    std::vector<Sent> sent;
    HubOptions options;
    options.adapters = std::vector<AdapterEntry>{Loopback("127.0.0.1"), Loopback("127.0.0.2")};
    options.recvPort = 0;
    options.recvTransport = 0;
    options.send = [&](int transport, const char* address, uint32_t port, const unsigned char* data,
                       int length) {
        std::lock_guard lock(mutex);
        sent.push_back({transport, address, port,
                        std::string(reinterpret_cast<const char*>(data), length), Clock::now()});
        return length;
    };
    CSocketProcess hub(nullptr, nullptr, options);
    ASSERT_EQ(2, hub.AdapterCount());
    const unsigned char packet[3] = {'p', 'k', 't'};
    ASSERT_EQ(0, hub.QueueSend(TRANSPORT_BROADCAST, 5656, 0, packet, 3));
    ASSERT_EQ(0, hub.QueueSend(TRANSPORT_MULTICAST, 5656, 0, packet, 3));
    ASSERT_EQ(0, hub.QueueSend(TRANSPORT_BROADCAST, 5656, 1, packet, 2));
    ASSERT_EQ(0, hub.QueueSend(TRANSPORT_MULTICAST, 5656, 1, packet, 1));
    EXPECT_EQ(-1, hub.QueueSend(TRANSPORT_MULTICAST, 5656, 2, packet, 1));  // no adapter 2
    ASSERT_TRUE(WaitFor(
        [&] {
            std::lock_guard l(mutex);
            return sent.size() == 4;
        },
        2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // idle: nothing more
    std::lock_guard lock(mutex);
    ASSERT_EQ(4u, sent.size());
    std::string order;
    for (size_t i = 0; i < sent.size(); ++i) {
        order += std::to_string(sent[i].transport) + sent[i].address + ":" +
                 std::to_string(sent[i].port) + "=" + sent[i].bytes + " ";
        if (i > 0) { EXPECT_GE(sent[i].at - sent[i - 1].at, std::chrono::milliseconds(30)); }
    }
    EXPECT_EQ("2127.0.0.1:5656=pkt 1127.0.0.1:5656=pkt 2127.0.0.2:5656=pk 1127.0.0.2:5656=p ",
              order);
}
