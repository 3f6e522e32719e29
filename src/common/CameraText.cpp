#include "common/CameraText.h"

#include <cstdio>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// What a spreadsheet may read as the start of a formula: "=", "+", "-" or "@", their
// full-width forms (which some spreadsheets take for the ASCII ones), a tab or a CR (which
// some drop before reading the rest), or any of these after leading blanks, tabs or line
// breaks.
bool StartsFormula(std::string_view text) {
    if (!text.empty() && (text[0] == '\t' || text[0] == '\r')) return true;
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return false;
    text.remove_prefix(first);
    const char c = text[0];
    if (c == '=' || c == '+' || c == '-' || c == '@') return true;
    // U+FF1D, U+FF0B, U+FF0D, U+FF20 in UTF-8.
    for (const char* wide : {"\xEF\xBC\x9D", "\xEF\xBC\x8B", "\xEF\xBC\x8D", "\xEF\xBC\xA0"})
        if (text.substr(0, 3) == wide) return true;
    return false;
}

}  // namespace

int32_t DecodeUtf8At(std::string_view text, size_t at, size_t* length) {
    *length = 1;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return lead;
    size_t n;
    uint32_t cp, min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return -1;
    }
    if (at + n > text.size()) return -1;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return -1;
        cp = cp << 6 | (byte(at + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    *length = n;
    return static_cast<int32_t>(cp);
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0, n = 0; i < text.size(); i += n)
        if (DecodeUtf8At(text, i, &n) < 0) return false;
    return true;
}

bool IsControlCodePoint(uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

bool IsBidiControl(uint32_t cp) {
    return (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

std::string EscapedForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[12];
    for (size_t i = 0, n = 0; i < text.size(); i += n) {
        const int32_t cp = DecodeUtf8At(text, i, &n);
        const auto code = static_cast<uint32_t>(cp);
        if (cp < 0 || (code < 0x80 && IsControlCodePoint(code))) {
            // A byte: one that is no UTF-8, or an ASCII control.
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += escape;
        } else if (IsControlCodePoint(code) || IsBidiControl(code)) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
            out += escape;
        } else {
            out.append(text.substr(i, n));
        }
    }
    return out;
}

std::string SpreadsheetCellText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 1);
    if (StartsFormula(text)) out += '\'';
    for (size_t i = 0, n = 0; i < text.size(); i += n) {
        const int32_t cp = DecodeUtf8At(text, i, &n);
        const auto code = static_cast<uint32_t>(cp);
        const bool kept = cp >= 0 && !IsBidiControl(code) &&
                          (!IsControlCodePoint(code) || cp == '\t' || cp == '\r' || cp == '\n');
        if (kept)
            out.append(text.substr(i, n));
        else
            out += kReplacement;
    }
    return out;
}

std::string FromSpreadsheetCellText(std::string_view text) {
    if (text.size() >= 2 && text[0] == '\'' && StartsFormula(text.substr(1)))
        text.remove_prefix(1);
    return std::string(text);
}

std::string WithoutBidiControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0, n = 0; i < text.size(); i += n) {
        const int32_t cp = DecodeUtf8At(text, i, &n);
        if (cp >= 0 && IsBidiControl(static_cast<uint32_t>(cp)))
            out += kReplacement;
        else
            out.append(text.substr(i, n));
    }
    return out;
}
