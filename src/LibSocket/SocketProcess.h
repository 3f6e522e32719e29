#pragma once
// The finder's socket hub: the adapter table, the paced send queue and its thread, and the
// receiver with one socket per adapter. One hub exists per search; it is replaced whole.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "LibSocket/EngineCallback.h"
#include "LibSocket/SocketRecv.h"
#include "LibSocket/SocketSend.h"
#include "platform/Interfaces.h"

constexpr int kMaxAdapters = 32;

// Fills table with the first IPv4 address of every interface that is up and not loopback,
// in the given order, skipping interfaces without an address or with "0.0.0.0"; at most
// kMaxAdapters entries. Returns the number filled.
int BuildAdapterTable(const std::vector<tarsel::Ipv4Interface>& interfaces,
                      AdapterEntry (&table)[kMaxAdapters]);

// How a hub is wired to the outside world. The defaults are the real ones; tests replace
// the adapters, the ports or the datagram sender so that nothing leaves 127.0.0.1.
struct HubOptions {
    std::optional<std::vector<AdapterEntry>> adapters;  // instead of the host's interfaces
    uint32_t sendPort = FINDER_SEND_PORT;
    uint32_t recvPort = FINDER_RECV_PORT;
    int recvTransport = TRANSPORT_MULTICAST;  // 0: do not join the cameras' group
    // Replaces CSocketSend::SendPacket(transport, localAddressText, port, data, length).
    std::function<int(int, const char*, uint32_t, const unsigned char*, int)> send;
    int sendGapMs = 30;    // pause after each datagram sent
    int sendIdleMs = 100;  // pause when the queue is empty
    // Behave as a kernel that refuses to restrict a socket to an interface (the adapters
    // then share one wildcard socket).
    bool refuseDeviceBinding = false;
};

struct SendJob {
    int32_t transport = 0;
    uint32_t port = 0;
    uint32_t adapterIndex = 0;
    std::unique_ptr<unsigned char[]> bytes;
    int32_t length = 0;
};

class CSocketProcess {
public:
    // filter, when given, runs on the receive threads before a datagram is queued.
    CSocketProcess(const EngineCallback* engineCallback, RecvHandler handler,
                   const HubOptions& options, RecvFilter filter = nullptr);
    ~CSocketProcess();
    CSocketProcess(const CSocketProcess&) = delete;
    CSocketProcess& operator=(const CSocketProcess&) = delete;

    // Opens a receive socket on every adapter, in table order.
    void OpenReceivers();

    // Copies the packet and appends a job; 0, or -1 when the copy cannot be made.
    int QueueSend(int transport, uint32_t port, uint32_t adapterIndex, const unsigned char* data,
                  int length);

    int AdapterCount() const { return adapterCount_; }
    const AdapterEntry& Adapter(int index) const { return adapters_[index]; }
    uint32_t SendPort() const { return options_.sendPort; }
    CSocketRecv& Receiver() { return *receiver_; }
    size_t QueuedSendCount();

private:
    friend void Thread_CheckSendInfo(CSocketProcess* hub);
    void Pause(int milliseconds);

    std::atomic<uint32_t> running_{1};
    CSocketSend sender_;
    HubOptions options_;
    AdapterEntry adapters_[kMaxAdapters] = {};
    int adapterCount_ = 0;
    // A copy of the engine's pair, so the hub never depends on the caller's storage.
    EngineCallback callback_{};
    RecvHandler handler_;

    std::mutex lock_;  // the send queue only
    std::deque<std::unique_ptr<SendJob>> sendQueue_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::unique_ptr<CSocketRecv> receiver_;
    std::thread sendThread_;
};

void Thread_CheckSendInfo(CSocketProcess* hub);
