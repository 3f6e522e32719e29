#include "JunkFlood.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "SimCamera.h"
#include "SimProtocol.h"

namespace camsim {
namespace {

// One datagram of the mix: bad version bytes, too short, random bytes, or a reply header
// with the finder's own sender byte. None of them may ever become a camera.
std::vector<uint8_t> Junk(std::mt19937& random, uint64_t sequence, const in_addr& host) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> out;
    switch (sequence % 4) {
        case 0:  // short
            out.resize(1 + sequence % (PACKET_HEADER_SIZE - 1));
            break;
        case 1:  // random
            out.resize(PACKET_HEADER_SIZE + sequence % 400);
            break;
        default:  // header-shaped: version bytes wrong (2) or the finder's sender byte (3)
            out.assign(PACKET_HEADER_SIZE + 80, 0);
            out[0] = 0x01, out[1] = 0x01, out[2] = 0xFE, out[3] = 0xFE;
            if (sequence % 4 == 2) out[3] = 0xFF;
            out[4] = HEADER_IP_QUERY;
            if (host.s_addr != 0) std::memcpy(out.data() + 6, &host, 4);
            out[16] = sequence % 4 == 3 ? 1 : 0;
            for (size_t i = PACKET_HEADER_SIZE; i < out.size(); ++i)
                out[i] = static_cast<uint8_t>(byte(random));
            return out;
    }
    for (uint8_t& b : out) b = static_cast<uint8_t>(byte(random));
    return out;
}

// A camera's reply to the finder's query, made once; each datagram then only changes the
// MAC (in the header and as text) and the address text, both of fixed width.
class FloodReply {
public:
    FloodReply(const in_addr& host, int cameras) : cameras_(cameras) {
        SimCameraConfig config;
        config.name = "Flood";
        config.mac = "00:1B:2C:F0:00:00";
        config.ip = "10.100.100.100";
        config.mask = "255.0.0.0";
        config.gateway = "10.0.0.1";
        SimRequest query;
        const uint8_t version[4] = {0x01, 0x01, 0xFE, 0xFE};
        std::memcpy(query.version, version, 4);
        query.type = HEADER_IP_QUERY;
        std::memcpy(query.hostAddress, &host, 4);
        std::memset(query.targetMac, 0xFF, 6);
        query.sender = 1;
        bytes_ = BuildReply(query, SimCamera(config));
        macAt_ = Find(config.mac);
        ipAt_ = Find(config.ip);
    }
    const std::vector<uint8_t>& For(uint64_t sequence) {
        const unsigned n = static_cast<unsigned>(sequence % static_cast<uint64_t>(cameras_));
        const unsigned low = 0xF00000 + n;  // below 0xFFFFFF for a million cameras
        bytes_[13] = static_cast<uint8_t>(low >> 16);
        bytes_[14] = static_cast<uint8_t>(low >> 8);
        bytes_[15] = static_cast<uint8_t>(low);
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X", low >> 16, (low >> 8) & 0xFF,
                      low & 0xFF);
        std::memcpy(bytes_.data() + macAt_ + 9, text, 8);
        std::snprintf(text, sizeof text, "%u.%u.%u", 100 + n / 10000 % 100, 100 + n / 100 % 100,
                      100 + n % 100);
        std::memcpy(bytes_.data() + ipAt_ + 3, text, 11);
        return bytes_;
    }

private:
    size_t Find(const std::string& text) const {
        auto at = std::search(bytes_.begin(), bytes_.end(), text.begin(), text.end());
        return static_cast<size_t>(at - bytes_.begin());
    }
    std::vector<uint8_t> bytes_;
    size_t macAt_ = 0, ipAt_ = 0;
    int cameras_;
};

}  // namespace

long long RunJunkFlood(const JunkFloodOptions& options, const std::atomic<bool>& stop,
                       std::string& error) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (!options.interfaceName.empty() &&
        setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, options.interfaceName.c_str(),
                   static_cast<socklen_t>(options.interfaceName.size())) < 0) {
        error = std::string("SO_BINDTODEVICE: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options.port);
    in_addr host{};
    if (inet_pton(AF_INET, options.destination.c_str(), &to.sin_addr) != 1 ||
        (!options.hostAddress.empty() &&
         inet_pton(AF_INET, options.hostAddress.c_str(), &host) != 1)) {
        error = "bad address";
        close(fd);
        return -1;
    }
    if (options.replies && (options.hostAddress.empty() || options.cameras < 1 ||
                            options.cameras > JunkFloodOptions::kMaxFloodCameras)) {
        error = "replies need the finder's address and 1 to 1000000 cameras";
        close(fd);
        return -1;
    }
    FloodReply reply(host, std::max(options.cameras, 1));
    std::mt19937 random(12345);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long long sent = 0;
    while (!stop.load()) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (options.seconds > 0 && elapsed >= options.seconds) break;
        // Catch up to the rate, then sleep a millisecond: a steady stream, not one burst.
        const long long due = static_cast<long long>(elapsed * options.perSecond);
        for (; sent < due; ++sent) {
            const uint64_t sequence = static_cast<uint64_t>(sent);
            const std::vector<uint8_t> datagram =
                options.replies ? reply.For(sequence) : Junk(random, sequence, host);
            sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(fd);
    return sent;
}

}  // namespace camsim
