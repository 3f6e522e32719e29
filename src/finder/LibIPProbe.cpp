#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/stdafx.h"
#include "finder/LibIP.h"
#include "platform/Probes.h"

namespace {

// The low 32 bits of an address value, taken the way the dotted text would give them.
uint32_t HostOrder(uint64_t value) { return static_cast<uint32_t>(value & 0xFFFFFFFFu); }

std::vector<std::string> SplitParameters(const char* parameters) {
    std::vector<std::string> words;
    if (parameters == nullptr) return words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char* p = parameters; *p != '\0'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (*p == ' ' || *p == '\t')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(*p);
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

}  // namespace

int ArpProbe(uint64_t target, uint64_t source, const char* macText) {
    uint8_t mac[6];
    std::memset(mac, 0xFF, sizeof mac);
    int length = 0;
    if (tarsel::SendArpRequest(HostOrder(target), HostOrder(source), tarsel::kArpWaitMs, mac,
                               &length) != 0) {
        return 0;
    }
    if (length != 6) {
        TLOG_NOTICE("(%s:%d)Warning: SendArp %s completed successfully, but returned length=%d\n",
             IpValueToText(target).c_str(), length);
        return 0;
    }
    if (macText == nullptr) return 1;
    char answer[32];
    std::snprintf(answer, sizeof answer, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return std::strcmp(answer, macText) == 0 ? 2 : 1;
}

int AddressProbe(uint64_t target, uint64_t source, const char* macText) {
    if (macText == nullptr && tarsel::IcmpEcho(HostOrder(target), PING_WAIT_MS) == 1) return 1;
    return ArpProbe(target, source, macText);
}

int TcpProbe(const char* addressText, int port) {
    int result = tarsel::TcpConnect(addressText != nullptr ? addressText : "", port,
                                    TCP_PROBE_WAIT_MS);
    if (result < 0) {
        TLOG_WARNING("(%s:%d)socket create fail.");
        return 0;
    }
    return result;
}

int RunProgram(const char* file, const char* parameters, const char* directory,
               uint32_t timeoutMs, bool wait, int showMode) {
    (void)showMode;
    if (file == nullptr || file[0] == '\0') return 1;
    std::vector<std::string> argv{file};
    for (std::string& word : SplitParameters(parameters)) argv.push_back(std::move(word));
    int timeout = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
    return tarsel::RunProcess(argv, directory, timeout, wait);
}
