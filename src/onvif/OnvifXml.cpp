#include "onvif/OnvifXml.h"

#include <cstring>

namespace tarsel::onvif {

const char* XmlErrorText(XmlError error) {
    switch (error) {
    case XmlError::None: return "ok";
    case XmlError::TooLarge: return "answer too large";
    case XmlError::Doctype: return "DOCTYPE or markup declaration refused";
    case XmlError::TooDeep: return "elements nested too deep";
    case XmlError::TooMany: return "too many elements";
    case XmlError::Malformed: return "not well-formed XML";
    }
    return "?";
}

namespace {

// Index of the end of the first occurrence of token at or after from; npos when absent.
size_t SkipPast(std::string_view text, size_t from, std::string_view token) {
    const size_t at = text.find(token, from);
    return at == std::string_view::npos ? at : at + token.size();
}

}  // namespace

XmlError PrescanXml(std::string_view text, const XmlLimits& limits) {
    if (text.size() > limits.maxBytes)
        return XmlError::TooLarge;
    int depth = 0;
    int elements = 0;
    size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        if (rest.size() < 2)
            return XmlError::Malformed;
        if (rest.starts_with("<!--")) {
            i = SkipPast(text, i + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i = SkipPast(text, i + 9, "]]>");
        } else if (rest[1] == '!') {
            // DOCTYPE, ENTITY, ELEMENT...: SOAP forbids them all, and an entity is the door
            // to expansion bombs and outside files. Refused before any parser sees it.
            return XmlError::Doctype;
        } else if (rest[1] == '?') {
            i = SkipPast(text, i + 2, "?>");
        } else if (rest[1] == '/') {
            if (--depth < 0)
                return XmlError::Malformed;
            i = SkipPast(text, i + 2, ">");
        } else {
            if (++elements > limits.maxElements)
                return XmlError::TooMany;
            if (++depth > limits.maxDepth)
                return XmlError::TooDeep;
            // Find the tag's end outside quoted attribute values.
            char quote = 0;
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                const char c = text[j];
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= text.size())
                return XmlError::Malformed;
            if (text[j - 1] == '/')
                --depth;
            i = j + 1;
        }
        if (i == std::string_view::npos)
            return XmlError::Malformed;
    }
    return XmlError::None;
}

XmlError LoadXml(pugi::xml_document& doc, std::string_view text, const XmlLimits& limits) {
    const XmlError scan = PrescanXml(text, limits);
    if (scan != XmlError::None)
        return scan;
    // No DOCTYPE parsing (the prescan refused one anyway) and no entity other than the five
    // predefined ones and character references, which pugixml never reads from a DTD.
    const unsigned options = pugi::parse_default & ~pugi::parse_doctype;
    const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size(), options,
                                                          pugi::encoding_utf8);
    return result ? XmlError::None : XmlError::Malformed;
}

std::string_view LocalName(std::string_view qualified) {
    const size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

std::string NamespaceOf(pugi::xml_node node, std::string_view qualified) {
    const size_t colon = qualified.find(':');
    std::string attribute = "xmlns";
    if (colon != std::string_view::npos) {
        attribute += ':';
        attribute += qualified.substr(0, colon);
    }
    for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
        const pugi::xml_attribute a = n.attribute(attribute.c_str());
        if (a)
            return a.value();
    }
    return {};
}

bool IsElement(pugi::xml_node node, const char* ns, std::string_view local) {
    if (node.type() != pugi::node_element)
        return false;
    const std::string_view name = node.name();
    return LocalName(name) == local && NamespaceOf(node, name) == ns;
}

pugi::xml_node Child(pugi::xml_node node, const char* ns, std::string_view local) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (IsElement(c, ns, local))
            return c;
    }
    return {};
}

pugi::xml_node Descendant(pugi::xml_node node, const char* ns, std::string_view local) {
    // Iterative walk: the prescan bounds depth, but nothing here needs the stack anyway.
    pugi::xml_node n = node.first_child();
    while (n) {
        if (IsElement(n, ns, local))
            return n;
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling() && n != node)
            n = n.parent();
        if (!n || n == node)
            break;
        n = n.next_sibling();
    }
    return {};
}

std::string TrimmedText(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            text += c.value();
    }
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace tarsel::onvif
