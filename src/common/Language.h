#pragma once
// The languages of the user interface and the text look-up through which every visible
// text passes. Each thread looks texts up in its own language; a worker that loads texts
// first calls EnsureThreadLanguage(-1) so that a language switched at run time reaches it.

#include <atomic>
#include <string>
#include <vector>

constexpr int LANGUAGE_ENGLISH = 0;
constexpr int LANGUAGE_CHINESE_TRADITIONAL = 1;
constexpr int LANGUAGE_JAPANESE = 2;  // has no table: shows English
constexpr int LANGUAGE_POLISH = 3;
constexpr int LANGUAGE_COUNT = 4;

// The language the program shows, -1 until the first ApplyLanguage. Written only on the
// main window's thread.
extern std::atomic<int> currentLanguage;

// "ENGLISH", "CHINESE_TRADITIONAL", "JAPANESE", "POLISH" for 0..3; "" otherwise.
const char* LanguageName(int index);
// Exact, case-sensitive match against the four names; anything else is English (0).
int LanguageFromName(const char* text);
// The platform language id of an index (1033, 31748, 1041, 1045); 0 outside 0..3.
int LanguageId(int index);
// The command line's language codes "en", "pl", "zh-TW" (also "ja"); -1 for any other.
int LanguageFromCode(const char* code);

// Makes the calling thread look texts up in the language; indexes outside 0..3 do nothing.
void SetThreadLanguage(int index);
// index -1 means currentLanguage. Switches the calling thread only when its language
// differs; indexes outside 0..3 do nothing.
void EnsureThreadLanguage(int index);
// Logs "CheckLanguage different" when the calling thread's language is not
// currentLanguage's; changes nothing.
void CheckLanguage();

// The text of id (20001..20207) in the calling thread's language, English where that
// language has no text; "" for an unknown id. The text lives as long as the process.
const char* LoadText(int id);
// The text of id with its numbered slots %1..%9 filled from values (slot n takes
// values[n-1]; a slot without a value stays as it is). Numbered, so that a language may name
// them in its own order; filled in one pass, so that a value never reads as a slot.
std::string LoadTextWith(int id, const std::vector<std::string>& values);
// The id a custom control's caption shows for the given id (a few captions read better
// with a sibling text); other ids pass unchanged.
int CaptionTextId(int id);

// Reads "SYSTEM"/"Language" from the configuration file ("ENGLISH" when missing) and
// converts it with LanguageFromName.
int ReadConfiguredLanguage();
