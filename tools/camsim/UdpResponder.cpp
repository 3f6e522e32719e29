#include "UdpResponder.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "PinnedSend.h"
#include "LibPacket/PacketProcess.h"
#include "SimProtocol.h"

namespace camsim {

UdpResponder::UdpResponder(std::vector<std::shared_ptr<SimCamera>> cameras,
                           UdpResponderOptions options)
    : cameras_(std::move(cameras)), options_(std::move(options)) {}

UdpResponder::~UdpResponder() { Stop(); }

bool UdpResponder::Start(std::string& error) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    auto fail = [&](const char* what) {
        error = std::string(what) + ": " + std::strerror(errno);
        close(fd_);
        fd_ = -1;
        return false;
    };
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) < 0) return fail("SO_BROADCAST");
    if (setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) < 0) return fail("IP_PKTINFO");
    int rcvbuf = 1 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    if (!options_.interfaceName.empty() &&
        setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, options_.interfaceName.c_str(),
                   static_cast<socklen_t>(options_.interfaceName.size())) < 0)
        return fail("SO_BINDTODEVICE");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.listenPort);
    if (inet_pton(AF_INET, options_.bindAddress.c_str(), &addr.sin_addr) != 1) {
        errno = EINVAL;
        return fail("bind address");
    }
    if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) return fail("bind");
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort_ = ntohs(addr.sin_port);

    if (options_.joinMulticast) {
        // Join on the pinned interface, or on every interface that is up: a namespace
        // without routes has no default interface for a membership.
        std::vector<unsigned> indexes;
        if (!options_.interfaceName.empty()) {
            unsigned index = if_nametoindex(options_.interfaceName.c_str());
            if (index == 0) return fail("if_nametoindex");
            indexes.push_back(index);
        } else if (struct if_nameindex* all = if_nameindex()) {
            for (struct if_nameindex* i = all; i->if_index != 0; ++i) indexes.push_back(i->if_index);
            if_freenameindex(all);
        }
        for (unsigned index : indexes) {
            ip_mreqn mreq{};
            inet_pton(AF_INET, FINDER_MULTICAST_GROUP, &mreq.imr_multiaddr);
            mreq.imr_ifindex = static_cast<int>(index);
            setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq);
        }
    }
    running_ = true;
    receiver_ = std::thread([this] { ReceiveLoop(); });
    sender_ = std::thread([this] { SendLoop(); });
    return true;
}

void UdpResponder::Stop() {
    if (running_.exchange(false)) {
        wake_.notify_all();
        receiver_.join();
        sender_.join();
    }
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

void UdpResponder::ReceiveLoop() {
    uint8_t buffer[PACKET_BUFFER_SIZE];
    alignas(cmsghdr) char control[256];
    while (running_) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) continue;
        sockaddr_in from{};
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n = recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n <= 0) continue;
        int ifindex = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                ifindex = info.ipi_ifindex;
            }
        }
        Handle(buffer, static_cast<size_t>(n), from.sin_addr.s_addr, ifindex);
    }
}

void UdpResponder::Handle(const uint8_t* data, size_t length, uint32_t from, int ifindex) {
    SimRequest request;
    if (!ParseRequest(data, length, request)) return;
    ++requests_;
    const auto now = std::chrono::steady_clock::now();
    for (const auto& camera : cameras_) {
        if (camera->IsSilent(now)) continue;
        ApplyRequest(request, *camera);
        const SimFaults faults = camera->Faults();
        if (faults.neverAnswer) continue;
        std::vector<uint8_t> reply = BuildReply(request, *camera);
        if (reply.empty()) continue;
        PendingReply pending;
        pending.due = now + std::chrono::milliseconds(faults.replyDelayMs);
        pending.bytes = std::move(reply);
        pending.ifindex = ifindex;
        // Cameras answer by broadcast so that a camera outside the finder's subnet, or a
        // reply that the finder's other adapter would take by ARP, still arrives.
        pending.destination = (faults.unicastReply || options_.unicastReplies)
                                  ? from
                                  : htonl(INADDR_BROADCAST);
        in_addr source{};
        inet_pton(AF_INET, camera->Network().ip.c_str(), &source);
        pending.source = source.s_addr;
        std::lock_guard lock(mutex_);
        pending.order = order_++;
        pending_.push(std::move(pending));
    }
    wake_.notify_all();
}

void UdpResponder::SendLoop() {
    std::unique_lock lock(mutex_);
    while (running_) {
        if (pending_.empty()) {
            wake_.wait_for(lock, std::chrono::milliseconds(200));
            continue;
        }
        auto due = std::max(pending_.top().due,
                            lastSend_ + std::chrono::milliseconds(options_.replySpacingMs));
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        PendingReply reply = pending_.top();
        pending_.pop();
        lastSend_ = std::chrono::steady_clock::now();
        lock.unlock();
        Send(reply);
        lock.lock();
    }
}

void UdpResponder::Send(const PendingReply& reply) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options_.replyPort);
    to.sin_addr.s_addr = reply.destination;
    // Pinned to the interface the request came in on, from the camera's address.
    ssize_t sent = SendPinned(fd_, to, reply.bytes.data(), reply.bytes.size(), reply.ifindex, reply.source);
    if (sent < 0 && reply.ifindex > 0 && reply.source != 0) {
        // The camera's address is not (yet) on the interface: let the kernel choose.
        sent = SendPinned(fd_, to, reply.bytes.data(), reply.bytes.size(), reply.ifindex, 0);
    }
    if (sent < 0) {
        std::fprintf(stderr, "camsim: reply send failed: %s\n", std::strerror(errno));
    } else {
        ++replies_;
    }
}

}  // namespace camsim
