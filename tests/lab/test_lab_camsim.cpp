// The virtual LAN and the simulated cameras in it, seen from the finder host's namespace
// with plain sockets: every camera answers on its own LAN, by broadcast, with the
// request's host address and version bytes; the root namespace is never touched; a
// reverse-path filter in the host would drop the camera that lives in a foreign subnet.

#include <netinet/in.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "lab/LabSupport.h"
#include "platform/UdpSocket.h"

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
            fds_.push_back(tarsel::OpenUdpSocket());
            const int fd = fds_.back().Get();
            EXPECT_TRUE(tarsel::SetReuseAddress(fd) && tarsel::BindToDevice(fd, ifname.c_str()) &&
                        tarsel::BindIPv4(fd, INADDR_ANY, FINDER_RECV_PORT))
                << ifname;
        }
    }

    void Query(int transport) {
        for (const auto& [ifname, address] : adapters_) {
            unsigned char buffer[PACKET_BUFFER_SIZE] = {};
            int n = CPacketProcess().BuildPacket(buffer, transport, HEADER_IP_QUERY,
                                                 address.c_str(), "", "", "", "");
            tarsel::UniqueFd fd = tarsel::OpenUdpSocket();
            uint32_t local = 0, to = INADDR_BROADCAST;
            tarsel::ParseIPv4(address.c_str(), &local);
            if (transport == TRANSPORT_BROADCAST) {
                tarsel::SetBroadcast(fd.Get());
                tarsel::BindIPv4(fd.Get(), local, 0);
            } else {
                tarsel::SetMulticastInterface(fd.Get(), local);
                tarsel::ParseIPv4(FINDER_MULTICAST_GROUP, &to);
            }
            EXPECT_EQ(tarsel::SendDatagram(fd.Get(), to, FINDER_SEND_PORT, buffer, n), n)
                << ifname << " transport " << transport << ": " << std::strerror(errno);
        }
    }

    std::vector<Received> Collect(std::chrono::milliseconds wait) {
        std::vector<Received> out;
        auto end = std::chrono::steady_clock::now() + wait;
        while (std::chrono::steady_clock::now() < end) {
            std::vector<pollfd> pfds;
            for (const auto& fd : fds_) pfds.push_back({fd.Get(), POLLIN, 0});
            if (poll(pfds.data(), pfds.size(), 20) <= 0) continue;
            for (size_t i = 0; i < pfds.size(); ++i) {
                if (!(pfds[i].revents & POLLIN)) continue;
                unsigned char buffer[PACKET_BUFFER_SIZE];
                int n = tarsel::ReceiveDatagram(fds_[i].Get(), buffer, sizeof buffer);
                Received r{adapters_[i].first, {}, {}};
                if (n < 40 || CPacketProcess().DecodePacket(buffer, n, adapters_[i].second.c_str(),
                                                            &r.reply) < 0)
                    continue;
                std::memcpy(r.version, buffer, 4);
                out.push_back(r);
            }
        }
        return out;
    }

private:
    std::vector<std::pair<std::string, std::string>> adapters_;
    std::vector<tarsel::UniqueFd> fds_;
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
