#include "LibSocket/SocketRecv.h"

#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <chrono>
#include <cstring>
#include <new>
#include <utility>

#include "common/stdafx.h"
#include "platform/Tick.h"
#include "platform/UdpSocket.h"

namespace {
constexpr int kReceiveBufferBytes = 0x20000;
constexpr int kReceiveTimeoutMs = 100;
constexpr int kIdleMs = 100;
// The stop after a pass that spent its budget: long enough for the window's thread and the
// workers to take the engine's lock, short enough that a burst still flows at full speed.
constexpr int kBudgetYieldMs = 1;
constexpr uint32_t kDropReportIntervalMs = 1000;
// Refusals logged in full per second; a few bad replies read as they always did, a flood
// costs one summary line a second.
constexpr int kRefusalLinesPerSecond = 16;

uint64_t SteadyMicroseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

bool IsTimeout(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// The options every receive socket gets, in this order; false after logging what failed.
bool SetUpReceiveSocket(int socket) {
    if (!tarsel::SetReuseAddress(socket)) {
        TLOG_WARNING("(%s:%d)socket SO_REUSEADDR fail. %s", tarsel::LastSocketErrorText().c_str());
        return false;
    }
    if (!tarsel::SetReceiveBuffer(socket, kReceiveBufferBytes))
        return false;
    tarsel::EnableDestinationInfo(socket);  // without it, arrival alone decides
    if (!tarsel::SetReceiveTimeout(socket, kReceiveTimeoutMs)) {
        TLOG_WARNING("(%s:%d)socket SOL_SOCKET SO_RCVTIMEO fail. %s", tarsel::LastSocketErrorText().c_str());
        return false;
    }
    return true;
}

constexpr int kDeviceBindingRefused = -2;

// Opens and sets up one receive socket; -1 after logging what failed, kDeviceBindingRefused
// when the kernel will not restrict it to the adapter's interface.
int OpenReceiveSocket(int transport, const AdapterEntry* adapter, uint32_t port,
                      bool refuseDeviceBinding) {
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    if (!socket.Valid()) {
        TLOG_WARNING("(%s:%d)socket create fail. %s", tarsel::LastSocketErrorText().c_str());
        return -1;
    }
    uint32_t address = 0;  // the wildcard address for an empty text
    if (adapter->addressText[0] != '\0' && !tarsel::ParseIPv4(adapter->addressText, &address)) {
        TLOG_WARNING("(%s:%d)socket bind fail.");
        return -1;
    }
    if (!SetUpReceiveSocket(socket.Get()))
        return -1;
    uint32_t bindAddress = address;
    if (adapter->name[0] != '\0') {
        if (refuseDeviceBinding || !tarsel::BindToDevice(socket.Get(), adapter->name)) {
            TLOG_WARNING("(%s:%d)socket SO_BINDTODEVICE fail. %s %s", adapter->name, tarsel::LastSocketErrorText().c_str());
            return kDeviceBindingRefused;
        }
        bindAddress = 0;  // broadcasts and multicasts reach only a wildcard-bound socket
    }
    if (!tarsel::BindIPv4(socket.Get(), bindAddress, static_cast<uint16_t>(port))) {
        TLOG_WARNING("(%s:%d)socket bind fail.");
        return -1;
    }
    if (transport == TRANSPORT_MULTICAST) {
        uint32_t group = 0;
        tarsel::ParseIPv4(FINDER_MULTICAST_GROUP, &group);
        if (!tarsel::JoinMulticastGroup(socket.Get(), group, address)) {
            TLOG_WARNING("(%s:%d)socket IPPROTO_IP IP_ADD_MEMBERSHIP fail. %s", tarsel::LastSocketErrorText().c_str());
            return -1;
        }
    }
    return socket.Release();
}

}  // namespace

CSocketRecv::CSocketRecv(size_t maxPending, DispatchClock clock)
    : queue_(maxPending), clock_(clock ? std::move(clock) : DispatchClock(SteadyMicroseconds)) {
    dispatchThread_ = std::thread(ThreadCheckRecvInfo, this);
}

CSocketRecv::~CSocketRecv() {
    TLOG("(%s:%d)~CSocketRecv");
    running_ = 0;
    {
        std::lock_guard queueLock(lock_);
        drained_.notify_all();
    }
    StopReceiveThreads();
    if (dispatchThread_.joinable())
        dispatchThread_.join();
    {
        std::lock_guard queueLock(lock_);
        ReportDropsLocked(true);
        queue_.Clear();  // undelivered datagrams are dropped without a handler call
    }
    for (int i = 0; i < slotCount_; ++i)
        tarsel::UniqueFd closing(slots_[i].socket);
    tarsel::UniqueFd closing(sharedSocket_.socket);
}

void CSocketRecv::StopDispatch() {
    running_ = 0;
    {
        std::lock_guard queueLock(lock_);
        drained_.notify_all();
    }
    std::lock_guard wakeLock(wakeMutex_);
    wake_.notify_all();
}

// Clears every receive thread's flag, wakes the threads out of their receive and waits for
// them. The sockets stay open (and are closed by the destructor).
void CSocketRecv::StopReceiveThreads() {
    const int count = slotCount_.load();
    for (int i = 0; i < count; ++i)
        slots_[i].running = 0;
    sharedSocket_.running = 0;
    {
        std::lock_guard wakeLock(wakeMutex_);
        wake_.notify_all();
    }
    for (int i = 0; i < count; ++i) {
        if (slots_[i].socket >= 0)
            ::shutdown(slots_[i].socket, SHUT_RD);
    }
    if (sharedSocket_.socket >= 0)
        ::shutdown(sharedSocket_.socket, SHUT_RD);
    for (int i = 0; i < count; ++i) {
        if (slots_[i].thread.joinable())
            slots_[i].thread.join();
    }
    if (sharedSocket_.thread.joinable())
        sharedSocket_.thread.join();
}

void CSocketRecv::StopReceivingAndDrain() {
    StopReceiveThreads();
    draining_ = 1;
    {
        std::lock_guard wakeLock(wakeMutex_);
        wake_.notify_all();
    }
    std::unique_lock queueLock(lock_);
    drained_.wait(queueLock,
                  [this] { return (queue_.Empty() && !dispatching_) || running_.load() == 0; });
}

size_t CSocketRecv::PendingCount() {
    std::lock_guard queueLock(lock_);
    return queue_.Size();
}

// The first adapter refused an interface of its own opens the wildcard socket; each joins
// the group on its interface. 0 or -1 (logged).
int CSocketRecv::JoinSharedSocket(int transport, const AdapterEntry* adapter, uint32_t port,
                                  int* interfaceIndex) {
    *interfaceIndex = static_cast<int>(::if_nametoindex(adapter->name));
    if (*interfaceIndex == 0) {
        TLOG_WARNING("(%s:%d)no interface %s for the shared socket", adapter->name);
        return -1;
    }
    if (sharedSocket_.socket < 0) {
        tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
        if (!socket.Valid()) {
            TLOG_WARNING("(%s:%d)socket create fail. %s", tarsel::LastSocketErrorText().c_str());
            return -1;
        }
        if (!SetUpReceiveSocket(socket.Get()))
            return -1;
        if (!tarsel::BindIPv4(socket.Get(), 0, static_cast<uint16_t>(port))) {
            TLOG_WARNING("(%s:%d)socket bind fail.");
            return -1;
        }
        sharedSocket_.socket = socket.Release();
        sharedSocket_.port = port;
        sharedSocket_.boundPort = tarsel::LocalPort(sharedSocket_.socket);
        CopyTruncated(sharedSocket_.addressText, "0.0.0.0");
        StartThread(sharedSocket_);
        TLOG("(%s:%d)Adapters share one receive socket on port %d",
             static_cast<int>(sharedSocket_.boundPort));
    } else if (sharedSocket_.port != port) {
        TLOG_WARNING("(%s:%d)the shared receive socket has port %d, not %d",
             static_cast<int>(sharedSocket_.port), static_cast<int>(port));
        return -1;
    }
    if (transport == TRANSPORT_MULTICAST) {
        uint32_t group = 0;
        tarsel::ParseIPv4(FINDER_MULTICAST_GROUP, &group);
        if (!tarsel::JoinMulticastGroupOnInterface(sharedSocket_.socket, group, *interfaceIndex)) {
            TLOG_WARNING("(%s:%d)socket IPPROTO_IP IP_ADD_MEMBERSHIP fail. %s", tarsel::LastSocketErrorText().c_str());
            return -1;
        }
    }
    return 0;
}

void CSocketRecv::StartThread(ReceiveSlot& slot) {
    slot.owner = this;
    slot.running = 1;
    slot.thread = std::thread(RecvThread, &slot);
}

int CSocketRecv::CreateRecvSocket(int transport, const AdapterEntry* adapter, uint32_t port,
                                  void* handlerContext, RecvHandler handler) {
    if (adapter == nullptr)
        return -1;
    for (int i = 0; i < slotCount_; ++i) {
        if (slots_[i].port == port &&
            std::strcmp(slots_[i].addressText, adapter->addressText) == 0) {
            return 0;
        }
    }
    int socket = -1;
    int interfaceIndex = 0;
    bool shared = false;
    std::string why = "no free receive slot";
    if (slotCount_ < kMaxSlots) {
        socket = OpenReceiveSocket(transport, adapter, port, refuseDeviceBinding_);
        why = tarsel::LastSocketErrorText();  // what the failed call left, before anything else
        if (socket == kDeviceBindingRefused) {
            shared = JoinSharedSocket(transport, adapter, port, &interfaceIndex) == 0;
            why = tarsel::LastSocketErrorText();
            socket = -1;
        }
    }
    if (socket < 0 && !shared) {
        TLOG_WARNING("(%s:%d)CreateRecvSocket fail IP:%s, PORT:%d, %s", adapter->addressText,
             static_cast<int>(port), why.c_str());
        return -1;
    }
    ReceiveSlot& slot = slots_[slotCount_];
    CopyTruncated(slot.addressText, adapter->addressText);
    if (!tarsel::ParseIPv4(slot.addressText, &slot.address))
        slot.address = 0;
    slot.port = port;
    slot.adapter = adapter;
    slot.handlerContext = handlerContext;
    slot.handler = handler;
    if (shared) {
        slot.shared = true;
        slot.interfaceIndex = interfaceIndex;
        slot.boundPort = sharedSocket_.boundPort;
        slot.owner = this;
    } else {
        slot.socket = socket;
        slot.boundPort = tarsel::LocalPort(socket);
        StartThread(slot);
    }
    slotCount_.fetch_add(1);
    return 0;
}

void CSocketRecv::Pause(const std::atomic<uint32_t>& flag, int milliseconds, bool endOnDrain) {
    std::unique_lock wakeLock(wakeMutex_);
    wake_.wait_for(wakeLock, std::chrono::milliseconds(milliseconds), [&] {
        return flag.load() == 0 || (endOnDrain && draining_.load() != 0);
    });
}

// Whether one more refusal may be logged in full this second.
bool CSocketRecv::MayLogRefusal() {
    std::lock_guard queueLock(lock_);
    uint32_t now = tarsel::GetTickCount();
    if (now - refusalWindowStart_ >= kDropReportIntervalMs) {
        refusalWindowStart_ = now;
        refusalLines_ = 0;
    }
    if (refusalLines_ < kRefusalLinesPerSecond) {
        ++refusalLines_;
        return true;
    }
    ++refusedUnreported_;
    ReportDropsLocked(false);
    return false;
}

void CSocketRecv::Accept(ReceiveSlot* slot, const unsigned char* bytes, int length,
                         uint32_t source) {
    RecvFilter filter = filter_.load();
    // Checked quietly first: a refusal is checked again to be logged, within the budget.
    if (filter != nullptr && !filter(bytes, length, slot->addressText, false)) {
        if (MayLogRefusal())
            filter(bytes, length, slot->addressText, true);
        return;
    }
    auto datagram = std::make_unique<ReceivedDatagram>();
    datagram->bytes.reset(new (std::nothrow) unsigned char[length]);
    if (!datagram->bytes)
        return;
    std::memcpy(datagram->bytes.get(), bytes, static_cast<size_t>(length));
    datagram->length = length;
    datagram->addressText = slot->addressText;
    datagram->adapter = slot->adapter;
    datagram->source = source;
    Enqueue(slot, std::move(datagram));
}

void CSocketRecv::Enqueue(ReceiveSlot* slot, std::unique_ptr<ReceivedDatagram> datagram) {
    std::lock_guard queueLock(lock_);
    if (queue_.Push({slot, std::move(datagram)}) != ReceiveQueue::Admission::Queued) {
        ++droppedUnreported_;
        ReportDropsLocked(false);
    }
}

bool CSocketRecv::TakeNext(QueuedDatagram& out) {
    std::lock_guard queueLock(lock_);
    ReportDropsLocked(false);
    dispatching_ = queue_.Pop(out);
    if (!dispatching_)
        drained_.notify_all();
    return dispatching_;
}

size_t CSocketRecv::DispatchPass(bool& budgetSpent) {
    budgetSpent = false;
    const uint64_t start = clock_();
    size_t handed = 0;
    QueuedDatagram pending;
    while (TakeNext(pending)) {
        if (!running_)
            break;  // shutting down: the rest is dropped undelivered
        ReceiveSlot* slot = pending.slot;
        if (slot->handler != nullptr)
            slot->handler(slot->handlerContext, *pending.datagram);
        pending.datagram.reset();
        ++handed;
        if (!draining_ && clock_() - start >= kDispatchBudgetUs) {
            budgetSpent = true;
            break;
        }
    }
    if (handed != 0)
        passes_.fetch_add(1);
    return handed;
}

// Logs the datagrams dropped since the last report, at most once a second unless forced.
void CSocketRecv::ReportDropsLocked(bool force) {
    uint32_t now = tarsel::GetTickCount();
    if (refusedUnreported_ != 0 &&
        (force || now - lastRefusalReport_ >= kDropReportIntervalMs)) {
        TLOG_NOTICE("(%s:%d)Refused %llu more datagrams that are no camera reply",
             static_cast<unsigned long long>(refusedUnreported_));
        refusedUnreported_ = 0;
        lastRefusalReport_ = now;
    }
    if (droppedUnreported_ == 0)
        return;
    if (!force && dropReported_ && now - lastDropReport_ < kDropReportIntervalMs)
        return;
    // Naming the sender that holds most of the queue points the installer at the flooder.
    const uint32_t heaviest = queue_.Heaviest();
    TLOG_WARNING(
        "(%s:%d)Receive queue full (%d pending), dropped %llu datagrams, most queued from "
        "%u.%u.%u.%u",
        static_cast<int>(queue_.Capacity()), static_cast<unsigned long long>(droppedUnreported_),
        heaviest >> 24, (heaviest >> 16) & 0xFF, (heaviest >> 8) & 0xFF, heaviest & 0xFF);
    droppedUnreported_ = 0;
    lastDropReport_ = now;
    dropReported_ = true;
}

ReceiveSlot* CSocketRecv::SlotFor(uint32_t destination, ReceiveSlot* arrival) {
    if (destination == 0 || destination == arrival->address)
        return arrival;
    const int count = slotCount_.load();
    for (int i = 0; i < count; ++i) {
        if (slots_[i].address == destination && slots_[i].boundPort == arrival->boundPort)
            return &slots_[i];
    }
    return arrival;  // broadcast, multicast, or an address of no adapter
}

ReceiveSlot* CSocketRecv::SharedSlotFor(int interfaceIndex) {
    const int count = slotCount_.load();
    for (int i = 0; i < count; ++i) {
        if (slots_[i].shared && slots_[i].interfaceIndex == interfaceIndex)
            return &slots_[i];
    }
    return nullptr;  // an interface of no adapter, or one with a socket of its own
}

void RecvThread(ReceiveSlot* slot) {
    CSocketRecv* receiver = slot->owner;
    const bool shared = slot == &receiver->sharedSocket_;
    unsigned char buffer[PACKET_BUFFER_SIZE];
    while (slot->running) {
        std::memset(buffer, 0, sizeof buffer);
        uint32_t destination = 0, source = 0;
        int interfaceIndex = 0;
        int received = tarsel::ReceiveDatagram(slot->socket, buffer, sizeof buffer, &destination,
                                               &interfaceIndex, &source);
        if (received >= 1) {
            ReceiveSlot* arrival = shared ? receiver->SharedSlotFor(interfaceIndex) : slot;
            if (arrival != nullptr)
                receiver->Accept(receiver->SlotFor(destination, arrival), buffer, received,
                                 source);
        } else if (received == -1 && IsTimeout(tarsel::LastSocketError())) {
            // The receive itself already waited; going straight back keeps a burst of
            // replies from piling up in the socket buffer.
            continue;
        } else {
            receiver->Pause(slot->running, kIdleMs);
        }
    }
}

void ThreadCheckRecvInfo(CSocketRecv* receiver) {
    while (receiver->running_) {
        bool budgetSpent = false;
        if (receiver->DispatchPass(budgetSpent) == 0) {
            // Woken early only by the start of a drain, never spinning once it has begun.
            receiver->Pause(receiver->running_, kIdleMs, receiver->draining_.load() == 0);
        } else if (budgetSpent) {
            receiver->Pause(receiver->running_, kBudgetYieldMs, true);
        }
    }
    {
        std::lock_guard queueLock(receiver->lock_);
        receiver->dispatching_ = false;
        receiver->drained_.notify_all();
    }
    TLOG("(%s:%d)Exit ThreadCheckRecvInfo");
}
