// The camera list and the reply dispatch in the search and batch-verification modes, fed
// straight with decoded replies.

#include <gtest/gtest.h>

#include "engine/BatchVerify.h"
#include "engine/CameraCommands.h"
#include "engine_fake_ports.h"
#include "platform/Log.h"

namespace {

const char* kMacA = "00:11:22:33:44:01";
const char* kMacB = "00:11:22:33:44:02";

TEST(CameraList, OneRecordPerMacRefreshedOnlyByQueryReplies) {
    FakePorts ports;
    OwnerProbe owner;
    CTSmainDlg engine(ports, owner.Slots());
    engine.StartSearch();
    const uint32_t firstSearch = engine.Generation();

    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacA, "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_WIRELESS_IP_QUERY, kMacA, "192.168.1.11"));
    ASSERT_EQ(1u, engine.Table().Count());
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_STREQ("192.168.1.11", r.ip);
    EXPECT_EQ(0u, r.viaHttp);

    // A type-3 answer carries no camera fields and must not wipe the stored ones.
    ports.Deliver(MakeAuthReply(kMacA, "u", "p"));
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_STREQ("192.168.1.11", r.ip);
    EXPECT_STREQ("dhcp", r.mode);

    // One camera is one key whatever the case of its letters: its row too.
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "AA:BB:CC:00:00:0F", "192.168.1.13"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "aa:bb:cc:00:00:0f", "192.168.1.14"));
    ASSERT_TRUE(engine.CopyCamera("Aa:bB:cc:00:00:0F", &r));
    EXPECT_STREQ("192.168.1.14", r.ip);
    EXPECT_EQ(2u, engine.Table().Count());
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.12"));
    auto all = engine.CopyCameras();
    ASSERT_EQ(3u, all.size());
    EXPECT_STREQ(kMacA, all[0].mac);  // order of creation
    EXPECT_STREQ(kMacB, all[2].mac);
    // Every reply decided its camera's row; the owner heard of the batch once, and the batch
    // names each camera once, in the order first changed, tagged with the search.
    EXPECT_EQ(1, owner.batches.load());
    CameraChangeBatch batch = engine.Table().TakeChanges();
    EXPECT_EQ(firstSearch, batch.generation);
    EXPECT_EQ((std::vector<std::string>{kMacA, "AA:BB:CC:00:00:0F", kMacB}), batch.macs);
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.12"));
    EXPECT_EQ(2, owner.batches.load());

    // The next search starts from an empty list and table, and a new batch tag; it sends
    // the two queries to everyone.
    ports.ClearSent();
    engine.StartSearch();
    EXPECT_EQ(0u, engine.Table().Count());
    EXPECT_EQ(0u, engine.Table().Count());
    EXPECT_TRUE(Changed(engine).empty());
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.12"));
    EXPECT_NE(firstSearch, engine.Table().TakeChanges().generation);
    auto sent = ports.Sent();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(HEADER_IP_QUERY, sent[0].type);
    EXPECT_EQ(HEADER_WIRELESS_IP_QUERY, sent[1].type);
    EXPECT_EQ("", sent[0].mac);
    EXPECT_EQ(2, ports.history.loads);
}

TEST(CameraList, MalformedMacNeverCreatesAndLongNameIsCut) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    tarsel::CapturingLogSink log;
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:1", "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:011", "192.168.1.10"));
    // The right length is not enough: six hex pairs joined by colons.
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "\"=,;[]&00009;####", "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00-11-22-33-44-55", "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:5G", "192.168.1.10"));
    EXPECT_EQ(0u, engine.Table().Count());
    EXPECT_EQ(0u, engine.Table().Count());
    EXPECT_EQ(5u, log.Count("Mode:0, Htype:2 ip:192.168.1.10 mac:"));

    CameraReply r = MakeReply(HEADER_IP_QUERY, kMacA, "192.168.1.10");
    std::string name(40, 'N');
    std::snprintf(r.deviceName, sizeof r.deviceName, "%s", name.c_str());
    ports.Deliver(r);
    CameraRecord rec;
    ASSERT_TRUE(engine.CopyCamera(kMacA, &rec));
    EXPECT_EQ(std::string(32, 'N'), rec.name);
    EXPECT_EQ(1u, log.Count("[CTSmainDlg::rvRepeatProcess:"));
    EXPECT_EQ(1u, log.Count("Error: strcpy overflow 33 <= 40"));
    ports.Deliver(r);  // every copy logs again
    EXPECT_EQ(2u, log.Count("Error: strcpy overflow 33 <= 40"));

    // An unknown mode drops the reply and says so.
    engine.SetMode(7);
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.10"));
    EXPECT_EQ(1u, engine.Table().Count());
    EXPECT_TRUE(log.Contains("This should not happen m_Tarsel_mode:7"));
    EXPECT_GT(ports.languageCalls.load(), 0);
}

