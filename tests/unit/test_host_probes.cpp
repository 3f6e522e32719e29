// Adapter information sources, the TCP probe on the loopback address and running programs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "LoopbackHttpServer.h"
#include "finder/LibIP.h"
#include "platform/HostAdapters.h"
#include "platform/Log.h"
#include "support/TestSupport.h"

TEST(HostAdapters, NameserversAndGatewaysFromSystemFiles) {
    auto servers = tarsel::ParseNameservers(
        "# generated\nsearch lan\nnameserver 192.168.1.1\nnameserver fe80::1\n"
        "nameserver   10.0.0.53 # second\n  nameserver 8.8.8.8\nnameserverx 1.1.1.1\n"
        "nameserver 300.1.1.1\nnameserver\n");
    EXPECT_EQ(servers, (std::vector<std::string>{"192.168.1.1", "10.0.0.53", "8.8.8.8"}));
    // A camera is never offered a resolver on this machine: a real server after a local one
    // is used; only local ones (dnsmasq, a stub) give the upstream list, still without
    // loopback; nothing real anywhere gives none (the camera gets 0.0.0.0).
    const char upstream[] = "nameserver 127.0.0.1\nnameserver 10.0.0.53\n";
    EXPECT_EQ((std::vector<std::string>{"192.168.1.53"}),
              tarsel::CameraNameservers("nameserver 127.0.1.1\nnameserver 192.168.1.53\n", upstream));
    EXPECT_EQ((std::vector<std::string>{"10.0.0.53"}),
              tarsel::CameraNameservers("nameserver 127.0.0.1\nnameserver 127.0.0.53\n", upstream));
    EXPECT_TRUE(tarsel::CameraNameservers("nameserver 127.0.0.1\n", "").empty());

    const char routes[] =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth1\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t0000000A\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n"
        "eth2\t00000000\t0102A8C0\t0001\t0\t0\t50\t00000000\t0\t0\t0\n"   // no gateway flag
        "eth3\t0000A8C0\t0103A8C0\t0003\t0\t0\t0\t0000FFFF\t0\t0\t0\n"   // not a default route
        "eth1\t00000000\t0201A8C0\t0003\t0\t0\t700\t00000000\t0\t0\t0\n"
        "garbage line\n";
    auto gateways = tarsel::ParseDefaultGateways(routes);
    ASSERT_EQ(gateways.size(), 3u);
    EXPECT_EQ(gateways[0], (std::pair<std::string, std::string>{"eth0", "10.0.0.1"}));
    EXPECT_EQ(gateways[1], (std::pair<std::string, std::string>{"eth1", "192.168.1.1"}));
    EXPECT_EQ(gateways[2], (std::pair<std::string, std::string>{"eth1", "192.168.1.2"}));
}

TEST(HostAdapters, EnumerationSkipsLoopbackAndFillsDefaults) {
    std::vector<NetworkAdapter> list(3);  // emptied first
    EnumerateAdapters(list);
    for (size_t i = 0; i < list.size(); ++i) {
        const NetworkAdapter& a = list[i];
        EXPECT_EQ(a.index, i);
        EXPECT_STRNE(a.name, "lo");
        EXPECT_GT(std::strlen(a.name), 0u);
        EXPECT_EQ(std::strncmp(a.description, a.name, std::strlen(a.name)), 0);
        EXPECT_FALSE(a.addresses.empty());
        for (const NetworkAddress& pair : a.addresses) {
            EXPECT_TRUE(IsValidIpText(pair.address)) << pair.address;
            EXPECT_TRUE(IsValidIpText(pair.mask)) << pair.mask;
            EXPECT_STRNE(pair.address, "127.0.0.1");
        }
        EXPECT_TRUE(IsValidIpText(a.gateway));
        EXPECT_TRUE(IsValidIpText(a.dns1));
        EXPECT_TRUE(IsValidIpText(a.dns2));
    }
}

TEST(Probes, TcpProbeOnLoopback) {
    testsupport::LoopbackHttpServer listening(testsupport::LoopbackHttpServer::Auth::None, "", "", {});
    const int port = std::stoi(listening.PortText());
    EXPECT_EQ(TcpProbe("127.0.0.1", port), 1);

    EXPECT_EQ(TcpProbe("not-an-address", port), 0);
    EXPECT_EQ(TcpProbe(nullptr, port), 0);
    EXPECT_EQ(TcpProbe("127.0.0.1", 0), 0);
    EXPECT_EQ(TcpProbe("127.0.0.1", 70000), 0);
}

TEST(Probes, RunProgramExitCodesTimeOutAndDirectory) {
    EXPECT_EQ(RunProgram("sh", "-c \"exit 7\"", nullptr, 5000, true, 0), 7);
    EXPECT_EQ(RunProgram("true", "", nullptr, 5000, true, 0), 0);
    EXPECT_EQ(RunProgram("tarsel-no-such-program", "", nullptr, 5000, true, 0), 1);
    EXPECT_EQ(RunProgram("", "", nullptr, 5000, true, 0), 1);
    EXPECT_EQ(RunProgram("sh", "-c \"kill -9 $$\"", nullptr, 5000, true, 0), 1);

    // An overrun is killed at its time-out (1), where waiting it out would have given 0.
    testsupport::TempDir folder;
    const std::string marker = folder.File("late");
    const std::string script = "-c \"sleep 20; touch " + marker + "\"";
    EXPECT_EQ(RunProgram("sh", script.c_str(), nullptr, 300, true, 0), 1);

    // Without waiting it returns once the program started: a wait would hit the time-out.
    EXPECT_EQ(RunProgram("sleep", "2", nullptr, 100, false, 0), 0);

    // The directory is the program's working folder.
    EXPECT_EQ(RunProgram("sh", "-c \"pwd > here.txt\"", folder.Path().c_str(), 5000, true, 0), 0);
    EXPECT_EQ(testsupport::ReadFile(folder.File("here.txt")), folder.Path() + "\n");
    ::usleep(100 * 1000);
    EXPECT_NE(::access(marker.c_str(), F_OK), 0) << "the killed program must not run on";
}
