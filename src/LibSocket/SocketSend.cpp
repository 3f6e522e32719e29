#include "LibSocket/SocketSend.h"

#include <cerrno>
#include <cstddef>

#include "LibPacket/PacketProcess.h"
#include "common/stdafx.h"
#include "platform/UdpSocket.h"

namespace {
constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
}  // namespace

int CSocketSend::SendPacket(int transport, const char* localAddressText, uint32_t port,
                            const unsigned char* data, int length) {
    if (length <= 0 || data == nullptr) {
        TLOG_WARNING("(%s:%d)Error: SendPacket less than zero, port:%d", static_cast<int>(port));
        return -1;
    }
    tarsel::UniqueFd socket = tarsel::OpenUdpSocket();
    if (!socket.Valid()) {
        TLOG_WARNING("(%s:%d)Error: SendPacket socket AF_INET SOCK_DGRAM fail. %s", tarsel::LastSocketErrorText().c_str());
        return -1;
    }
    const char* local = localAddressText ? localAddressText : "";
    uint32_t localAddress = 0;
    const bool parsed = tarsel::ParseIPv4(local, &localAddress);
    uint32_t destination = 0;
    if (transport == TRANSPORT_BROADCAST) {
        destination = kLimitedBroadcast;
        if (!tarsel::SetBroadcast(socket.Get())) {
            TLOG_WARNING("(%s:%d)Error: SendPacket setsockopt SOL_SOCKET SO_BROADCAST fail. %s", tarsel::LastSocketErrorText().c_str());
            return -1;
        }
        // Bound to the adapter's address, Linux sends the broadcast out of the interface that
        // owns it, route or no route.
        if (!parsed || !tarsel::BindIPv4(socket.Get(), localAddress, 0)) {
            const int error = parsed ? tarsel::LastSocketError() : EINVAL;
            errno = error;
            TLOG_WARNING("(%s:%d)Error: SendPacket bind fail. IP:%s, port:%d, LastError:%d %s", local,
                 static_cast<int>(port), error, tarsel::LastSocketErrorText().c_str());
            return -1;
        }
    } else if (transport == TRANSPORT_MULTICAST) {
        tarsel::ParseIPv4(FINDER_MULTICAST_GROUP, &destination);
        if (!parsed || !tarsel::SetMulticastInterface(socket.Get(), localAddress)) {
            TLOG_WARNING("(%s:%d)Error: SendPacket setsockopt IPPROTO_IP IP_MULTICAST_IF fail. %s", tarsel::LastSocketErrorText().c_str());
            return -1;
        }
    } else {
        TLOG_WARNING("(%s:%d)Not support this protocol:%d", transport);
        return -1;
    }
    const int sent = tarsel::SendDatagram(socket.Get(), destination, static_cast<uint16_t>(port), data,
                                          static_cast<size_t>(length));
    if (sent < 0)
        TLOG_WARNING("(%s:%d)Error: SendPacket send fail. IP:%s, port:%d, %s", local, static_cast<int>(port),
                     tarsel::LastSocketErrorText().c_str());
    return sent;
}
