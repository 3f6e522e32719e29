#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/Config.h"
#include "common/stdafx.h"
#include "finder/LibIP.h"

namespace {

constexpr char kHistorySection[] = "MAC";

// One "%I64d" conversion: optional blanks, optional sign, digits. Out-of-range numbers
// saturate instead of being undefined.
bool ReadSigned64(const char*& at, const char* end, int64_t* value) {
    const char* p = at;
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char* start = p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    if (p == end || !std::isdigit(static_cast<unsigned char>(*p))) return false;
    while (p < end && std::isdigit(static_cast<unsigned char>(*p))) ++p;
    std::string number(start, p);
    errno = 0;
    *value = std::strtoll(number.c_str(), nullptr, 10);
    at = p;
    return true;
}

std::atomic<bool> g_writeFailed{false};

// A history write failed: logged, and kept for TakeIpHistoryWriteFailure.
void NoteWriteFailure() {
    TLOG_WARNING("(%s:%d)The address history could not be written to %s", GetConfigPath().c_str());
    g_writeFailed.store(true);
}

// Puts the pair in its subnet's place among pairs (replacing the subnet's old address) or
// adds it; false when pairs already hold it.
bool Remember(std::vector<IpHistoryPair>& pairs, uint64_t address, uint64_t mask) {
    for (IpHistoryPair& pair : pairs) {
        if (pair.mask != mask || (pair.address & mask) != (address & mask)) continue;
        if (pair.address == address) return false;
        pair.address = address;
        return true;
    }
    pairs.push_back({address, mask});
    return true;
}

IpHistoryEntry* FindEntry(std::vector<IpHistoryEntry>& list, const char* mac) {
    for (IpHistoryEntry& entry : list) {
        if (std::strcmp(entry.mac, mac) == 0) return &entry;
    }
    return nullptr;
}

}  // namespace

bool IsMacKey(const char* mac) {
    if (mac == nullptr || std::strlen(mac) != 17) return false;
    for (int i = 0; i < 17; ++i) {
        const bool colon = i % 3 == 2;
        if (colon ? mac[i] != ':' : !std::isxdigit(static_cast<unsigned char>(mac[i])))
            return false;
    }
    return true;
}

bool TakeIpHistoryWriteFailure() { return g_writeFailed.exchange(false); }

std::vector<IpHistoryPair> ParseIpHistoryValue(const std::string& value) {
    std::vector<IpHistoryPair> pairs;
    size_t start = 0;
    while (start <= value.size()) {
        size_t semicolon = value.find(';', start);
        size_t end = semicolon == std::string::npos ? value.size() : semicolon;
        const char* at = value.data() + start;
        const char* stop = value.data() + end;
        int64_t address = 0, mask = 0;
        if (end > start && ReadSigned64(at, stop, &address) && at < stop && *at == ',' &&
            ReadSigned64(++at, stop, &mask)) {
            pairs.push_back({static_cast<uint64_t>(address), static_cast<uint64_t>(mask)});
        }
        if (semicolon == std::string::npos) break;
        start = semicolon + 1;
    }
    return pairs;
}

std::string FormatIpHistoryValue(const std::vector<IpHistoryPair>& pairs) {
    std::string value;
    char piece[64];
    for (const IpHistoryPair& pair : pairs) {
        std::snprintf(piece, sizeof piece, "%" PRId64 ",%" PRId64 ";",
                      static_cast<int64_t>(pair.address), static_cast<int64_t>(pair.mask));
        value += piece;
    }
    return value;
}

void LoadIpHistory(std::vector<IpHistoryEntry>& list) {
    list.clear();
    for (const auto& [key, value] : ReadConfigSection(kHistorySection)) {
        if (!IsMacKey(key.c_str())) continue;
        IpHistoryEntry entry{};
        CopyTruncated(entry.mac, key.c_str());
        entry.pairs = ParseIpHistoryValue(value);
        list.push_back(std::move(entry));
    }
}

