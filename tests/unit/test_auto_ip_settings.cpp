// The checks of the automatic IP dialog's form.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "engine/AutoIpSettings.h"
#include "finder/LibIP.h"
#include "platform/Log.h"

namespace {

std::vector<NetworkAdapter> Adapters() {
    NetworkAdapter a{};
    std::snprintf(a.name, sizeof a.name, "veth-host0");
    std::snprintf(a.description, sizeof a.description, "veth-host0 (lab LAN)");
    std::snprintf(a.gateway, sizeof a.gateway, "192.168.1.1");
    std::snprintf(a.dns1, sizeof a.dns1, "192.168.1.53");
    std::snprintf(a.dns2, sizeof a.dns2, "0.0.0.0");
    NetworkAddress first{}, second{};
    std::snprintf(first.address, sizeof first.address, "10.0.0.5");
    std::snprintf(first.mask, sizeof first.mask, "255.0.0.0");
    std::snprintf(second.address, sizeof second.address, "192.168.1.2");
    std::snprintf(second.mask, sizeof second.mask, "255.255.255.0");
    a.addresses = {first, second};
    return {a};
}

AutoIpForm Form(int mode) {
    AutoIpForm f;
    f.adapterText = "veth-host0 (lab LAN)";
    f.addressText = "192.168.1.2";
    f.start = "192.168.1.100";
    f.end = "192.168.1.200";
    f.mask = "255.255.255.0";
    f.gateway = "192.168.1.1";
    f.dns1 = "8.8.8.8";
    f.dns2 = "8.8.4.4";
    f.mode = mode;
    return f;
}

// Each refusal changes one field of a good form; the code names the field at fault.
AutoIpRefusal Refusal(int mode, const std::function<void(AutoIpForm&)>& change) {
    AutoIpSettings s;
    AutoIpForm f = Form(mode);
    change(f);
    const AutoIpRefusal code = ValidateAutoIpSettings(f, Adapters(), &s);
    EXPECT_EQ(~0ULL, s.startIp);  // nothing stored by a refusal
    return code;
}

TEST(AutoIpSettingsCheck, AdapterAndAutoMode) {
    EXPECT_EQ(AutoIpRefusal::AdapterError, Refusal(0, [](auto& f) { f.adapterText = "eth9"; }));
    EXPECT_EQ(AutoIpRefusal::AdapterError, Refusal(0, [](auto& f) { f.addressText = "192.168.1.3"; }));
    EXPECT_EQ(AutoIpRefusal::InvalidIp, Refusal(0, [](auto& f) { f.start = "192.168.1"; }));
    EXPECT_EQ(AutoIpRefusal::RangeError, Refusal(0, [](auto& f) { f.start = "192.168.1.0"; }));  // the subnet's own
    EXPECT_EQ(AutoIpRefusal::RangeError, Refusal(0, [](auto& f) { f.end = "192.168.1.255"; }));  // broadcast
    EXPECT_EQ(AutoIpRefusal::RangeError, Refusal(0, [](auto& f) { f.start = "192.168.1.201"; }));

    // Auto mode ignores what the mask, gateway and DNS fields say (even when empty).
    AutoIpSettings s;
    AutoIpForm f = Form(0);
    f.mask = f.gateway = f.dns1 = "";
    f.start = f.end = "192.168.1.254";  // one address is a range
    ASSERT_EQ(AutoIpRefusal::None, ValidateAutoIpSettings(f, Adapters(), &s));
    EXPECT_EQ("veth-host0", s.adapterName);
    EXPECT_EQ(IpTextToValue("192.168.1.2"), s.adapterIp);
    EXPECT_EQ(IpTextToValue("255.255.255.0"), s.setMask);
    EXPECT_EQ(IpTextToValue("192.168.1.1"), s.setGateway);
    EXPECT_EQ(IpTextToValue("192.168.1.53"), s.setDns1);
    EXPECT_EQ(0u, s.setDns2);
    EXPECT_EQ(s.startIp, s.endIp);
}

TEST(AutoIpSettingsCheck, ManualMode) {
    tarsel::CapturingLogSink log;
    AutoIpSettings s;
    AutoIpForm f = Form(1);
    f.mask = "255.255.0.0";
    f.start = "172.16.5.10";
    f.end = "172.16.9.10";
    f.gateway = "172.16.0.1";
    ASSERT_EQ(AutoIpRefusal::None, ValidateAutoIpSettings(f, Adapters(), &s));
    EXPECT_TRUE(log.Contains("IP range:172.16.0.1 ~ 172.16.255.254"));
    EXPECT_EQ(IpTextToValue("255.255.0.0"), s.setMask);
    EXPECT_EQ(IpTextToValue("8.8.4.4"), s.setDns2);
    EXPECT_EQ(IpTextToValue("192.168.1.2"), s.adapterIp);  // the adapter is still the chosen

    EXPECT_EQ(AutoIpRefusal::InvalidIp, Refusal(1, [](auto& f) { f.dns2 = ""; }));
    EXPECT_EQ(AutoIpRefusal::InvalidIp, Refusal(1, [](auto& f) { f.mask = "255.255.255.254"; }));
    EXPECT_EQ(AutoIpRefusal::InvalidIp, Refusal(1, [](auto& f) { f.mask = "255.0.255.0"; }));
    EXPECT_EQ(AutoIpRefusal::RangeError, Refusal(1, [](auto& f) { f.end = "192.168.2.5"; }));
    EXPECT_EQ(AutoIpRefusal::RangeError, Refusal(1, [](auto& f) { f.start = "192.168.1.150"; f.end = "192.168.1.140"; }));
    EXPECT_EQ(AutoIpRefusal::GatewaySubnet, Refusal(1, [](auto& f) { f.gateway = "192.168.2.1"; }));
    EXPECT_NE(AutoIpRefusal::None, Refusal(3, [](auto&) {}));  // an unknown mode stores nothing
    EXPECT_TRUE(log.Contains("m_SetIPMode error:3"));
    f = Form(1);
    f.gateway = "0.0.0.0";  // no gateway: no subnet check
    EXPECT_EQ(AutoIpRefusal::None, ValidateAutoIpSettings(f, Adapters(), &s));
    EXPECT_EQ(0u, s.setGateway);
}

}  // namespace
