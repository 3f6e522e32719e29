// The simulated camera's request parser and what it does with a request: whatever arrives
// on the discovery port, parsing stays inside the datagram and a reply, if any, is well
// formed for the finder's decoder.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "SimCamera.h"
#include "SimProtocol.h"
#include "platform/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        tarsel::SetLogSink([](std::string_view) {});
        return true;
    }();
    (void)quiet;
    static const camsim::SimCameraConfig config = [] {
        camsim::SimCameraConfig c;
        c.mac = "00:1B:2C:00:00:01";
        c.ip = "192.168.1.101";
        c.rebootSilentMs = 0;
        return c;
    }();
    camsim::SimRequest request;
    if (!camsim::ParseRequest(data, size, request)) return 0;
    camsim::SimCamera camera(config);
    camsim::ApplyRequest(request, camera);  // exercised for crashes; outcome depends on input
    std::vector<uint8_t> reply = camsim::BuildReply(request, camera);
    if (!reply.empty()) {
        char arrival[16];
        std::snprintf(arrival, sizeof arrival, "%u.%u.%u.%u", request.hostAddress[0],
                      request.hostAddress[1], request.hostAddress[2], request.hostAddress[3]);
        CameraReply decoded{};
        CPacketProcess codec;
        int type = codec.DecodePacket(reply.data(), static_cast<int>(reply.size()), arrival, &decoded);
        if (type != request.type || std::strcmp(decoded.mac, config.mac.c_str()) != 0) __builtin_trap();
    }
    return 0;
}
