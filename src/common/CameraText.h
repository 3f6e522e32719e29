#pragma once
// Text a camera sent (names, models, firmware versions) on its way to a terminal, a
// spreadsheet or a window. A camera's fields are bytes: nothing makes them UTF-8, nor free
// of control characters that move a terminal's cursor, or of the bidirectional controls
// that make "evil" read "live". Each destination gets the text in a form it shows safely.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The code point of the UTF-8 sequence at text[at] and its length in *length; -1 (length
// 1) for a byte that starts no valid sequence (overlong forms and surrogates included).
int32_t DecodeUtf8At(std::string_view text, size_t at, size_t* length);

bool IsValidUtf8(std::string_view text);

// C0 controls, DEL and the C1 controls U+0080-U+009F.
bool IsControlCodePoint(uint32_t cp);

// The explicit bidirectional controls that reorder the text after them: embeddings and
// overrides (U+202A-U+202E) and isolates (U+2066-U+2069). The marks U+200E, U+200F and
// U+061C are left alone: they reorder only neutral characters.
bool IsBidiControl(uint32_t cp);

// For a terminal: control characters, bidirectional controls and bytes that are not UTF-8
// visibly escaped ("\x1B", "\u202E", "\xFF"); everything else as it is.
std::string EscapedForTerminal(std::string_view text);

// For a spreadsheet cell: valid UTF-8, with invalid bytes, bidirectional controls and
// control characters other than tab, CR and LF replaced by U+FFFD; a text a spreadsheet
// could read as a formula ("=", "+", "-" or "@", also full-width or after leading
// blanks, and any text starting with a tab or CR) gets a leading "'" so that it is read
// as text, never run.
std::string SpreadsheetCellText(std::string_view text);
// Undoes the leading "'" SpreadsheetCellText adds, for a file it wrote being read back.
std::string FromSpreadsheetCellText(std::string_view text);

// For drawing in the window: the bidirectional controls replaced by U+FFFD, so a name is
// shown in the order its characters were sent, with a visible mark where one stood.
std::string WithoutBidiControls(std::string_view text);
