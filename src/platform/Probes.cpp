#include "platform/Probes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <netpacket/packet.h>
#include <net/ethernet.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace tarsel {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

struct LocalInterface {
    std::string name;
    int index = 0;
    uint8_t mac[6] = {};
    bool hasMac = false;
};

// The interface that holds address (host order); false when none does.
bool InterfaceOwning(uint32_t address, LocalInterface* out) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool found = false;
    for (ifaddrs* a = list; a != nullptr && !found; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        if (ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr) != address) continue;
        out->name = a->ifa_name;
        found = true;
    }
    for (ifaddrs* a = list; a != nullptr && found; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_PACKET) continue;
        if (out->name != a->ifa_name) continue;
        auto* link = reinterpret_cast<sockaddr_ll*>(a->ifa_addr);
        if (link->sll_halen == 6) {
            std::memcpy(out->mac, link->sll_addr, 6);
            out->hasMac = true;
        }
    }
    ::freeifaddrs(list);
    if (found) out->index = static_cast<int>(::if_nametoindex(out->name.c_str()));
    return found && out->index > 0;
}

// The local address the kernel would use towards target; 0 when it has no route.
uint32_t RouteSource(uint32_t target) {
    Fd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (s.fd < 0) return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(target);
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(s.fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohl(local.sin_addr.s_addr);
}

void PutAddress(uint8_t* at, uint32_t address) {
    at[0] = static_cast<uint8_t>(address >> 24);
    at[1] = static_cast<uint8_t>(address >> 16);
    at[2] = static_cast<uint8_t>(address >> 8);
    at[3] = static_cast<uint8_t>(address);
}

uint32_t GetAddress(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// As root: an ARP request on the wire and its reply. -2 when the right is missing.
int ArpOverPacketSocket(const LocalInterface& nic, uint32_t target, uint32_t source, int waitMs,
                        uint8_t mac[6], int* macLength) {
    Fd s(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    if (s.fd < 0) return (errno == EPERM || errno == EACCES) ? -2 : -1;
    sockaddr_ll bound{};
    bound.sll_family = AF_PACKET;
    bound.sll_protocol = htons(ETH_P_ARP);
    bound.sll_ifindex = nic.index;
    if (::bind(s.fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) return -1;

    uint8_t request[28] = {0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01};
    std::memcpy(request + 8, nic.mac, 6);
    PutAddress(request + 14, source);
    PutAddress(request + 24, target);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = nic.index;
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xFF, 6);

    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    auto resend = Clock::now() + std::chrono::milliseconds(waitMs / 2);
    bool resent = false;
    if (::sendto(s.fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        return -1;
    }
    for (int left = MsLeft(deadline); left > 0; left = MsLeft(deadline)) {
        if (!resent && Clock::now() >= resend) {
            ::sendto(s.fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            resent = true;
        }
        int slice = resent ? left : std::max(1, std::min(left, MsLeft(resend)));
        pollfd p{s.fd, POLLIN, 0};
        if (::poll(&p, 1, slice) <= 0) continue;
        uint8_t reply[128];
        ssize_t n = ::recv(s.fd, reply, sizeof reply, 0);
        if (n < 8 || reply[2] != 0x08 || reply[3] != 0x00 || reply[6] != 0 || reply[7] != 2) continue;
        int hardwareLength = reply[4];
        if (reply[5] != 4 || n < 8 + 2 * hardwareLength + 8) continue;
        if (GetAddress(reply + 8 + hardwareLength) != target) continue;
        *macLength = hardwareLength;
        std::memcpy(mac, reply + 8, static_cast<size_t>(std::min(hardwareLength, 6)));
        return 0;
    }
    return -1;
}

// Without the right to a packet socket: make the kernel resolve target (a datagram to the
// discard port) and watch its neighbour table for a complete entry on that interface.
int ArpThroughKernel(const LocalInterface& nic, uint32_t target, int waitMs, uint8_t mac[6],
                     int* macLength) {
    Fd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (s.fd < 0) return -1;
    ::setsockopt(s.fd, SOL_SOCKET, SO_BINDTODEVICE, nic.name.c_str(),
                 static_cast<socklen_t>(nic.name.size()));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(target);
    char targetText[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &to.sin_addr, targetText, sizeof targetText);

    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    auto resend = Clock::now() + std::chrono::milliseconds(waitMs / 2);
    bool resent = false;
    ::sendto(s.fd, "", 0, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    while (MsLeft(deadline) > 0) {
        std::ifstream table("/proc/thread-self/net/arp");
        std::string line;
        std::getline(table, line);
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string ip, type, flags, hardware, mask, device;
            if (!(fields >> ip >> type >> flags >> hardware >> mask >> device)) continue;
            if (ip != targetText || device != nic.name) continue;
            if ((std::strtoul(flags.c_str(), nullptr, 16) & 0x2) == 0) continue;
            unsigned int b[6];
            if (std::sscanf(hardware.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3],
                            &b[4], &b[5]) != 6) {
                continue;
            }
            for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(b[i]);
            *macLength = 6;
            return 0;
        }
        if (!resent && Clock::now() >= resend) {
            ::sendto(s.fd, "", 0, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            resent = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(20, MsLeft(deadline) + 1)));
    }
    return -1;
}

uint16_t Checksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (length & 1) sum += static_cast<uint32_t>(data[length - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

// 1 reply, 0 none, -2 this kind of socket is not allowed.
int EchoOverSocket(int type, uint32_t target, int waitMs) {
    Fd s(::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (s.fd < 0) return -2;
    static std::atomic<uint16_t> sequence{1};
    std::random_device random;
    uint16_t id = static_cast<uint16_t>(random());
    uint16_t seq = sequence++;
    uint8_t echo[24] = {8, 0, 0, 0, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id),
                        static_cast<uint8_t>(seq >> 8), static_cast<uint8_t>(seq)};
    std::memcpy(echo + 8, "tarsel-probe-ech", 16);
    uint16_t sum = Checksum(echo, sizeof echo);
    echo[2] = static_cast<uint8_t>(sum >> 8);
    echo[3] = static_cast<uint8_t>(sum);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target);
    if (::sendto(s.fd, echo, sizeof echo, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        return 0;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (int left = MsLeft(deadline); left > 0; left = MsLeft(deadline)) {
        pollfd p{s.fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        uint8_t reply[1500];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(s.fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from),
                               &fromLength);
        if (n <= 0 || from.sin_addr.s_addr != to.sin_addr.s_addr) continue;
        const uint8_t* icmp = reply;
        if (type == SOCK_RAW) {
            // A raw socket sees the IP header and every echo reply of the machine.
            size_t headerLength = static_cast<size_t>(reply[0] & 0x0F) * 4;
            if (static_cast<size_t>(n) < headerLength + 8) continue;
            icmp = reply + headerLength;
            n -= static_cast<ssize_t>(headerLength);
            if (((icmp[4] << 8) | icmp[5]) != id) continue;
        }
        // The datagram socket's kernel sets its own identifier; it delivers only ours.
        if (n >= 8 && icmp[0] == 0 && ((icmp[6] << 8) | icmp[7]) == seq) return 1;
    }
    return 0;
}

}  // namespace

namespace {
std::atomic<bool> arpThroughKernelOnly{false};
}  // namespace

void UseKernelNeighbourTableForArp(bool on) { arpThroughKernelOnly = on; }

int SendArpRequest(uint32_t target, uint32_t source, int waitMs, uint8_t mac[6], int* macLength) {
    *macLength = 0;
    LocalInterface nic;
    // A local address answers for itself, as the kernel would for anyone else asking.
    if (InterfaceOwning(target, &nic)) {
        if (!nic.hasMac) return -1;
        std::memcpy(mac, nic.mac, 6);
        *macLength = 6;
        return 0;
    }
    if (!InterfaceOwning(source, &nic)) {
        source = RouteSource(target);
        if (source == 0 || !InterfaceOwning(source, &nic)) return -1;
    }
    if (!nic.hasMac) return -1;
    int result = arpThroughKernelOnly ? -2
                                      : ArpOverPacketSocket(nic, target, source, waitMs, mac, macLength);
    if (result == -2) result = ArpThroughKernel(nic, target, waitMs, mac, macLength);
    return result;
}

int IcmpEcho(uint32_t target, int waitMs) {
    int result = EchoOverSocket(SOCK_DGRAM, target, waitMs);
    if (result == -2) result = EchoOverSocket(SOCK_RAW, target, waitMs);
    if (result != -2) return result;
    in_addr address{};
    address.s_addr = htonl(target);
    char text[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return RunProcess({"ping", "-n", "-q", "-c", "1", "-W", "1", text}, nullptr, 1000, true) == 0;
}

int TcpConnect(const std::string& address, int port, int waitMs) {
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (s.fd < 0) return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) {
        return 0;
    }
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return 1;
    if (errno != EINPROGRESS) return 0;
    pollfd p{s.fd, POLLOUT, 0};
    if (::poll(&p, 1, waitMs) <= 0) return 0;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return 0;
    return error == 0 ? 1 : 0;
}

int RunProcess(const std::vector<std::string>& argv, const char* directory, int timeoutMs,
               bool wait) {
    if (argv.empty()) return 1;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (directory != nullptr && directory[0] != '\0') {
        posix_spawn_file_actions_addchdir_np(&actions, directory);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    // Its own process group, so that a time-out ends whatever it started as well.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    int failed = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) return 1;

    if (!wait) {
        // Nobody waits for it, but it must not stay behind as a zombie.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return 0;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int pause = 1;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        if (done < 0 && errno != EINTR) return 1;
        if (MsLeft(deadline) <= 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(pause, MsLeft(deadline) + 1)));
        pause = std::min(pause * 2, 10);
    }
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return 1;
}

}  // namespace tarsel
