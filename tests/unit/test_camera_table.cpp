// The camera table: what each camera's row shows and why, decided where a reply changes the
// camera (setting confirmation and its time-out, verification, a reboot's watch, an
// upgrade), its warnings, and its bound; Save and the confirmed commands that feed it.

#include <gtest/gtest.h>

#include "engine/CameraCommands.h"
#include <algorithm>
#include <atomic>
#include <functional>

#include "engine/CameraListing.h"
#include "onvif/OnvifDeviceList.h"
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
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10", "manual"));
    engine.SetCameraAuth("192.168.1.10", kMac, "admin", "secret");
    engine.Table().RememberAuthenticated(kMac);
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
    // The row shows the requested values as "Setting", watched.
    CameraEntry row;
    ASSERT_TRUE(engine.Table().Find(kMac, &row));
    EXPECT_EQ(STATUS_INDEX_SETTING, row.statusIndex);
    EXPECT_STREQ("Gate", row.record.name);
    EXPECT_EQ(BusyAction::Setting, row.busy);

    // The camera answers with its old values first, then with the new ones.
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10", "manual"));
    ASSERT_TRUE(engine.Table().Find(kMac, &row));
    EXPECT_FALSE(row.settingConfirmed);
    EXPECT_EQ(STATUS_INDEX_SETTING, row.statusIndex);
    CameraReply reply = MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.20", "manual");
    std::snprintf(reply.deviceName, sizeof reply.deviceName, "Gate");
    std::snprintf(reply.gateway, sizeof reply.gateway, "192.168.1.254");
    std::snprintf(reply.httpPort, sizeof reply.httpPort, "8080");
    ports.Deliver(reply);
    ASSERT_TRUE(engine.Table().Find(kMac, &row));
    EXPECT_TRUE(row.settingConfirmed);
    // Over, though no reply verified the camera (its credentials came from elsewhere).
    EXPECT_EQ(STATUS_INDEX_VIEW, row.statusIndex);
    EXPECT_EQ(BusyAction::None, row.busy);
    EXPECT_EQ(0u, row.record.settingSince);
    // No camera shows "Setting" any more: the re-query worker has nothing left to do.
    EXPECT_EQ(0, engine.KeepQueryRounds());

    // A setting no reply confirms within 25 s says "No Response", not "View".
    ASSERT_EQ(0, ApplySettings(engine, kMac, {"Yard", "192.168.1.20", "255.255.255.0", "192.168.1.254", "manual", "8080"}));
    engine.WithCamera(kMac, [](CameraRecord& c) { c.settingSince -= 25001; });
    ports.Deliver(reply);
    EXPECT_EQ(STATUS_INDEX_NO_RESPONSE, engine.Table().StatusOf(kMac));
}

TEST(ConfirmCommand, RebootingUntilTheCameraWentDownAndCameBack) {
    FakePorts ports(1, 0xFFFFF000u);  // the tick wraps during the test
    CTSmainDlg engine(ports);
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    engine.WithCamera(kMac, [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_OK); });
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    ASSERT_TRUE(engine.Table().IsCameraVerified(kMac));
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera(kMac, &r));
    EXPECT_EQ(1u, r.credentialsStored);  // a verified camera keeps its credentials
    ports.ClearSent();
    const auto done = BeginCommand(engine, {kMac, "00:11:22:33:44:99"});
    ASSERT_EQ(std::vector<std::string>{kMac}, done);
    SendCommand(engine, done, "SW_DEFAULT");
    EXPECT_EQ(1u, ports.CountSent(HEADER_SYSTEM_COMMAND, kMac));
    EXPECT_FALSE(engine.Table().IsCameraVerified(kMac));
    ASSERT_TRUE(engine.CopyCamera(kMac, &r));
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ(0u, r.credentialsStored);
    EXPECT_EQ(STATUS_INDEX_REBOOTING, engine.Table().StatusOf(kMac));

    // Still up before the reboot: its answer ends nothing. The watch asks it every 5 s.
    CameraTable& table = engine.Table();
    const uint32_t t0 = ports.Now();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    EXPECT_EQ(STATUS_INDEX_REBOOTING, table.StatusOf(kMac));
    auto scan = table.ScanBusy(t0 + 2000);
    ASSERT_EQ(1u, scan.size());
    EXPECT_EQ(BusyDecision::Requery, scan[0].kind);
    EXPECT_TRUE(table.ScanBusy(t0 + 4000).empty());
    // Its re-query unanswered for 4 s: it went down; the next answer says it is back.
    table.ScanBusy(t0 + 6000);
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    EXPECT_EQ(STATUS_INDEX_VIEW, table.StatusOf(kMac));
    EXPECT_EQ(BusyAction::None, table.BusyOf(kMac));

    // One that never comes back is given up after 100 s, a setting after 60 s.
    BeginCommand(engine, {kMac});
    const uint32_t t1 = ports.Now();
    scan = table.ScanBusy(t1 + 100001);
    ASSERT_FALSE(scan.empty());
    EXPECT_EQ(BusyDecision::DefaultExpired, scan.back().kind);
    r.settingSince = 0;
    table.ShowSetting(r, t1);
    EXPECT_TRUE(table.ScanBusy(t1 + 60000).empty());
    scan = table.ScanBusy(t1 + 60001);
    ASSERT_EQ(1u, scan.size());
    EXPECT_EQ(BusyDecision::SettingExpired, scan[0].kind);
}

