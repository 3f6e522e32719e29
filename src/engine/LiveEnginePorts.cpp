#include "engine/LiveEnginePorts.h"

#include <cstring>

#include "common/Language.h"
#include "common/ModelList.h"
#include "finder/LIbFinder.h"
#include "finder/LibIP.h"
#include "onvif/OnvifProbe.h"
#include "platform/Tick.h"
#include "web/LibCurl.h"

void LiveAddressHistory::Load() { LoadIpHistory(m_list); }
void LiveAddressHistory::Clear() { m_list.clear(); }
uint64_t LiveAddressHistory::FindRememberedIp(const char* mac, uint64_t subnet, uint64_t mask) {
    return ::FindRememberedIp(m_list, mac, subnet, mask);
}
bool LiveAddressHistory::IsIpRemembered(uint64_t address, uint64_t subnet, uint64_t mask) {
    return ::IsIpRemembered(m_list, address, subnet, mask);
}
void LiveAddressHistory::RememberIp(const char* mac, uint64_t address, uint64_t mask) {
    ::RememberIp(m_list, mac, address, mask);
}
void LiveAddressHistory::ForgetIp(uint64_t address, uint64_t mask) {
    ::ForgetIp(m_list, address, mask);
}

int LiveEnginePorts::CreateRecvPacket(const EngineCallback* hook) {
    return ::CreateRecvPacket(hook);
}
void LiveEnginePorts::DestroyRecvPacket() { ::DestroyRecvPacket(); }
int LiveEnginePorts::SendPacketData(uint32_t type, const char* targetMac, const char* user,
                                    const char* password, const char* payload) {
    return ::SendPacketData(type, targetMac, user, password, payload);
}
int LiveEnginePorts::CheckAuthDigest(const char* user, const char* password,
                                     const unsigned char digestA[16],
                                     const unsigned char digestB[16]) {
    return ::CheckAuthDigest(user, password, digestA, digestB);
}

HttpOutcome LiveEnginePorts::GetNode(const char* ip, const char* port, const char* user,
                                     const char* password, const char* key, char* out,
                                     size_t outCapacity) {
    // The web client reads into the two capacities that exist; a larger target gets the
    // long variant, anything else the common one, copied out within its capacity.
    if (outCapacity >= 1024) {
        return ::GetNode(ip, port, user, password, key, *reinterpret_cast<char(*)[1024]>(out));
    }
    if (outCapacity == 128) {
        return ::GetNode(ip, port, user, password, key, *reinterpret_cast<char(*)[128]>(out));
    }
    char value[128] = {};
    const HttpOutcome result = ::GetNode(ip, port, user, password, key, value);
    if (result.Done() && outCapacity > 0 && value[0] != '\0') {
        std::strncpy(out, value, outCapacity - 1);
        out[outCapacity - 1] = '\0';
    }
    return result;
}

HttpOutcome LiveEnginePorts::SetNode(const char* ip, const char* port, const char* user,
                                     const char* password, const char* assignments) {
    return ::SetNode(ip, port, user, password, assignments);
}

bool LiveEnginePorts::IsKnownModel(const char* productName) {
    return ::IsKnownModel(productName);
}

int LiveEnginePorts::AddressProbe(uint64_t target, uint64_t source, const char* mac) {
    return ::AddressProbe(target, source, mac);
}

void LiveEnginePorts::EnsureThreadLanguage() { ::EnsureThreadLanguage(-1); }

uint32_t LiveEnginePorts::Now() { return tarsel::GetTickCount(); }

void LiveEnginePorts::SearchOnvif(const tarsel::onvif::ProbeSet& probes, int waitMs,
                                  tarsel::onvif::OnvifDeviceList& list, const std::atomic<bool>* stop) {
    // The adapters the native search uses, each through its first IPv4 address.
    std::vector<NetworkAdapter> adapters;
    EnumerateAdapters(adapters);
    std::vector<tarsel::onvif::OnvifAdapter> onvifAdapters;
    for (const NetworkAdapter& adapter : adapters)
        for (const NetworkAddress& address : adapter.addresses)
            if (std::strcmp(address.address, "0.0.0.0") != 0) {
                onvifAdapters.push_back({adapter.name, address.address});
                break;
            }
    tarsel::onvif::SearchAdapters(onvifAdapters, probes, waitMs, list, stop);
}

void LiveEnginePorts::ProbeOnvifAddresses(const tarsel::onvif::NextAddresses& next,
                                          const tarsel::onvif::ProbeSet& probes, int waitMs,
                                          tarsel::onvif::OnvifDeviceList& list, const std::atomic<bool>* stop) {
    tarsel::onvif::ProbeAddresses(next, probes, waitMs, list, stop);
}
