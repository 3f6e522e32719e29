#include "engine/AutoIpSettings.h"

#include "common/stdafx.h"
#include "finder/LibIP.h"

namespace {
uint64_t Value(const std::string& text) { return IpTextToValue(text.c_str()); }
}  // namespace

AutoIpRefusal ValidateAutoIpSettings(const AutoIpForm& form, const std::vector<NetworkAdapter>& adapters,
                                     AutoIpSettings* settings) {
    const NetworkAdapter* adapter = nullptr;
    for (const NetworkAdapter& candidate : adapters) {
        if (form.adapterText == candidate.description) {
            adapter = &candidate;
            break;
        }
    }
    if (adapter == nullptr) return AutoIpRefusal::AdapterError;
    const NetworkAddress* chosen = nullptr;
    for (const NetworkAddress& address : adapter->addresses) {
        if (form.addressText == address.address) {
            chosen = &address;
            break;
        }
    }
    if (chosen == nullptr) return AutoIpRefusal::AdapterError;

    AutoIpSettings s;
    s.adapterName = adapter->name;
    s.adapterLabel = adapter->description;
    s.adapterGateway = IpTextToValue(adapter->gateway);
    s.adapterDns1 = IpTextToValue(adapter->dns1);
    s.adapterDns2 = IpTextToValue(adapter->dns2);
    s.adapterIp = IpTextToValue(chosen->address);
    s.adapterMask = IpTextToValue(chosen->mask);
    s.m_SetIPMode = form.mode;

    const uint64_t start = Value(form.start), end = Value(form.end), mask = Value(form.mask),
                   gateway = Value(form.gateway), dns1 = Value(form.dns1),
                   dns2 = Value(form.dns2);
    if (form.mode == 0) {
        const uint64_t low = SubnetOf(s.adapterIp, s.adapterMask) + 1;
        const uint64_t high = LastAddress(s.adapterIp, s.adapterMask) - 1;
        if (start == INVALID_IP_VALUE || end == INVALID_IP_VALUE) return AutoIpRefusal::InvalidIp;
        if (start > end || start < low || start > high || end < low || end > high)
            return AutoIpRefusal::RangeError;
        s.setMask = s.adapterMask;
        s.setGateway = s.adapterGateway;
        s.setDns1 = s.adapterDns1;
        s.setDns2 = s.adapterDns2;
    } else if (form.mode == 1) {
        const uint64_t low = SubnetOf(start, mask) + 1;
        const uint64_t high = LastAddress(start, mask) - 1;
        TLOG("(%s:%d)IP range:%s ~ %s", IpValueToText(low).c_str(), IpValueToText(high).c_str());
        for (uint64_t v : {start, end, mask, gateway, dns1, dns2})
            if (v == INVALID_IP_VALUE) return AutoIpRefusal::InvalidIp;
        if (!IsValidMaskText(form.mask.c_str())) return AutoIpRefusal::InvalidIp;
        if (start > end || start < low || start > high || end < low || end > high)
            return AutoIpRefusal::RangeError;
        if (gateway != 0 && SubnetOf(gateway, mask) != SubnetOf(start, mask))
            return AutoIpRefusal::GatewaySubnet;
        s.setMask = mask;
        s.setGateway = gateway;
        s.setDns1 = dns1;
        s.setDns2 = dns2;
    } else {
        TLOG_WARNING("(%s:%d)m_SetIPMode error:%d", form.mode);
        // Nothing was stored, so a run must not start on whatever the settings held before.
        return AutoIpRefusal::InvalidIp;
    }
    s.startIp = start;
    s.endIp = end;
    *settings = s;
    return AutoIpRefusal::None;
}

uint64_t GatewayToSend(const AutoIpSettings& settings, uint64_t newIp, uint64_t cameraGateway) {
    const uint64_t mask = settings.setMask;
    const bool adapterOffersNone =
        settings.setGateway == 0 || settings.setGateway == INVALID_IP_VALUE;
    if (settings.m_SetIPMode != 0 || !adapterOffersNone)
        return settings.setGateway;
    if (cameraGateway == 0 || cameraGateway == INVALID_IP_VALUE || cameraGateway == newIp ||
        mask == INVALID_IP_VALUE)
        return settings.setGateway;
    const bool hostOfNewSubnet = SubnetOf(cameraGateway, mask) == SubnetOf(newIp, mask) &&
                                 cameraGateway != SubnetOf(newIp, mask) &&
                                 cameraGateway != LastAddress(newIp, mask);
    return hostOfNewSubnet ? cameraGateway : settings.setGateway;
}

bool MayAssignAddress(const AutoIpSettings& settings, uint64_t address, uint64_t cameraGateway) {
    const uint64_t mask = settings.setMask == INVALID_IP_VALUE ? settings.adapterMask : settings.setMask;
    if (address == INVALID_IP_VALUE || mask == INVALID_IP_VALUE) return false;
    if (address == SubnetOf(address, mask) || address == LastAddress(address, mask)) return false;
    for (uint64_t taken : {settings.adapterIp, settings.setGateway, settings.adapterGateway, cameraGateway})
        if (address == taken) return false;
    return true;
}
