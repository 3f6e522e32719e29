// The probes against a real neighbour: a lab with the host's adapter and one camera
// namespace whose interface carries the camera's MAC, so that real ARP answers match.
// How long a probe of a silent address takes is a benchmark (bench/address_probe.cpp);
// here only that it waited at all.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "finder/LibIP.h"
#include "lab/LabSupport.h"
#include "platform/Probes.h"

namespace {

using Clock = std::chrono::steady_clock;
using tarsel::lab::Lab;
using tarsel::lab::ScopedNamespace;

constexpr char kCameraMac[] = "02:5a:00:00:00:2c";
constexpr char kHostAddress[] = "10.211.0.1";
constexpr char kCameraAddress[] = "10.211.0.2";
constexpr char kUnusedAddress[] = "10.211.0.99";

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

// ARP tells the camera by its lowercase MAC; the address probe finds taken and free
// addresses with and without the unprivileged ICMP socket; TCP tells open, closed, silent.
TEST(ProbeLab, ArpAddressAndTcpProbes) {
    Lab lab(std::string(R"({"host": {"adapters": [{"name": "eth0", "lan": "a", "address": ")") + kHostAddress +
                 R"(/24"}]}, "cameras": [{"lan": "a", "mac": ")" + kCameraMac + R"(", "ip": ")" + kCameraAddress +
                 R"(", "mask": "255.255.255.0"}]})",
             "--no-camsim");
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    // A listener in the camera namespace (the socket stays there once created).
    int listener = -1;
    std::thread([&] {
        ScopedNamespace entry(lab.Namespace("cam1"));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(8080);
        ::inet_pton(AF_INET, kCameraAddress, &a.sin_addr);
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (!entry.Ok() || ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 8) != 0)
            ::close(listener), listener = -1;
    }).join();
    ASSERT_GE(listener, 0) << "cannot listen in the camera namespace";
    ScopedNamespace inHost(lab.Namespace("host"));
    ASSERT_TRUE(inHost.Ok());
    uint64_t source = IpTextToValue(kHostAddress);
    for (bool kernelTable : {false, true}) {
        SCOPED_TRACE(kernelTable ? "through the neighbour table" : "through a packet socket");
        tarsel::UseKernelNeighbourTableForArp(kernelTable);
        lab.FlushNeighbours();
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, kCameraMac), 2);
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, "02:5A:00:00:00:2C"), 1);
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, nullptr), 1);
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, "02:5a:00:00:00:2d"), 1);
        lab.FlushNeighbours();
        EXPECT_EQ(ArpProbe(IpTextToValue(kUnusedAddress), source, nullptr), 0);
        // With a MAC the probe asks ARP only and recognises the camera.
        lab.FlushNeighbours();
        EXPECT_EQ(AddressProbe(IpTextToValue(kCameraAddress), source, kCameraMac), 2);
        EXPECT_EQ(AddressProbe(IpTextToValue(kCameraAddress), source, "02:5A:00:00:00:2C"), 1);
    }
    tarsel::UseKernelNeighbourTableForArp(false);
    // Without and with the unprivileged ICMP socket (raw socket as root otherwise).
    for (const char* range : {"1 0", "0 2147483647"}) {
        SCOPED_TRACE(range);
        ASSERT_EQ(lab.Exec("host", std::string("sysctl -w net.ipv4.ping_group_range='") + range + "'"), 0);
        EXPECT_EQ(AddressProbe(IpTextToValue(kHostAddress), source, nullptr), 1);
        EXPECT_EQ(AddressProbe(IpTextToValue(kCameraAddress), source, nullptr), 1);
        EXPECT_EQ(tarsel::IcmpEcho(static_cast<uint32_t>(IpTextToValue(kCameraAddress)), 500), 1);
        // Nobody there: the echo's wait is spent before the answer is "free".
        lab.FlushNeighbours();
        auto start = Clock::now();
        EXPECT_EQ(AddressProbe(IpTextToValue(kUnusedAddress), source, nullptr), 0);
        EXPECT_GE(MsSince(start), 450);
    }
    EXPECT_EQ(TcpProbe(kCameraAddress, 8080), 1);
    EXPECT_EQ(TcpProbe(kCameraAddress, 8081), 0);
    auto start = Clock::now();
    EXPECT_EQ(TcpProbe(kUnusedAddress, 80), 0);
    EXPECT_GE(MsSince(start), 190);  // the probe's wait, spent on a silent address
    ::close(listener);
}
