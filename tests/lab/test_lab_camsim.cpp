// The virtual LAN and the simulated cameras in it, seen from the finder host's namespace
// with plain sockets: every camera answers on its own LAN, by broadcast, with the
// request's host address and version bytes; the root namespace is never touched; a
// reverse-path filter in the host would drop the camera that lives in a foreign subnet.

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "lab/LabSupport.h"

namespace {

using tarsel::lab::Lab;
using tarsel::lab::ScopedNamespace;

const char kTwoLans[] = R"({
  "host": {"adapters": [
    {"name": "eth0", "lan": "a", "address": "192.168.1.5/24"},
    {"name": "eth1", "lan": "b", "address": "10.0.0.7/24"}]},
  "cameras": [
    {"lan": "a", "name": "A1", "mac": "00:1B:2C:10:00:01", "ip": "192.168.1.101"},
    {"lan": "a", "name": "Foreign", "mac": "00:1B:2C:10:00:02", "ip": "172.16.5.9",
     "mask": "255.255.0.0"},
    {"lan": "b", "name": "B1", "mac": "00:1B:2C:10:00:03", "ip": "10.0.0.50"}],
  "hosts": [{"name": "web", "lan": "a", "address": "192.168.1.200/24"}]
})";

struct Received {
    std::string adapter;  // interface it arrived on
    CameraReply reply;
    unsigned char version[4];
};

// One receive socket per adapter, pinned to its interface, on the finder's reply port.
class Finder {
public:
    explicit Finder(const std::vector<std::pair<std::string, std::string>>& adapters)
        : adapters_(adapters) {
        for (const auto& [ifname, address] : adapters_) {
            int fd = socket(AF_INET, SOCK_DGRAM, 0);
            int on = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, ifname.c_str(),
                       static_cast<socklen_t>(ifname.size()));
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(FINDER_RECV_PORT);
            EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << ifname;
            fds_.push_back(fd);
        }
    }
    ~Finder() {
        for (int fd : fds_) close(fd);
    }

    void Query(int transport) {
        for (const auto& [ifname, address] : adapters_) {
            unsigned char buffer[PACKET_BUFFER_SIZE] = {};
            CPacketProcess codec;
            int n = codec.BuildPacket(buffer, transport, HEADER_IP_QUERY, address.c_str(), "",
                                      "", "", "");
            int fd = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(FINDER_SEND_PORT);
            if (transport == TRANSPORT_BROADCAST) {
                int on = 1;
                setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
                sockaddr_in local{};
                local.sin_family = AF_INET;
                inet_pton(AF_INET, address.c_str(), &local.sin_addr);
                bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
                to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
            } else {
                in_addr local{};
                inet_pton(AF_INET, address.c_str(), &local);
                setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
                inet_pton(AF_INET, FINDER_MULTICAST_GROUP, &to.sin_addr);
            }
            EXPECT_EQ(sendto(fd, buffer, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), n)
                << ifname << " transport " << transport << ": " << std::strerror(errno);
            close(fd);
        }
    }

    std::vector<Received> Collect(std::chrono::milliseconds wait) {
        std::vector<Received> out;
        auto end = std::chrono::steady_clock::now() + wait;
        while (std::chrono::steady_clock::now() < end) {
            std::vector<pollfd> pfds;
            for (int fd : fds_) pfds.push_back({fd, POLLIN, 0});
            if (poll(pfds.data(), pfds.size(), 20) <= 0) continue;
            for (size_t i = 0; i < pfds.size(); ++i) {
                if (!(pfds[i].revents & POLLIN)) continue;
                unsigned char buffer[PACKET_BUFFER_SIZE];
                ssize_t n = recv(fds_[i], buffer, sizeof buffer, 0);
                Received r{};
                r.adapter = adapters_[i].first;
                CPacketProcess codec;
                if (n < 40 || codec.DecodePacket(buffer, static_cast<int>(n),
                                                 adapters_[i].second.c_str(), &r.reply) < 0)
                    continue;
                std::memcpy(r.version, buffer, 4);
                out.push_back(r);
            }
        }
        return out;
    }

private:
    std::vector<std::pair<std::string, std::string>> adapters_;
    std::vector<int> fds_;
};

std::string RootLinks() {
    std::string out;
    tarsel::lab::Run("ip -o link show | awk -F': ' '{print $2}' | sort", &out);
    return out;
}

