// Settings files come from installers' hands and other tools: any bytes must parse, render
// back unchanged, and take a write without losing the written value or other sections.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    tarsel::ProfileText profile(text);
    if (profile.Render() != text) std::abort();

    // Look up names taken from the input itself so that hits happen.
    std::vector<std::string> sections = profile.Sections();
    for (const std::string& section : sections) {
        for (const auto& [key, value] : profile.Entries(section)) {
            std::string found;
            if (!profile.Find(section, key, &found) || found != value) std::abort();
        }
    }

    // A well-formed write must read back and keep the number of sections (plus the new one).
    std::string section = sections.empty() ? "MAC" : sections.front();
    if (section.find_first_of("\r\n]") != std::string::npos) section = "MAC";
    std::string key = "00:11:22:33:44:55";
    std::string value = "3232235876,4294967040;";
    size_t before = profile.Sections().size();
    profile.Set(section, &key, &value);
    tarsel::ProfileText reread(profile.Render());
    std::string found;
    if (!reread.Find(section, key, &found) || found != value) std::abort();
    size_t after = reread.Sections().size();
    if (after != before && after != before + 1) std::abort();
    profile.Set(section, &key, nullptr);
    profile.Set(section, nullptr, nullptr);
    (void)profile.Render();
    return 0;
}
