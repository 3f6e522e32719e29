// The address history is read from a file anyone may have edited: any value must parse
// without fault, and what is written back must read back as the same pairs.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "finder/LibIP.h"
#include "platform/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<IpHistoryPair> pairs = ParseIpHistoryValue(text);
    std::string formatted = FormatIpHistoryValue(pairs);
    std::vector<IpHistoryPair> again = ParseIpHistoryValue(formatted);
    if (again.size() != pairs.size()) std::abort();
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (again[i].address != pairs[i].address || again[i].mask != pairs[i].mask) std::abort();
    }
    // The same bytes as a whole file: every entry of its "MAC" section parses.
    tarsel::ProfileText profile(text);
    for (const auto& entry : profile.Entries("MAC")) (void)ParseIpHistoryValue(entry.second);
    return 0;
}
