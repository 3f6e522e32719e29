// Commands, the HTTP information read and the re-query worker.

#include <gtest/gtest.h>

#include "engine_fake_ports.h"
#include "platform/Log.h"

namespace {

const char* kMac = "00:11:22:33:44:01";
const char* kHttpIp = "192.168.1.50";

FakePorts::HttpCamera SupportedCamera() {
    return FakePorts::HttpCamera{"admin", "secret", {
        {"system.information.product_name", ModelList[1]},
        {"network.device_name", "Lobby"},
        {"system.information.wire.mac_address", "00:11:22:33:44:55"},
        {"system.information.wire.ipv4.address", "192.168.1.50/255.255.255.0/192.168.1.1"},
        {"network.web.http_port", "8080"},
        {"network.wire.ipv4.mode", "manual"},
        {"system.information.fw_version", "2.1"},
        {"system.information.sn", "SN1"},
        {"system.information.company", "ACME"}}};
}

// Reads the camera at kHttpIp over the CGI and hands it to the engine, as a range search does.
void AddHttpCamera(FakePorts& ports, CTSmainDlg& engine) {
    ports.httpCameras[kHttpIp] = SupportedCamera();
    CameraReply info;
    ASSERT_TRUE(CheckCGI(ports, kHttpIp, "8080", "admin", "secret", &info).Done());
    engine.RecvCameraProcess(info);
}

TEST(Commands, SystemCommandsAndParametersTakeTheCamerasRoute) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    engine.SetCameraAuth("192.168.1.10", kMac, "admin", "secret");
    ports.ClearSent();

    engine.SystemCommand(kMac, "reboot");  // case matters: nothing goes out
    engine.SystemCommand(kMac, "REBOOTX");
    EXPECT_TRUE(ports.Sent().empty());
    engine.SystemCommand(kMac, "REBOOT");
    engine.SystemCommand(kMac, "SW_DEFAULT");
    engine.SystemCommand(kMac, "HW_DEFAULT");
    auto sent = ports.Sent();
    ASSERT_EQ(3u, sent.size());
    EXPECT_EQ(HEADER_SYSTEM_COMMAND, sent[0].type);
    EXPECT_EQ("secret", sent[0].password);
    EXPECT_EQ("system.reboot=1", sent[0].payload);
    EXPECT_EQ("system.sw_factory_default=1", sent[1].payload);
    EXPECT_EQ("system.hw_factory_default=1", sent[2].payload);

    const char* payload = "network.device_name=X&network.web.http_port=81";
    EXPECT_EQ(0, engine.SetCameraParameters(kMac, payload));
    EXPECT_EQ(HEADER_IP_SET, ports.Sent().back().type);
    EXPECT_EQ(payload, ports.Sent().back().payload);

    tarsel::CapturingLogSink log;
    ports.sendResult = -1;
    EXPECT_EQ(-1, engine.SetCameraParameters(kMac, payload));
    EXPECT_TRUE(log.Contains("SendPacket error\n"));
    ports.sendResult = 0;

    // A camera found over HTTP gets the same text through the CGI; a failed set fails.
    AddHttpCamera(ports, engine);
    ports.setNodeResult = {HttpResult::NoAnswer, 28, 0};
    ports.ClearSent();
    EXPECT_EQ(-1, engine.SetCameraParameters("00:11:22:33:44:55", payload));
    engine.SystemCommand("00:11:22:33:44:55", "REBOOT");
    EXPECT_TRUE(ports.Sent().empty());
    ASSERT_EQ(2u, ports.httpSets.size());
    EXPECT_EQ(payload, ports.httpSets[0].second);
    EXPECT_EQ("system.reboot=1", ports.httpSets[1].second);
    EXPECT_TRUE(log.Contains(std::string("pParm:") + payload));
}

TEST(CheckCGI, ReadsEveryKeyInOrderAndStopsAtTheFirstFailure) {
    FakePorts ports;
    ports.httpCameras[kHttpIp] = SupportedCamera();
    CameraReply info;
    ASSERT_TRUE(CheckCGI(ports, kHttpIp, "8080", "admin", "secret", &info).Done());
    EXPECT_EQ(9u, ports.keysRead.size());
    EXPECT_STREQ("192.168.1.50", info.ip);
    EXPECT_STREQ("255.255.255.0", info.mask);
    EXPECT_STREQ("192.168.1.1", info.gateway);
    EXPECT_EQ(1u, info.viaHttp);

    // Wrong credentials: the transport's refusal comes back.
    EXPECT_EQ(HttpResult::Refused, CheckCGI(ports, kHttpIp, "8080", "admin", "bad", &info).result);

    // An unsupported product fails before any other key is read.
    ports.keysRead.clear();
    ports.httpCameras[kHttpIp].values["system.information.product_name"] = "NotACamera";
    EXPECT_EQ(HttpResult::NotCamera, CheckCGI(ports, kHttpIp, "8080", "admin", "secret", &info).result);
    EXPECT_EQ(1u, ports.keysRead.size());

    // An address without slashes fills only the address; a missing key ends the read.
    ports.httpCameras[kHttpIp] = SupportedCamera();
    ports.httpCameras[kHttpIp].values["system.information.wire.ipv4.address"] = "10.0.0.9";
    ports.httpCameras[kHttpIp].values.erase("system.information.sn");
    EXPECT_EQ(HttpResult::NotCamera, CheckCGI(ports, kHttpIp, "8080", "admin", "secret", &info).result);
    EXPECT_STREQ("10.0.0.9", info.ip);
    EXPECT_STREQ("", info.mask);
    EXPECT_STREQ("2.1", info.fwVersion);  // read before the failure
    EXPECT_STREQ("", info.company);

    // No connection.
    EXPECT_EQ(7, CheckCGI(ports, "192.168.1.99", "80", "a", "b", &info).curlCode);
}

