#include "LibSocket/SocketRecv.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "common/stdafx.h"
#include "platform/Tick.h"
#include "platform/UdpSocket.h"

namespace {
constexpr int kReceiveBufferBytes = 0x20000;
constexpr int kReceiveTimeoutMs = 100;
constexpr int kIdleMs = 100;
constexpr int kDispatchGapMs = 10;
constexpr uint32_t kDropReportIntervalMs = 1000;

bool IsTimeout(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Opens and sets up one receive socket; -1 after logging what failed.
int OpenReceiveSocket(int transport, const AdapterEntry* adapter, uint32_t port) {
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    if (!socket.Valid()) {
        TLOG("(%s:%d)socket create fail.");
        return -1;
    }
    uint32_t address = 0;  // the wildcard address for an empty text
    if (adapter->addressText[0] != '\0' && !tarsel::ParseIPv4(adapter->addressText, &address)) {
        TLOG("(%s:%d)socket bind fail.");
        return -1;
    }
    if (!tarsel::SetReuseAddress(socket.Get())) {
        TLOG("(%s:%d)socket SO_REUSEADDR fail.");
        return -1;
    }
    if (!tarsel::SetReceiveBuffer(socket.Get(), kReceiveBufferBytes))
        return -1;
    tarsel::EnableDestinationInfo(socket.Get());  // without it, arrival alone decides
    if (!tarsel::SetReceiveTimeout(socket.Get(), kReceiveTimeoutMs)) {
        TLOG("(%s:%d)socket SOL_SOCKET SO_RCVTIMEO fail.");
        return -1;
    }
    uint32_t bindAddress = address;
    if (adapter->name[0] != '\0') {
        if (!tarsel::BindToDevice(socket.Get(), adapter->name)) {
            TLOG("(%s:%d)socket SO_BINDTODEVICE fail. %s", adapter->name);
            return -1;
        }
        bindAddress = 0;  // broadcasts and multicasts reach only a wildcard-bound socket
    }
    if (!tarsel::BindIPv4(socket.Get(), bindAddress, static_cast<uint16_t>(port))) {
        TLOG("(%s:%d)socket bind fail.");
        return -1;
    }
    if (transport == TRANSPORT_MULTICAST) {
        uint32_t group = 0;
        tarsel::ParseIPv4(FINDER_MULTICAST_GROUP, &group);
        if (!tarsel::JoinMulticastGroup(socket.Get(), group, address)) {
            TLOG("(%s:%d)socket IPPROTO_IP IP_ADD_MEMBERSHIP fail.");
            return -1;
        }
    }
    return socket.Release();
}

}  // namespace

CSocketRecv::CSocketRecv(size_t maxPending) : maxPending_(maxPending) {
    dispatchThread_ = std::thread(ThreadCheckRecvInfo, this);
}

CSocketRecv::~CSocketRecv() {
    TLOG("(%s:%d)~CSocketRecv");
    running_ = 0;
    for (int i = 0; i < slotCount_; ++i)
        slots_[i].running = 0;
    {
        std::lock_guard wakeLock(wakeMutex_);
        wake_.notify_all();
    }
    for (int i = 0; i < slotCount_; ++i) {
        if (slots_[i].thread.joinable())
            slots_[i].thread.join();
    }
    if (dispatchThread_.joinable())
        dispatchThread_.join();
    {
        std::lock_guard queueLock(lock_);
        ReportDropsLocked(true);
        queue_.clear();  // undelivered datagrams are dropped without a handler call
    }
    for (int i = 0; i < slotCount_; ++i)
        tarsel::UniqueFd closing(slots_[i].socket);
}

void CSocketRecv::StopDispatch() {
    running_ = 0;
    std::lock_guard wakeLock(wakeMutex_);
    wake_.notify_all();
}

size_t CSocketRecv::PendingCount() {
    std::lock_guard queueLock(lock_);
    return queue_.size();
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
    int socket = slotCount_ < kMaxSlots ? OpenReceiveSocket(transport, adapter, port) : -1;
    if (socket < 0) {
        TLOG("(%s:%d)CreateRecvSocket fail IP:%s, PORT:%d", adapter->addressText,
             static_cast<int>(port));
        return -1;
    }
    ReceiveSlot& slot = slots_[slotCount_];
    CopyTruncated(slot.addressText, adapter->addressText);
    if (!tarsel::ParseIPv4(slot.addressText, &slot.address))
        slot.address = 0;
    slot.owner = this;
    slot.socket = socket;
    slot.port = port;
    slot.boundPort = tarsel::LocalPort(socket);
    slot.adapter = adapter;
    slot.handlerContext = handlerContext;
    slot.handler = handler;
    slot.running = 1;
    slot.thread = std::thread(RecvThread, &slot);
    slotCount_.fetch_add(1);
    return 0;
}

void CSocketRecv::Pause(const std::atomic<uint32_t>& flag, int milliseconds) {
    std::unique_lock wakeLock(wakeMutex_);
    wake_.wait_for(wakeLock, std::chrono::milliseconds(milliseconds),
                   [&flag] { return flag.load() == 0; });
}

void CSocketRecv::Enqueue(ReceiveSlot* slot, std::unique_ptr<ReceivedDatagram> datagram) {
    std::lock_guard queueLock(lock_);
    if (queue_.size() >= maxPending_) {
        ++droppedUnreported_;
        ReportDropsLocked(false);
        return;
    }
    queue_.emplace_back(slot, std::move(datagram));
}

// Logs the datagrams dropped since the last report, at most once a second unless forced.
void CSocketRecv::ReportDropsLocked(bool force) {
    if (droppedUnreported_ == 0)
        return;
    uint32_t now = tarsel::GetTickCount();
    if (!force && dropReported_ && now - lastDropReport_ < kDropReportIntervalMs)
        return;
    TLOG("(%s:%d)Receive queue full (%d pending), dropped %llu datagrams",
         static_cast<int>(maxPending_), static_cast<unsigned long long>(droppedUnreported_));
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

void RecvThread(ReceiveSlot* slot) {
    CSocketRecv* receiver = slot->owner;
    unsigned char buffer[PACKET_BUFFER_SIZE];
    while (slot->running) {
        std::memset(buffer, 0, sizeof buffer);
        uint32_t destination = 0;
        int received = tarsel::ReceiveDatagram(slot->socket, buffer, sizeof buffer, &destination);
        if (received >= 1) {
            ReceiveSlot* owner = receiver->SlotFor(destination, slot);
            auto datagram = std::make_unique<ReceivedDatagram>();
            datagram->bytes.reset(new (std::nothrow) unsigned char[received]);
            if (!datagram->bytes)
                continue;
            std::memcpy(datagram->bytes.get(), buffer, static_cast<size_t>(received));
            datagram->length = received;
            datagram->addressText = owner->addressText;
            datagram->adapter = owner->adapter;
            receiver->Enqueue(owner, std::move(datagram));
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
        CSocketRecv::Pending pending;
        {
            std::lock_guard queueLock(receiver->lock_);
            if (!receiver->queue_.empty()) {
                pending = std::move(receiver->queue_.front());
                receiver->queue_.pop_front();
            }
            receiver->ReportDropsLocked(false);
        }
        if (pending.second) {
            ReceiveSlot* slot = pending.first;
            if (slot->handler != nullptr)
                slot->handler(slot->handlerContext, *pending.second);
            pending.second.reset();
            receiver->Pause(receiver->running_, kDispatchGapMs);
        } else {
            receiver->Pause(receiver->running_, kIdleMs);
        }
    }
    TLOG("(%s:%d)Exit ThreadCheckRecvInfo");
}
