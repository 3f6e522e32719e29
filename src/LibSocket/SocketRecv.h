#pragma once
// Receives camera replies on every adapter and hands them to the finder's handler on a
// single dispatch thread: each sender's in the order they arrived, the senders taking turns
// (ReceiveQueue.h), so that a host flooding the reply port delays a camera's answer by one
// datagram at most. A pass hands over everything queued; only when the handler's work has
// taken a few milliseconds does it stop for a moment, so that the threads waiting for the
// engine get their turn, and then it goes on: replies never wait behind a fixed batch size.
// A filter run on the receive threads keeps anything that is no camera's reply out of the
// queue, so a noisy device costs neither queue room nor dispatch time; the queue itself is
// bounded, and when it is full the heaviest sender loses its datagrams first.
//
// Linux delivers no broadcast or multicast to a socket bound to a unicast address, so a slot
// whose adapter has an interface name listens on the wildcard address restricted to that
// interface (and joined to the cameras' group on it); every datagram is then seen once per
// adapter it arrived through, tagged with that adapter. A datagram sent to one adapter's own
// address belongs to that adapter even when it came in through another interface on the
// same LAN (both answer ARP for each other's address), as it would for a socket bound to
// that address. A slot without an interface name is bound to the address itself.
//
// Where the kernel refuses to restrict a socket to an interface, the adapters share one
// wildcard socket instead, joined to the group on each of their interfaces; each datagram
// is tagged with the adapter whose interface it arrived through.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "LibPacket/PacketProcess.h"
#include "LibSocket/ReceiveQueue.h"

class CSocketRecv;

// Called on the dispatch thread; the datagram is freed when it returns.
using RecvHandler = void (*)(void* handlerContext, const ReceivedDatagram& datagram);

// Called on a receive thread before a datagram is queued, with the address text of the
// adapter it belongs to; false drops it. With log, the refusal may be logged in full;
// beyond a few a second, refusals are only counted.
using RecvFilter = bool (*)(const unsigned char* bytes, int length, const char* addressText,
                            bool log);

struct ReceiveSlot {
    CSocketRecv* owner = nullptr;
    std::atomic<uint32_t> running{0};
    std::thread thread;
    int socket = -1;
    uint32_t port = 0;       // the port asked for
    uint16_t boundPort = 0;  // the port actually bound (differs when 0 was asked for)
    char addressText[32] = {};
    uint32_t address = 0;  // addressText as a host-order number, 0 when it does not parse
    const AdapterEntry* adapter = nullptr;
    void* handlerContext = nullptr;
    RecvHandler handler = nullptr;
    // Served by the shared wildcard socket: no socket or thread of its own, datagrams that
    // arrive through this interface are its.
    bool shared = false;
    int interfaceIndex = 0;
};

class CSocketRecv {
public:
    static constexpr int kMaxSlots = 32;
    // Pending datagrams beyond this are dropped, the heaviest sender's first, so that a
    // flood on the LAN can neither grow memory without bound nor crowd out the cameras.
    static constexpr size_t kDefaultMaxPending = 16384;
    // Work a dispatch pass may do before it stops for a moment, in microseconds.
    static constexpr uint64_t kDispatchBudgetUs = 5000;
    // A monotonic clock in microseconds; the dispatch budget is measured with it.
    using DispatchClock = std::function<uint64_t()>;

    // clock: the steady clock when empty (tests pass their own).
    explicit CSocketRecv(size_t maxPending = kDefaultMaxPending, DispatchClock clock = {});
    virtual ~CSocketRecv();
    CSocketRecv(const CSocketRecv&) = delete;
    CSocketRecv& operator=(const CSocketRecv&) = delete;

    // Opens one socket for the adapter and port, unless one exists already for the same
    // address text and port. transport 1 also joins the cameras' multicast group. 0 or -1.
    int CreateRecvSocket(int transport, const AdapterEntry* adapter, uint32_t port,
                         void* handlerContext, RecvHandler handler);

