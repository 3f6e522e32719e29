#pragma once
// Sending the discovery probes and reading the answers, on one adapter (multicast) or to one
// address (unicast, for a range search). Answers go through ParseProbeAnswer into an
// OnvifDeviceList; every refused answer is logged and counted, none ends the search.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
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

// What a non-blocking unicast send came to.
enum class UnicastSend { Sent, Full /* the socket's buffer: try another */, Failed };

class OnvifProber {
public:
    // A socket for the multicast search on adapter: bound to its address (any port) and
    // device, multicast out of it with TTL 1, a receive buffer of at least 1 MiB. False (and
    // the reason in *error) when the adapter cannot take part.
    bool OpenOnAdapter(const OnvifAdapter& adapter, std::string* error);
    // A non-blocking socket for unicast probes through the routing table (any address, any
    // port).
    bool OpenUnicast(std::string* error);

    bool SendMulticast(const ProbeSet& probes);
    UnicastSend SendUnicast(uint32_t hostOrderAddress, const ProbeSet& probes);

    // Reads answers until deadline (or *stop turns true), merging devices into list under
    // this socket's adapter name.
    void ReceiveUntil(std::chrono::steady_clock::time_point deadline, const ProbeSet& probes,
                      OnvifDeviceList& list, const std::atomic<bool>* stop = nullptr);

    // The same for several sockets at once.
    static void ReceiveAnyUntil(std::span<OnvifProber> probers, std::chrono::steady_clock::time_point deadline,
                                const ProbeSet& probes, OnvifDeviceList& list, const std::atomic<bool>* stop);

    const ProbeCounters& Counters() const { return counters_; }
    int Fd() const { return fd_.Get(); }

private:
    // Reads one datagram that poll said is there.
    void ReadOne(char* buffer, const ProbeSet& probes, OnvifDeviceList& list);

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

// Unicast probes through one socket, to addresses handed out as they come (a range search
// asks for each address it walks): each address gets both probes to port 3702 at once and
// again kProbeRepeatMs later, and answers are read until waitMs after the last send.
// next(batch, mayEnd) moves the addresses queued since its last call into batch; once
// waitMs passed since the last send it is asked with mayEnd, and returning false then ends
// the run (the caller hands out no more). False when no socket could be opened (logged;
// next is still asked until it ends, so the caller's queue drains).
using NextAddresses = std::function<bool(std::vector<uint32_t>& batch, bool mayEnd)>;
bool ProbeAddresses(const NextAddresses& next, const ProbeSet& probes, int waitMs, OnvifDeviceList& list,
                    const std::atomic<bool>* stop = nullptr);

}  // namespace tarsel::onvif
