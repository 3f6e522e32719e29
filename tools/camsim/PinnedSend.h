#pragma once
// One datagram sent out of a chosen interface from a chosen source address. Lab namespaces
// have no routes, so a broadcast, multicast or unicast answer without its interface pinned
// fails with ENETUNREACH; and a simulated device answers from its own address.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstring>

namespace camsim {

// ifindex 0 leaves interface and source to the kernel; source (network order) 0 leaves the
// source to it. The sendmsg result.
inline ssize_t SendPinned(int fd, const sockaddr_in& to, const void* data, size_t size, int ifindex,
                          uint32_t source) {
    sockaddr_in target = to;
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (ifindex > 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = ifindex;
        info.ipi_spec_dst.s_addr = source;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    return ::sendmsg(fd, &message, 0);
}

}  // namespace camsim
