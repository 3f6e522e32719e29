// What a simulated ONVIF device answers: its ProbeMatch and its SOAP device and media
// service, with the faults of its configuration.

#include <openssl/evp.h>

#include <chrono>
#include <ctime>

#include "OnvifSim.h"
#include "onvif/OnvifSoap.h"
#include "onvif/OnvifXml.h"
#include "onvif/WsDiscovery.h"

namespace camsim {
namespace {

namespace ov = tarsel::onvif;

constexpr const char* kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
    " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
    " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\""
    " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
    " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
    " xmlns:tt=\"http://www.onvif.org/ver10/schema\""
    " xmlns:ter=\"http://www.onvif.org/ver10/error\">";

std::string Hostile(const std::string& kind, size_t room, const std::string& relatesTo) {
    std::string head = std::string(kHead) + "<s:Header><a:RelatesTo>" + relatesTo + "</a:RelatesTo></s:Header><s:Body>";
    if (kind == "doctype")
        return "<?xml version=\"1.0\"?><!DOCTYPE s:Envelope [<!ENTITY a \"aaaaaaaaaa\">"
               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
               head + "<d:ProbeMatches>&c;</d:ProbeMatches></s:Body></s:Envelope>";
    if (kind == "deep") {
        const size_t levels = std::min<size_t>(100000, (room - head.size() - 64) / 7);
        std::string text = head;
        for (size_t i = 0; i < levels; ++i) text += "<x>";
        for (size_t i = 0; i < levels; ++i) text += "</x>";
        return text;
    }
    // "huge": as large as the channel carries, in many small elements.
    std::string text = head;
    while (text.size() + 64 < room) text += "<y>pad</y>";
    return text + "</s:Body></s:Envelope>";
}

std::string MessageId(const std::string& probeId, const OnvifDeviceConfig& device) {
    return device.faults.echoMessageId ? probeId : ov::NewMessageId();
}

std::string DeviceUrl(const OnvifDeviceConfig& d, const std::string& path) {
    return "http://" + d.ip + ":" + std::to_string(d.port) + path;
}

}  // namespace

std::string AnswerProbe(const OnvifDeviceConfig& device, const std::string& probe) {
    pugi::xml_document doc;
    if (ov::LoadXml(doc, probe, ov::kDatagramLimits) != ov::XmlError::None) return {};
    const pugi::xml_node envelope = doc.document_element();
    const pugi::xml_node header = ov::Child(envelope, ov::kNsSoap12, "Header");
    const pugi::xml_node probeNode =
        ov::Child(ov::Child(envelope, ov::kNsSoap12, "Body"), ov::kNsDiscovery, "Probe");
    if (!probeNode) return {};
    const std::string id = ov::TrimmedText(ov::Child(header, ov::kNsAddressing, "MessageID"));
    // A device answers a Probe only when it has every type listed (none listed: any device).
    const pugi::xml_node typesNode = ov::Child(probeNode, ov::kNsDiscovery, "Types");
    std::string types = ov::TrimmedText(typesNode);
    for (size_t at = 0; at < types.size();) {
        const size_t end = std::min(types.find(' ', at), types.size());
        const std::string qname = types.substr(at, end - at);
        const std::string ns = ov::NamespaceOf(typesNode, qname);
        const std::string_view local = ov::LocalName(qname);
        const bool has = (local == "NetworkVideoTransmitter" && ns == ov::kNsNetwork && device.answersNvt) ||
                         (local == "Device" && ns == ov::kNsDevice && device.answersDevice);
        if (!qname.empty() && !has) return {};
        at = end + 1;
    }
    const OnvifFaults& f = device.faults;
    if (!f.hostileXml.empty()) return Hostile(f.hostileXml, 65000, id);
    std::string answer = kHead;
    answer += "<s:Header><a:MessageID>" + MessageId(id, device) + "</a:MessageID><a:RelatesTo>" +
              ov::XmlEscape(id) +
              "</a:RelatesTo><a:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:To>"
              "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>"
              "</s:Header><s:Body><d:ProbeMatches>";
    if (!f.emptyProbeMatches) {
        std::string typeList;
        if (device.answersNvt) typeList += "dn:NetworkVideoTransmitter";
        if (device.answersDevice) typeList += typeList.empty() ? "tds:Device" : " tds:Device";
        std::string scopes;
        for (const std::string& s : device.scopes) scopes += (scopes.empty() ? "" : " ") + ov::XmlEscape(s);
        std::string xaddrs;
        if (f.linkLocalFirst) xaddrs += "http://169.254.10.20/onvif/device_service ";
        xaddrs += DeviceUrl(device, "/onvif/device_service");
        if (f.ipv6XAddrs) xaddrs += " http://[fe80::21b:2cff:fe00:1]/onvif/device_service";
        answer += "<d:ProbeMatch><a:EndpointReference><a:Address>" + device.endpoint +
                  "</a:Address></a:EndpointReference><d:Types>" + typeList + "</d:Types><d:Scopes>" +
                  scopes + "</d:Scopes>";
        if (!f.noXAddrs) answer += "<d:XAddrs>" + xaddrs + "</d:XAddrs>";
        answer += "<d:MetadataVersion>1</d:MetadataVersion></d:ProbeMatch>";
    }
    return answer + "</d:ProbeMatches></s:Body></s:Envelope>";
}

namespace {

std::string Body(const std::string& content) {
    return std::string(kHead) + "<s:Body>" + content + "</s:Body></s:Envelope>";
}

SoapReply Fault(unsigned status, const char* code, const char* subcode, const char* reason) {
    return {status, Body(std::string("<s:Fault><s:Code><s:Value>") + code +
                         "</s:Value><s:Subcode><s:Value>" + subcode + "</s:Value></s:Subcode></s:Code>"
                         "<s:Reason><s:Text xml:lang=\"en\">" + reason + "</s:Text></s:Reason></s:Fault>")};
}

std::string Base64Decode(const std::string& text) {
    std::string out(text.size(), '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0) return {};
    size_t length = static_cast<size_t>(n);
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) --length;  // padding
    out.resize(length);
    return out;
}

// Seconds since 1970 of "2026-12-07T17:03:00.123Z"; -1 when it does not read.
long long CreatedSeconds(const std::string& text) {
    std::tm t{};
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &t.tm_year, &t.tm_mon, &t.tm_mday,
                    &t.tm_hour, &t.tm_min, &t.tm_sec) != 6)
        return -1;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<long long>(timegm(&t));
}

