// The automatic IP assignment on a fast clock: dispatch, choice of address, the payload,
// the confirmation workers and the end of the run.

#include <gtest/gtest.h>

#include "finder/LibIP.h"
#include "engine_fake_ports.h"
#include "platform/Log.h"

namespace {

AutoIpSettings Settings(const char* start, const char* end) {
    AutoIpSettings s;
    s.adapterName = "eth0";
    s.adapterLabel = "eth0";
    s.adapterIp = IpTextToValue("192.168.1.2");
    s.adapterMask = IpTextToValue("255.255.255.0");
    s.adapterGateway = IpTextToValue("192.168.1.1");
    s.startIp = IpTextToValue(start);
    s.endIp = IpTextToValue(end);
    s.setMask = s.adapterMask;
    s.setGateway = s.adapterGateway;
    s.setDns1 = IpTextToValue("8.8.8.8");
    s.setDns2 = IpTextToValue("8.8.4.4");
    return s;
}

std::string Mac(int i) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "00:11:22:33:44:%02x", i);
    return mac;
}

// Runs one assignment with the given cameras (all with password "secret" on eth0 unless
// told) and waits until every verified DHCP camera was either sent an address or refused.
struct AutoRun {
    explicit AutoRun(uint32_t speedup = 100) : ports(speedup) {}
    FakePorts ports;
    OwnerProbe owner;
    std::unique_ptr<CTSmainDlg> engine;

    void Start(const AutoIpSettings& settings) {
        engine = std::make_unique<CTSmainDlg>(ports, owner.Slots());
        engine->GoAuotSetIPProc("admin", "secret", settings);
        engine->StartSearch();
    }
    void Camera(int i, const char* ip, const char* mode = "dhcp", const char* adapter = "eth0",
                const char* password = "secret") {
        ports.Deliver(MakeReply(HEADER_IP_QUERY, Mac(i).c_str(), ip, mode, adapter));
        ports.Deliver(MakeAuthReply(Mac(i).c_str(), "admin", password, adapter));
    }
    CameraRecord Record(int i) {
        CameraRecord r{};
        EXPECT_TRUE(engine->CopyCamera(Mac(i).c_str(), &r)) << i;
        return r;
    }
    uint32_t Status(int i) { return Record(i).status; }
    std::string NewIp(int i) { return Record(i).newIp; }
    bool Has(int i, uint32_t bits) {
        CameraRecord r = Record(i);
        return HasStatus(&r, bits);
    }
    bool Done() {
        auto posted = owner.Posted();
        return std::find(posted.begin(), posted.end(), EVT_AUTO_IP_DONE) != posted.end();
    }
};

TEST(AutoIp, DispatchSendsTheAssignmentAndEndsAfterSilence) {
    AutoRun run(20);  // 10 s of silence in half a real second
    tarsel::CapturingLogSink log;
    run.Start(Settings("192.168.1.100", "192.168.1.110"));
    EXPECT_EQ(MODE_AUTO_SET_IP, run.engine->Mode());
    // A type-3 answer of a camera not in the list is ignored.
    run.ports.Deliver(MakeAuthReply(Mac(9).c_str(), "admin", "secret"));
    EXPECT_EQ(0u, run.engine->Table().Count());

    run.Camera(1, "192.168.1.50");                               // DHCP, assignable
    run.Camera(2, "192.168.1.60", "manual");                     // ignored
    run.Camera(3, "192.168.1.70", "dhcp", "eth1");               // other adapter
    run.Camera(4, "192.168.1.80", "dhcp", "eth0", "wrong");      // verify fail
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(1u, run.ports.CountSent(HEADER_IP_AUTHENTICATE, Mac(i))) << i;
    EXPECT_EQ(STATUS_NOT_DHCP | STATUS_AUTH_OK, run.Status(2));
    EXPECT_EQ(STATUS_AUTH_OK | STATUS_OTHER_ADAPTER, run.Status(3));
    EXPECT_EQ(STATUS_AUTH_FAIL, run.Status(4));

    ASSERT_TRUE(run.ports.WaitSent([](auto& s) {
        return std::any_of(s.begin(), s.end(), [](auto& p) { return p.type == HEADER_IP_SET; });
    }));
    SentPacket set;
    for (auto& p : run.ports.Sent())
        if (p.type == HEADER_IP_SET) set = p;
    EXPECT_EQ(Mac(1), set.mac);
    EXPECT_EQ("admin", set.user);
    EXPECT_EQ("secret", set.password);
    EXPECT_EQ(
        "network.wire.ipv4.manual.dns.1.address=8.8.8.8&network.wire.ipv4.manual.dns.2.address="
        "8.8.4.4&network.wire.ipv4.manual.address=192.168.1.100/255.255.255.0/192.168.1.1&"
        "network.wire.ipv4.mode=manual",
        set.payload);
    EXPECT_EQ(0u, run.ports.CountSent(HEADER_IP_SET, Mac(2)));
    // Logged right after the send: the worker may not have got there yet.
    EXPECT_TRUE(WaitFor([&] { return log.Contains(Mac(1) + " cmd: 192.168.1.100 255.255.255.0"); }));
    ASSERT_TRUE(WaitFor([&] { return run.engine->RunningSetIp() == 1; }));
    EXPECT_TRUE(run.Has(1, STATUS_SETTING_IP));
    EXPECT_EQ("192.168.1.100", run.NewIp(1));
    EXPECT_EQ("192.168.1.100", run.ports.history.Stored(Mac(1), "192.168.1.0", "255.255.255.0"));

    // The confirmation worker re-queries the camera until it is back with its fixed address.
    ASSERT_TRUE(run.ports.WaitSent([&](auto& s) {
        return std::count_if(s.begin(), s.end(), [&](auto& p) {
                   return p.type == HEADER_IP_QUERY && p.mac == Mac(1);
               }) >= 1;
    }));
    // Read the clock before the reply: the engine stamps its last reply during Deliver, and
    // the fast clock keeps running, so a later reading would shorten the measured silence.
    const uint32_t lastReply = run.ports.Now();
    run.ports.Deliver(MakeReply(HEADER_IP_QUERY, Mac(1).c_str(), "192.168.1.100", "manual"));
    EXPECT_EQ(0u, run.engine->PendingAutoCount());
    ASSERT_TRUE(WaitFor([&] { return run.engine->RunningSetIp() == 0; }));
    EXPECT_FALSE(run.Has(1, STATUS_SET_IP_TIMEOUT));

    // Nothing pending and 10 s of silence end the run.
    ASSERT_TRUE(WaitFor([&] { return run.Done(); }));
    const uint32_t silence = run.ports.Now() - lastReply;
    EXPECT_GE(silence, 10000u);  // never early; a slow machine only makes it later
    EXPECT_EQ(MODE_SEARCH, run.engine->Mode());
    EXPECT_TRUE(log.Contains("Thread_CheckAutoIPDone"));
}

