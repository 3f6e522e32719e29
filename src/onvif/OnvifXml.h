#pragma once
// Safe reading of the XML that other makers' devices send: a cheap scan refuses what no
// SOAP message may hold (a DOCTYPE, hence any entity) and anything deeper or larger than a
// real answer before pugixml builds a tree; the tree is then read by local name with the
// namespace checked, as prefixes are the sender's free choice.

#include <cstddef>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace tarsel::onvif {

// Namespaces of the messages read and written.
inline constexpr const char* kNsSoap12 = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char* kNsSoap11 = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr const char* kNsAddressing = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr const char* kNsDiscovery = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr const char* kNsNetwork = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr const char* kNsDevice = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr const char* kNsMedia = "http://www.onvif.org/ver10/media/wsdl";
inline constexpr const char* kNsSchema = "http://www.onvif.org/ver10/schema";

// Why a text was not read. Every refusal is counted and logged by the caller; none throws.
enum class XmlError {
    None,
    TooLarge,   // over the caller's size limit
    Doctype,    // a DOCTYPE or another markup declaration: refused, never expanded
    TooDeep,    // element nesting over the limit
    TooMany,    // more elements than the limit
    Malformed,  // not well-formed XML
};

const char* XmlErrorText(XmlError error);

struct XmlLimits {
    size_t maxBytes;
    int maxDepth;
    int maxElements;
};

// The limits of a discovery answer (a datagram) and of a SOAP answer over HTTP.
inline constexpr XmlLimits kDatagramLimits{64 * 1024, 32, 2048};
inline constexpr XmlLimits kSoapLimits{1024 * 1024, 48, 20000};

// Scans text without building anything: XmlError::None when it may be handed to pugixml.
XmlError PrescanXml(std::string_view text, const XmlLimits& limits);

// Prescans, then parses into doc with no DOCTYPE or entity processing. None on success.
XmlError LoadXml(pugi::xml_document& doc, std::string_view text, const XmlLimits& limits);

// The part of a name after its prefix ("wsa:To" -> "To").
std::string_view LocalName(std::string_view qualified);
// The namespace the prefix of qualified is bound to at node (the default namespace for
// an unprefixed name); "" when unbound.
std::string NamespaceOf(pugi::xml_node node, std::string_view qualified);
// True when node is an element with this local name in this namespace.
bool IsElement(pugi::xml_node node, const char* ns, std::string_view local);
// The first child element of node with this local name and namespace.
pugi::xml_node Child(pugi::xml_node node, const char* ns, std::string_view local);
// The first element below node (any depth, in document order) with this name.
pugi::xml_node Descendant(pugi::xml_node node, const char* ns, std::string_view local);
// The text of node's children, with surrounding white space removed.
std::string TrimmedText(pugi::xml_node node);

// Escapes text for an XML element or attribute value.
std::string XmlEscape(std::string_view text);

}  // namespace tarsel::onvif
