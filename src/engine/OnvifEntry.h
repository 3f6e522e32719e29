#pragma once
// What the camera table knows of a device that answered the ONVIF discovery: the answer's
// facts (identity, service addresses, scopes, the adapters that heard it) and, once the
// installer's credentials were accepted, what the device told about itself. An entry holds
// it behind a shared pointer to an immutable value: readers copy entries often, and a
// device's facts change only when it answers again or is verified.
//
// An ONVIF device that is not one of this family has a row of its own, keyed by
// OnvifKey(endpoint); a camera of the family that answers ONVIF too keeps its native row,
// which gains the ONVIF facts. ONVIF devices are read-only here: they are found, verified,
// pictured and reported, never changed.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "onvif/OnvifClient.h"

struct OnvifEntry {
    std::string endpoint;               // normalised EndpointReference address
    std::vector<std::string> types;     // local names of the Types announced
    std::vector<std::string> scopes;    // percent-decoded
    std::vector<std::string> xaddrs;    // every service address, as sent
    std::string xaddr;                  // the chosen service address ("" when none)
    std::string address;                // dotted IPv4 address the device answered from
    std::string name, hardware, location;  // from the scopes
    std::string macHint;                // a MAC scope: a hint only
    std::vector<std::string> adapters;  // every local interface that heard it

    // Facts read with the credentials (factsRead once a read ran at all).
    bool factsRead = false;
    tarsel::onvif::OnvifOutcome outcome = tarsel::onvif::OnvifOutcome::NoAnswer;
    tarsel::onvif::OnvifFacts facts;
};

// The table key of an ONVIF-only device; never a MacKey.
inline constexpr std::string_view kOnvifKeyPrefix = "onvif:";
inline std::string OnvifKey(std::string_view endpoint) {
    return std::string(kOnvifKeyPrefix) + std::string(endpoint);
}
inline bool IsOnvifKey(std::string_view key) { return key.substr(0, kOnvifKeyPrefix.size()) == kOnvifKeyPrefix; }

// The maker an ONVIF device is shown with: the one it told once verified, else "".
inline const std::string& OnvifMaker(const OnvifEntry& onvif) { return onvif.facts.info.manufacturer; }
