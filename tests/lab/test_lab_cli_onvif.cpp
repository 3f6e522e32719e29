// A mixed site through the command line: cameras of this family, one of them speaking ONVIF
// too (one row), devices of other makers answering only one probe type, one refusing the
// password, and one in another subnet reached by the range scan's unicast probe. The kinds
// are listed and filtered, verified in their own words, pictured, and a reboot of another
// maker's device is refused without a byte reaching it.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "LabSupport.h"

namespace {

using tarsel::lab::Lab;

const char kSite[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.67.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Gate", "mac": "02:1B:2C:67:00:01", "ip": "10.67.0.11", "mask": "255.255.255.0"},
    {"lan": "a", "name": "Ours", "mac": "02:1B:2C:67:00:02", "ip": "10.67.0.12", "mask": "255.255.255.0",
     "onvif": {"endpoint": "urn:uuid:67000000-0000-4000-8000-000000000002", "replyDelayMaxMs": 100}},
    {"lan": "a", "native": false, "mac": "02:00:5E:67:00:03", "ip": "10.67.0.13", "mask": "255.255.255.0",
     "onvif": {"endpoint": "urn:uuid:67000000-0000-4000-8000-000000000003", "maker": "Northwind",
               "serial": "NW-3", "types": ["NetworkVideoTransmitter"], "replyDelayMaxMs": 100}},
    {"lan": "a", "native": false, "mac": "02:00:5E:67:00:04", "ip": "10.67.0.14", "mask": "255.255.255.0",
     "onvif": {"endpoint": "urn:uuid:67000000-0000-4000-8000-000000000004", "maker": "Contoso",
               "types": ["Device"], "replyDelayMaxMs": 100}},
    {"lan": "a", "native": false, "mac": "02:00:5E:67:00:05", "ip": "10.67.0.15", "mask": "255.255.255.0",
     "password": "secret", "onvif": {"maker": "Fabrikam", "replyDelayMaxMs": 100}},
    {"lan": "a", "native": false, "mac": "02:00:5E:67:00:06", "ip": "10.68.5.20", "mask": "255.255.255.0",
     "onvif": {"maker": "Litware", "replyDelayMaxMs": 100}}]
})";

nlohmann::json Json(const std::string& text) { return nlohmann::json::parse(text, nullptr, false); }

std::map<std::string, nlohmann::json> ByIp(const nlohmann::json& rows) {
    std::map<std::string, nlohmann::json> out;
    if (rows.is_array())
        for (const auto& row : rows) out[row.value("ip", "")] = row;
    return out;
}

std::multiset<std::string> Ips(const nlohmann::json& rows) {
    std::multiset<std::string> out;
    for (const auto& row : rows) out.insert(row.value("ip", ""));
    return out;
}

// TCP connections a namespace has accepted so far.
long PassiveOpens(const Lab& lab, const std::string& ns) {
    std::string out;
    lab.Exec(ns, "awk '/^Tcp:/ {n++; if (n == 2) print $6}' /proc/net/snmp", &out);
    return std::atol(out.c_str());
}

}  // namespace

