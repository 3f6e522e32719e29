#include "onvif/WsDiscovery.h"

#include <arpa/inet.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "onvif/OnvifXml.h"

namespace tarsel::onvif {

std::string NewMessageId() {
    unsigned char b[16];
    if (RAND_bytes(b, sizeof b) != 1)
        return {};
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[64];
    std::snprintf(text, sizeof text,
                  "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
                  b[13], b[14], b[15]);
    return text;
}

std::string BuildProbe(ProbeType type, std::string_view messageId) {
    const bool nvt = type == ProbeType::NetworkVideoTransmitter;
    std::string probe =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
        " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
        " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"";
    probe += nvt ? " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\">"
                 : " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">";
    probe +=
        "<s:Header>"
        "<a:Action s:mustUnderstand=\"1\">http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
        "<a:MessageID>";
    probe += XmlEscape(messageId);
    probe +=
        "</a:MessageID>"
        "<a:ReplyTo><a:Address>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:Address></a:ReplyTo>"
        "<a:To s:mustUnderstand=\"1\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
        "</s:Header><s:Body><d:Probe><d:Types>";
    probe += nvt ? "dn:NetworkVideoTransmitter" : "tds:Device";
    probe += "</d:Types></d:Probe></s:Body></s:Envelope>";
    return probe;
}

bool ProbeSet::Make() {
    nvtMessageId = NewMessageId();
    deviceMessageId = NewMessageId();
    if (nvtMessageId.empty() || deviceMessageId.empty())
        return false;
    nvtProbe = BuildProbe(ProbeType::NetworkVideoTransmitter, nvtMessageId);
    deviceProbe = BuildProbe(ProbeType::Device, deviceMessageId);
    return true;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            const char hex[3] = {text[i + 1], text[i + 2], 0};
            out += static_cast<char>(std::strtol(hex, nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

std::vector<std::string> SplitSpace(std::string_view text) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        size_t j = i;
        while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])))
            ++j;
        if (j > i)
            parts.emplace_back(text.substr(i, j - i));
        i = j;
    }
    return parts;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Scheme(std::string_view url) {
    const size_t colon = url.find("://");
    return colon == std::string_view::npos ? std::string_view{} : url.substr(0, colon);
}

bool RoutableIPv4(const std::string& host) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) != 1)
        return false;
    const uint32_t v = ntohl(a.s_addr);
    const uint32_t top = v >> 24;
    // No link-local (a device that has not got its address yet), loopback, "this network",
    // multicast or reserved address is a place to send requests to.
    return (v >> 16) != 0xA9FE && top != 0 && top != 127 && top < 224;
}

constexpr std::string_view kOnvifScope = "onvif://www.onvif.org/";

}  // namespace

std::string NormaliseEndpoint(std::string_view address) {
    const std::vector<std::string> parts = SplitSpace(address);
    if (parts.size() != 1)
        return {};
    std::string lowered = Lower(parts[0]);
    // A UUID URN compares without regard to case; other URIs are kept as sent.
    if (lowered.starts_with("urn:uuid:"))
        return lowered;
    // Some devices send the bare UUID.
    if (lowered.size() == 36 && lowered[8] == '-' && lowered[13] == '-')
        return "urn:uuid:" + lowered;
    return parts[0];
}

std::string UrlHost(std::string_view url) {
    const size_t start = url.find("://");
    if (start == std::string_view::npos)
        return {};
    std::string_view rest = url.substr(start + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    const size_t at = rest.rfind('@');
    if (at != std::string_view::npos)
        rest = rest.substr(at + 1);
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        return close == std::string_view::npos ? std::string{} : std::string(rest.substr(1, close - 1));
    }
    return Lower(rest.substr(0, rest.find(':')));
}

std::string ChooseXAddr(const std::vector<std::string>& xaddrs, uint32_t sourceAddress) {
    in_addr source{};
    source.s_addr = htonl(sourceAddress);
    char sourceText[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &source, sourceText, sizeof sourceText);
    for (const std::string& x : xaddrs) {
        const std::string scheme = Lower(Scheme(x));
        if ((scheme == "http" || scheme == "https") && UrlHost(x) == sourceText)
            return x;
    }
    for (const std::string& x : xaddrs) {
        if (Lower(Scheme(x)) == "http" && RoutableIPv4(UrlHost(x)))
            return x;
    }
    return {};
}

