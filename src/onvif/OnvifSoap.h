#pragma once
// The SOAP side of other makers' devices, without any transport: the request envelopes with
// their WS-Security UsernameToken, and the reading of the answers of the device and media
// services. OnvifClient runs the requests over HTTP.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace tarsel::onvif {

// Base64(SHA-1(nonce ‖ created ‖ password)) of the UsernameToken's PasswordDigest; nonce is
// the raw bytes (not their Base64).
std::string PasswordDigest(std::string_view nonce, std::string_view created, std::string_view password);
std::string Base64(std::string_view bytes);
// "2026-12-07T17:03:00.123Z" for a point in time.
std::string CreatedText(std::chrono::system_clock::time_point when);

// A wsse:Security header for user and password: 16 fresh random bytes of nonce, Created =
// now on the device's clock (UTC now + clockOffset). "" when the random source fails.
std::string SecurityHeader(std::string_view user, std::string_view password,
                           std::chrono::milliseconds clockOffset);

// A SOAP 1.2 envelope around one body element (its text uses the prefixes tds:, trt: and tt:
// that the envelope declares); header may be "".
std::string SoapEnvelope(std::string_view header, std::string_view body);

// How a SOAP answer reads.
enum class SoapStatus {
    Ok,         // a body without a Fault
    AuthFault,  // a Fault saying the credentials were refused (NotAuthorized, FailedAuthentication)
    Fault,      // any other Fault
    Malformed,  // not a SOAP envelope, or refused by the safe XML reading
};

struct SoapAnswer {
    SoapStatus status = SoapStatus::Malformed;
    std::string reason;  // the Fault's reason or the XML refusal, for the log
    pugi::xml_document doc;
    pugi::xml_node body;  // the Body element when status is Ok
};

// Reads one answer of at most 1 MiB (a larger one is Malformed).
void ReadSoapAnswer(std::string_view text, SoapAnswer& answer);

// The device's UTC clock from a GetSystemDateAndTimeResponse body, in milliseconds since
// 1970; nullopt when it has none that makes sense.
std::optional<int64_t> ParseSystemDateAndTime(pugi::xml_node body);

struct DeviceInformation {
    std::string manufacturer, model, firmware, serial, hardwareId;
};
bool ParseDeviceInformation(pugi::xml_node body, DeviceInformation& out);

struct NetworkInterface {
    std::string mac;        // as the device writes it
    bool dhcp = false;
    int prefixLength = -1;  // -1 when not told
    std::string address;    // the manual (or DHCP) IPv4 address when told
};
// The first enabled interface with IPv4 facts (else the first one).
bool ParseNetworkInterfaces(pugi::xml_node body, NetworkInterface& out);

// The media service's address from GetCapabilities or GetServices; "" when none.
std::string ParseMediaXAddr(pugi::xml_node body);
// The first media profile's token; "" when none.
std::string ParseFirstProfileToken(pugi::xml_node body);
// The snapshot URI of a GetSnapshotUriResponse; "" when none.
std::string ParseSnapshotUri(pugi::xml_node body);

}  // namespace tarsel::onvif
