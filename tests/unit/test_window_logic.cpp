// The window decisions shared with the command line: setting confirmation, status index,
// verified set, Save's payload and the confirmed commands.

#include <gtest/gtest.h>

#include "engine/WindowLogic.h"
#include "engine_fake_ports.h"
#include "platform/Log.h"

namespace {

const char* kMac = "00:11:22:33:44:01";

// A record as ApplySettings leaves it: old values, requested values, time sent.
CameraRecord Pending(const char* reqMode, uint32_t since) {
    CameraRecord r{};
    std::snprintf(r.mac, sizeof r.mac, "%s", kMac);
    auto set = [](char* f, size_t n, const char* v) { std::snprintf(f, n, "%s", v); };
    set(r.oldName, sizeof r.oldName, "Cam");
    set(r.oldIp, sizeof r.oldIp, "192.168.1.10");
    set(r.oldMask, sizeof r.oldMask, "255.255.255.0");
    set(r.oldGateway, sizeof r.oldGateway, "192.168.1.1");
    set(r.oldMode, sizeof r.oldMode, "manual");
    set(r.oldPort, sizeof r.oldPort, "80");
    set(r.reqName, sizeof r.reqName, "Gate");
    set(r.reqIp, sizeof r.reqIp, "192.168.1.20");
    set(r.reqMask, sizeof r.reqMask, "255.255.0.0");
    set(r.reqGateway, sizeof r.reqGateway, "192.168.1.254");
    set(r.reqMode, sizeof r.reqMode, reqMode);
    set(r.reqPort, sizeof r.reqPort, "8080");
    // The camera still reports the old values.
    set(r.name, sizeof r.name, "Cam");
    set(r.ip, sizeof r.ip, "192.168.1.10");
    set(r.mask, sizeof r.mask, "255.255.255.0");
    set(r.gateway, sizeof r.gateway, "192.168.1.1");
    set(r.mode, sizeof r.mode, "manual");
    set(r.httpPort, sizeof r.httpPort, "80");
    r.settingSince = since;
    return r;
}

void Reports(CameraRecord& r, const char* name, const char* ip, const char* mask,
             const char* gateway, const char* mode, const char* port) {
    std::snprintf(r.name, sizeof r.name, "%s", name);
    std::snprintf(r.ip, sizeof r.ip, "%s", ip);
    std::snprintf(r.mask, sizeof r.mask, "%s", mask);
    std::snprintf(r.gateway, sizeof r.gateway, "%s", gateway);
    std::snprintf(r.mode, sizeof r.mode, "%s", mode);
    std::snprintf(r.httpPort, sizeof r.httpPort, "%s", port);
}

TEST(SettingConfirmed, ManualChangeNeedsEveryRequestedValue) {
    tarsel::CapturingLogSink log;
    CameraRecord r = Pending("manual", 1000);
    EXPECT_FALSE(SettingConfirmed(&r, 2000));  // old values: not yet
    Reports(r, "Gate", "192.168.1.20", "255.255.0.0", "192.168.1.254", "manual", "81");
    EXPECT_FALSE(SettingConfirmed(&r, 2000));  // port differs
    Reports(r, "Gat", "192.168.1.20", "255.255.0.0", "192.168.1.254", "manual", "8080");
    EXPECT_FALSE(SettingConfirmed(&r, 2000));  // name differs
    Reports(r, "Gate", "192.168.1.20", "255.255.255.0", "192.168.1.254", "manual", "8080");
    EXPECT_FALSE(SettingConfirmed(&r, 2000));  // mask differs
    Reports(r, "Gate", "192.168.1.20", "255.255.0.0", "192.168.1.254", "manual", "8080");
    EXPECT_TRUE(SettingConfirmed(&r, 2000));
    EXPECT_TRUE(log.Contains("Old: 192.168.1.10, 255.255.255.0, 192.168.1.1 ; New: 192.168.1.20, "
                             "255.255.0.0, 192.168.1.254"));
    SetStatus(&r, STATUS_HTTP_NO_RESPONSE);
    EXPECT_FALSE(SettingConfirmed(&r, 2000));
}

TEST(SettingConfirmed, DhcpSwitchNeedsDhcpModeAndAnotherAddress) {
    CameraRecord r = Pending("dhcp", 1000);
    std::snprintf(r.reqIp, sizeof r.reqIp, "192.168.1.10");
    Reports(r, "Gate", "192.168.1.10", "255.255.255.0", "192.168.1.1", "dhcp", "8080");
    EXPECT_FALSE(SettingConfirmed(&r, 2000));  // dhcp, but the address was kept
    Reports(r, "Gate", "192.168.1.77", "255.255.255.0", "192.168.1.1", "manual", "8080");
    EXPECT_FALSE(SettingConfirmed(&r, 2000));  // new address, still manual
    Reports(r, "Gate", "192.168.1.77", "255.255.255.0", "192.168.1.1", "dhcp", "8080");
    EXPECT_TRUE(SettingConfirmed(&r, 2000));
}

TEST(SettingConfirmed, TimesOutAfter25SecondsAcrossTheTickWrap) {
    tarsel::CapturingLogSink log;
    const uint32_t since = 0xFFFFF000u;  // 4 s before the tick wraps
    CameraRecord r = Pending("manual", since);
    EXPECT_FALSE(SettingConfirmed(&r, since + 25000));
    EXPECT_EQ(since, r.settingSince);  // exactly 25 s is still in time
    EXPECT_FALSE(HasStatus(&r, STATUS_SETTING_TIMEOUT));
    SetStatus(&r, STATUS_HTTP_NO_RESPONSE);
    EXPECT_FALSE(SettingConfirmed(&r, since + 25001));
    EXPECT_EQ(0u, r.settingSince);
    EXPECT_TRUE(HasStatus(&r, STATUS_SETTING_TIMEOUT));
    EXPECT_FALSE(HasStatus(&r, STATUS_HTTP_NO_RESPONSE));
    EXPECT_TRUE(log.Contains(std::string(kMac) + ", Setting timeout"));
    EXPECT_FALSE(SettingConfirmed(&r, since + 25002));  // nothing pending any more
}

TEST(StatusIndex, ChosenByModeAndBitOrder) {
    CameraRecord r{};
    SetStatus(&r, STATUS_SETTING_IP | STATUS_NOT_DHCP);
    EXPECT_EQ(13, ChooseStatusIndex(MODE_AUTO_SET_IP, &r, 0, 0).index);
    SetStatus(&r, STATUS_SET_IP_TIMEOUT);
    EXPECT_EQ(10, ChooseStatusIndex(MODE_AUTO_SET_IP, &r, 0, 0).index);
    SetStatus(&r, STATUS_NO_FREE_IP);
    EXPECT_EQ(9, ChooseStatusIndex(MODE_AUTO_SET_IP, &r, 0, 0).index);
    SetStatus(&r, STATUS_OTHER_ADAPTER);
    EXPECT_EQ(11, ChooseStatusIndex(MODE_AUTO_SET_IP, &r, 0, 0).index);
    SetStatus(&r, STATUS_AUTH_FAIL);
    EXPECT_EQ(7, ChooseStatusIndex(MODE_AUTO_SET_IP, &r, 0, 0).index);
    CameraRecord back{};
    SetStatus(&back, STATUS_AUTH_OK | STATUS_SETTING_IP);
    EXPECT_EQ(12, ChooseStatusIndex(MODE_AUTO_SET_IP, &back, 0, 0).index);
    CameraRecord none{};
    EXPECT_EQ(15, ChooseStatusIndex(MODE_AUTO_SET_IP, &none, 0, 0).index);
    EXPECT_EQ(16, ChooseStatusIndex(MODE_VERIFY_ALL, &none, 0, 0).index);
    EXPECT_EQ(1, ChooseStatusIndex(MODE_VERIFY_ALL, &back, 0, 0).index);
    EXPECT_EQ(0, ChooseStatusIndex(MODE_SEARCH, &none, 4, 0).index);
    EXPECT_EQ(1, ChooseStatusIndex(MODE_SEARCH, &back, 0, 0).index);

    // A pending setting keeps the row as it is until confirmed or timed out.
    CameraRecord r2 = Pending("manual", 1000);
    SetStatus(&r2, STATUS_AUTH_OK);
    EXPECT_EQ(2, ChooseStatusIndex(MODE_SEARCH, &r2, 2, 2000).index);
    Reports(r2, "Gate", "192.168.1.20", "255.255.0.0", "192.168.1.254", "manual", "8080");
    StatusDecision d = ChooseStatusIndex(MODE_SEARCH, &r2, 2, 2000);
    EXPECT_TRUE(d.confirmed);
    EXPECT_EQ(1, d.index);
    EXPECT_EQ(0u, r2.settingSince);

    // Timed out: the setting failed; HTTP and UDP cameras alike show "No Response".
    CameraRecord http = Pending("manual", 1000);
    http.viaHttp = 1;
    SetStatus(&http, STATUS_AUTH_OK);
    EXPECT_EQ(3, ChooseStatusIndex(MODE_SEARCH, &http, 2, 1000 + 26000).index);
    CameraRecord udp = Pending("manual", 1000);
    SetStatus(&udp, STATUS_AUTH_OK);
    EXPECT_EQ(3, ChooseStatusIndex(MODE_SEARCH, &udp, 2, 1000 + 26000).index);
    EXPECT_STREQ("Different Network Cards", StatusIndexText(11));
    EXPECT_STREQ("NO IP", StatusIndexText(9));
}

TEST(AuthenticatedMacs, HoldsEveryVerifiedCameraAndForgetResetsTheRecord) {
    AuthenticatedMacs set;
    EXPECT_FALSE(set.IsCameraVerified(""));
    char mac[32];
    for (int i = 0; i < 300; ++i) {
        std::snprintf(mac, sizeof mac, "00:11:22:33:%02x:%02x", i / 256, i % 256);
        set.RememberAuthenticated(mac);
        set.RememberAuthenticated(mac);  // no second entry
    }
    EXPECT_EQ(300u, set.Count());
    EXPECT_TRUE(set.IsCameraVerified("00:11:22:33:01:00"));  // the 257th: no limit of 256
    CameraRecord r{};
    std::snprintf(r.mac, sizeof r.mac, "00:11:22:33:00:05");
    r.credentialsStored = 1;
    SetStatus(&r, STATUS_AUTH_OK);
    set.ForgetAuthenticated(&r);
    EXPECT_FALSE(set.IsCameraVerified(r.mac));
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ(0u, r.credentialsStored);
    set.RememberAuthenticated("00:11:22:33:01:00");
    EXPECT_TRUE(set.IsCameraVerified("00:11:22:33:01:00"));
}

TEST(SaveSettings, PayloadAndSendAndConfirmation) {
    std::string payload;
    CameraSettingsRequest req{"Gate", "192.168.1.20", "255.255.255.0", "", "dhcp", "8080"};
    ASSERT_EQ(0, BuildSettingsPayload(req, &payload));
    EXPECT_EQ("network.device_name=Gate&network.wire.ipv4.manual.address=192.168.1.20/"
              "255.255.255.0/0.0.0.0&network.wire.ipv4.mode=dhcp&network.web.http_port=8080",
              payload);
    CameraSettingsRequest tooLong = req;
    tooLong.ip = std::string(40, '1');
    EXPECT_EQ(-1, BuildSettingsPayload(tooLong, &payload));
    tooLong = req;
    tooLong.name = std::string(33, 'n');
    EXPECT_EQ(-1, BuildSettingsPayload(tooLong, &payload));

    FakePorts ports(1);
    CTSmainDlg engine(ports);
    AuthenticatedMacs verified;
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10", "manual"));
    engine.SetCameraAuth("192.168.1.10", kMac, "admin", "secret");
    ports.ClearSent();
    EXPECT_EQ(-1, ApplySettings(engine, kMac, tooLong));
    EXPECT_EQ(-1, ApplySettings(engine, "00:11:22:33:44:99", req));
    EXPECT_TRUE(ports.Sent().empty());

    req = {"Gate", "192.168.1.20", "255.255.255.0", "192.168.1.254", "manual", "8080"};
    ASSERT_EQ(0, ApplySettings(engine, kMac, req));
    auto sent = ports.Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(HEADER_IP_SET, sent[0].type);
    EXPECT_EQ("admin", sent[0].user);
    EXPECT_EQ(20, engine.KeepQueryRounds());
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMac, &r));
    EXPECT_STREQ("192.168.1.20", r.ip);  // shown until the camera answers
    EXPECT_STREQ("192.168.1.10", r.oldIp);
    EXPECT_STREQ("192.168.1.254", r.reqGateway);
    EXPECT_NE(0u, r.settingSince);

    // The camera answers with its old values first, then with the new ones.
    CameraChange change;
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10", "manual"));
    ASSERT_TRUE(ApplyCameraChange(engine, verified, kMac, 2, &change));
    EXPECT_FALSE(change.decision.confirmed);
    EXPECT_EQ(2, change.decision.index);
    CameraReply reply = MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.20", "manual");
    std::snprintf(reply.deviceName, sizeof reply.deviceName, "Gate");
    std::snprintf(reply.gateway, sizeof reply.gateway, "192.168.1.254");
    std::snprintf(reply.httpPort, sizeof reply.httpPort, "8080");
    ports.Deliver(reply);
    ASSERT_TRUE(ApplyCameraChange(engine, verified, kMac, 2, &change));
    EXPECT_TRUE(change.decision.confirmed);
    EXPECT_EQ(0u, change.record.settingSince);
    EXPECT_FALSE(ApplyCameraChange(engine, verified, "00:11:22:33:44:99", 0, &change));
}

TEST(ConfirmCommand, SendsToListedCamerasAndForgetsTheirVerification) {
    FakePorts ports(1);
    CTSmainDlg engine(ports);
    AuthenticatedMacs verified;
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    engine.WithCamera(kMac, [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_OK); });
    CameraChange change;
    ASSERT_TRUE(ApplyCameraChange(engine, verified, kMac, -1, &change));
    EXPECT_TRUE(verified.IsCameraVerified(kMac));
    EXPECT_EQ(1u, change.record.credentialsStored);
    ports.ClearSent();
    auto done = ConfirmCommand(engine, verified, {kMac, "00:11:22:33:44:99"}, "SW_DEFAULT");
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(1u, ports.CountSent(HEADER_SYSTEM_COMMAND, kMac));
    EXPECT_EQ("system.sw_factory_default=1", ports.Sent()[0].payload);
    EXPECT_FALSE(verified.IsCameraVerified(kMac));
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMac, &r));
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ(0u, r.credentialsStored);
}

}  // namespace