TEST(CameraTable, UpgradeHoldsItsRowAndRefusesNothingAfterwards) {
    FakePorts ports(1);
    CTSmainDlg engine(ports);
    engine.StartSearch();
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    engine.Table().SetProgress(kMac, 37);
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.11"));
    CameraEntry row;
    ASSERT_TRUE(engine.Table().Find(kMac, &row));
    EXPECT_EQ(STATUS_INDEX_PROGRESS, row.statusIndex);  // a reply does not undo the percentage
    EXPECT_EQ("37%", row.statusText);
    EXPECT_STREQ("192.168.1.11", row.record.ip);        // ... but refreshes the cells
    EXPECT_EQ(BusyAction::Upgrade, row.busy);
    engine.Table().SetProgress(kMac, -1);
    EXPECT_EQ(STATUS_INDEX_UPGRADE_FAIL, engine.Table().StatusOf(kMac));
    EXPECT_EQ(BusyAction::None, engine.Table().BusyOf(kMac));
}

TEST(CameraTable, WarningsFollowAddressesAndAdapters) {
    FakePorts ports(100);
    ports.subnets["eth0"] = {{"192.168.1.2", "255.255.255.0"}};
    CTSmainDlg engine(ports);
    engine.StartSearch();
    const char* kOther = "00:11:22:33:44:02";
    auto warnings = [&](const char* mac) {
        CameraEntry row;
        engine.Table().Find(mac, &row);
        std::string text;
        for (const std::string& w : row.warnings) text += (text.empty() ? "" : " ") + w;
        return text;
    };
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kOther, "192.168.1.10"));
    EXPECT_EQ("duplicate-ip", warnings(kMac));
    EXPECT_EQ("duplicate-ip", warnings(kOther));
    Changed(engine);
    // The second moves into another subnet: both lose the duplicate, it gains the subnet.
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kOther, "10.0.0.7"));
    EXPECT_EQ("", warnings(kMac));
    EXPECT_EQ("foreign-subnet", warnings(kOther));
    EXPECT_EQ((std::vector<std::string>{kOther, kMac}), Changed(engine));
    // The PC gets an address in that subnet: judged again within a second.
    ports.Locked([&] { ports.subnets["eth0"].push_back({"10.0.0.1", "255.0.0.0"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // 2 s on the engine's clock
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.10"));
    EXPECT_EQ("", warnings(kOther));
}

TEST(CameraTable, HoldsAtMostItsBoundOfCameras) {
    FakePorts ports(1);
    CTSmainDlg engine(ports);
    tarsel::CapturingLogSink log;
    engine.StartSearch();
    char mac[32], ip[32];
    const size_t extra = 50;
    for (size_t i = 0; i < CameraTable::kMaxCameras + extra; ++i) {
        std::snprintf(mac, sizeof mac, "02:00:00:%02x:%02x:%02x", static_cast<unsigned>(i >> 16 & 0xff),
                      static_cast<unsigned>(i >> 8 & 0xff), static_cast<unsigned>(i & 0xff));
        std::snprintf(ip, sizeof ip, "10.%u.%u.1", static_cast<unsigned>(i >> 8 & 0xff), static_cast<unsigned>(i & 0xff));
        ports.Deliver(MakeReply(HEADER_IP_QUERY, mac, ip));
    }
    EXPECT_EQ(CameraTable::kMaxCameras, engine.Table().Count());
    EXPECT_EQ(CameraTable::kMaxCameras, engine.Table().Count());
    EXPECT_EQ(extra, engine.IgnoredCameras());
    // Logged once a second, not once a camera.
    EXPECT_GE(log.Count("Camera list full"), 1u);
    EXPECT_LT(log.Count("Camera list full"), 5u);
    // A listed camera still answers and is refreshed.
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "02:00:00:00:00:05", "10.9.9.9"));
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera("02:00:00:00:00:05", &r));
    EXPECT_STREQ("10.9.9.9", r.ip);
}


