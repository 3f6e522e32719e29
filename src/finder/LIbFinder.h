#pragma once
// The engine's face of the discovery protocol: one process-wide socket hub, replaced at every
// search, that sends every request on every adapter and hands every decoded reply to the
// engine's callback.

#include "LibPacket/PacketProcess.h"
#include "LibSocket/EngineCallback.h"

// Destroys the current hub, if any, and creates a new one with a receive socket on every
// adapter. Returns 0.
int CreateRecvPacket(const EngineCallback* engineCallback);

// Destroys the current hub, if any. When it returns, no engine callback is running or will
// start for that hub.
void DestroyRecvPacket();

// Queues one request on every adapter, broadcast then multicast. 0, or -1 when queuing
// failed (or there is no hub).
int SendPacketData(uint32_t type, const char* targetMacText, const char* user, const char* password,
                   const char* requestText);

// 1 when the camera's digests match MD5("user/user") and MD5("password/password").
int CheckAuthDigest(const char* user, const char* password, const unsigned char digestA[16],
                    const unsigned char digestB[16]);

struct ReceivedDatagram;
struct HubOptions;

// The per-datagram handler installed in every receive slot: decodes the datagram and, when
// it passes the checks, hands the reply to the engine callback given as handlerContext.
void OnRecvPacket(void* engineCallback, const ReceivedDatagram& datagram);

// The receive-side check installed in every receive slot: whether a datagram is a camera's
// reply for the adapter it belongs to at all, before it is queued for OnRecvPacket.
bool AcceptRecvPacket(const unsigned char* bytes, int length, const char* addressText, bool log);

// Ends the current hub's receiving and returns once every reply received so far has been
// handed to the engine callback. For a program that lists what answered within its wait:
// nothing that arrived in time is left behind, nothing later is taken.
void FinishFinderReceiving();

// Wiring for the hubs created from now on (adapters, ports, sender); nullptr restores the
// real host. Tests use it so that nothing leaves 127.0.0.1.
void SetFinderHubOptions(const HubOptions* options);

// The current hub's adapter table (copied out), or 0 entries when there is no hub.
int GetFinderAdapters(AdapterEntry* out, int capacity);

// The local port of the current hub's receive socket for one adapter, or 0.
unsigned GetFinderReceivePort(int adapterIndex);

// Requests queued on the current hub and not yet handed to a socket (0 without a hub). A
// short-lived program waits for 0 before it lets the hub go.
unsigned GetFinderQueuedSends();
