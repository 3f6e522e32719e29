// The probes against a real neighbour: a host namespace and a camera namespace joined by a
// veth pair, the camera's interface carrying the camera's MAC so that real ARP answers match.
// Built and removed by the test itself; nothing is sent outside the two namespaces.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "finder/LibIP.h"
#include "platform/Probes.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

constexpr char kCameraMac[] = "02:5a:00:00:00:2c";
constexpr char kHostAddress[] = "10.211.0.1";
constexpr char kCameraAddress[] = "10.211.0.2";
constexpr char kUnusedAddress[] = "10.211.0.99";

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// Enters a namespace on the calling thread; the previous one is restored on destruction.
class NamespaceEntry {
public:
    explicit NamespaceEntry(const std::string& name) {
        previous_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        int target = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        ok_ = previous_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) ::close(target);
    }
    ~NamespaceEntry() {
        if (previous_ >= 0) {
            ::setns(previous_, CLONE_NEWNET);
            ::close(previous_);
        }
    }
    bool ok() const { return ok_; }

private:
    int previous_ = -1;
    bool ok_ = false;
};

class ProbeLab : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::geteuid(), 0u) << "the lab needs root";
        std::string id = std::to_string(::getpid());
        host_ = "tph" + id;
        camera_ = "tpc" + id;
        const std::string h = "ip -n " + host_ + " ", c = "ip -n " + camera_ + " ";
        for (const std::string& command : {
                 "ip netns add " + host_,
                 "ip netns add " + camera_,
                 "ip link add lan0 netns " + host_ + " type veth peer name eth0 netns " + camera_,
                 c + "link set eth0 address " + kCameraMac,
                 h + "addr add " + kHostAddress + "/24 dev lan0",
                 c + "addr add " + kCameraAddress + "/24 dev eth0",
                 h + "link set lo up", c + "link set lo up",
                 h + "link set lan0 up", c + "link set eth0 up",
             }) {
            ASSERT_EQ(Shell(command), 0) << "cannot build the lab: " << command;
        }
        // The link needs a moment to come up on both ends.
        auto start = Clock::now();
        while (Shell(h + "link show lan0 | grep -q 'state UP'") != 0 && MsSince(start) < 5000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        // A listener in the camera namespace (the socket stays there once created).
        std::thread inCamera([this] {
            NamespaceEntry entry(camera_);
            if (!entry.ok()) return;
            listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(8080);
            ::inet_pton(AF_INET, kCameraAddress, &a.sin_addr);
            if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
                ::listen(listener_, 8) != 0) {
                ::close(listener_);
                listener_ = -1;
            }
        });
        inCamera.join();
        ASSERT_GE(listener_, 0) << "cannot listen in the camera namespace";
    }

    void TearDown() override {
        tarsel::UseKernelNeighbourTableForArp(false);
        if (listener_ >= 0) ::close(listener_);
        Shell("ip netns del " + host_);
        Shell("ip netns del " + camera_);
    }

    void FlushNeighbours() { Shell("ip -n " + host_ + " neigh flush all"); }

    std::string host_, camera_;
    int listener_ = -1;
};

}  // namespace

TEST_F(ProbeLab, ArpTellsTheCameraByItsLowercaseMac) {
    NamespaceEntry inHost(host_);
    ASSERT_TRUE(inHost.ok());
    uint64_t source = IpTextToValue(kHostAddress);
    for (bool kernelTable : {false, true}) {
        SCOPED_TRACE(kernelTable ? "through the neighbour table" : "through a packet socket");
        tarsel::UseKernelNeighbourTableForArp(kernelTable);
        FlushNeighbours();
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, kCameraMac), 2);
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, "02:5A:00:00:00:2C"), 1);
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, nullptr), 1);
        EXPECT_EQ(ArpProbe(IpTextToValue(kCameraAddress), source, "02:5a:00:00:00:2d"), 1);
        FlushNeighbours();
        auto start = Clock::now();
        EXPECT_EQ(ArpProbe(IpTextToValue(kUnusedAddress), source, nullptr), 0);
        EXPECT_LT(MsSince(start), 1200);
        // With a MAC the probe asks ARP only and recognises the camera.
        FlushNeighbours();
        EXPECT_EQ(AddressProbe(IpTextToValue(kCameraAddress), source, kCameraMac), 2);
        EXPECT_EQ(AddressProbe(IpTextToValue(kCameraAddress), source, "02:5A:00:00:00:2C"), 1);
    }
}

TEST_F(ProbeLab, AddressProbeAnswersForTakenAndFreeAddresses) {
    NamespaceEntry inHost(host_);
    ASSERT_TRUE(inHost.ok());
    uint64_t source = IpTextToValue(kHostAddress);
    // Without and with the unprivileged ICMP socket (raw socket as root otherwise).
    for (const char* range : {"1 0", "0 2147483647"}) {
        SCOPED_TRACE(range);
        ASSERT_EQ(Shell("ip netns exec " + host_ + " sysctl -w net.ipv4.ping_group_range='" +
                      range + "'"), 0);
        EXPECT_EQ(AddressProbe(IpTextToValue(kHostAddress), source, nullptr), 1);
        EXPECT_EQ(AddressProbe(IpTextToValue(kCameraAddress), source, nullptr), 1);
        EXPECT_EQ(tarsel::IcmpEcho(static_cast<uint32_t>(IpTextToValue(kCameraAddress)), 500), 1);
        // Nobody there: the echo's 500 ms, then the ARP wait, and never more than 1.5 s.
        FlushNeighbours();
        auto start = Clock::now();
        EXPECT_EQ(AddressProbe(IpTextToValue(kUnusedAddress), source, nullptr), 0);
        long long took = MsSince(start);
        EXPECT_GE(took, 450);
        EXPECT_LE(took, 1500);
    }
}

TEST_F(ProbeLab, TcpProbeOpenClosedAndSilent) {
    NamespaceEntry inHost(host_);
    ASSERT_TRUE(inHost.ok());
    EXPECT_EQ(TcpProbe(kCameraAddress, 8080), 1);
    auto start = Clock::now();
    EXPECT_EQ(TcpProbe(kCameraAddress, 8081), 0);
    EXPECT_LT(MsSince(start), 150) << "a closed port is refused at once";
    start = Clock::now();
    EXPECT_EQ(TcpProbe(kUnusedAddress, 80), 0);
    long long took = MsSince(start);
    EXPECT_GE(took, 190);
    EXPECT_LT(took, 600);
}
