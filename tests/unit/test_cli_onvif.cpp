// ONVIF devices of other makers on the command line and in the doctor: the columns an
// ONVIF row adds (after the old ones, so old readers keep working), which kinds a
// --protocol shows, the refusal of changes, and the firewall and route texts read.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "CliCamera.h"
#include "CliSavedSearch.h"
#include "engine/CameraCsv.h"
#include "platform/NetworkDoctor.h"

namespace {

using namespace cli;

CameraView OnvifRow(const std::string& company) {
    auto onvif = std::make_shared<OnvifEntry>();
    onvif->endpoint = "urn:uuid:aa";
    onvif->xaddr = "http://10.0.0.5/onvif/device_service";
    onvif->types = {"Device"};
    onvif->facts.info.manufacturer = "Northwind";
    CameraView row;
    row.ip = "10.0.0.5";
    row.company = company;
    row.protocol = "onvif";
    row.onvif = onvif;
    return row;
}

TEST(CliOnvif, ColumnsKindsAndRefusals) {
    const std::string header = CameraCsv({}).substr(0, CameraCsv({}).find('\r'));
    EXPECT_EQ(0u, header.find("name,mac,ip,mask,gateway,httpPort,mode,fwVersion,model,company,serial,"
                              "adapter,adapterName,viaHttp,status,warnings,"))
        << "the old columns stay where they were";
    EXPECT_EQ(header.size() - std::string("protocol,maker,endpoint,xaddr").size(),
              header.find("protocol,maker,endpoint,xaddr"));
    EXPECT_NE(std::string::npos, CameraCsvLine(OnvifRow("")).find(",onvif,Northwind,urn:uuid:aa,http://10.0.0.5/onvif/device_service\r\n"));
    CameraView ours;
    ours.company = "Tarsel Labs";
    EXPECT_NE(std::string::npos, CameraCsvLine(ours).find(",native,Tarsel Labs,,\r\n"));

    EXPECT_TRUE(OnvifJson(*OnvifRow("").onvif)["maker"].is_null()) << "not told before a read";

    ProtocolChoice choice{};
    EXPECT_FALSE(ParseProtocol("ONVIF2", choice));
    ASSERT_TRUE(ParseProtocol("onvif", choice));
    CameraView speaksOnvif = ours;
    speaksOnvif.onvif = OnvifRow("").onvif;
    EXPECT_TRUE(ShownFor(speaksOnvif, choice));
    EXPECT_FALSE(ShownFor(ours, choice));
    ASSERT_TRUE(ParseProtocol("native", choice));
    EXPECT_FALSE(ShownFor(OnvifRow(""), choice));

    // A saved search gives an ONVIF device back by its endpoint; it has no MAC to be named by.
    std::istringstream saved(R"([{"ip": "10.0.0.5", "protocol": "onvif", "endpoint": "urn:uuid:aa",
        "maker": "Contoso", "onvif": {"types": ["Device"], "clockOffsetMs": null}},
        {"ip": "10.0.0.6", "protocol": "onvif"}, {"ip": "10.0.0.7", "protocol": "x", "mac": "02:00:00:00:00:07"}])");
    SavedSearch search;
    std::string error;
    ASSERT_TRUE(ParseSavedSearch(saved, search, error)) << error;
    ASSERT_EQ(1u, search.cameras.size());
    EXPECT_EQ(2u, search.refusedCount);
    EXPECT_EQ(0u, ReadOnlyRefusal(search.cameras[0]).find("10.0.0.5: read-only: ONVIF device (Contoso)"));
    EXPECT_EQ("", ReadOnlyRefusal(speaksOnvif)) << "our camera keeps every command";
    EXPECT_EQ(0u, ReadOnlyRefusal(OnvifRow("")).find("10.0.0.5: read-only: ONVIF device (Northwind)"));
}

TEST(DoctorOnvif, FirewallRulesAndRoutesThatKeepAnswersOut) {
    const std::string nftDropping =
        "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority 0; policy accept;\n"
        "\t\tudp sport 3702 drop\n\t\tudp dport 37020 drop\n\t}\n}\n";
    auto checks = tarsel::OnvifFirewallChecks(nftDropping);
    ASSERT_EQ(1u, checks.size());
    EXPECT_NE(std::string::npos, checks[0].detail.find("udp sport 3702 drop"));
    const std::string nftClosed =
        "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority 0; policy drop;\n"
        "\t\tct state established,related accept\n\t\tudp dport 6565 accept\n\t}\n}\n";
    checks = tarsel::OnvifFirewallChecks(nftClosed);
    ASSERT_EQ(1u, checks.size());
    EXPECT_NE(std::string::npos, checks[0].fix.find("udp sport 3702 accept"));

    const std::string saved =
        "*filter\n:INPUT DROP [0:0]\n:OUTPUT ACCEPT [0:0]\n-A INPUT -p udp -m udp --dport 6565 -j ACCEPT\n"
        "-A OUTPUT -p udp -m udp --dport 3702 -j REJECT\nCOMMIT\n";
    checks = tarsel::OnvifIptablesChecks(saved);
    ASSERT_EQ(2u, checks.size());
    EXPECT_EQ("iptables -t filter -D OUTPUT -p udp -m udp --dport 3702 -j REJECT", checks[0].fix);
    EXPECT_NE(std::string::npos, checks[1].fix.find("-I INPUT -p udp --sport 3702 -j ACCEPT"));
    EXPECT_TRUE(tarsel::OnvifIptablesChecks("*filter\n:INPUT DROP [0:0]\n"
                                            "-A INPUT -p udp --sport 3702 -j ACCEPT\nCOMMIT\n")
                    .empty());

    const std::string head = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n";
    const std::string viaEth0 = head + "eth0\t00000000\t0100A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n" +
                                "eth0\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    auto route = tarsel::MulticastRouteCheck(viaEth0, "eth0", "239.255.255.250");
    EXPECT_TRUE(route.ok);
    EXPECT_NE(std::string::npos, route.detail.find("0.0.0.0/0")) << route.detail;
    // "ip route add unreachable 224.0.0.0/4": more specific than the default, for every
    // adapter; named, but the bound probes leave all the same (as the lab showed).
    route = tarsel::MulticastRouteCheck(viaEth0 + "*\t000000E0\t00000000\t0201\t0\t0\t0\t000000F0\t0\t0\t0\n",
                                        "eth1", "239.255.255.250");
    EXPECT_TRUE(route.ok);
    EXPECT_EQ(0u, route.detail.find("the rejecting route 224.0.0.0/4 covers")) << route.detail;
}

}  // namespace
