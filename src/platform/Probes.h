#pragma once
// Low-level reachability probes: an ARP request, one ICMP echo, a TCP connect with a short
// wait, and running an external program with a time-out. Addresses are IPv4 in host byte
// order.

#include <cstdint>
#include <string>
#include <vector>

namespace tarsel {

// How long an ARP request waits for its answer (the request is sent again half-way).
constexpr int kArpWaitMs = 700;

// Asks who has target, from the interface that owns source (or, when no interface owns it,
// the one the kernel routes target through). As root through a packet socket; without that
// right by provoking the kernel's own resolution and reading its neighbour table. Returns
// 0 and the answering hardware address (macLength = its length) when a host answered, -1
// otherwise.
int SendArpRequest(uint32_t target, uint32_t source, int waitMs, uint8_t mac[6], int* macLength);

// true: resolve through the kernel's neighbour table even with the right to a packet
// socket, as an unprivileged user does (so that both ways can be checked on one machine).
void UseKernelNeighbourTableForArp(bool on);

// One ICMP echo to target, waiting up to waitMs for the reply: a datagram ICMP socket when
// the system allows it, a raw socket as root, else the system's ping program. 1 reply, 0
// none.
int IcmpEcho(uint32_t target, int waitMs);

// 1 when a TCP connection to address:port completes within waitMs, 0 when it does not, -1
// when no socket could be created.
int TcpConnect(const std::string& address, int port, int waitMs);

// Runs argv[0] (searched in PATH) with the arguments, in directory when given, output
// discarded. Without wait: 0 once started. With wait: its exit code, or 1 when it could not
// start, was killed by a signal, or overran timeoutMs (it is then killed).
int RunProcess(const std::vector<std::string>& argv, const char* directory, int timeoutMs,
               bool wait);

}  // namespace tarsel
