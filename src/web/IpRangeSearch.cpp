#include "web/IpRangeSearch.h"

#include <cstdlib>
#include <cstring>

#include "common/Language.h"
#include "finder/LibIP.h"

int ValidateIpRange(const char* startText, const char* endText, uint64_t* start,
                    uint64_t* end) {
    *start = IpTextToValue(startText != nullptr ? startText : "");
    *end = IpTextToValue(endText != nullptr ? endText : "");
    if (*start == INVALID_IP_VALUE || *end == INVALID_IP_VALUE) return TEXT_INVALID_SETTING_IP;
    if (*start > *end) return TEXT_IP_RANGE_ERROR;
    return 0;
}

std::string CheckAddressText(const char* address) {
    std::string text = LoadText(TEXT_CHECK_ADDRESS);
    const size_t slot = text.find("%s");
    if (slot != std::string::npos) text.replace(slot, 2, address);
    return text;
}

CIpRangeSearch::~CIpRangeSearch() {
    Stop();
    Wait();
}

void CIpRangeSearch::Wait() {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (thread_.joinable()) thread_.join();
}

int CIpRangeSearch::Start(const char* user, const char* password, const char* startText,
                          const char* endText, const char* portText) {
    uint64_t start = 0, end = 0;
    const int error = ValidateIpRange(startText, endText, &start, &end);
    if (error != 0) return error;
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (running_) return -1;
    if (thread_.joinable()) thread_.join();
    stopRequested_ = false;
    running_ = true;
    thread_ = std::thread(&CIpRangeSearch::SearchThread, this, std::string(user ? user : ""),
                          std::string(password ? password : ""), start, end,
                          std::string(portText ? portText : ""));
    return 0;
}

void CIpRangeSearch::SearchThread(std::string user, std::string password, uint64_t start,
                                  uint64_t end, std::string portText) {
    EnsureThreadLanguage(-1);
    if (onClearFailures != nullptr) onClearFailures(context);
    const int port = std::atoi(portText.c_str());

    bool stopped = false;
    for (uint64_t current = start; current <= end; ++current) {
        const std::string address = IpValueToText(current);
        if (onStatus != nullptr) onStatus(context, CheckAddressText(address.c_str()).c_str());
        if (onStatusId != nullptr) onStatusId(context, TEXT_CHECK_ADDRESS, address.c_str());
        if (probe && probe(address.c_str(), port) == 1 && checkCgi) {
            CameraReply info;
            std::memset(&info, 0, sizeof info);
            const int result = checkCgi(address.c_str(), portText.c_str(), user.c_str(),
                                        password.c_str(), &info);
            if (result == 401) {
                if (onAuthFailure != nullptr) onAuthFailure(context, address.c_str());
            } else if (result == 0) {
                if (onCameraFound != nullptr) onCameraFound(context, info);
            }
        }
        if (stopRequested_) {
            stopped = true;
            if (onStatus != nullptr) onStatus(context, LoadText(TEXT_IP_SEARCH_STOP));
            if (onStatusId != nullptr) onStatusId(context, TEXT_IP_SEARCH_STOP, "");
            break;
        }
    }
    if (!stopped && onStatus != nullptr) onStatus(context, LoadText(TEXT_IP_SEARCH_DONE));
    if (!stopped && onStatusId != nullptr) onStatusId(context, TEXT_IP_SEARCH_DONE, "");
    running_ = false;
    if (onFinished != nullptr) onFinished(context, stopped);
}