TEST(LabCliOnvif, MixedSiteListedVerifiedAndKeptReadOnly) {
    Lab lab(kSite);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    // The device of another subnet shares the wire, reached by a route as behind a router.
    ASSERT_EQ(0, lab.Exec("host", "ip route add 10.68.5.0/24 dev eth0"));
    ASSERT_EQ(0, lab.Exec("cam6", "ip route add 10.67.0.0/24 dev eth0"));
    std::string out, err;

    // Both kinds in one list; our camera that speaks ONVIF is one row of its own kind.
    ASSERT_EQ(0, lab.Tarsel("search --wait 1.5 --json", &out, &err)) << out << err;
    EXPECT_EQ((std::multiset<std::string>{"10.67.0.11", "10.67.0.12", "10.67.0.13", "10.67.0.14", "10.67.0.15",
                                          "10.68.5.20"}),
              Ips(Json(out)));
    auto rows = ByIp(Json(out));
    EXPECT_TRUE(rows["10.67.0.11"]["onvif"].is_null());
    EXPECT_EQ("native", rows["10.67.0.12"]["protocol"]);
    EXPECT_EQ("urn:uuid:67000000-0000-4000-8000-000000000002", rows["10.67.0.12"]["onvif"]["endpoint"]);
    const auto& nvt = rows["10.67.0.13"];
    EXPECT_EQ("onvif", nvt["protocol"]);
    EXPECT_EQ("urn:uuid:67000000-0000-4000-8000-000000000003", nvt["endpoint"]);
    EXPECT_EQ(nlohmann::json::array({"NetworkVideoTransmitter"}), nvt["onvif"]["types"]);
    EXPECT_TRUE(nvt["onvif"]["maker"].is_null()) << "nothing is told before the credentials";
    EXPECT_EQ(nlohmann::json::array({"Device"}), rows["10.67.0.14"]["onvif"]["types"]);

    // Each kind alone; a plan is for our family only.
    ASSERT_EQ(0, lab.Tarsel("search --wait 1.5 --protocol native --json", &out)) << out;
    EXPECT_EQ((std::multiset<std::string>{"10.67.0.11", "10.67.0.12"}), Ips(Json(out))) << out;
    EXPECT_TRUE(ByIp(Json(out))["10.67.0.12"]["onvif"].is_null()) << "no ONVIF probe was sent";
    ASSERT_EQ(0, lab.Tarsel("search --wait 1.5 --plan", &out)) << out;
    EXPECT_EQ(std::string::npos, out.find("10.67.0.13")) << out;
    // With the credentials, every ONVIF device's facts; the refusal is named as one.
    ASSERT_EQ(0, lab.Tarsel("search --wait 1.5 --protocol onvif --user admin --json", &out, &err)) << out << err;
    EXPECT_EQ((std::multiset<std::string>{"10.67.0.12", "10.67.0.13", "10.67.0.14", "10.67.0.15", "10.68.5.20"}),
              Ips(Json(out))) << "ours answers ONVIF as well";
    rows = ByIp(Json(out));
    EXPECT_EQ("Northwind", rows["10.67.0.13"]["maker"]) << out;
    EXPECT_EQ("02:00:5E:67:00:03", rows["10.67.0.13"]["mac"]);
    EXPECT_EQ("verified", rows["10.67.0.14"]["onvif"]["verify"]);
    EXPECT_EQ("credentials refused", rows["10.67.0.15"]["onvif"]["verify"]);

    // Verification by address and by endpoint uuid, in the device's own words.
    EXPECT_EQ(5, lab.Tarsel("verify 10.67.0.13 67000000-0000-4000-8000-000000000004 10.67.0.15 "
                            "--wait 1.5 --user admin --json", &out, &err)) << out << err;
    rows = ByIp(Json(out));
    EXPECT_EQ("verified", rows["10.67.0.13"]["result"]) << out;
    EXPECT_EQ("verified", rows["10.67.0.14"]["result"]) << out;
    EXPECT_EQ("credentials refused", rows["10.67.0.15"]["result"]) << out;

    // The picture of another maker's device, from its own snapshot address.
    const std::string picture = "/tmp/tarsel-lab-onvif-" + lab.Name() + ".jpg";
    EXPECT_EQ(0, lab.Tarsel("snapshot 10.67.0.14 -o " + picture + " --wait 1.5 --user admin", &out, &err)) << err;
    std::ifstream in(picture, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(0u, bytes.rfind("\xFF\xD8", 0)) << bytes.size();
    std::remove(picture.c_str());

    // Read-only: refused before anything is sent to it.
    const long opens = PassiveOpens(lab, "cam3");
    EXPECT_EQ(1, lab.Tarsel("reboot 10.67.0.13 --wait 1.5 --user admin", &out, &err)) << err;
    EXPECT_NE(std::string::npos, err.find("10.67.0.13: read-only: ONVIF device")) << err;
    EXPECT_EQ(1, lab.Tarsel("set urn:uuid:67000000-0000-4000-8000-000000000003 --name X --wait 1.5 --user admin",
                            &out, &err));
    EXPECT_EQ(opens, PassiveOpens(lab, "cam3"));

    // Another subnet by the range scan's unicast probe; ours found over HTTP keeps its row.
    ASSERT_EQ(0, lab.Tarsel("scan 10.68.5.19 10.68.5.21 --user admin --json", &out, &err)) << out << err;
    EXPECT_EQ("onvif", Json(out)[0]["protocol"]) << out;
    ASSERT_EQ(0, lab.Tarsel("scan 10.67.0.12 10.67.0.13 --user admin --json", &out, &err)) << out << err;
    EXPECT_EQ((std::multiset<std::string>{"10.67.0.12", "10.67.0.13"}), Ips(Json(out)));
    rows = ByIp(Json(out));
    EXPECT_EQ("native", rows["10.67.0.12"]["protocol"]);
    EXPECT_EQ("urn:uuid:67000000-0000-4000-8000-000000000002", rows["10.67.0.12"]["endpoint"]) << out;
    EXPECT_EQ("onvif", rows["10.67.0.13"]["protocol"]);
}
