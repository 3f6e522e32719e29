// The window decisions shared with the command line: setting confirmation and its time-out,
// verified set, Save's payload and the confirmed commands. The status each camera ends
// with is checked where the whole engine runs (auto_ip.sh, the window's lab tests).

#include <gtest/gtest.h>

#include "engine/WindowLogic.h"
#include "engine_fake_ports.h"
#include "platform/Log.h"

namespace {

const char* kMac = "00:11:22:33:44:01";

void Reports(CameraRecord& r, const char* name, const char* ip, const char* mask,
             const char* gateway, const char* mode, const char* port) {
    CopyTruncated(r.name, name);
    CopyTruncated(r.ip, ip);
    CopyTruncated(r.mask, mask);
    CopyTruncated(r.gateway, gateway);
    CopyTruncated(r.mode, mode);
    CopyTruncated(r.httpPort, port);
}

// A record as ApplySettings leaves it: old values (still reported), requested values, time sent.
CameraRecord Pending(const char* reqMode, uint32_t since) {
    CameraRecord r{};
    CopyTruncated(r.mac, kMac);
    Reports(r, "Gate", "192.168.1.20", "255.255.0.0", "192.168.1.254", reqMode, "8080");
    CopyTruncated(r.reqName, r.name);
    CopyTruncated(r.reqIp, r.ip);
    CopyTruncated(r.reqMask, r.mask);
    CopyTruncated(r.reqGateway, r.gateway);
    CopyTruncated(r.reqMode, r.mode);
    CopyTruncated(r.reqPort, r.httpPort);
    Reports(r, "Cam", "192.168.1.10", "255.255.255.0", "192.168.1.1", "manual", "80");
    CopyTruncated(r.oldName, r.name);
    CopyTruncated(r.oldIp, r.ip);
    CopyTruncated(r.oldMask, r.mask);
    CopyTruncated(r.oldGateway, r.gateway);
    CopyTruncated(r.oldMode, r.mode);
    CopyTruncated(r.oldPort, r.httpPort);
    r.settingSince = since;
    return r;
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
    // The row says the setting failed, not "View", though the camera is verified.
    SetStatus(&r, STATUS_AUTH_OK);
    EXPECT_EQ(STATUS_INDEX_NO_RESPONSE, ChooseStatusIndex(MODE_SEARCH, &r, 2, since + 26000).index);
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
    tooLong.name = std::string(33, 'n');

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
    EXPECT_FALSE(verified.IsCameraVerified(kMac));
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMac, &r));
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ(0u, r.credentialsStored);
}

}  // namespace
