#pragma once
// What the socket hub hands each decoded reply to: the engine's receiver hook. It lives with
// the sockets that call it, so the sockets need nothing of the finder above them.

#include "LibPacket/PacketProcess.h"

// Called on the receiver's dispatch thread with each decoded reply; the reply lives only for
// the duration of the call.
struct EngineCallback {
    void (*function)(void* context, const CameraReply& reply);
    void* context;
};
