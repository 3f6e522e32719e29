#pragma once
// A noisy device on the LAN: sends datagrams that are no camera's reply to the finder's
// reply port at a steady rate, for load tests and benchmarks inside a lab. Or a hostile one:
// valid replies to the finder's query, each as another camera, all from this one host.

#include <atomic>
#include <cstdint>
#include <string>

namespace camsim {

struct JunkFloodOptions {
    std::string interfaceName;                 // send through this interface; "" = routing
    std::string destination = "255.255.255.255";
    uint16_t port = 6565;
    int perSecond = 20000;
    double seconds = 0;                        // 0: until stop is set
    // A header-shaped datagram names this host address (the finder's, to get past that
    // check); "" for a random one.
    std::string hostAddress;
    // Valid replies instead of junk: camera number n (counted from 0, then again from 0
    // after `cameras`) answers with MAC 00:1B:2C:F0:00:00 + n and address
    // 10.(100 + n / 10000 % 100).(100 + n / 100 % 100).(100 + n % 100).
    bool replies = false;
    int cameras = kMaxFloodCameras;
    static constexpr int kMaxFloodCameras = 1000000;
};

// Sends until the time is up or stop is set; the number sent, or -1 with a reason.
long long RunJunkFlood(const JunkFloodOptions& options, const std::atomic<bool>& stop,
                       std::string& error);

}  // namespace camsim