int SaveIpHistoryEntry(const IpHistoryEntry& entry) {
    // The MAC is the key: "=", "[" or ";" in a text from the network would corrupt the file.
    if (!IsMacKey(entry.mac)) return -1;
    return WriteConfigString(kHistorySection, entry.mac,
                             FormatIpHistoryValue(entry.pairs).c_str());
}

uint64_t FindRememberedIp(const std::vector<IpHistoryEntry>& list, const char* mac,
                          uint64_t subnet, uint64_t mask) {
    if (mac == nullptr) return 0;
    for (const IpHistoryEntry& entry : list) {
        if (std::strcmp(entry.mac, mac) != 0) continue;
        for (const IpHistoryPair& pair : entry.pairs) {
            if (pair.mask == mask && (pair.address & mask) == subnet) return pair.address;
        }
        return 0;
    }
    return 0;
}

bool IsIpRemembered(const std::vector<IpHistoryEntry>& list, uint64_t address, uint64_t subnet,
                    uint64_t mask) {
    for (const IpHistoryEntry& entry : list) {
        for (const IpHistoryPair& pair : entry.pairs) {
            if (pair.mask == mask && (pair.address & mask) == subnet && pair.address == address) {
                return true;
            }
        }
    }
    return false;
}

int RememberIp(std::vector<IpHistoryEntry>& list, const char* mac, uint64_t address,
               uint64_t mask) {
    // Only a MAC text may become a key of the file.
    if (!IsMacKey(mac)) {
        TLOG_NOTICE("(%s:%d)Not remembered: '%s' is no MAC", mac != nullptr ? mac : "");
        return -1;
    }
    // The pair goes into the entry as the file holds it now, read and written under the
    // file's lock: another program (two automatic assignments at once) may have written
    // the camera's entry since this list was read, and its pairs stay.
    std::vector<IpHistoryPair> now;
    auto change = [&](const std::string* current, std::string* updated) {
        now = ParseIpHistoryValue(current != nullptr ? *current : "");
        const bool unchanged = !Remember(now, address, mask);
        if (unchanged && current != nullptr) return false;
        *updated = FormatIpHistoryValue(now);
        return true;
    };
    IpHistoryEntry* entry = FindEntry(list, mac);
    if (entry == nullptr) {
        list.push_back(IpHistoryEntry{});
        entry = &list.back();
        CopyTruncated(entry->mac, mac);
    }
    if (UpdateConfigString(kHistorySection, mac, change) != 0) {
        NoteWriteFailure();
        Remember(entry->pairs, address, mask);
        return -1;
    }
    entry->pairs = std::move(now);
    return 0;
}

void ForgetIp(std::vector<IpHistoryEntry>& list, uint64_t address, uint64_t mask) {
    auto forgotten = [&](const IpHistoryPair& pair) {
        return pair.address == address && pair.mask == mask;
    };
    for (IpHistoryEntry& entry : list) {
        // Entries that do not hold the pair are not written, so a large site does not
        // rewrite the file once per camera.
        if (!IsMacKey(entry.mac) ||
            std::none_of(entry.pairs.begin(), entry.pairs.end(), forgotten))
            continue;
        // This list was read when the search started; another program (the window and a
        // command line at once) may have written the entry since. The pair is taken out of
        // the entry as the file holds it now, and nothing is written when the file no
        // longer holds it: an older entry never overwrites a newer one.
        std::vector<IpHistoryPair> now;
        auto change = [&](const std::string* current, std::string* updated) {
            now = ParseIpHistoryValue(current != nullptr ? *current : "");
            const size_t before = now.size();
            std::erase_if(now, forgotten);
            if (now.size() == before) return false;
            *updated = FormatIpHistoryValue(now);
            return true;
        };
        if (UpdateConfigString(kHistorySection, entry.mac, change) != 0) {
            NoteWriteFailure();
            std::erase_if(entry.pairs, forgotten);
            continue;
        }
        entry.pairs = std::move(now);
    }
}
