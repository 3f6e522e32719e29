// The receive queue's fairness between senders, on its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LibSocket/ReceiveQueue.h"

namespace {

constexpr uint32_t kA = 0x0A000001, kB = 0x0A000002, kC = 0x0A000003;

// A datagram from a sender, numbered (in its length field); named "A1", "B2" and so on.
QueuedDatagram From(uint32_t source, int number) {
    QueuedDatagram item;
    item.datagram = std::make_unique<ReceivedDatagram>();
    item.datagram->source = source;
    item.datagram->length = number;
    return item;
}

std::string Name(const QueuedDatagram& item) {
    return std::string(1, static_cast<char>('A' + (item.datagram->source - kA))) +
           std::to_string(item.datagram->length);
}

std::string Drain(ReceiveQueue& queue) {
    std::string order;
    QueuedDatagram item;
    while (queue.Pop(item))
        order += Name(item) + " ";
    return order;
}

}  // namespace

// Senders take turns, each keeping its own order; a full queue drops the heaviest sender's
// datagrams first.
TEST(ReceiveQueue, SendersTakeTurnsAndAFullQueueDropsTheHeaviestFirst) {
    using A = ReceiveQueue::Admission;
    ReceiveQueue queue(8);
    // Alone, a sender may fill the queue; beyond it, its own new datagrams are dropped.
    for (int i = 1; i <= 8; ++i)
        ASSERT_EQ(A::Queued, queue.Push(From(kA, i)));
    EXPECT_EQ(A::DroppedNew, queue.Push(From(kA, 9)));
    // Another sender takes the places of the flooder's newest, up to an even share (4).
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(A::DroppedQueued, queue.Push(From(kB, i)));
    EXPECT_EQ(A::DroppedNew, queue.Push(From(kB, 5)));
    EXPECT_EQ(A::DroppedNew, queue.Push(From(kA, 10)));
    EXPECT_EQ(4u, queue.HeldBy(kA));
    // A third sender's share is 8 / 3: it still gets in, at the cost of a heaviest one.
    EXPECT_EQ(A::DroppedQueued, queue.Push(From(kC, 1)));
    EXPECT_EQ(A::DroppedQueued, queue.Push(From(kC, 2)));
    EXPECT_EQ(A::DroppedNew, queue.Push(From(kC, 3)));
    EXPECT_EQ(8u, queue.Size());
    EXPECT_EQ(3u, queue.HeldBy(kA));
    EXPECT_EQ(3u, queue.HeldBy(kB));
    EXPECT_EQ("A1 B1 C1 A2 B2 C2 A3 B3 ", Drain(queue));
    EXPECT_EQ(0u, queue.Heaviest());
}
