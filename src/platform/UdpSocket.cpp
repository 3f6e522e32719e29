#include "platform/UdpSocket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

namespace tarsel {

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

namespace {

sockaddr_in MakeAddress(uint32_t hostOrderAddress, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    address.sin_port = htons(port);
    return address;
}

bool SetIntOption(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

}  // namespace

bool ParseIPv4(const char* text, uint32_t* hostOrderAddress) {
    in_addr parsed{};
    if (text == nullptr || ::inet_aton(text, &parsed) == 0)
        return false;
    *hostOrderAddress = ntohl(parsed.s_addr);
    return true;
}

UniqueFd OpenUdpSocket() {
    return UniqueFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
}

bool SetBroadcast(int fd) {
    return SetIntOption(fd, SOL_SOCKET, SO_BROADCAST, 1);
}

bool SetReuseAddress(int fd) {
    return SetIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
}

bool SetReceiveBuffer(int fd, int bytes) {
    return SetIntOption(fd, SOL_SOCKET, SO_RCVBUF, bytes);
}

bool SetReceiveTimeout(int fd, int milliseconds) {
    timeval timeout{};
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = (milliseconds % 1000) * 1000;
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0;
}

bool BindToDevice(int fd, const char* interfaceName) {
    return ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName,
                        static_cast<socklen_t>(::strnlen(interfaceName, IFNAMSIZ))) == 0;
}

bool BindIPv4(int fd, uint32_t hostOrderAddress, uint16_t port) {
    sockaddr_in address = MakeAddress(hostOrderAddress, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool SetMulticastInterface(int fd, uint32_t hostOrderAddress) {
    in_addr address{};
    address.s_addr = htonl(hostOrderAddress);
    return ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address) == 0;
}

bool JoinMulticastGroup(int fd, uint32_t hostOrderGroup, uint32_t hostOrderInterfaceAddress) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(hostOrderGroup);
    request.imr_interface.s_addr = htonl(hostOrderInterfaceAddress);
    if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        return false;
    }
    // Without this, Linux also hands the socket groups that other sockets joined.
    SetIntOption(fd, IPPROTO_IP, IP_MULTICAST_ALL, 0);
    return true;
}

bool JoinMulticastGroupOnInterface(int fd, uint32_t hostOrderGroup, int interfaceIndex) {
    ip_mreqn request{};
    request.imr_multiaddr.s_addr = htonl(hostOrderGroup);
    request.imr_ifindex = interfaceIndex;
    if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0)
        return false;
    SetIntOption(fd, IPPROTO_IP, IP_MULTICAST_ALL, 0);
    return true;
}

uint16_t LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

int SendDatagram(int fd, uint32_t hostOrderAddress, uint16_t port, const void* data,
                 size_t length) {
    sockaddr_in address = MakeAddress(hostOrderAddress, port);
    ssize_t sent = ::sendto(fd, data, length, MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

bool EnableDestinationInfo(int fd) {
    return SetIntOption(fd, IPPROTO_IP, IP_PKTINFO, 1);
}

int ReceiveDatagram(int fd, void* buffer, size_t capacity, uint32_t* destination,
                    int* arrivalInterface, uint32_t* source, uint16_t* sourcePort) {
    iovec part{buffer, capacity};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    sockaddr_in sender{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (destination != nullptr)
        *destination = 0;
    if (arrivalInterface != nullptr)
        *arrivalInterface = 0;
    if (source != nullptr)
        *source = 0;
    // MSG_TRUNC reports the real size, so an oversized datagram is recognised and dropped
    // rather than delivered cut.
    ssize_t received = ::recvmsg(fd, &message, MSG_TRUNC);
    if (received < 0)
        return -1;
    if (static_cast<size_t>(received) > capacity)
        return -2;
    if (source != nullptr)
        *source = ntohl(sender.sin_addr.s_addr);
    if (sourcePort != nullptr)
        *sourcePort = ntohs(sender.sin_port);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            if (destination != nullptr)
                *destination = ntohl(info.ipi_addr.s_addr);  // the header's destination
            // The arrival interface, never ipi_spec_dst: that one is wrong for broadcasts.
            if (arrivalInterface != nullptr)
                *arrivalInterface = info.ipi_ifindex;
        }
    }
    return static_cast<int>(received);
}

int LastSocketError() {
    return errno;
}

std::string LastSocketErrorText() {
    const int error = errno;
    char buffer[128];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text != nullptr ? text : "unknown error " + std::to_string(error);
}

}  // namespace tarsel
