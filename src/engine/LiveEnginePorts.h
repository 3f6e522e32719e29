#pragma once
// The engine's seam connected to the real finder library, web client, host probes, settings
// file and thread language.

#include <vector>

#include "engine/EnginePorts.h"
#include "finder/LibIP.h"

class LiveAddressHistory : public AddressHistory {
public:
    void Load() override;
    void Clear() override;
    uint64_t FindRememberedIp(const char* mac, uint64_t subnet, uint64_t mask) override;
    bool IsIpRemembered(uint64_t address, uint64_t subnet, uint64_t mask) override;
    void RememberIp(const char* mac, uint64_t address, uint64_t mask) override;
    void ForgetIp(uint64_t address, uint64_t mask) override;

private:
    std::vector<IpHistoryEntry> m_list;
};

class LiveEnginePorts : public EnginePorts {
public:
    int CreateRecvPacket(const EngineCallback* hook) override;
    void DestroyRecvPacket() override;
    int SendPacketData(uint32_t type, const char* targetMac, const char* user,
                       const char* password, const char* payload) override;
    int CheckAuthDigest(const char* user, const char* password, const unsigned char digestA[16],
                        const unsigned char digestB[16]) override;
    HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                        const char* key, char* out, size_t outCapacity) override;
    HttpOutcome SetNode(const char* ip, const char* port, const char* user, const char* password,
                        const char* assignments) override;
    bool IsKnownModel(const char* productName) override;
    int AddressProbe(uint64_t target, uint64_t source, const char* mac) override;
    AddressHistory& History() override { return m_history; }
    void EnsureThreadLanguage() override;
    uint32_t Now() override;
    void SearchOnvif(const tarsel::onvif::ProbeSet& probes, int waitMs, tarsel::onvif::OnvifDeviceList& list,
                     const std::atomic<bool>* stop) override;
    void ProbeOnvifAddresses(const tarsel::onvif::NextAddresses& next, const tarsel::onvif::ProbeSet& probes,
                             int waitMs, tarsel::onvif::OnvifDeviceList& list, const std::atomic<bool>* stop) override;

private:
    LiveAddressHistory m_history;
};

// The engine reaching cameras over HTTP only, as the IP range search does: no discovery
// socket is opened and nothing is broadcast.
class HttpOnlyEnginePorts : public LiveEnginePorts {
public:
    int CreateRecvPacket(const EngineCallback*) override { return -1; }
    // Nothing multicast either: a range search probes each address by itself.
    void SearchOnvif(const tarsel::onvif::ProbeSet&, int, tarsel::onvif::OnvifDeviceList&,
                     const std::atomic<bool>*) override {}
    void DestroyRecvPacket() override {}
    int SendPacketData(uint32_t, const char*, const char*, const char*, const char*) override {
        return -1;
    }
};
