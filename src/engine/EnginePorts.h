#pragma once
// Everything the engine asks of the world outside its camera list: the finder library
// (sockets and digests), the camera's CGI interface, the host's probes and address history,
// the thread language, and time. The engine only ever goes through this seam, so a test can
// watch what it sends and answer for the cameras without a socket; LiveEnginePorts connects
// it to the real libraries.

#include <cstddef>
#include <cstdint>

#include <string>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "engine/CameraWarnings.h"
#include "finder/LIbFinder.h"
#include "onvif/OnvifDeviceList.h"
#include "onvif/OnvifProbe.h"
#include "web/HttpOutcome.h"
#include <atomic>

// The per-camera memory of the addresses the automatic assignment gave out, persisted in
// the configuration file. Addresses and masks are 64-bit address values.
class AddressHistory {
public:
    virtual ~AddressHistory() = default;
    virtual void Load() = 0;
    virtual void Clear() = 0;
    // Remembered address of mac in that subnet; 0 when none.
    virtual uint64_t FindRememberedIp(const char* mac, uint64_t subnet, uint64_t mask) = 0;
    // True when any camera has that address remembered in that subnet.
    virtual bool IsIpRemembered(uint64_t address, uint64_t subnet, uint64_t mask) = 0;
    virtual void RememberIp(const char* mac, uint64_t address, uint64_t mask) = 0;
    virtual void ForgetIp(uint64_t address, uint64_t mask) = 0;
};

class EnginePorts {
public:
    virtual ~EnginePorts() = default;

    // Finder library.
    virtual int CreateRecvPacket(const EngineCallback* hook) = 0;
    virtual void DestroyRecvPacket() = 0;
    virtual int SendPacketData(uint32_t type, const char* targetMac, const char* user,
                               const char* password, const char* payload) = 0;
    virtual int CheckAuthDigest(const char* user, const char* password,
                                const unsigned char digestA[16],
                                const unsigned char digestB[16]) = 0;

    // Camera CGI interface: the web client's outcome (a reply not "ok" is NotCamera).
    virtual HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                        const char* key, char* out, size_t outCapacity) = 0;
    virtual HttpOutcome SetNode(const char* ip, const char* port, const char* user, const char* password,
                        const char* assignments) = 0;
    virtual bool IsKnownModel(const char* productName) = 0;

    // Host: 0 free, 1 in use, 2 in use by the camera with that MAC (mac may be null).
    virtual int AddressProbe(uint64_t target, uint64_t source, const char* mac) = 0;
    virtual AddressHistory& History() = 0;
    // The IPv4 subnets of the local adapter with that interface name (for the warnings).
    virtual std::vector<AdapterSubnet> AdapterSubnets(const std::string& name) { return AdapterSubnetsOf(name); }

    // Puts the calling thread into the tool's language before it loads any text.
    virtual void EnsureThreadLanguage() = 0;

    // Millisecond tick (wraps at 2^32) and how many tick milliseconds pass per real
    // millisecond; a test runs the engine's long waits faster by raising it.
    virtual uint32_t Now() = 0;
    virtual uint32_t Speedup() { return 1; }
    // The ONVIF multicast search on every adapter the native search uses, answers merged
    // into list until waitMs passed or *stop. Nothing by default (a test's engine has no
    // network); the live ports search for real.
    virtual void SearchOnvif(const tarsel::onvif::ProbeSet& probes, int waitMs,
                             tarsel::onvif::OnvifDeviceList& list, const std::atomic<bool>* stop) {
        (void)probes, (void)waitMs, (void)list, (void)stop;
    }
    // Unicast probes of the addresses next hands out (tarsel::onvif::ProbeAddresses),
    // answers merged into list. Nothing is sent by default; next is drained.
    virtual void ProbeOnvifAddresses(const tarsel::onvif::NextAddresses& next, const tarsel::onvif::ProbeSet& probes,
                                     int waitMs, tarsel::onvif::OnvifDeviceList& list,
                                     const std::atomic<bool>* stop) {
        (void)probes, (void)waitMs, (void)list, (void)stop;
        std::vector<uint32_t> batch;
        while (next(batch, true)) batch.clear();
    }
};
