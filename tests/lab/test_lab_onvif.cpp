// Other makers' devices on a site of two LANs: our own WS-Discovery sender finds an
// NVT-only and a Device-only device, one device heard through two adapters is one device
// with both, broken answers list nothing, a device in another LAN answers a unicast probe,
// and the authenticated reads tell a wrong clock, HTTP Digest, a refusal and another host
// apart. An independent client (npm "onvif") checks the simulator as well.

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <nlohmann/json.hpp>

#include "lab/LabSupport.h"
#include "onvif/OnvifClient.h"
#include "onvif/OnvifProbe.h"
#include "platform/Log.h"
#include "web/LibCurl.h"

namespace {

using namespace tarsel::onvif;
using tarsel::lab::Lab;

const char kSite[] = R"({
  "host": {"adapters": [
    {"name": "eth0", "lan": "a", "address": "192.168.60.5/24"},
    {"name": "eth1", "lan": "a", "address": "192.168.60.6/24"},
    {"name": "eth2", "lan": "b", "address": "10.61.0.5/24"}]},
  "cameras": [
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:01", "ip": "192.168.60.101", "password": "nvt-pw",
     "onvif": {"endpoint": "urn:uuid:AAAA0000-0000-4000-8000-000000000001", "maker": "Northwind",
               "serial": "NW1", "types": ["NetworkVideoTransmitter"], "scopes":
               ["onvif://www.onvif.org/name/Gate%20East", "onvif://www.onvif.org/location/yard"]}},
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:02", "ip": "192.168.60.102", "password": "dev-pw",
     "onvif": {"maker": "Contoso", "types": ["Device"], "auth": "httpDigest", "clockOffsetSec": 7200,
               "faults": {"echoMessageId": true}}},
    {"lan": "a", "name": "Ours", "mac": "00:1B:2C:40:00:04", "ip": "192.168.60.104", "onvif": {}},
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:05", "ip": "192.168.60.105",
     "onvif": {"faults": {"noXAddrs": true}}},
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:06", "ip": "192.168.60.106",
     "onvif": {"faults": {"hostileXml": "doctype"}}},
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:08", "ip": "192.168.60.108",
     "onvif": {"faults": {"hostileXml": "huge"}}},
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:09", "ip": "192.168.60.109",
     "onvif": {"faults": {"hostileXml": "deep"}}},
    {"lan": "a", "native": false, "mac": "02:00:5E:00:00:07", "ip": "192.168.60.107",
     "onvif": {"snapshotUri": "http://192.168.60.200/steal.jpg", "replyDelayMaxMs": 0}},
    {"lan": "b", "native": false, "mac": "02:00:5E:00:00:03", "ip": "10.61.0.103",
     "onvif": {"faults": {"linkLocalFirst": true, "ipv6XAddrs": true}}}]
})";

std::map<std::string, OnvifDevice> ByAddress(const OnvifDeviceList& list) {
    std::map<std::string, OnvifDevice> out;
    for (const OnvifDevice& d : list.Devices()) out[d.match.address] = d;
    return out;
}