// A device as a search heard it: endpoint uuid n, answering from 192.168.1.<host>.
tarsel::onvif::OnvifDevice OnvifAnswer(int n, int host, const char* adapter = "eth0") {
    tarsel::onvif::OnvifDevice d;
    d.match.endpoint = "urn:uuid:00000000-0000-4000-8000-00000000000" + std::to_string(n);
    d.match.name = "Dock " + std::to_string(n);
    d.match.xaddr = "http://192.168.1." + std::to_string(host) + ":8000/onvif/device_service";
    d.match.xaddrs = {d.match.xaddr};
    d.sourceAddress = (192u << 24) | (168u << 16) | (1u << 8) | static_cast<uint32_t>(host);
    d.adapters = {adapter};
    return d;
}

TEST(CameraTable, OnvifDevicesAreOneRowEachAndJoinOurCameraAtItsAddress) {
    FakePorts ports(1);
    ports.subnets["eth0"] = {{"192.168.1.2", "255.255.255.0"}};
    CTSmainDlg engine(ports);
    engine.StartSearch();
    CameraTable& table = engine.Table();
    const std::string one = OnvifKey(OnvifAnswer(1, 50).match.endpoint);
    // Heard twice, through two adapters: one row that names both.
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(1, 50), 10));
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(1, 50, "eth1"), 20));
    EXPECT_EQ(1u, table.Count());
    CameraEntry row;
    ASSERT_TRUE(table.Find(one.c_str(), &row));
    EXPECT_EQ(DeviceKind::Onvif, row.kind);
    EXPECT_STREQ("192.168.1.50", row.record.ip);
    EXPECT_STREQ("8000", row.record.httpPort);
    EXPECT_STREQ("", row.record.mac);
    EXPECT_EQ((std::vector<std::string>{"eth0", "eth1"}), row.onvif->adapters);
    // Credentials read: the row shows the device's facts, a later answer keeps them.
    tarsel::onvif::OnvifFacts facts;
    facts.info = {"Kestrel", "KX-200", "2.4.1", "SN77", "hw"};
    facts.interfaceKnown = true;
    facts.network.mac = "AA:BB:CC:00:00:01";
    facts.network.prefixLength = 24;
    table.SetOnvifFacts(one, tarsel::onvif::OnvifOutcome::Verified, facts);
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(1, 50), 30));
    ASSERT_TRUE(table.Find(one.c_str(), &row));
    EXPECT_TRUE(row.verified);
    EXPECT_STREQ("Kestrel", row.record.company);
    EXPECT_STREQ("255.255.255.0", row.record.mask);
    EXPECT_EQ("onvif", ListingOfEntry(row).protocol);
    EXPECT_EQ("AA:BB:CC:00:00:01", ListingOfEntry(row).mac);
    // A second endpoint on that address: both rows warn.
    const std::string two = OnvifKey(OnvifAnswer(2, 50).match.endpoint);
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(2, 50), 40));
    ASSERT_TRUE(table.Find(one.c_str(), &row));
    EXPECT_EQ(std::vector<std::string>{"duplicate-ip"}, row.warnings);
    Changed(engine);
    // Our camera answers at the address of device 3: that row goes into the camera's.
    const std::string three = OnvifKey(OnvifAnswer(3, 60).match.endpoint);
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(3, 60), 50));
    ports.Deliver(MakeReply(HEADER_IP_QUERY, kMac, "192.168.1.60"));
    EXPECT_FALSE(table.Find(three.c_str(), nullptr));
    const std::vector<CameraEntry> batch = table.EntriesOf(Changed(engine));
    EXPECT_TRUE(std::any_of(batch.begin(), batch.end(), [&](const CameraEntry& e) { return e.key == three && e.removed; }));
    ASSERT_TRUE(table.Find(kMac, &row));
    ASSERT_TRUE(row.onvif);
    EXPECT_EQ(DeviceKind::Native, row.kind);
    EXPECT_TRUE(row.warnings.empty());
    // ... and its later answers stay there; a device answering from our camera's address
    // first would have joined it the same way.
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(3, 60), 60));
    EXPECT_FALSE(table.Find(three.c_str(), nullptr));
    EXPECT_EQ(3u, table.Count());  // devices 1, 2 and our camera
    // Read with credentials: the MAC it tells confirms the join (any spelling) ...
    facts.network.mac = "00-11-22-33-44-01";
    table.SetOnvifFacts(kMac, tarsel::onvif::OnvifOutcome::Verified, facts);
    EXPECT_FALSE(table.Find(three.c_str(), nullptr));
    // ... or shows another device on our camera's address: a row of its own, both warn,
    // and its later answers stay there.
    facts.network.mac = "02:00:5e:00:00:60";
    table.SetOnvifFacts(kMac, tarsel::onvif::OnvifOutcome::Verified, facts);
    ASSERT_TRUE(table.MergeOnvif(OnvifAnswer(3, 60), 65));
    ASSERT_TRUE(table.Find(three.c_str(), &row));
    EXPECT_TRUE(row.verified);
    EXPECT_EQ(std::vector<std::string>{"duplicate-ip"}, row.warnings);
    ASSERT_TRUE(table.Find(kMac, &row));
    EXPECT_FALSE(row.onvif);
    EXPECT_EQ(std::vector<std::string>{"duplicate-ip"}, row.warnings);
    EXPECT_EQ(4u, table.Count());
    // The table's bound counts both kinds.
    for (int n = 0;; ++n) {
        tarsel::onvif::OnvifDevice d = OnvifAnswer(4, 70);
        d.match.endpoint = "urn:uuid:bulk-" + std::to_string(n);
        if (!table.MergeOnvif(d, 70)) break;
    }
    EXPECT_EQ(CameraTable::kMaxCameras, table.Count());
    ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:99", "192.168.1.81"));
    EXPECT_FALSE(table.Find("00:11:22:33:44:99", nullptr));
}

