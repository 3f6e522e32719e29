// Languages, text look-up with its fallbacks, caption remapping and the model list.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <regex>
#include <string>
#include <thread>

#include "common/Language.h"
#include "common/ModelList.h"
#include "common/TextTables.h"
#include "platform/Log.h"

namespace {

// Puts the calling thread back into English after a test.
struct ThreadLanguageScope {
    ~ThreadLanguageScope() {
        SetThreadLanguage(LANGUAGE_ENGLISH);
        currentLanguage = -1;
    }
};

// The printf slots in order, then the numbered slots (%1..%9), which a language may order
// as it likes, sorted.
std::string Placeholders(const char* text) {
    std::string out, numbered;
    std::string s(text);
    static const std::regex placeholder("%[sd1-9]");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), placeholder); it != std::sregex_iterator(); ++it) {
        const std::string slot = it->str();
        (std::isdigit(static_cast<unsigned char>(slot[1])) ? numbered : out) += slot;
    }
    std::string digits = numbered;
    std::sort(digits.begin(), digits.end());
    return out + "|" + digits;
}

}  // namespace

TEST(Language, NamesAndCodes) {
    EXPECT_STREQ(LanguageName(LANGUAGE_COUNT), "");
    EXPECT_STREQ(LanguageName(-1), "");
    EXPECT_EQ(LanguageFromName("polish"), LANGUAGE_ENGLISH);
    EXPECT_EQ(LanguageFromName(nullptr), LANGUAGE_ENGLISH);
    EXPECT_EQ(LanguageFromCode("zh-TW"), LANGUAGE_CHINESE_TRADITIONAL);
    EXPECT_EQ(LanguageFromCode("de"), -1);
}

TEST(Language, EnglishTableTextsAndFallbacks) {
    ThreadLanguageScope scope;
    SetThreadLanguage(LANGUAGE_ENGLISH);
    EXPECT_STREQ(LoadText(20000), "");
    EXPECT_STREQ(LoadText(kLastTextId + 1), "");
    EXPECT_STREQ(LoadText(0), "");

    // Japanese has no table: English everywhere; an id kept free for a later text is empty.
    SetThreadLanguage(LANGUAGE_JAPANESE);
    for (int id = kFirstTextId; id <= kLastTextId; ++id) {
        const char* english = kEnglishTexts[id - kFirstTextId];
        EXPECT_STREQ(LoadText(id), english != nullptr ? english : "");
    }
    // A table that lacks a text gives the English one.
    const char* sparse[kTextCount] = {};
    sparse[5] = "Szukam";
    EXPECT_STREQ(SelectText(sparse, 20006), "Szukam");
    EXPECT_STREQ(SelectText(sparse, 20007), kEnglishTexts[6]);
    EXPECT_STREQ(SelectText(nullptr, 20012), "OK");
}

TEST(Language, TranslatedTablesAreCompleteAndKeepPlaceholders) {
    ThreadLanguageScope scope;
    for (const char* const* table : {kPolishTexts, kChineseTexts}) {
        for (size_t i = 0; i < kTextCount; ++i) {
            ASSERT_NE(kEnglishTexts[i], nullptr) << 20001 + i;
            ASSERT_NE(table[i], nullptr) << i;
            EXPECT_GT(std::strlen(table[i]), 0u) << i;
            EXPECT_EQ(Placeholders(table[i]), Placeholders(kEnglishTexts[i])) << 20001 + i;
        }
    }
}

TEST(Language, ThreadLanguageIsPerThreadAndEnsureFollowsCurrent) {
    ThreadLanguageScope scope;
    SetThreadLanguage(LANGUAGE_POLISH);
    SetThreadLanguage(99);  // out of range: unchanged
    EXPECT_STREQ(LoadText(20027), "Odśwież");

    currentLanguage = LANGUAGE_CHINESE_TRADITIONAL;
    std::string fresh, ensured;
    std::thread worker([&] {
        fresh = LoadText(20027);  // a new thread speaks English until it asks
        EnsureThreadLanguage(-1);
        ensured = LoadText(20027);
    });
    worker.join();
    EXPECT_EQ(fresh, "Refresh");
    EXPECT_EQ(ensured, "重新整理");
    EXPECT_STREQ(LoadText(20027), "Odśwież") << "another thread's switch must not reach this one";

    tarsel::CapturingLogSink log;
    CheckLanguage();
    EXPECT_EQ(log.Count("CheckLanguage different"), 1u);
    EnsureThreadLanguage(-1);
    log.Clear();
    CheckLanguage();
    EXPECT_EQ(log.Count("CheckLanguage different"), 0u);
    EnsureThreadLanguage(7);
    EXPECT_STREQ(LoadText(20027), "重新整理");
}

TEST(Language, CaptionRemapping) {
    ThreadLanguageScope scope;
    SetThreadLanguage(LANGUAGE_ENGLISH);
    EXPECT_STREQ(LoadText(CaptionTextId(20079)), "Factory Defaults");
    EXPECT_STREQ(LoadText(20079), "Hardware default");
    EXPECT_STREQ(LoadText(CaptionTextId(20035)), "Reboot");
    int unchanged = 0;
    for (int id = kFirstTextId; id <= kLastTextId; ++id) unchanged += CaptionTextId(id) == id;
    EXPECT_EQ(unchanged, kLastTextId - kFirstTextId + 1 - 5);
}

TEST(ModelList, GroupsAndFirmwareNames) {
    EXPECT_FALSE(IsKnownModel(""));
    EXPECT_FALSE(IsKnownModel(nullptr));
    std::string lower = ModelList[0];
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_FALSE(IsKnownModel(lower.c_str()));

    // Fifth field 11 → n = 8 → group 4 (positions 8..13).
    for (size_t i = 0; i < MODEL_COUNT; ++i) {
        EXPECT_EQ(IsModelForFirmware(ModelList[i], "1.2.3.4.11.6.7"), i >= 8 && i <= 13) << i;
    }
    EXPECT_EQ(FirmwareGroup("1.2.3.4.4.6.7"), -1);
    EXPECT_FALSE(IsModelForFirmware(ModelList[8], "1.2.3.4.4.6.7"));
    EXPECT_FALSE(IsModelForFirmware(ModelList[8], "1.2.3.4"));    // too few fields
    EXPECT_EQ(FirmwareGroup("v.r.x.y. +11abc"), 4);                 // blanks, sign, trailing text
    EXPECT_EQ(FirmwareGroup("v..x.y.11"), -1);                       // an empty field ends the split
    EXPECT_EQ(FirmwareGroup("v.r.x.y.99999999999999999999"), -1);
    EXPECT_FALSE(IsModelForFirmware(nullptr, "1.2.3.4.11"));
    EXPECT_FALSE(IsModelForFirmware(ModelList[8], nullptr));
}