TEST(LabOnvif, DiscoveryReadsAndAnIndependentClientAgree) {
    Lab lab(kSite);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    // Two adapters on one LAN: each answers ARP for its own address only, as a multi-homed
    // PC must for unicast answers to reach the adapter that asked.
    ASSERT_EQ(0, lab.Exec("host", "sysctl -qw net.ipv4.conf.all.arp_ignore=1"));
    tarsel::lab::ScopedNamespace inHost(lab.Namespace("host"));
    ASSERT_TRUE(inHost.Ok());

    ProbeSet probes;
    ASSERT_TRUE(probes.Make());
    OnvifDeviceList list;
    tarsel::CapturingLogSink log;
    const std::vector<OnvifAdapter> adapters = {
        {"eth0", "192.168.60.5"}, {"eth1", "192.168.60.6"}, {"eth2", "10.61.0.5"}, {"nosuch0", "192.168.99.1"}};
    EXPECT_EQ(3, SearchAdapters(adapters, probes, 2500, list));
    EXPECT_TRUE(log.Contains("ONVIF discovery skips adapter nosuch0"));
    auto found = ByAddress(list);
    ASSERT_EQ(5u, found.size()) << "NVT-only, Device-only, ours, other host, other LAN";
    using Adapters = std::vector<std::string>;
    auto sorted = [](Adapters a) { std::sort(a.begin(), a.end()); return a; };
    EXPECT_EQ(Adapters({"eth0", "eth1"}), sorted(found["192.168.60.101"].adapters));
    EXPECT_EQ(Adapters({"eth0", "eth1"}), sorted(found["192.168.60.102"].adapters));
    EXPECT_GE(found["192.168.60.101"].answers, 2u) << "repeated probes merge into one device";
    EXPECT_EQ("urn:uuid:aaaa0000-0000-4000-8000-000000000001", found["192.168.60.101"].match.endpoint);
    EXPECT_EQ("Gate East", found["192.168.60.101"].match.name);
    EXPECT_EQ(Adapters({"eth2"}), found["10.61.0.103"].adapters);
    EXPECT_EQ("http://10.61.0.103:80/onvif/device_service", found["10.61.0.103"].match.xaddr);
    EXPECT_EQ(3u, found["10.61.0.103"].match.xaddrs.size());
    EXPECT_TRUE(log.Contains("refused: DOCTYPE")) << "the hostile answers are logged";
    EXPECT_TRUE(log.Contains("refused: too many elements"));
    EXPECT_TRUE(log.Contains("refused: elements nested too deep"));

    // Another LAN, by unicast probes as a range search sends them: ten addresses handed out
    // one at a time, one of them the device's.
    OnvifDeviceList unicast;
    uint32_t address = 0;
    tarsel::ParseIPv4("10.61.0.98", &address);
    int handed = 0;
    auto next = [&](std::vector<uint32_t>& batch, bool mayEnd) {
        if (handed < 10) batch.push_back(address + static_cast<uint32_t>(handed++));
        return handed < 10 || !mayEnd;
    };
    ASSERT_TRUE(ProbeAddresses(next, probes, 1000, unicast));
    ASSERT_EQ(1u, unicast.Size());
    EXPECT_EQ(found["10.61.0.103"].match.endpoint, unicast.Devices()[0].match.endpoint);

    // A clock two hours off and HTTP Digest only: verified all the same.
    OnvifFacts facts;
    std::string why;
    const OnvifDevice& contoso = found["192.168.60.102"];
    EXPECT_EQ(OnvifOutcome::Verified, ReadOnvifFacts(contoso.match.xaddr, "192.168.60.102", "admin", "dev-pw", facts, &why)) << why;
    EXPECT_NEAR(7200.0, facts.clockOffset.count() / 1000.0, 5.0);
    EXPECT_TRUE(facts.httpDigest);
    EXPECT_EQ("Contoso", facts.info.manufacturer);
    EXPECT_EQ("02:00:5E:00:00:02", facts.network.mac);
    ::CurlBuffer picture;
    EXPECT_EQ(0, FetchOnvifSnapshot(facts, "192.168.60.102", "admin", "dev-pw", picture));
    EXPECT_GT(picture.length, 100u);
    // A refusal is a refusal; a silent address is silence.
    OnvifFacts refused;
    EXPECT_EQ(OnvifOutcome::CredentialsRefused,
              ReadOnvifFacts(found["192.168.60.101"].match.xaddr, "192.168.60.101", "admin", "wrong", refused, &why));
    EXPECT_EQ(OnvifOutcome::NoAnswer, ReadOnvifFacts("http://192.168.60.150/onvif/device_service", "192.168.60.150",
                                                     "admin", "x", refused, &why, {1000}));
    // A snapshot URI on another host gets no credentials.
    OnvifFacts thief;
    EXPECT_EQ(OnvifOutcome::Verified, ReadOnvifFacts(found["192.168.60.107"].match.xaddr, "192.168.60.107", "admin",
                                                     "admin", thief, &why));
    EXPECT_TRUE(thief.snapshotOtherHost);
    EXPECT_EQ(-2, FetchOnvifSnapshot(thief, "192.168.60.107", "admin", "admin", picture));

    // The independent client: its probe asks for NetworkVideoTransmitter only.
    std::string out;
    const std::string script = std::string(TARSEL_SOURCE_DIR) + "/tests/lab/onvif-client/check.js";
    // scripts/install-deps installs it from its lock file there.
    const std::string client = "env NODE_PATH=/var/cache/tarsel/onvif-client/node_modules node ";
    ASSERT_EQ(0, lab.Exec("host", client + tarsel::lab::Quote(script) + " eth0 admin nvt-pw 2500", &out))
        << out << "(a missing module: run scripts/install-deps)";
    std::map<std::string, nlohmann::json> seen;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_object()) seen[j.value("endpoint", "")] = j;
    }
    const auto northwind = seen.find("urn:uuid:AAAA0000-0000-4000-8000-000000000001");
    ASSERT_NE(northwind, seen.end()) << out;
    EXPECT_EQ("Northwind", northwind->second.value("manufacturer", "")) << out;
    EXPECT_EQ("NW1", northwind->second.value("serial", "")) << out;
    for (const auto& [endpoint, j] : seen) EXPECT_NE(contoso.match.endpoint, endpoint) << "a Device-only device answered an NVT probe";
}

}  // namespace
