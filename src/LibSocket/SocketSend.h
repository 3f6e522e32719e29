#pragma once
// Sends one discovery datagram from one local adapter: by broadcast to 255.255.255.255 or by
// multicast to the cameras' group. A fresh socket per datagram; nothing is kept between calls.

#include <cstdint>

class CSocketSend {
public:
    // The byte count the send reports, or -1 (every failure is logged).
    int SendPacket(int transport, const char* localAddressText, uint32_t port,
                   const unsigned char* data, int length);
};