TEST(Verification, SingleCameraRightWrongAndReplacedContext) {
    FakePorts ports;
    OwnerProbe owner;
    CTSmainDlg engine(ports, owner.Slots());
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacA, "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.11"));

    VerifyResult right(kMacA, "admin", "secret");
    engine.VerifyCamera(VerifyResult::Done, &right.context);
    EXPECT_EQ(1u, ports.CountSent(HEADER_IP_AUTHENTICATE, kMacA));
    ports.Deliver(MakeAuthReply(kMacA, "admin", "secret"));
    EXPECT_EQ(1, right.calls.load());
    EXPECT_EQ(1, right.ok.load());
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_EQ(STATUS_AUTH_OK, r.status);

    // A wrong password turns the same camera to refused.
    VerifyResult wrong(kMacA, "admin", "nope");
    engine.VerifyCamera(VerifyResult::Done, &wrong.context);
    ports.Deliver(MakeAuthReply(kMacA, "admin", "secret"));
    EXPECT_EQ(0, wrong.ok.load());
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_EQ(STATUS_AUTH_FAIL, r.status);

    // A second verification replaces the first: A's late answer is an ordinary reply.
    VerifyResult first(kMacA, "admin", "secret"), second(kMacB, "admin", "secret");
    engine.VerifyCamera(VerifyResult::Done, &first.context);
    engine.VerifyCamera(VerifyResult::Done, &second.context);
    Changed(engine);
    ports.Deliver(MakeAuthReply(kMacA, "admin", "secret"));
    EXPECT_EQ(0, first.calls.load());
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_EQ(STATUS_AUTH_FAIL, r.status);
    EXPECT_EQ(std::vector<std::string>{kMacA}, Changed(engine));

    // A cancelled context is never called back.
    engine.CancelVerify(&second.context);
    ports.Deliver(MakeAuthReply(kMacB, "admin", "secret"));
    EXPECT_EQ(0, second.calls.load());

    // A malformed MAC sends nothing; an unlisted camera is refused at once.
    ports.ClearSent();
    VerifyResult bad("00:11", "a", "b"), missing("00:11:22:33:44:99", "a", "b");
    engine.VerifyCamera(VerifyResult::Done, &bad.context);
    EXPECT_EQ(0, bad.calls.load());
    engine.VerifyCamera(VerifyResult::Done, &missing.context);
    EXPECT_EQ(1, missing.calls.load());
    EXPECT_EQ(0, missing.ok.load());
    EXPECT_TRUE(ports.Sent().empty());
}

TEST(Verification, BatchCountsEachCameraOnce) {
    FakePorts ports;
    OwnerProbe owner;
    CTSmainDlg engine(ports, owner.Slots());
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacA, "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.11"));
    engine.BeginVerifyAll("admin", "secret");
    EXPECT_EQ(MODE_VERIFY_ALL, engine.Mode());

    Changed(engine);
    ports.Deliver(MakeAuthReply(kMacA, "admin", "secret"));
    ports.Deliver(MakeAuthReply(kMacA, "admin", "secret"));  // a repeat counts once
    ports.Deliver(MakeAuthReply(kMacB, "admin", "bad"));
    ports.Deliver(MakeAuthReply(kMacB, "admin", "bad"));
    ports.Deliver(MakeAuthReply("00:11:22:33:44:77", "admin", "secret"));  // not listed
    EXPECT_EQ(1, engine.BatchOk());
    EXPECT_EQ(1, engine.BatchFail());
    EXPECT_EQ(0u, engine.Table().Count() - 2);
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_STREQ("admin", r.user);
    std::string user, password;  // the credentials stay with the engine
    ASSERT_TRUE(engine.CredentialsOf(kMacA, &user, &password));
    EXPECT_EQ("secret", password);
    EXPECT_EQ(std::vector<std::string>{kMacA}, Changed(engine));  // only A's success is shown
    EXPECT_EQ(STATUS_INDEX_VERIFIED, engine.Table().StatusOf(kMacA));

    // A failure after a success turns the camera and counts once.
    ports.Deliver(MakeAuthReply(kMacA, "admin", "other"));
    EXPECT_EQ(2, engine.BatchFail());
    ASSERT_TRUE(engine.CopyCamera(kMacA, &r));
    EXPECT_EQ(STATUS_AUTH_FAIL, r.status);

    // A query reply in this mode from an unknown camera makes no record and no row.
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:78", "192.168.1.30"));
    EXPECT_EQ(2u, engine.Table().Count());
    EXPECT_FALSE(engine.Table().IsMacListed("00:11:22:33:44:78"));
}