// The search listens for ONVIF answers beside its own queries; answers that reach the engine
// after a new search began belong to the old one and list nothing.
TEST(CameraTable, EverySearchListensForOnvifAnswersOfItsOwn) {
    // Each search's device answers once its listening was stopped (device 1: too late), or
    // when the test releases it (device 2).
    struct Ports : FakePorts {
        std::atomic<int> searches{0};
        std::atomic<bool> late{false}, released{false};
        void SearchOnvif(const tarsel::onvif::ProbeSet&, int, tarsel::onvif::OnvifDeviceList& list,
                         const std::atomic<bool>* stop) override {
            searches.fetch_add(1);
            while (!stop->load() && !released.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const tarsel::onvif::OnvifDevice d = OnvifAnswer(stop->load() ? 1 : 2, 50);
            list.Merge(d.match, "eth0", d.sourceAddress);
            if (stop->load()) late.store(true);
        }
    } ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    engine.StartSearch();  // stops the first search's listening
    auto waitFor = [](const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    };
    ASSERT_TRUE(waitFor([&] { return ports.late.load(); }));
    ports.released.store(true);
    ASSERT_TRUE(waitFor([&] { return engine.Table().Count() != 0; }));
    EXPECT_EQ(2, ports.searches.load());
    const std::vector<CameraEntry> rows = engine.Table().Entries();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(OnvifKey(OnvifAnswer(2, 50).match.endpoint), rows[0].key);
}

}  // namespace

TEST(CameraListing, AnUpgradeIsListedAsItsStateNotItsPercentage) {
    CameraEntry entry{};
    entry.statusIndex = STATUS_INDEX_PROGRESS;
    entry.progress = 40;
    entry.statusText = "40%";
    EXPECT_EQ(ListingOfEntry(entry).status, "Upgrading");
    entry.progress = 100;
    EXPECT_EQ(ListingOfEntry(entry).status, "Upgraded");
}