TEST(AutoIp, ChooseAddressKeepsReusesSkipsAndForgets) {
    AutoRun run;
    // Camera 1 remembered at .104 earlier; camera 7 (absent) remembers .100.
    run.ports.history.Seed(Mac(1), "192.168.1.104", "255.255.255.0");
    run.ports.history.Seed(Mac(7), "192.168.1.100", "255.255.255.0");
    // Camera 2 holds .103 inside the range and answers ARP with its own MAC there.
    run.ports.inUse[IpTextToValue("192.168.1.103")] = Mac(2);
    run.Start(Settings("192.168.1.100", "192.168.1.106"));
    run.Camera(5, "192.168.1.101", "manual");  // its address counts as taken in this search
    run.Camera(1, "192.168.1.20");
    run.Camera(2, "192.168.1.103");
    run.Camera(3, "192.168.1.30");
    ASSERT_TRUE(WaitFor([&] { return run.ports.CountSent(HEADER_IP_SET, Mac(3)) == 1; }));
    EXPECT_EQ("192.168.1.104", run.NewIp(1));  // remembered, although .102 is free
    EXPECT_EQ("192.168.1.103", run.NewIp(2));  // kept
    EXPECT_EQ("192.168.1.102", run.NewIp(3));  // .100 remembered for 7, .101 discovered
    // The keep-test asked ARP with the camera's MAC; the adapter's own address never.
    bool askedWithMac = false;
    std::vector<FakePorts::Probe> probes;
    run.ports.Locked([&] { probes = run.ports.probes; });
    for (auto& p : probes) {
        if (p.target == IpTextToValue("192.168.1.103") && p.mac == Mac(2)) askedWithMac = true;
        EXPECT_NE(IpTextToValue("192.168.1.2"), p.target);
    }
    EXPECT_TRUE(askedWithMac);
    EXPECT_EQ("192.168.1.102", run.ports.history.Stored(Mac(3), "192.168.1.0", "255.255.255.0"));
}