    // Installs the filter; only before the first socket is created.
    void SetFilter(RecvFilter filter) { filter_ = filter; }
    // For tests: behave as a kernel that refuses to restrict a socket to an interface.
    void RefuseDeviceBinding() { refuseDeviceBinding_ = true; }

    // Tells the dispatch thread to stop taking datagrams (the first step of a shutdown).
    void StopDispatch();
    // Closes the receive side: nothing received from now on is queued. Then hands over
    // everything queued without the pause between batches, and returns once the handler has
    // had the last of it (or the receiver is shutting down).
    void StopReceivingAndDrain();

    int SlotCount() const { return slotCount_.load(); }
    uint16_t SlotPort(int index) const { return slots_[index].boundPort; }
    size_t PendingCount();
    // Passes that handed over at least one datagram, since construction.
    uint64_t DispatchPasses() const { return passes_.load(); }

private:
    friend void RecvThread(ReceiveSlot* slot);
    friend void ThreadCheckRecvInfo(CSocketRecv* receiver);

    // Runs the filter and queues a copy of the datagram that passes.
    void Accept(ReceiveSlot* slot, const unsigned char* bytes, int length, uint32_t source);
    void Enqueue(ReceiveSlot* slot, std::unique_ptr<ReceivedDatagram> datagram);
    // Takes the oldest datagram off the queue; false when it is empty.
    bool TakeNext(QueuedDatagram& out);
    // Hands over queued datagrams, oldest first, until the queue is empty or the work has
    // taken the budget (a drain has none). Returns how many; budgetSpent says why it ended.
    size_t DispatchPass(bool& budgetSpent);
    // The slot a datagram belongs to: the one whose address it was sent to, else arrival.
    ReceiveSlot* SlotFor(uint32_t destination, ReceiveSlot* arrival);
    // The shared socket's slot for an arrival interface, or nullptr.
    ReceiveSlot* SharedSlotFor(int interfaceIndex);
    int JoinSharedSocket(int transport, const AdapterEntry* adapter, uint32_t port,
                         int* interfaceIndex);
    void StartThread(ReceiveSlot& slot);
    void StopReceiveThreads();
    bool MayLogRefusal();
    void ReportDropsLocked(bool force);
    // Sleeps up to milliseconds; returns early when the flag is cleared (or, for the
    // dispatch thread, when a drain starts).
    void Pause(const std::atomic<uint32_t>& flag, int milliseconds, bool endOnDrain = false);

    std::atomic<uint32_t> running_{1};
    // Slots below the count are complete and never change; receive threads read them.
    std::atomic<int> slotCount_{0};
    ReceiveSlot slots_[kMaxSlots];
    ReceiveSlot sharedSocket_;  // the wildcard socket, when adapters share one
    std::atomic<RecvFilter> filter_{nullptr};
    bool refuseDeviceBinding_ = false;
    std::atomic<uint32_t> draining_{0};

    std::mutex lock_;  // the queue, the datagram in hand and the drop counters
    std::condition_variable drained_;
    ReceiveQueue queue_;
    bool dispatching_ = false;  // a datagram is out of the queue and not yet handed over
    const DispatchClock clock_;
    std::atomic<uint64_t> passes_{0};
    uint64_t droppedUnreported_ = 0;
    uint32_t lastDropReport_ = 0;
    bool dropReported_ = false;
    uint64_t refusedUnreported_ = 0;  // filtered out without a line of their own
    uint32_t refusalWindowStart_ = 0;
    int refusalLines_ = 0;
    uint32_t lastRefusalReport_ = 0;

    std::mutex wakeMutex_;  // only for prompt wake-ups at shutdown
    std::condition_variable wake_;
    std::thread dispatchThread_;
};

void RecvThread(ReceiveSlot* slot);
void ThreadCheckRecvInfo(CSocketRecv* receiver);
