#pragma once
// Sending the discovery probes and reading the answers, on one adapter (multicast) or to one
// address (unicast, for a range search). Answers go through ParseProbeAnswer into an
// OnvifDeviceList; every refused answer is logged and counted, none ends the search.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "onvif/OnvifDeviceList.h"
#include "onvif/WsDiscovery.h"
#include "platform/UdpSocket.h"

namespace tarsel::onvif {

struct OnvifAdapter {
    std::string name;         // interface name ("eth0")
    std::string addressText;  // its IPv4 address, dotted
};

// What one socket's answers came to.
struct ProbeCounters {
    unsigned received = 0;   // datagrams read
    unsigned oversized = 0;  // over kProbeAnswerMax, dropped unread
    unsigned refused = 0;    // refused by the parser (logged with the reason)
    unsigned matches = 0;    // device answers merged into the list
};

// The probes go out twice about this far apart, with the same MessageIDs: one datagram lost
// on a busy LAN must not hide a device.
inline constexpr int kProbeRepeatMs = 200;

class OnvifProber {
public:
    // A socket for the multicast search on adapter: bound to its address (any port) and
    // device, multicast out of it with TTL 1, a receive buffer of at least 1 MiB. False (and
    // the reason in *error) when the adapter cannot take part.
    bool OpenOnAdapter(const OnvifAdapter& adapter, std::string* error);
    // A socket for unicast probes through the routing table (any address, any port).
    bool OpenUnicast(std::string* error);

    bool SendMulticast(const ProbeSet& probes);
    bool SendUnicast(uint32_t hostOrderAddress, const ProbeSet& probes);

    // Reads answers until deadline (or *stop turns true), merging devices into list under
    // this socket's adapter name.
    void ReceiveUntil(std::chrono::steady_clock::time_point deadline, const ProbeSet& probes,
                      OnvifDeviceList& list, const std::atomic<bool>* stop = nullptr);

    const ProbeCounters& Counters() const { return counters_; }
    int Fd() const { return fd_.Get(); }

private:
    UniqueFd fd_;
    std::string adapterName_;
    ProbeCounters counters_;
};

// The whole multicast search on one adapter: both probes, both again kProbeRepeatMs later,
// answers read for waitMs from the first send. False when the adapter failed (logged).
bool SearchAdapter(const OnvifAdapter& adapter, const ProbeSet& probes, int waitMs,
                   OnvifDeviceList& list, const std::atomic<bool>* stop = nullptr);

// The search on every adapter at once, one thread each; an adapter that fails is logged and
// skipped. Returns how many adapters took part.
int SearchAdapters(const std::vector<OnvifAdapter>& adapters, const ProbeSet& probes, int waitMs,
                   OnvifDeviceList& list, const std::atomic<bool>* stop = nullptr);

// Both probes sent to port 3702 of one address, twice, answers read for waitMs.
// False when nothing could be sent.
bool ProbeAddress(uint32_t hostOrderAddress, const ProbeSet& probes, int waitMs,
                  OnvifDeviceList& list, const std::atomic<bool>* stop = nullptr);

}  // namespace tarsel::onvif
