// Feeds arbitrary datagrams, with an arbitrary arrival address text, to the reply decoder.
// Input layout: one byte m, then (m & 0x1F) % 24 bytes of arrival text, then the datagram.
// When m has its top bit set the arrival text is instead the datagram's own host address, so
// that most inputs get past the address check into the item walk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "LibPacket/PacketProcess.h"
#include "platform/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        tarsel::SetLogSink([](std::string_view) {});
        return true;
    }();
    (void)quiet;
    if (size == 0)
        return 0;
    size_t textLength = (data[0] & 0x1F) % 24;
    if (textLength > size - 1)
        textLength = size - 1;
    std::string arrival(reinterpret_cast<const char*>(data + 1), textLength);
    size_t datagramLength = size - 1 - textLength;
    // An exact-size copy, so that any read past the datagram is caught.
    std::unique_ptr<unsigned char[]> datagram(new unsigned char[datagramLength + 1]);
    std::memcpy(datagram.get(), data + 1 + textLength, datagramLength);
    if ((data[0] & 0x80) != 0 && datagramLength >= 10) {
        char text[32];
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", datagram[6], datagram[7], datagram[8],
                      datagram[9]);
        arrival = text;
    }

    CameraReply reply;
    std::memset(&reply, 0, sizeof reply);
    CPacketProcess codec;
    int type = codec.DecodePacket(datagram.get(), static_cast<int>(datagramLength), arrival.c_str(),
                                  &reply);
    if (type < -1 || type > 0xFFFF)
        __builtin_trap();
    // Every text field must stay terminated within its capacity.
    const char* fields[] = {reply.deviceName, reply.mac,       reply.ip,   reply.mask,
                            reply.gateway,    reply.fwVersion, reply.mode, reply.productName,
                            reply.httpPort,   reply.company};
    for (const char* field : fields) {
        if (::strnlen(field, sizeof reply.mac) >= sizeof reply.mac)
            __builtin_trap();
    }
    return 0;
}
