#pragma once
// The private-profile (INI) file with the semantics installers know from Windows: section
// and key names match case-insensitively, values are raw text, and a write keeps every other
// line of the file (other sections, comments, blank lines, CRLF endings, a UTF-8 BOM).
// Every write replaces the whole file atomically (temporary file in the same folder, flushed,
// renamed over the old one), so a crash mid-write leaves either the old or the new file.
// One process-wide lock serialises all reads and writes; an advisory lock (flock) on the
// file's folder serialises the read-modify-replace of several processes.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarsel {

// Writes text to a temporary file beside path (named with the path, the process id and six
// random characters), flushes it to disk and renames it over path
// (a symbolic link keeps pointing at it), so that readers and a crash see either the old
// file or the whole new one. False, with nothing left behind, when any step fails.
bool ReplaceFileAtomically(const std::string& path, const std::string& text);

// The parsed form of one profile text. Reads look up the first section with the name and
// the first key with the name inside it.
class ProfileText {
public:
    explicit ProfileText(std::string_view text);

    // True when the section holds the key; value receives its text (blanks around it
    // trimmed, one pair of enclosing quotes removed).
    bool Find(std::string_view section, std::string_view key, std::string* value) const;
    // Every key name of the first matching section, in file order (empty when none).
    std::vector<std::string> Keys(std::string_view section) const;
    // Every section name, in file order.
    std::vector<std::string> Sections() const;
    // Every key of the first matching section with its value, in file order. A key that
    // appears again (names match case-insensitively) is listed once, with its first value.
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    // Sets key = value in section, adding the section at the end or the key after the
    // section's last entry when missing. A null value removes the key; a null key removes
    // the whole section.
    void Set(std::string_view section, const std::string* key, const std::string* value);

    // The text again: untouched lines byte for byte, with the file's own line ending.
    std::string Render() const;

private:
    struct Line {
        std::string raw;      // the line without its ending
        int kind = 0;         // 0 other, 1 section header, 2 key line
        std::string name;     // section or key name (trimmed)
        size_t valueAt = 0;   // for key lines: offset of the text after '='
    };
    // Index range [first, end) of the lines of the first section with the name, header
    // included; false when absent.
    bool SectionRange(std::string_view section, size_t* first, size_t* end) const;

    std::vector<Line> lines_;
    std::string bom_;
    std::string eol_ = "\n";
    bool endsWithEol_ = true;
};

// Reads one value; false (value untouched) when the file, the section or the key is absent.
bool ReadProfileValue(const std::string& path, std::string_view section, std::string_view key,
                      std::string* value);
// Every key name of the section; empty when the file or section is absent.
std::vector<std::string> ReadProfileKeys(const std::string& path, std::string_view section);
// Every section name of the file.
std::vector<std::string> ReadProfileSections(const std::string& path);
// Every key of the section with its value, read in one pass (see ProfileText::Entries).
std::vector<std::pair<std::string, std::string>> ReadProfileSection(const std::string& path,
                                                                    std::string_view section);

// A temporary of the file this old was left by a writer that died mid-write (kill -9, a
// power cut): no write takes longer.
constexpr long kStaleTemporarySeconds = 300;

// Writes one value (null value: remove the key; null key: remove the section) and replaces
// the file atomically. Creates the file when absent (its folder must exist). False on an
// I/O failure, in which case the old file is untouched. Each write first removes the stale
// temporaries earlier writes left beside the file ("tarsel.ini.PID.XXXXXX" whose writer
// PID no longer runs, or any "tarsel.ini[.PID].XXXXXX" older than kStaleTemporarySeconds);
// *staleRemoved, when given, receives their number.
bool WriteProfileValue(const std::string& path, std::string_view section, const std::string* key,
                       const std::string* value, int* staleRemoved = nullptr);

// Given the key's current value (null when absent): false to leave the file as it is, or
// true with the value to write in *updated.
using ProfileChange = std::function<bool(const std::string* current, std::string* updated)>;

// Reads section/key and writes what change makes of it, under the same locks as a write, so
// that no other writer, in this process or another, comes between the read and the write.
// False on an I/O failure.
bool UpdateProfileValue(const std::string& path, std::string_view section, const std::string& key,
                        const ProfileChange& change, int* staleRemoved = nullptr);

}  // namespace tarsel
