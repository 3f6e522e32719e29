#include "JunkFlood.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "LibPacket/PacketProcess.h"

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
            std::vector<uint8_t> junk = Junk(random, static_cast<uint64_t>(sent), host);
            sendto(fd, junk.data(), junk.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(fd);
    return sent;
}

}  // namespace camsim
