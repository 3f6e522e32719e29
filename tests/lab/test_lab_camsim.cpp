// The virtual LAN itself: the root namespace is never touched, a camera's interface carries
// its MAC so that ARP answers match, the host's reverse-path filter is off, and a lab is
// removed whole even after a crash. That the cameras answer on their own LAN, each once,
// through the adapter they belong to, even one in a foreign subnet, search_two_lans.sh
// shows; here, that a strict reverse-path filter in the host would drop that one.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "lab/LabSupport.h"

namespace {

using tarsel::lab::Lab;

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

std::string RootLinks() {
    std::string out;
    tarsel::lab::Run("ip -o link show | awk -F': ' '{print $2}' | sort", &out);
    return out;
}

TEST(LabCamsim, TheRootNamespaceIsUntouchedAndTheCamerasAreWired) {
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
}

TEST(LabCamsim, StrictReversePathFilterDropsTheForeignSubnetCamera) {
    // With the host's rp_filter strict, the foreign camera's broadcast reply comes from an
    // address the host would not route back through eth0, so it is dropped. The lab sets 0
    // for exactly this reason; this shows that the setting matters.
    Lab strict(kTwoLans, "--rp-filter 1");
    ASSERT_TRUE(strict.Ok()) << strict.Error();
    std::string out;
    ASSERT_EQ(0, strict.Tarsel("search --wait 1 --json", &out)) << out;
    std::set<std::string> macs;
    for (const auto& camera : nlohmann::json::parse(out, nullptr, false)) macs.insert(camera["mac"]);
    EXPECT_EQ(macs.count("00:1B:2C:10:00:01"), 1u) << out;
    EXPECT_EQ(macs.count("00:1B:2C:10:00:02"), 0u) << out;
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
