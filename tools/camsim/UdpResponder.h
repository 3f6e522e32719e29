#pragma once
// The cameras' discovery responder: one socket on the discovery port, member of the
// multicast group, answering for every simulated camera of this process.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "SimCamera.h"

namespace camsim {

struct UdpResponderOptions {
    std::string interfaceName;       // pin to this interface (SO_BINDTODEVICE); "" = every one
    std::string bindAddress = "0.0.0.0";
    uint16_t listenPort = 5656;      // 0 = any free port (tests)
    uint16_t replyPort = 6565;
    bool joinMulticast = true;
    bool unicastReplies = false;     // every camera answers the requester's address
    int replySpacingMs = 1;          // gap between two replies of this process
};

class UdpResponder {
public:
    UdpResponder(std::vector<std::shared_ptr<SimCamera>> cameras, UdpResponderOptions options);
    ~UdpResponder();
    UdpResponder(const UdpResponder&) = delete;
    UdpResponder& operator=(const UdpResponder&) = delete;

    // Opens the socket and starts the threads; false with a reason on failure.
    bool Start(std::string& error);
    void Stop();
    uint16_t BoundPort() const { return boundPort_; }
    // Requests seen and replies sent so far (for logs and tests).
    uint64_t RequestCount() const { return requests_.load(); }
    uint64_t ReplyCount() const { return replies_.load(); }

private:
    struct PendingReply {
        std::chrono::steady_clock::time_point due;
        uint64_t order;
        std::vector<uint8_t> bytes;
        uint32_t destination;  // network order
        int ifindex;
        uint32_t source;       // network order; the camera's address, 0 = let the kernel pick
        bool operator>(const PendingReply& other) const {
            return due != other.due ? due > other.due : order > other.order;
        }
    };

    void ReceiveLoop();
    void SendLoop();
    void Handle(const uint8_t* data, size_t length, uint32_t from, int ifindex);
    void Send(const PendingReply& reply);

    std::vector<std::shared_ptr<SimCamera>> cameras_;
    UdpResponderOptions options_;
    int fd_ = -1;
    uint16_t boundPort_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> requests_{0}, replies_{0};
    std::thread receiver_, sender_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::priority_queue<PendingReply, std::vector<PendingReply>, std::greater<>> pending_;
    uint64_t order_ = 0;
    std::chrono::steady_clock::time_point lastSend_{};
};

}  // namespace camsim
