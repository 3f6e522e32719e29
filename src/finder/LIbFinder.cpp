#include "finder/LIbFinder.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "LibSocket/SocketProcess.h"
#include "common/Md5.h"
#include "common/stdafx.h"
#include "finder/LibIP.h"

namespace {

// The current hub. Senders hold the shared side for as long as they use the hub; replacing
// it takes the exclusive side only to swap the pointer, and the old hub is shut down after
// the lock is released, so that an engine callback that sends while its hub is being
// destroyed finds no hub instead of deadlocking.
std::shared_mutex g_hubLock;
std::unique_ptr<CSocketProcess> g_hub;
std::mutex g_lifecycle;  // serialises CreateRecvPacket and DestroyRecvPacket
std::mutex g_optionsLock;
std::unique_ptr<HubOptions> g_options;

std::unique_ptr<CSocketProcess> DetachHub() {
    std::unique_lock hubLock(g_hubLock);
    return std::move(g_hub);
}

void FormatCredentials(char (&text)[512], const char* first, const char* second) {
    std::snprintf(text, sizeof text, "%s/%s", first ? first : "", second ? second : "");
}

// Whether a camera's credential digest matched is all the log says of it: even a few hex
// digits of a digest the camera sent narrow a dictionary search for its password, and the
// log is read by more people than the installer.
const char* Matched(bool same) { return same ? " (match)" : " (no match)"; }

}  // namespace

int CreateRecvPacket(const EngineCallback* engineCallback) {
    std::lock_guard lifecycle(g_lifecycle);
    DetachHub().reset();
    HubOptions options;
    {
        std::lock_guard optionsLock(g_optionsLock);
        if (g_options)
            options = *g_options;
    }
    auto hub =
        std::make_unique<CSocketProcess>(engineCallback, OnRecvPacket, options, AcceptRecvPacket);
    hub->OpenReceivers();
    std::unique_lock hubLock(g_hubLock);
    g_hub = std::move(hub);
    return 0;
}

void DestroyRecvPacket() {
    std::lock_guard lifecycle(g_lifecycle);
    DetachHub().reset();
}

void FinishFinderReceiving() {
    // The lifecycle lock, not the hub lock: the hub cannot be replaced meanwhile, and an
    // engine callback that sends from the dispatch thread still takes the hub lock freely.
    std::lock_guard lifecycle(g_lifecycle);
    if (g_hub)
        g_hub->Receiver().StopReceivingAndDrain();
}

int SendPacketData(uint32_t type, const char* targetMacText, const char* user, const char* password,
                   const char* requestText) {
    std::shared_lock hubLock(g_hubLock);
    CSocketProcess* hub = g_hub.get();
    if (hub == nullptr)
        return -1;
    for (int i = 0; i < hub->AdapterCount(); ++i) {
        const char* address = hub->Adapter(i).addressText;
        unsigned char buffer[PACKET_BUFFER_SIZE] = {};
        CPacketProcess codec;
        int length = codec.BuildPacket(buffer, TRANSPORT_BROADCAST, type, address, targetMacText,
                                       user, password, requestText);
        if (hub->QueueSend(TRANSPORT_BROADCAST, hub->SendPort(), static_cast<uint32_t>(i), buffer,
                           length) != 0) {
            TLOG_WARNING("(%s:%d)SendPacketData BROADCAST Error\n");
            return -1;
        }
        std::memset(buffer, 0, sizeof buffer);
        length = codec.BuildPacket(buffer, TRANSPORT_MULTICAST, type, address, targetMacText, user,
                                   password, requestText);
        if (hub->QueueSend(TRANSPORT_MULTICAST, hub->SendPort(), static_cast<uint32_t>(i), buffer,
                           length) != 0) {
            TLOG_WARNING("(%s:%d)SendPacketData MULTICAST Error\n");
            return -1;
        }
    }
    return 0;
}

int CheckAuthDigest(const char* user, const char* password, const unsigned char digestA[16],
                    const unsigned char digestB[16]) {
    char text[512];
    unsigned char md5A[16];
    unsigned char md5B[16];
    FormatCredentials(text, user, user);
    Md5(text, std::strlen(text), md5A);
    FormatCredentials(text, password, password);
    Md5(text, std::strlen(text), md5B);
    const bool sameA = std::memcmp(md5A, digestA, 16) == 0;
    const bool sameB = std::memcmp(md5B, digestB, 16) == 0;
    TLOG("(%s:%d)Credential digests: user%s, password%s", Matched(sameA), Matched(sameB));
    return sameA && sameB ? 1 : 0;
}

void OnRecvPacket(void* engineCallback, const ReceivedDatagram& datagram) {
    CameraReply reply;
    std::memset(&reply, 0, sizeof reply);
    CPacketProcess codec;
    int type =
        codec.DecodePacket(datagram.bytes.get(), datagram.length, datagram.addressText, &reply);
    if (type == -1) {
        TLOG_NOTICE("(%s:%d)Packet iType error:%d", type);
        return;
    }
    // The address and port of an answer become a camera's URL: only a dotted IPv4 address
    // and a decimal port are a camera's, never a host name, a path or credentials.
    if ((reply.ip[0] != '\0' && !IsValidIpText(reply.ip)) ||
        (reply.httpPort[0] != '\0' && !IsValidPortText(reply.httpPort))) {
        TLOG_NOTICE("(%s:%d)Answer from %s refused: its address or port is not a camera's",
                    IpValueToText(datagram.source).c_str());
        return;
    }
    if (datagram.adapter != nullptr)
        reply.adapter = *datagram.adapter;
    reply.viaHttp = 0;
    reply.source = datagram.source;
    const auto* callback = static_cast<const EngineCallback*>(engineCallback);
    if (callback != nullptr && callback->function != nullptr) {
        callback->function(callback->context, reply);
    }
}

bool AcceptRecvPacket(const unsigned char* bytes, int length, const char* addressText, bool log) {
    switch (CheckReplyHeader(bytes, length, addressText, log)) {
        case ReplyCheck::Ok:
            return true;
        default:
            // The failed check has logged itself.
            return false;
    }
}

void SetFinderHubOptions(const HubOptions* options) {
    std::lock_guard optionsLock(g_optionsLock);
    g_options = options ? std::make_unique<HubOptions>(*options) : nullptr;
}

int GetFinderAdapters(AdapterEntry* out, int capacity) {
    std::shared_lock hubLock(g_hubLock);
    if (!g_hub)
        return 0;
    int count = 0;
    for (; count < g_hub->AdapterCount() && count < capacity; ++count) {
        out[count] = g_hub->Adapter(count);
    }
    return count;
}

unsigned GetFinderReceivePort(int adapterIndex) {
    std::shared_lock hubLock(g_hubLock);
    if (!g_hub || adapterIndex < 0 || adapterIndex >= g_hub->Receiver().SlotCount())
        return 0;
    return g_hub->Receiver().SlotPort(adapterIndex);
}

unsigned GetFinderQueuedSends() {
    std::shared_lock hubLock(g_hubLock);
    return g_hub ? static_cast<unsigned>(g_hub->QueuedSendCount()) : 0;
}
