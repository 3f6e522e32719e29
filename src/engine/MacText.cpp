#include "engine/MacText.h"

#include <cctype>
#include <cstring>

bool IsMacText(const char* text) {
    if (text == nullptr || std::strlen(text) != 17) return false;
    for (int i = 0; i < 17; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (i % 3 == 2 ? c != ':' : !std::isxdigit(c)) return false;
    }
    return true;
}

std::string MacKey(const char* text) {
    std::string key = text != nullptr ? text : "";
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

bool SameMac(const std::string& a, const std::string& b) { return MacKey(a) == MacKey(b); }