TEST(LabCamsim, CamerasAnswerOnTheirOwnLanByBroadcastAndTheRootNamespaceIsUntouched) {
    const std::string rootBefore = RootLinks();
    Lab lab(kTwoLans);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    EXPECT_EQ(RootLinks(), rootBefore) << "the lab created links in the root namespace";

    // The camera's interface carries the camera's MAC, so ARP answers match.
    std::string link;
    ASSERT_EQ(lab.Exec("cam3", "cat /sys/class/net/eth0/address", &link), 0);
    EXPECT_EQ(link, "00:1b:2c:10:00:03\n");
    std::string rp;
    lab.Exec("host", "sysctl -n net.ipv4.conf.all.rp_filter net.ipv4.conf.eth0.rp_filter", &rp);
    EXPECT_EQ(rp, "0\n0\n");
    EXPECT_EQ(lab.Exec("host", "ping -c1 -W2 192.168.1.200"), 0);

    ScopedNamespace inHost(lab.Namespace("host"));
    ASSERT_TRUE(inHost.Ok());
    Finder finder({{"eth0", "192.168.1.5"}, {"eth1", "10.0.0.7"}});
    for (int transport : {TRANSPORT_BROADCAST, TRANSPORT_MULTICAST}) {
        finder.Query(transport);
        auto replies = finder.Collect(std::chrono::milliseconds(700));
        std::map<std::string, std::string> adapterOf;
        for (const auto& r : replies) {
            EXPECT_TRUE(adapterOf.emplace(r.reply.mac, r.adapter).second)
                << r.reply.mac << " answered twice (transport " << transport << ")";
            // The reply keeps the request's version bytes.
            if (transport == TRANSPORT_BROADCAST) {
                EXPECT_EQ(0, std::memcmp(r.version, "\x01\x01\xFE\xFE", 4));
            } else {
                EXPECT_EQ(0, std::memcmp(r.version, "\x02\x00\xFD\xFF", 4));
            }
        }
        EXPECT_EQ(adapterOf.size(), 3u) << "transport " << transport;
        EXPECT_EQ(adapterOf["00:1B:2C:10:00:01"], "eth0");
        EXPECT_EQ(adapterOf["00:1B:2C:10:00:02"], "eth0");  // foreign subnet, found all the same
        EXPECT_EQ(adapterOf["00:1B:2C:10:00:03"], "eth1");
    }
}

TEST(LabCamsim, StrictReversePathFilterDropsTheForeignSubnetCamera) {
    // The same LAN with the host's rp_filter strict: the foreign camera's broadcast reply
    // comes from an address the host would not route back through eth0, so it is dropped.
    // The lab sets 0 for exactly this reason; this shows that the setting matters.
    Lab strict(kTwoLans, "--rp-filter 1");
    ASSERT_TRUE(strict.Ok()) << strict.Error();
    std::vector<Received> replies;
    {
        ScopedNamespace inHost(strict.Namespace("host"));
        ASSERT_TRUE(inHost.Ok());
        Finder finder({{std::string("eth0"), std::string("192.168.1.5")}});
        finder.Query(TRANSPORT_BROADCAST);
        replies = finder.Collect(std::chrono::milliseconds(700));
    }
    std::set<std::string> macs;
    for (const auto& r : replies) macs.insert(r.reply.mac);
    EXPECT_EQ(macs.count("00:1B:2C:10:00:01"), 1u);
    EXPECT_EQ(macs.count("00:1B:2C:10:00:02"), 0u);
}

TEST(LabCamsim, DownRemovesEverythingEvenAfterACrash) {
    std::string name, namespaces;
    {
        Lab lab(kTwoLans);
        ASSERT_TRUE(lab.Ok()) << lab.Error();
        name = lab.Name();
        // Simulate a crash of whoever built it: simulators killed hard, state folder gone.
        lab.Exec("cam1", "sh -c 'kill -9 $(ip netns pids " + lab.Namespace("cam1") + ")'");
        tarsel::lab::Run("rm -rf /run/tarsel-lab/" + name);
    }  // the destructor runs `down --name`
    tarsel::lab::Run("ip netns list | grep -c 'tl-" + name + "-' || true", &namespaces);
    EXPECT_EQ(namespaces, "0\n");
}

}  // namespace
