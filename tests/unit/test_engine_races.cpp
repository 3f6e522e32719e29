// The engine while things happen at once.

#include <gtest/gtest.h>

#include <thread>

#include "engine_fake_ports.h"

namespace {

const char* kMac = "00:11:22:33:44:01";

// The old receiver hands over one last reply while it is being replaced, as a dispatch
// thread finishing its datagram does.
class LateReplyPorts : public FakePorts {
public:
    using FakePorts::FakePorts;
    int CreateRecvPacket(const EngineCallback* hook) override {
        if (lateReply) {
            lateReply = false;
            Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:0F", "192.168.1.15"));
        }
        return FakePorts::CreateRecvPacket(hook);
    }
    bool lateReply = false;
};

TEST(EngineRaces, AReplyOfTheOldSearchNeverLandsInTheNewList) {
    LateReplyPorts ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    ports.lateReply = true;
    engine.StartSearch();
    EXPECT_EQ(0u, engine.Table().Count());
}

TEST(EngineRaces, OneRequeryWorkerPerSearch) {
    FakePorts ports(20);  // 3 s pass in 150 ms
    CTSmainDlg engine(ports);
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    engine.WithCamera(kMac, [&](CameraRecord& r) { r.settingSince = ports.Now(); });
    const uint32_t started = ports.Now();
    ports.ClearSent();
    engine.KeepQuery();
    engine.SetKeepQueryRounds(0);  // as after the last round, the worker still asleep
    engine.KeepQuery();
    EXPECT_EQ(20, engine.KeepQueryRounds());
    // Two queries a round: a second worker would send the first four at about 3 s.
    ASSERT_TRUE(ports.WaitSent([](auto& s) { return s.size() >= 4; }));
    EXPECT_GE(ports.Now() - started, 5500u);
}

TEST(EngineRaces, AssignmentStartedRightAfterItsEndGetsAWorker) {
    FakePorts ports(200);
    CTSmainDlg* engine = nullptr;
    EngineOwnerSlots slots;
    slots.owner = &engine;
    slots.PostCameraEvent = [](void* owner, uint32_t code, void*) {
        auto* e = *static_cast<CTSmainDlg**>(owner);
        if (code == EVT_AUTO_IP_DONE && e->Generation() == 1) {
            // The owner starts the next run as soon as it hears of the end.
            e->SetMode(MODE_SEARCH);
            e->StartSearch();  // generation 2: the next end is not restarted
            e->GoAuotSetIPProc("admin", "admin", AutoIpSettings{});
        }
    };
    CTSmainDlg live(ports, slots);
    engine = &live;
    live.StartSearch();
    live.GoAuotSetIPProc("admin", "admin", AutoIpSettings{});
    ASSERT_TRUE(WaitFor([&] { return live.Generation() == 2; }, 20000));
    EXPECT_TRUE(WaitFor([&] { return !live.AutoIpRunning() && live.Mode() == MODE_SEARCH; }, 20000));
}

// For ThreadSanitizer: replies keep coming while searches and verifications start.
TEST(EngineRaces, RepliesDuringSearchesAndVerificationsStress) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    std::atomic<bool> stop{false};
    std::thread replies([&] {
        for (int i = 0; !stop.load(); ++i) {
            char mac[18];
            std::snprintf(mac, sizeof mac, "00:11:22:33:44:%02X", i % 32);
            const uint32_t type = i % 3 == 0 ? HEADER_IP_AUTHENTICATE : HEADER_IP_QUERY;
            ports.Deliver(MakeReply(type, mac, "192.168.1.20"));
        }
    });
    VerifyContext context{};
    std::snprintf(context.mac, sizeof context.mac, "00:11:22:33:44:03");
    std::snprintf(context.user, sizeof context.user, "admin");
    for (int round = 0; round < 1000; ++round) {
        engine.StartSearch();
        engine.BeginVerifyAll("admin", "admin");
        engine.VerifyCamera([](VerifyContext*, int) {}, &context);
        engine.CancelVerify(&context);
    }
    stop.store(true);
    replies.join();
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    EXPECT_EQ(1u, engine.Table().Count());
}

}  // namespace