namespace {

void ReadScopes(std::string_view text, ProbeMatch& match) {
    for (const std::string& raw : SplitSpace(text)) {
        std::string scope = PercentDecode(raw);
        if (Lower(scope).starts_with(kOnvifScope)) {
            const std::string_view rest = std::string_view(scope).substr(kOnvifScope.size());
            auto take = [&](std::string_view key, std::string& field) {
                if (field.empty() && rest.starts_with(key))
                    field = std::string(rest.substr(key.size()));
            };
            take("name/", match.name);
            take("hardware/", match.hardware);
            take("location/", match.location);
            take("MAC/", match.macHint);
            take("mac/", match.macHint);
        }
        match.scopes.push_back(std::move(scope));
    }
}

// The local names of the Types QNames whose prefix is bound to an ONVIF namespace: a
// printer's "wsdp:Device" is not an ONVIF device.
void ReadTypes(pugi::xml_node typesNode, ProbeMatch& match) {
    for (const std::string& qname : SplitSpace(TrimmedText(typesNode))) {
        const std::string ns = NamespaceOf(typesNode, qname);
        if (ns.starts_with("http://www.onvif.org/"))
            match.types.emplace_back(LocalName(qname));
    }
}

bool IsOnvif(const ProbeMatch& match) {
    for (const std::string& t : match.types) {
        if (t == "NetworkVideoTransmitter" || t == "Device")
            return true;
    }
    for (const std::string& s : match.scopes) {
        if (Lower(s).starts_with(kOnvifScope))
            return true;
    }
    return false;
}

}  // namespace

ProbeAnswer ParseProbeAnswer(std::string_view datagram, uint32_t sourceAddress,
                             const ProbeSet& probes) {
    ProbeAnswer answer;
    pugi::xml_document doc;
    const XmlError xml = LoadXml(doc, datagram, kDatagramLimits);
    if (xml != XmlError::None) {
        answer.error = ProbeError::Xml;
        answer.reason = XmlErrorText(xml);
        return answer;
    }
    const pugi::xml_node envelope = doc.document_element();
    const char* soap = IsElement(envelope, kNsSoap12, "Envelope") ? kNsSoap12 : kNsSoap11;
    const pugi::xml_node header = Child(envelope, soap, "Header");
    const pugi::xml_node body = Child(envelope, soap, "Body");
    if (!IsElement(envelope, soap, "Envelope") || !body) {
        answer.error = ProbeError::NotSoap;
        answer.reason = "no SOAP envelope and body";
        return answer;
    }
    const std::string relatesTo = TrimmedText(Child(header, kNsAddressing, "RelatesTo"));
    if (!probes.Relates(relatesTo)) {
        answer.error = ProbeError::NotRelated;
        answer.reason = relatesTo.empty() ? "no RelatesTo" : "RelatesTo is not one of this search's MessageIDs";
        return answer;
    }
    const pugi::xml_node matches = Child(body, kNsDiscovery, "ProbeMatches");
    if (!matches) {
        answer.error = ProbeError::NotProbeMatches;
        answer.reason = "not a ProbeMatches answer";
        return answer;
    }
    for (pugi::xml_node m = matches.first_child(); m; m = m.next_sibling()) {
        if (!IsElement(m, kNsDiscovery, "ProbeMatch"))
            continue;
        ProbeMatch match;
        const pugi::xml_node reference = Child(m, kNsAddressing, "EndpointReference");
        match.endpoint = NormaliseEndpoint(TrimmedText(Child(reference, kNsAddressing, "Address")));
        ReadTypes(Child(m, kNsDiscovery, "Types"), match);
        ReadScopes(TrimmedText(Child(m, kNsDiscovery, "Scopes")), match);
        for (std::string& x : SplitSpace(TrimmedText(Child(m, kNsDiscovery, "XAddrs"))))
            match.xaddrs.push_back(std::move(x));
        match.metadataVersion = static_cast<uint32_t>(
            std::strtoul(TrimmedText(Child(m, kNsDiscovery, "MetadataVersion")).c_str(), nullptr, 10));
        if (match.endpoint.empty() || match.xaddrs.empty() || !IsOnvif(match)) {
            ++answer.skipped;
            continue;
        }
        match.xaddr = ChooseXAddr(match.xaddrs, sourceAddress);
        match.address = UrlHost(match.xaddr);
        answer.matches.push_back(std::move(match));
    }
    if (answer.matches.empty()) {
        answer.error = ProbeError::NoMatch;
        answer.reason = answer.skipped == 0 ? "empty ProbeMatches"
                                            : "no ProbeMatch of an ONVIF device with an endpoint and XAddrs";
    }
    return answer;
}

}  // namespace tarsel::onvif
