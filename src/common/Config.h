#pragma once
// The program's one settings file, "tarsel.ini": where it lives and how it is read and
// written. Every read and write of the file goes through these calls.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The full path of the settings file. Computed on first use and kept for the process: the
// file beside the executable when this user can replace it there (a portable install: the
// folder writable, the file absent or writable) and the executable is not in a system
// folder (/usr/..., /bin...); otherwise $XDG_CONFIG_HOME/tarsel/tarsel.ini
// (~/.config/tarsel/tarsel.ini).
std::string GetConfigPath();
// The default path for a program at executable (its full path), as GetConfigPath chooses it.
std::string ConfigPathFor(const std::string& executable);
// Makes every later read and write use path (the command line's --config); an empty or null
// path returns to the default location.
void SetConfigPath(const char* path);

// Copies the value of section/key, or defaultValue when the file, section or key is
// missing, into buffer (cut to size - 1 bytes, always terminated). Returns the number of
// bytes copied, without the terminator. A null key lists the section's key names instead
// (each followed by a NUL, the list by one more), a null section the file's section names.
int ReadConfigString(const char* section, const char* key, const char* defaultValue,
                     char* buffer, size_t size);
// The whole value of section/key, or defaultValue; no length limit.
std::string ReadConfigText(const char* section, const char* key, const char* defaultValue);
// Every key name of the section, in file order; no limit on their number.
std::vector<std::string> ReadConfigKeys(const char* section);
// Every key of the section with its whole value, read in one pass; a key repeated in the
// file (names match case-insensitively) is listed once, with its first value.
std::vector<std::pair<std::string, std::string>> ReadConfigSection(const char* section);

// Writes section/key = value, replacing the file atomically; every other line of the file
// is kept. A key "Language" is never written: the language chosen at run time is not
// stored, the file keeps what was put into it by hand. Returns 0, or -1 when the file could
// not be written (the old file is then untouched).
int WriteConfigString(const char* section, const char* key, const char* value);

// Reads section/key and writes what change makes of it, with no other writer between the
// read and the write (see tarsel::UpdateProfileValue). change gets the current value, null
// when absent, and returns false to write nothing. 0, or -1 when the file could not be
// written.
int UpdateConfigString(
    const char* section, const char* key,
    const std::function<bool(const std::string* current, std::string* updated)>& change);
