// The camera list's rules without widgets: which cameras a filter shows, and what the busy
// watcher decides as time passes (on a tick that wraps).

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "engine/BusyTable.h"
#include "engine/CameraFilter.h"

namespace {
CameraRecord Camera(const char* name, const char* ip, const char* port = "80") {
    CameraRecord r{};
    std::snprintf(r.name, sizeof r.name, "%s", name);
    std::snprintf(r.mac, sizeof r.mac, "00:1B:2C:00:00:%s", name + 4);
    std::snprintf(r.ip, sizeof r.ip, "%s", ip);
    std::snprintf(r.httpPort, sizeof r.httpPort, "%s", port);
    std::snprintf(r.fwVersion, sizeof r.fwVersion, "5.2.1");
    return r;
}
}  // namespace

TEST(CameraFilter, PrefixBytesInvertAndEveryField) {
    std::vector<CameraRecord> cams = {
        Camera("Cam-01", "192.168.1.5"), Camera("Cam-02", "192.168.10.5"),
        Camera("cam-03", "10.0.0.9", "8080"), Camera("Cam-04", "192.168.2.7")};
    std::snprintf(cams[1].company, sizeof cams[1].company, "Acme Security");
    std::snprintf(cams[3].company, sizeof cams[3].company, "Acme");
    using V = std::vector<size_t>;
    EXPECT_EQ((V{0, 1}), FilterCameras(cams, FILTER_IP, "192.168.1", false));
    EXPECT_EQ((V{2, 3}), FilterCameras(cams, FILTER_IP, "192.168.1", true));
    EXPECT_EQ((V{0, 1, 3}), FilterCameras(cams, FILTER_NAME, "Cam", false));  // case-sensitive
    EXPECT_EQ((V{2}), FilterCameras(cams, FILTER_PORT, "808", false));
    EXPECT_EQ((V{}), FilterCameras(cams, FILTER_PORT, "80", true));  // "8080" starts with "80"
    EXPECT_EQ((V{0, 1, 2, 3}), FilterCameras(cams, FILTER_NAME, "", true));   // empty: everything
    // "Customer" compares the company the camera reports.
    EXPECT_EQ((V{1, 3}), FilterCameras(cams, FILTER_CUSTOMER, "Acme", false));
    EXPECT_EQ((V{0, 2, 3}), FilterCameras(cams, FILTER_CUSTOMER, "Acme S", true));
    // A text longer than the field never matches, also past the field's terminator.
    EXPECT_EQ((V{}), FilterCameras(cams, FILTER_FW_VERSION, "5.2.1.9", false));
}

TEST(BusyTable, SettingsExpireDefaultsAreRequeriedAndTheTableIsBounded) {
    BusyTable table;
    const uint32_t start = 0xFFFFF000u;  // the tick wraps during the test
    ASSERT_TRUE(table.MarkBusy("A", "SETTING", 0, start));
    ASSERT_TRUE(table.MarkBusy("B", "DEFAULT", 0, start));
    ASSERT_TRUE(table.MarkBusy("H", "DEFAULT", 1, start));
    std::map<std::string, int> status = {{"A", 2}, {"B", 4}, {"H", 4}};
    auto statusOf = [&](const char* mac) { return status[mac]; };
    auto at = [&](uint32_t seconds) { return table.Scan(start + seconds * 1000, statusOf); };
    // The one decision a scan must make, as "kind mac" ("none" if not exactly one).
    auto one = [&](uint32_t seconds) {
        auto d = at(seconds);
        return d.size() == 1 ? std::to_string(d[0].kind) + " " + d[0].mac : std::string("none");
    };
    auto is = [](BusyDecision::Kind kind, const char* mac) { return std::to_string(kind) + " " + mac; };

    EXPECT_TRUE(at(60).empty());  // 60 s is not more than 60
    EXPECT_EQ(is(BusyDecision::SettingExpired, "A"), one(61));
    EXPECT_FALSE(table.IsBusy("A"));

    // Between 60 and 100 s a defaulted UDP camera still busy is asked again every 5 s; the
    // HTTP one is not (it cannot be asked by discovery).
    EXPECT_TRUE(at(62).empty());
    EXPECT_EQ(is(BusyDecision::Requery, "B"), one(65));
    // Once its row shows "View" again it is settled and no longer watched.
    status["B"] = 0;
    EXPECT_EQ(is(BusyDecision::DefaultSettled, "B"), one(70));
    EXPECT_FALSE(table.IsBusy("B"));
    auto d = at(101);
    ASSERT_EQ(1u, d.size());
    EXPECT_EQ(BusyDecision::DefaultExpired, d[0].kind);
    EXPECT_TRUE(d[0].viaHttp);
    EXPECT_EQ(0, table.Count());

    char mac[32];
    for (int i = 0; i < BusyTable::kSlots; ++i) {
        std::snprintf(mac, sizeof mac, "M%d", i);
        ASSERT_TRUE(table.MarkBusy(mac, "SETTING", 0, start));
    }
    EXPECT_FALSE(table.MarkBusy("257th", "SETTING", 0, start));
    EXPECT_TRUE(table.MarkBusy("M7", "DEFAULT", 0, start + 5000));  // a busy camera keeps its slot
    table.ClearBusy("M7");
    EXPECT_EQ(BusyTable::kSlots - 1, table.Count());
}
