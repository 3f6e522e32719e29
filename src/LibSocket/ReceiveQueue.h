#pragma once
// The receiver's datagrams that are not yet handed over, shared fairly between the hosts
// that sent them (told apart by their IPv4 source address).
//
// Each sender has its own first-in first-out line, and the senders take turns, one datagram
// each: a camera's answer waits behind at most one datagram of every other sender, however
// many a flooding host has queued. A sender's datagrams keep their order, and so does the
// first datagram of each sender (a new camera's row still comes in the order the cameras
// answered); only a sender with several queued is overtaken by the others.
//
// The queue is bounded, so that a flood on the LAN cannot grow memory without bound. When
// it is full, a datagram from a sender that already holds an even share (the capacity
// divided among the senders queued) is dropped; one from any other sender takes the place
// of the newest datagram of the sender holding the most. A flooding host thus loses its own
// datagrams, never a camera's answer; on its own, one sender may fill the whole queue.
//
// Not thread-safe: the receiver holds its lock around every call.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

struct AdapterEntry;
struct ReceiveSlot;

struct ReceivedDatagram {
    std::unique_ptr<unsigned char[]> bytes;  // exactly the bytes received
    int length = 0;                          // 1 to PACKET_BUFFER_SIZE
    const char* addressText = nullptr;       // the slot's adapter address text
    const AdapterEntry* adapter = nullptr;   // the slot's adapter
    uint32_t source = 0;                     // the sender's IPv4 address, host order
};

struct QueuedDatagram {
    ReceiveSlot* slot = nullptr;
    std::unique_ptr<ReceivedDatagram> datagram;
};

class ReceiveQueue {
public:
    enum class Admission {
        Queued,         // appended, nothing dropped
        DroppedNew,     // full, and its sender holds an even share already: not queued
        DroppedQueued,  // queued in place of the heaviest sender's newest datagram
    };

    explicit ReceiveQueue(size_t capacity);

    // Queues the datagram (which must not be null) as the rules above allow.
    Admission Push(QueuedDatagram item);
    // Takes the next datagram off, in turn; false when the queue is empty.
    bool Pop(QueuedDatagram& out);
    void Clear();

    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    size_t Capacity() const { return capacity_; }
    // The datagrams queued from this source address.
    size_t HeldBy(uint32_t source) const;
    // The source address holding the most of the queue (0 when it is empty).
    uint32_t Heaviest();

private:
    // Removes the newest datagram of this source; it holds at least one.
    void DropNewestOf(uint32_t source);
    // A sender's line grew to, or shrank to, this many datagrams.
    void Grew(size_t now);
    void Shrank(size_t now);

    const size_t capacity_;
    size_t size_ = 0;
    std::unordered_map<uint32_t, std::deque<QueuedDatagram>> lines_;  // never an empty one
    std::deque<uint32_t> turns_;  // each sender with datagrams once, the next to serve first
    // How many senders hold exactly n datagrams, and the most any holds: lines change by
    // one datagram at a time, so the most is kept exactly without a search.
    std::vector<uint32_t> holding_;
    size_t most_ = 0;
    // A sender holding the most, while it does; searched for again once it no longer does.
    uint32_t heaviest_ = 0;
};
