#include "onvif/OnvifSoap.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "onvif/OnvifXml.h"

namespace tarsel::onvif {

namespace {

constexpr const char* kNsSecurity =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
constexpr const char* kNsUtility =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";

}  // namespace

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string PasswordDigest(std::string_view nonce, std::string_view created, std::string_view password) {
    std::string joined;
    joined.reserve(nonce.size() + created.size() + password.size());
    joined.append(nonce).append(created).append(password);
    unsigned char hash[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(joined.data()), joined.size(), hash);
    return Base64(std::string_view(reinterpret_cast<const char*>(hash), sizeof hash));
}

std::string CreatedText(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    const int millis = static_cast<int>(((ms % 1000) + 1000) % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

std::string SecurityHeader(std::string_view user, std::string_view password,
                           std::chrono::milliseconds clockOffset) {
    unsigned char nonce[16];
    if (RAND_bytes(nonce, sizeof nonce) != 1)
        return {};
    const std::string_view raw(reinterpret_cast<const char*>(nonce), sizeof nonce);
    const std::string created = CreatedText(std::chrono::system_clock::now() + clockOffset);
    std::string h = "<wsse:Security s:mustUnderstand=\"1\" xmlns:wsse=\"";
    h += kNsSecurity;
    h += "\" xmlns:wsu=\"";
    h += kNsUtility;
    h += "\"><wsse:UsernameToken><wsse:Username>";
    h += XmlEscape(user);
    h += "</wsse:Username><wsse:Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">";
    h += PasswordDigest(raw, created, password);
    h += "</wsse:Password><wsse:Nonce EncodingType=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-soap-message-security-1.0#Base64Binary\">";
    h += Base64(raw);
    h += "</wsse:Nonce><wsu:Created>";
    h += created;
    h += "</wsu:Created></wsse:UsernameToken></wsse:Security>";
    return h;
}

std::string SoapEnvelope(std::string_view header, std::string_view body) {
    std::string e =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
        " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
        " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
        " xmlns:tt=\"http://www.onvif.org/ver10/schema\">";
    if (!header.empty()) {
        e += "<s:Header>";
        e += header;
        e += "</s:Header>";
    }
    e += "<s:Body>";
    e += body;
    e += "</s:Body></s:Envelope>";
    return e;
}

void ReadSoapAnswer(std::string_view text, SoapAnswer& answer) {
    answer.status = SoapStatus::Malformed;
    answer.body = {};
    const XmlError xml = LoadXml(answer.doc, text, kSoapLimits);
    if (xml != XmlError::None) {
        answer.reason = XmlErrorText(xml);
        return;
    }
    const pugi::xml_node envelope = answer.doc.document_element();
    const char* soap = IsElement(envelope, kNsSoap12, "Envelope") ? kNsSoap12 : kNsSoap11;
    const pugi::xml_node body = Child(envelope, soap, "Body");
    if (!IsElement(envelope, soap, "Envelope") || !body) {
        answer.reason = "no SOAP envelope and body";
        return;
    }
    const pugi::xml_node fault = Child(body, soap, "Fault");
    if (!fault) {
        answer.status = SoapStatus::Ok;
        answer.body = body;
        return;
    }
    answer.status = SoapStatus::Fault;
    // The reason text (SOAP 1.2 Reason/Text, 1.1 faultstring) and every Subcode's Value.
    pugi::xml_node reason = Descendant(fault, soap, "Text");
    if (!reason)
        reason = fault.child("faultstring");
    answer.reason = TrimmedText(reason);
    for (pugi::xml_node code = Child(fault, soap, "Code"); code; code = Child(code, soap, "Subcode")) {
        const std::string value = TrimmedText(Child(code, soap, "Value"));
        const std::string_view local = LocalName(value);
        if (local == "NotAuthorized" || local == "FailedAuthentication" || local == "FailedCheck")
            answer.status = SoapStatus::AuthFault;
        if (answer.reason.empty())
            answer.reason = value;
    }
    const std::string faultCode = TrimmedText(fault.child("faultcode"));
    if (LocalName(faultCode) == "FailedAuthentication")
        answer.status = SoapStatus::AuthFault;
}

namespace {

std::string TextOf(pugi::xml_node parent, const char* ns, std::string_view local) {
    return TrimmedText(Child(parent, ns, local));
}

int IntOf(pugi::xml_node parent, std::string_view local) {
    const std::string text = TextOf(parent, kNsSchema, local);
    if (text.empty() || text.size() > 6)
        return -1;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' ? static_cast<int>(v) : -1;
}

}  // namespace

std::optional<int64_t> ParseSystemDateAndTime(pugi::xml_node body) {
    const pugi::xml_node utc = Descendant(body, kNsSchema, "UTCDateTime");
    const pugi::xml_node date = Child(utc, kNsSchema, "Date");
    const pugi::xml_node time = Child(utc, kNsSchema, "Time");
    std::tm t{};
    t.tm_year = IntOf(date, "Year") - 1900;
    t.tm_mon = IntOf(date, "Month") - 1;
    t.tm_mday = IntOf(date, "Day");
    t.tm_hour = IntOf(time, "Hour");
    t.tm_min = IntOf(time, "Minute");
    t.tm_sec = IntOf(time, "Second");
    if (t.tm_year < 70 || t.tm_year > 1100 || t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 ||
        t.tm_mday > 31 || t.tm_hour < 0 || t.tm_hour > 23 || t.tm_min < 0 || t.tm_min > 59 ||
        t.tm_sec < 0 || t.tm_sec > 60)
        return std::nullopt;
    return static_cast<int64_t>(timegm(&t)) * 1000;
}

bool ParseDeviceInformation(pugi::xml_node body, DeviceInformation& out) {
    const pugi::xml_node r = Child(body, kNsDevice, "GetDeviceInformationResponse");
    if (!r)
        return false;
    out.manufacturer = TextOf(r, kNsDevice, "Manufacturer");
    out.model = TextOf(r, kNsDevice, "Model");
    out.firmware = TextOf(r, kNsDevice, "FirmwareVersion");
    out.serial = TextOf(r, kNsDevice, "SerialNumber");
    out.hardwareId = TextOf(r, kNsDevice, "HardwareId");
    return true;
}

bool ParseNetworkInterfaces(pugi::xml_node body, NetworkInterface& out) {
    const pugi::xml_node r = Child(body, kNsDevice, "GetNetworkInterfacesResponse");
    pugi::xml_node chosen;
    for (pugi::xml_node n = r.first_child(); n; n = n.next_sibling()) {
        if (!IsElement(n, kNsDevice, "NetworkInterfaces"))
            continue;
        if (!chosen)
            chosen = n;
        if (TextOf(n, kNsSchema, "Enabled") != "false" && Child(n, kNsSchema, "IPv4")) {
            chosen = n;
            break;
        }
    }
    if (!chosen)
        return false;
    out.mac = TextOf(Child(chosen, kNsSchema, "Info"), kNsSchema, "HwAddress");
    const pugi::xml_node config = Child(Child(chosen, kNsSchema, "IPv4"), kNsSchema, "Config");
    out.dhcp = TextOf(config, kNsSchema, "DHCP") == "true";
    pugi::xml_node address = Child(config, kNsSchema, out.dhcp ? "FromDHCP" : "Manual");
    if (!address)
        address = Child(config, kNsSchema, "Manual");
    out.address = TextOf(address, kNsSchema, "Address");
    out.prefixLength = IntOf(address, "PrefixLength");
    if (out.prefixLength > 32)
        out.prefixLength = -1;
    return true;
}

std::string ParseMediaXAddr(pugi::xml_node body) {
    if (const pugi::xml_node caps = Descendant(body, kNsSchema, "Media"))
        return TextOf(caps, kNsSchema, "XAddr");
    const pugi::xml_node r = Child(body, kNsDevice, "GetServicesResponse");
    for (pugi::xml_node s = r.first_child(); s; s = s.next_sibling()) {
        if (IsElement(s, kNsDevice, "Service") && TextOf(s, kNsDevice, "Namespace") == kNsMedia)
            return TextOf(s, kNsDevice, "XAddr");
    }
    return {};
}

std::string ParseFirstProfileToken(pugi::xml_node body) {
    const pugi::xml_node r = Child(body, kNsMedia, "GetProfilesResponse");
    return Child(r, kNsMedia, "Profiles").attribute("token").value();
}

std::string ParseSnapshotUri(pugi::xml_node body) {
    const pugi::xml_node r = Child(body, kNsMedia, "GetSnapshotUriResponse");
    return TextOf(Child(r, kNsMedia, "MediaUri"), kNsSchema, "Uri");
}

}  // namespace tarsel::onvif