long long DeviceNow(const OnvifDeviceConfig& d) {
    return static_cast<long long>(std::time(nullptr)) + d.clockOffsetSec;
}

// The UsernameToken check of a device: the digest over the nonce, the Created time and its
// password, and a Created time within five minutes of its own clock.
bool TokenValid(const OnvifDeviceConfig& d, pugi::xml_node header) {
    namespace x = tarsel::onvif;
    const char* wsse = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
    const char* wsu = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
    const pugi::xml_node token = x::Child(x::Child(header, wsse, "Security"), wsse, "UsernameToken");
    const std::string user = x::TrimmedText(x::Child(token, wsse, "Username"));
    const std::string digest = x::TrimmedText(x::Child(token, wsse, "Password"));
    const std::string nonce = Base64Decode(x::TrimmedText(x::Child(token, wsse, "Nonce")));
    const std::string created = x::TrimmedText(x::Child(token, wsu, "Created"));
    const long long when = CreatedSeconds(created);
    return user == d.user && !nonce.empty() && when >= 0 && std::llabs(when - DeviceNow(d)) <= 300 &&
           digest == x::PasswordDigest(nonce, created, d.password);
}

std::string DateTime(const OnvifDeviceConfig& d) {
    std::time_t now = static_cast<std::time_t>(DeviceNow(d) + (d.faults.localTimeAsUtc ? 7200 : 0));
    std::tm t{};
    gmtime_r(&now, &t);
    char text[1024];
    std::snprintf(text, sizeof text,
                  "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>NTP</tt:DateTimeType>"
                  "<tt:DaylightSavings>false</tt:DaylightSavings><tt:UTCDateTime><tt:Time><tt:Hour>%d</tt:Hour>"
                  "<tt:Minute>%d</tt:Minute><tt:Second>%d</tt:Second></tt:Time><tt:Date><tt:Year>%d</tt:Year>"
                  "<tt:Month>%d</tt:Month><tt:Day>%d</tt:Day></tt:Date></tt:UTCDateTime>"
                  "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>",
                  t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

}  // namespace

SoapReply AnswerSoap(const OnvifDeviceConfig& d, const std::string& path, const std::string& request,
                     bool digestAuthorised) {
    namespace x = tarsel::onvif;
    if (!d.faults.hostileXml.empty()) return {200, Hostile(d.faults.hostileXml, 1100 * 1024, "")};
    pugi::xml_document doc;
    // A client that offers HTTP Digest sends its first request without a body, to be told to
    // authenticate; a Digest-only device challenges before it reads anything.
    if (x::LoadXml(doc, request, x::kSoapLimits) != x::XmlError::None)
        return d.httpDigestOnly && !digestAuthorised ? SoapReply{401, ""}
                                                     : Fault(400, "s:Sender", "ter:WellFormed", "not well-formed");
    const pugi::xml_node envelope = doc.document_element();
    const pugi::xml_node body = x::Child(envelope, x::kNsSoap12, "Body");
    const pugi::xml_node call = body.first_child();
    const std::string_view action = x::LocalName(call.name());
    if (!call) return Fault(400, "s:Sender", "ter:WellFormed", "no request");
    if (action == "GetSystemDateAndTime") return {200, Body(DateTime(d))};
    if (d.httpDigestOnly ? !digestAuthorised : !TokenValid(d, x::Child(envelope, x::kNsSoap12, "Header"))) {
        if (d.httpDigestOnly) return {401, ""};
        return Fault(400, "s:Sender", "ter:NotAuthorized", "Sender not Authorized");
    }
    const bool media = path == "/onvif/media_service";
    if (!media && action == "GetDeviceInformation")
        return {200, Body("<tds:GetDeviceInformationResponse><tds:Manufacturer>" + x::XmlEscape(d.maker) +
                          "</tds:Manufacturer><tds:Model>" + x::XmlEscape(d.model) + "</tds:Model><tds:FirmwareVersion>" +
                          x::XmlEscape(d.firmware) + "</tds:FirmwareVersion><tds:SerialNumber>" + x::XmlEscape(d.serial) +
                          "</tds:SerialNumber><tds:HardwareId>" + x::XmlEscape(d.hardware) +
                          "</tds:HardwareId></tds:GetDeviceInformationResponse>")};
    if (!media && action == "GetNetworkInterfaces")
        return {200, Body("<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"eth0\"><tt:Enabled>true</tt:Enabled>"
                          "<tt:Info><tt:Name>eth0</tt:Name><tt:HwAddress>" + d.mac + "</tt:HwAddress></tt:Info>"
                          "<tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config><tt:Manual><tt:Address>" + d.ip +
                          "</tt:Address><tt:PrefixLength>" + std::to_string(d.prefixLength) +
                          "</tt:PrefixLength></tt:Manual><tt:DHCP>" + (d.dhcp ? "true" : "false") + "</tt:DHCP>"
                          "</tt:Config></tt:IPv4></tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>")};
    const std::string mediaUrl = d.faults.mediaOtherHost ? "http://192.0.2.7/onvif/media_service"
                                                         : DeviceUrl(d, "/onvif/media_service");
    if (!media && action == "GetCapabilities")
        return {200, Body("<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device><tt:XAddr>" +
                          DeviceUrl(d, "/onvif/device_service") + "</tt:XAddr></tt:Device><tt:Media><tt:XAddr>" +
                          mediaUrl + "</tt:XAddr></tt:Media></tds:Capabilities></tds:GetCapabilitiesResponse>")};
    if (!media && action == "GetServices")
        return {200, Body("<tds:GetServicesResponse><tds:Service><tds:Namespace>http://www.onvif.org/ver10/media/wsdl"
                          "</tds:Namespace><tds:XAddr>" + mediaUrl + "</tds:XAddr><tds:Version><tt:Major>2</tt:Major>"
                          "<tt:Minor>0</tt:Minor></tds:Version></tds:Service></tds:GetServicesResponse>")};
    if (media && action == "GetProfiles")
        return {200, Body("<trt:GetProfilesResponse><trt:Profiles token=\"profile_1\" fixed=\"true\"><tt:Name>main"
                          "</tt:Name></trt:Profiles></trt:GetProfilesResponse>")};
    if (media && action == "GetSnapshotUri")
        return {200, Body("<trt:GetSnapshotUriResponse><trt:MediaUri><tt:Uri>" +
                          x::XmlEscape(d.snapshotUri.empty() ? DeviceUrl(d, "/onvif/snapshot.jpg") : d.snapshotUri) +
                          "</tt:Uri><tt:InvalidAfterConnect>false</tt:InvalidAfterConnect><tt:InvalidAfterReboot>false"
                          "</tt:InvalidAfterReboot><tt:Timeout>PT0S</tt:Timeout></trt:MediaUri></trt:GetSnapshotUriResponse>")};
    return Fault(400, "s:Sender", "ter:ActionNotSupported", "Optional Action Not Implemented");
}

}  // namespace camsim
