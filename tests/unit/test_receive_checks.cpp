// Receive-side checks, the flood's log budget, and the drain at the end of a wait.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "LibSocket/SocketRecv.h"
#include "finder/LIbFinder.h"
#include "platform/Log.h"
#include "platform/UdpSocket.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr char kHost[] = "127.0.0.1";

// A camera's reply to the finder's query from kHost; tests change single bytes.
Bytes Reply() {
    const unsigned char header[4] = {0x01, 0x01, 0xFE, 0xFE}, host[4] = {127, 0, 0, 1};
    return testsupport::ReplyDatagram(header, HEADER_IP_QUERY, host, "00:1B:2C:0A:0B:0C");
}
Bytes With(size_t at, unsigned char value) {
    Bytes b = Reply();
    b[at] = value;
    return b;
}

bool Accept(const Bytes& b, bool log) { return AcceptRecvPacket(b.data(), int(b.size()), kHost, log); }

using testsupport::WaitFor;

std::atomic<int> g_calls{0};  // handler calls; g_hold keeps the dispatch thread in one
std::atomic<bool> g_hold{false}, g_entered{false};
void Handle(void*, const ReceivedDatagram&) {
    g_entered = true;
    while (g_hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++g_calls;
}

}  // namespace

TEST(ReceiveChecks, RefuseWhatTheDecoderRefusesAndLogItTheSameWay) {
    tarsel::CapturingLogSink log;
    CameraReply reply{};
    EXPECT_TRUE(Accept(Reply(), true));
    // Bad version bytes, another host's address, the finder's own sender byte.
    for (const Bytes& bytes : {With(3, 0xFF), With(9, 2), With(16, 1)}) {
        log.Clear();
        ASSERT_EQ(-1, CPacketProcess().DecodePacket(bytes.data(), int(bytes.size()), kHost, &reply));
        EXPECT_FALSE(Accept(bytes, false));  // quiet: no line
        EXPECT_FALSE(Accept(bytes, true));
        // The decoder's line, then the check's: the same line, at notice level, and no
        // "Packet iType error" for a datagram that never reached the handler.
        const auto lines = log.Lines();
        ASSERT_EQ(2u, lines.size());
        EXPECT_EQ(lines[0], lines[1]);
        EXPECT_EQ(tarsel::LogLevel::Notice, log.LevelOf(" fail"));
        EXPECT_FALSE(log.Contains("iType"));
    }
    // Not a camera's reply at all: too short for a header, or a type the protocol lacks.
    log.Clear();
    const Bytes good = Reply();
    EXPECT_FALSE(Accept(Bytes(good.begin(), good.begin() + 39), true));
    EXPECT_FALSE(Accept(With(4, 7), true));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(ReceiveChecks, FloodNeverQueuesAndDrainDeliversWhatArrivedInTime) {
    tarsel::CapturingLogSink log;
    AdapterEntry loopback{};
    std::strcpy(loopback.addressText, kHost);
    CSocketRecv receiver;
    receiver.SetFilter(AcceptRecvPacket);
    ASSERT_EQ(0, receiver.CreateRecvSocket(0, &loopback, 0, nullptr, Handle));
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    auto send = [&](const Bytes& b) {
        tarsel::SendDatagram(socket.Get(), 0x7F000001, receiver.SlotPort(0), b.data(), b.size());
    };
    // The dispatch thread is held in the first reply while 298 refused datagrams and 149
    // replies arrive: only the replies are queued, a few refusals are logged in full, the
    // rest counted in a line a second.
    g_calls = 0, g_entered = false, g_hold = true;
    std::shared_ptr<void> release(nullptr, [](void*) { g_hold = false; });  // even on failure
    send(Reply());
    ASSERT_TRUE(WaitFor([] { return g_entered.load(); }));
    const Bytes junk = With(3, 0xFF), good = Reply();
    for (size_t i = 1; i <= 149; ++i) {
        send(junk), send(junk), send(good);  // a few at a time: a busy machine drops none
        ASSERT_TRUE(WaitFor([&] { return receiver.PendingCount() == i; }));
    }
    ASSERT_TRUE(WaitFor([&] { return log.Contains("more datagrams that are no camera reply"); }));
    EXPECT_LT(log.Count("Check_Version fail"), 100u);  // of 298

    // The drain waits for every queued reply; nothing sent after it began is delivered.
    std::thread drain([&] { receiver.StopReceivingAndDrain(); });
    g_hold = false;
    drain.join();
    EXPECT_EQ(150, g_calls.load());
    send(good);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(150, g_calls.load());
}
