#pragma once
// The string tables behind LoadText: one array per language, indexed by text id - 20001.

#include <cstddef>

constexpr int kFirstTextId = 20001;
constexpr int kLastTextId = 20223;
constexpr size_t kTextCount = kLastTextId - kFirstTextId + 1;

extern const char* const kEnglishTexts[kTextCount];
extern const char* const kPolishTexts[kTextCount];
extern const char* const kChineseTexts[kTextCount];

// The text of id in table, or the English text when the table lacks it (null table or null
// entry); "" for an id outside 20001..kLastTextId.
const char* SelectText(const char* const* table, int id);
