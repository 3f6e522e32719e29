#include "common/Language.h"

#include <cstring>

#include "common/Config.h"
#include "common/TextTables.h"
#include "common/stdafx.h"
#include "platform/ThreadLanguage.h"

std::atomic<int> currentLanguage{-1};

namespace {

struct LanguageRow {
    const char* name;
    int languageId;
    const char* code;
};

constexpr LanguageRow kLanguages[LANGUAGE_COUNT] = {
    {"ENGLISH", 1033, "en"},
    {"CHINESE_TRADITIONAL", 31748, "zh-TW"},
    {"JAPANESE", 1041, "ja"},
    {"POLISH", 1045, "pl"},
};

// The table a thread language reads. Traditional Chinese is stored under 1028, which the
// neutral 31748 selects; Japanese has no table of its own.
const char* const* TableOfLanguageId(int languageId) {
    switch (languageId) {
        case 1045:
            return kPolishTexts;
        case 31748:
        case 1028:
            return kChineseTexts;
        default:
            return kEnglishTexts;
    }
}

struct CaptionMapping {
    int given;
    int shown;
};

constexpr CaptionMapping kCaptionMap[] = {
    {20035, 20082}, {20073, 20074}, {20075, 20076}, {20077, 20078}, {20079, 20080},
};

}  // namespace

const char* SelectText(const char* const* table, int id) {
    if (id < kFirstTextId || id > kLastTextId) return "";
    size_t at = static_cast<size_t>(id - kFirstTextId);
    if (table != nullptr && table[at] != nullptr) return table[at];
    // A table shorter than the id range leaves null entries; callers always get a text.
    return kEnglishTexts[at] != nullptr ? kEnglishTexts[at] : "";
}

const char* LanguageName(int index) {
    if (index < 0 || index >= LANGUAGE_COUNT) return "";
    return kLanguages[index].name;
}

int LanguageFromName(const char* text) {
    if (text == nullptr) return LANGUAGE_ENGLISH;
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (std::strcmp(text, kLanguages[i].name) == 0) return i;
    }
    return LANGUAGE_ENGLISH;
}

int LanguageId(int index) {
    if (index < 0 || index >= LANGUAGE_COUNT) return 0;
    return kLanguages[index].languageId;
}

int LanguageFromCode(const char* code) {
    if (code == nullptr) return -1;
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (std::strcmp(code, kLanguages[i].code) == 0) return i;
    }
    return -1;
}

void SetThreadLanguage(int index) {
    if (index < 0 || index >= LANGUAGE_COUNT) return;
    tarsel::SetThreadUiLanguage(kLanguages[index].languageId);
}

void EnsureThreadLanguage(int index) {
    if (index == -1) index = currentLanguage.load();
    if (index < 0 || index >= LANGUAGE_COUNT) return;
    if (tarsel::GetThreadUiLanguage() == kLanguages[index].languageId) return;
    SetThreadLanguage(index);
}

void CheckLanguage() {
    if (tarsel::GetThreadUiLanguage() != LanguageId(currentLanguage.load())) {
        TLOG("(%s:%d)CheckLanguage different");
    }
}

const char* LoadText(int id) {
    return SelectText(TableOfLanguageId(tarsel::GetThreadUiLanguage()), id);
}

std::string LoadTextWith(int id, const std::vector<std::string>& values) {
    const std::string text = LoadText(id);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t slot =
            i + 1 < text.size() && text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9'
                ? static_cast<size_t>(text[i + 1] - '1')
                : values.size();
        if (slot < values.size()) {
            out += values[slot];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

int CaptionTextId(int id) {
    for (const CaptionMapping& m : kCaptionMap) {
        if (m.given == id) return m.shown;
    }
    return id;
}

int ReadConfiguredLanguage() {
    char name[1024];
    ReadConfigString("SYSTEM", "Language", "ENGLISH", name, sizeof name);
    return LanguageFromName(name);
}
