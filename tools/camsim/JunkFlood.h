#pragma once
// A noisy device on the LAN: sends datagrams that are no camera's reply to the finder's
// reply port at a steady rate, for load tests and benchmarks inside a lab.

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
};

// Sends until the time is up or stop is set; the number sent, or -1 with a reason.
long long RunJunkFlood(const JunkFloodOptions& options, const std::atomic<bool>& stop,
                       std::string& error);

}  // namespace camsim
