#pragma once
// Reading an ONVIF device's facts with the installer's credentials: its clock first (no
// credentials), then, authenticated, its identity, network interface, media service,
// first profile and snapshot URI. Credentials go only to the address the device answered
// discovery from.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "onvif/OnvifSoap.h"

struct CurlBuffer;

namespace tarsel::onvif {

enum class OnvifOutcome {
    Verified,            // the device accepted the credentials
    CredentialsRefused,  // it answered, and refused them
    NoAnswer,            // nothing came back (no connection, time-out)
    BadAnswer,           // it answered with something unusable (fault, malformed, too large)
    OtherHost,           // its service address is not the address it answered from: not contacted
};

const char* OnvifOutcomeText(OnvifOutcome outcome);

struct OnvifFacts {
    bool clockKnown = false;
    std::chrono::milliseconds clockOffset{0};  // device clock - our clock
    bool httpDigest = false;                   // the device wanted HTTP Digest over WS-Security
    DeviceInformation info;
    bool interfaceKnown = false;
    NetworkInterface network;
    std::string mediaXAddr;
    std::string profileToken;
    std::string snapshotUri;         // as the device gave it, even when not usable
    bool snapshotOtherHost = false;  // snapshotUri (or mediaXAddr) names another host
};

struct OnvifClientOptions {
    int requestTimeoutMs = 5000;  // each SOAP request, connection included
};

// xaddr: the device's chosen service address; ownAddress: the dotted IPv4 address the
// device answered discovery from (credentials go to no other host). Fills facts as far as
// it gets; reason says why it stopped (for the log). Never throws.
OnvifOutcome ReadOnvifFacts(const std::string& xaddr, const std::string& ownAddress,
                            const std::string& user, const std::string& password, OnvifFacts& facts,
                            std::string* reason, const OnvifClientOptions& options = {});

// Fetches the picture of facts.snapshotUri with the credentials (HTTP Digest), only when it
// is on ownAddress. 0 for a picture; -2 for a URI on another host or none (nothing sent);
// else the fetch's HTTP status or libcurl result.
int FetchOnvifSnapshot(const OnvifFacts& facts, const std::string& ownAddress, const std::string& user,
                       const std::string& password, ::CurlBuffer& picture);

}  // namespace tarsel::onvif