TEST(AutoIp, LastResortTakesAnotherCamerasRememberedAddressAndRangeRunsOut) {
    AutoRun run;
    tarsel::CapturingLogSink log;
    run.ports.history.Seed(Mac(7), "192.168.1.100", "255.255.255.0");
    run.ports.inUse[IpTextToValue("192.168.1.101")] = "ff:ff:ff:ff:ff:ff";
    run.Start(Settings("192.168.1.100", "192.168.1.102"));
    for (int i = 1; i <= 4; ++i) run.Camera(i, ("192.168.1." + std::to_string(20 + i)).c_str());
    ASSERT_TRUE(WaitFor([&] {
        return run.ports.CountSent(HEADER_IP_SET, Mac(1)) +
                       run.ports.CountSent(HEADER_IP_SET, Mac(2)) ==
                   2 &&
               run.Has(4, STATUS_NO_FREE_IP);
    }));
    EXPECT_EQ("192.168.1.102", run.NewIp(1));  // first free, not remembered
    EXPECT_EQ("192.168.1.100", run.NewIp(2));  // last resort, taken from camera 7
    EXPECT_EQ("", run.ports.history.Stored(Mac(7), "192.168.1.0", "255.255.255.0"));
    EXPECT_TRUE(run.Has(3, STATUS_NO_FREE_IP));
    EXPECT_TRUE(log.Contains("Not Find, " + Mac(3) + ", 2"));
    EXPECT_TRUE(log.Contains("Not Find, " + Mac(4) + ", 2"));

    // Cameras that never come back are marked once their rounds and the silence are over.
    ASSERT_TRUE(WaitFor([&] { return run.engine->RunningSetIp() == 0; }));
    EXPECT_TRUE(run.Has(1, STATUS_SET_IP_TIMEOUT));
    ASSERT_TRUE(WaitFor([&] { return run.Done(); }));
}

TEST(AutoIp, NewSearchWhileWorkersRunTouchesNoFreedRecord) {
    // Run under the sanitizers: the re-query and confirmation workers keep running across
    // searches that free every record they were started for.
    AutoRun run;
    run.Start(Settings("192.168.1.100", "192.168.1.200"));
    for (int round = 0; round < 20; ++round) {
        for (int i = 1; i <= 5; ++i) run.Camera(i, "192.168.1.20");
        run.engine->WithCamera(Mac(1).c_str(), [&](CameraRecord& r) { r.settingSince = 1; });
        run.engine->KeepQuery();
        run.engine->SetMode(MODE_AUTO_SET_IP);
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * (round % 4)));
        run.engine->StartSearch();
    }
    run.engine.reset();  // the destructor joins every worker promptly
    SUCCEED();
}

}  // namespace

TEST(AutoIp, AdapterWithoutGatewayLeavesTheCameraItsOwnInsideTheNewSubnet) {
    const auto ip = [](const char* text) { return IpTextToValue(text); };
    AutoIpSettings s = Settings("192.168.1.100", "192.168.1.110");
    s.adapterGateway = s.setGateway = 0;  // the adapter has none
    EXPECT_EQ(0u, GatewayToSend(s, ip("192.168.1.100"), ip("10.0.0.1")));       // another subnet
    EXPECT_EQ(0u, GatewayToSend(s, ip("192.168.1.100"), ip("192.168.1.255")));  // its broadcast
    s.m_SetIPMode = 1;  // "Manual": 0.0.0.0 was entered on purpose
    EXPECT_EQ(0u, GatewayToSend(s, ip("192.168.1.100"), ip("192.168.1.1")));

    // The run sends the camera's own gateway (192.168.1.1 in its reply).
    AutoRun run;
    s.m_SetIPMode = 0;
    run.Start(s);
    run.Camera(1, "192.168.1.50");
    ASSERT_TRUE(WaitFor([&] { return run.ports.CountSent(HEADER_IP_SET, Mac(1)) == 1; }));
    std::string payload;
    for (auto& p : run.ports.Sent())
        if (p.type == HEADER_IP_SET) payload = p.payload;
    EXPECT_NE(std::string::npos, payload.find("address=192.168.1.100/255.255.255.0/192.168.1.1&")) << payload;
}

TEST(AutoIp, NeverHandsOutTheGatewayThePcsOwnOrAListedCamerasAddress) {
    const auto ip = [](const char* text) { return IpTextToValue(text); };
    AutoIpSettings s = Settings("192.168.1.0", "192.168.1.255");  // the whole subnet
    for (const char* kept : {"192.168.1.0", "192.168.1.1", "192.168.1.2", "192.168.1.255"})
        EXPECT_FALSE(MayAssignAddress(s, ip(kept), 0)) << kept;
    EXPECT_FALSE(MayAssignAddress(s, ip("192.168.1.9"), ip("192.168.1.9")));  // the camera's gateway
    EXPECT_TRUE(MayAssignAddress(s, ip("192.168.1.9"), ip("192.168.1.1")));

    AutoRun run;  // this PC has no gateway; the cameras use 192.168.1.1; .3 is listed
    s.adapterGateway = s.setGateway = 0;
    run.Start(s);
    run.Camera(2, "192.168.1.3", "manual");
    run.Camera(1, "192.168.1.50");
    ASSERT_TRUE(WaitFor([&] { return run.ports.CountSent(HEADER_IP_SET, Mac(1)) == 1; }));
    EXPECT_EQ("192.168.1.4", run.NewIp(1));
}