TEST(Verification, HttpCameraByInformationRead) {
    FakePorts ports;
    OwnerProbe owner;
    CTSmainDlg engine(ports, owner.Slots());
    engine.StartSearch();
    AddHttpCamera(ports, engine);
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera("00:11:22:33:44:55", &r));
    EXPECT_EQ(1u, r.viaHttp);
    EXPECT_EQ(STATUS_AUTH_OK, r.status);
    EXPECT_STREQ("admin", r.user);

    VerifyResult v("00:11:22:33:44:55", "admin", "wrong");
    engine.VerifyCamera(VerifyResult::Done, &v.context);
    EXPECT_EQ(1, v.calls);
    EXPECT_EQ(0, v.ok);

    ports.httpCameras[kHttpIp].password = "new";
    std::snprintf(v.context.password, sizeof v.context.password, "new");
    engine.VerifyCamera(VerifyResult::Done, &v.context);
    EXPECT_EQ(1, v.ok);
    std::string user, password;
    ASSERT_TRUE(engine.CredentialsOf("00:11:22:33:44:55", &user, &password));
    EXPECT_EQ("new", password);

    // Unreachable: not answered (never "refused"), and the row says "No Response" before
    // the call returns.
    ports.httpFailure[kHttpIp] = {HttpResult::NoAnswer, 28, 0};
    engine.VerifyCamera(VerifyResult::Done, &v.context);
    EXPECT_EQ(VERIFY_NO_ANSWER, v.ok);
    EXPECT_EQ(STATUS_INDEX_NO_RESPONSE, engine.Table().StatusOf("00:11:22:33:44:55"));
    EXPECT_TRUE(ports.Sent().size() == 2u);  // only the search's two queries went out
}

TEST(KeepQuery, RoundsRule) {
    FakePorts ports(1);  // real time: the worker must not run a round during this test
    CTSmainDlg engine(ports);
    engine.StartSearch();
    engine.KeepQuery();
    EXPECT_EQ(20, engine.KeepQueryRounds());
    engine.SetKeepQueryRounds(22);
    engine.KeepQuery();
    EXPECT_EQ(25, engine.KeepQueryRounds());
    engine.KeepQuery();
    EXPECT_EQ(28, engine.KeepQueryRounds());
    EXPECT_EQ(MODE_SEARCH, engine.Mode());
}

TEST(KeepQuery, RequeriesPendingCamerasEveryThreeSecondsUntilANewSearch) {
    FakePorts ports(20);  // 3 s pass in 150 ms
    OwnerProbe owner;
    CTSmainDlg engine(ports, owner.Slots());
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:02", "192.168.1.11"));
    AddHttpCamera(ports, engine);
    engine.WithCamera(kMac, [&](CameraRecord& r) { r.settingSince = ports.Now(); });
    engine.WithCamera("00:11:22:33:44:55", [&](CameraRecord& r) { r.settingSince = ports.Now(); });
    ports.ClearSent();
    const uint32_t started = ports.Now();
    engine.KeepQuery();
    ASSERT_TRUE(ports.WaitSent([](auto& s) { return s.size() >= 2; }));
    // Rounds never come early (a slow machine only delays them).
    EXPECT_GE(ports.Now() - started, 3000u);
    ASSERT_TRUE(ports.WaitSent([](auto& s) { return s.size() >= 4; }));
    EXPECT_GE(ports.Now() - started, 6000u);
    auto sent = ports.Sent();
    EXPECT_EQ(HEADER_IP_QUERY, sent[0].type);
    EXPECT_EQ(kMac, sent[0].mac);
    EXPECT_EQ(HEADER_WIRELESS_IP_QUERY, sent[1].type);
    EXPECT_EQ(0u, ports.CountSent(HEADER_IP_QUERY, "00:11:22:33:44:02"));  // nothing pending

    // The HTTP camera times out: marked and shown.
    ports.Locked([&] { ports.httpFailure[kHttpIp] = {HttpResult::NoAnswer, 28, 0}; });
    ASSERT_TRUE(WaitFor([&] {
        CameraRecord r;
        return engine.CopyCamera("00:11:22:33:44:55", &r) &&
               HasStatus(&r, STATUS_HTTP_NO_RESPONSE);
    }));
    ports.Locked([&] { ports.httpFailure.clear(); });
    ASSERT_TRUE(WaitFor([&] {
        CameraRecord r;
        return engine.CopyCamera("00:11:22:33:44:55", &r) &&
               !HasStatus(&r, STATUS_HTTP_NO_RESPONSE);
    }));

    // A new search: the worker ends at its next round, touching nothing freed.
    engine.StartSearch();
    ports.ClearSent();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(ports.Sent().empty());
    EXPECT_EQ(0, engine.KeepQueryRounds());
}

}  // namespace
