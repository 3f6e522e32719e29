#pragma once
// WS-Discovery (2005/04, SOAP 1.2) for other makers' devices: the Probe text and the reading
// of ProbeMatches answers. No sockets here; OnvifProbe sends and receives.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel::onvif {

// The largest answer read. A datagram that was cut to fit the receive buffer (MSG_TRUNC)
// or is larger than this is dropped by the receiver before it reaches the parser.
inline constexpr size_t kProbeAnswerMax = 64 * 1024;
inline constexpr uint16_t kDiscoveryPort = 3702;
inline constexpr const char* kDiscoveryGroup = "239.255.255.250";

// The two device types asked for, each in a Probe of its own: devices answer a Probe only
// when they have every listed type, and many have just one of the two.
enum class ProbeType { NetworkVideoTransmitter, Device };

// "urn:uuid:" and a version 4 UUID from OpenSSL's random bytes; "" when they fail.
std::string NewMessageId();

// One compact line of XML: a Probe for one type under this MessageID.
std::string BuildProbe(ProbeType type, std::string_view messageId);

// The two probes of one search with their MessageIDs (only answers relating to one of them
// count).
struct ProbeSet {
    std::string nvtMessageId;
    std::string deviceMessageId;
    std::string nvtProbe;
    std::string deviceProbe;

    // False when the random source failed (nothing can be sent).
    bool Make();
    bool Relates(std::string_view relatesTo) const {
        return !relatesTo.empty() && (relatesTo == nvtMessageId || relatesTo == deviceMessageId);
    }
};

// What one ProbeMatch says about a device.
struct ProbeMatch {
    std::string endpoint;               // normalised EndpointReference address (identity)
    std::vector<std::string> types;     // local names: "NetworkVideoTransmitter", "Device", ...
    std::vector<std::string> scopes;    // percent-decoded
    std::vector<std::string> xaddrs;    // every service address, as sent
    std::string xaddr;                  // the chosen one ("" when none qualifies)
    std::string address;                // host of the chosen XAddr (dotted IPv4) or ""
    std::string name;                   // from onvif://www.onvif.org/name/...
    std::string hardware;               // .../hardware/...
    std::string location;               // .../location/...
    std::string macHint;                // a MAC scope: a hint only, never an identity
    uint32_t metadataVersion = 0;
};

// Why an answer gave no device. The parser never throws; the caller counts and logs.
enum class ProbeError {
    None,
    Xml,            // refused by the safe XML reading (see reason)
    NotSoap,        // no SOAP envelope/body
    NotRelated,     // no RelatesTo, or one that is none of this search's MessageIDs
    NotProbeMatches,// a message of another kind (a Probe, Hello, Bye...)
    NoMatch,        // ProbeMatches without a usable ONVIF ProbeMatch
};

struct ProbeAnswer {
    ProbeError error = ProbeError::None;
    std::string reason;               // for the log
    std::vector<ProbeMatch> matches;  // every ONVIF match with XAddrs
    int skipped = 0;                  // matches dropped (no XAddrs, not ONVIF, no endpoint)
};

// Reads one answer datagram. sourceAddress is the sender's IPv4 address (host order), used
// to choose each device's XAddr.
ProbeAnswer ParseProbeAnswer(std::string_view datagram, uint32_t sourceAddress,
                             const ProbeSet& probes);

// Helpers shared with the SOAP client and the tests.
std::string PercentDecode(std::string_view text);
// Lower-cases a "urn:uuid:" address and strips white space; other URIs only trimmed.
std::string NormaliseEndpoint(std::string_view address);
// The host of an absolute URL ("http://10.0.0.5:80/x" -> "10.0.0.5", IPv6 without
// brackets); "" when there is none.
std::string UrlHost(std::string_view url);
// The XAddr to use, as described for ProbeMatch::xaddr.
std::string ChooseXAddr(const std::vector<std::string>& xaddrs, uint32_t sourceAddress);

}  // namespace tarsel::onvif