TEST(Verification, BatchOfTenEndsFiveSecondsAfterTheLastAnswer) {
    FakePorts ports(20);
    OwnerProbe owner;
    CTSmainDlg engine(ports, owner.Slots());
    engine.StartSearch();
    char mac[32];
    for (int i = 0; i < 10; ++i) {
        std::snprintf(mac, sizeof mac, "00:11:22:33:44:%02x", i);
        ports.Deliver(MakeReply(HEADER_IP_QUERY, mac, "192.168.1.10"));
    }
    // One camera already has its credentials stored: it is not asked again.
    engine.SetCameraAuth("", "00:11:22:33:44:09", "admin", "secret");
    std::snprintf(mac, sizeof mac, "00:11:22:33:44:%02x", 10);
    ports.Deliver(MakeReply(HEADER_IP_QUERY, mac, "192.168.1.10"));
    ports.ClearSent();

    BatchCounts result;
    std::thread batch([&] {
        result = RunBatchVerification(engine, "admin", "secret",
                                      [](const CameraRecord&) { return true; });
    });
    ASSERT_TRUE(ports.WaitSent([](auto& s) { return s.size() == 10; }));
    EXPECT_EQ(MODE_VERIFY_ALL, engine.Mode());
    EXPECT_EQ(0u, ports.CountSent(HEADER_IP_AUTHENTICATE, "00:11:22:33:44:09"));
    // The clock is read before each answer: the engine stamps it during Deliver and the fast
    // clock keeps running, so a reading after it would shorten the measured wait.
    uint32_t lastAnswer = 0;
    for (int i = 0; i < 10; ++i) {
        if (i == 8) continue;  // camera 8 stays silent
        std::snprintf(mac, sizeof mac, "00:11:22:33:44:%02x", i < 9 ? i : 10);
        lastAnswer = ports.Now();
        ports.Deliver(MakeAuthReply(mac, "admin", i == 3 || i == 5 ? "wrong" : "secret"));
    }
    batch.join();
    const uint32_t waited = ports.Now() - lastAnswer;
    EXPECT_EQ(10, result.sent);
    EXPECT_EQ(7, result.ok);
    EXPECT_EQ(2, result.fail);
    EXPECT_EQ(1, result.NoAnswer());  // the silent camera is counted too
    EXPECT_GE(waited, 5000u);  // never early; a slow machine only makes it later
    EXPECT_EQ(MODE_SEARCH, engine.Mode());
}

}  // namespace

namespace {

TEST(CameraList, AcceptedCredentialsOutliveASearchAndVerifyTheCameraAgain) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    auto search = [&] {
        ports.ClearSent();
        engine.StartSearch();
        ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacA, "192.168.1.10"));
        ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacB, "192.168.1.11"));
    };
    search();
    engine.SetCameraAuth("192.168.1.10", kMacA, "admin", "secret");
    search();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMacA, "192.168.1.10"));
    EXPECT_FALSE(engine.Table().IsCameraVerified(kMacA));
    // Only the camera that accepted credentials is asked, once, in the background.
    EXPECT_EQ(1u, ports.CountSent(HEADER_IP_AUTHENTICATE, kMacA));
    EXPECT_EQ(0u, ports.CountSent(HEADER_IP_AUTHENTICATE, kMacB));
    ports.Deliver(MakeAuthReply(kMacA, "admin", "secret"));
    EXPECT_EQ(STATUS_INDEX_VERIFIED, engine.Table().StatusOf(kMacA));
    // A camera whose password changed meanwhile is not verified, and its old credentials go.
    search();
    ports.Deliver(MakeAuthReply(kMacA, "admin", "changed"));
    std::string user, password;
    EXPECT_FALSE(engine.Table().IsCameraVerified(kMacA) || engine.CredentialsOf(kMacA, &user, &password));
}

TEST(CameraList, AnswersForAListedMacFromAnotherAddressAreAConflictAndARenameSendsNoAddress) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    for (const char* ip : {"192.168.1.10", "192.168.1.66"}) {
        CameraReply reply = MakeReply(HEADER_IP_QUERY, kMacA, ip);
        reply.source = static_cast<uint32_t>(IpTextToValue(ip));
        ports.Deliver(reply);
    }
    CameraEntry row;
    ASSERT_TRUE(engine.Table().Find(kMacA, &row));
    EXPECT_STREQ("192.168.1.10", row.record.ip);  // never overwritten by the other host
    EXPECT_EQ(std::vector<std::string>{kWarningAddressConflict}, row.warnings);
    ports.ClearSent();
    ASSERT_EQ(0, ApplySettings(engine, kMacA, {"X", "192.168.1.10", "255.255.255.0", "192.168.1.1", "dhcp", "80"}));
    EXPECT_EQ("network.device_name=X&network.wire.ipv4.mode=dhcp&network.web.http_port=80", ports.Sent()[0].payload);
}

}  // namespace
