#include "web/IpRangeSearch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "common/Language.h"
#include "finder/LibIP.h"

int ValidateIpRange(const char* startText, const char* endText, uint64_t* start,
                    uint64_t* end) {
    *start = IpTextToValue(startText != nullptr ? startText : "");
    *end = IpTextToValue(endText != nullptr ? endText : "");
    if (*start == INVALID_IP_VALUE || *end == INVALID_IP_VALUE) return TEXT_INVALID_SETTING_IP;
    if (*start > *end) return TEXT_IP_RANGE_ERROR;
    if (*end - *start >= kMaxRangeAddresses)
        return TEXT_RANGE_TOO_LARGE;
    return 0;
}

std::string CheckAddressText(const char* address) {
    std::string text = LoadText(TEXT_CHECK_ADDRESS);
    const size_t slot = text.find("%s");
    if (slot != std::string::npos) text.replace(slot, 2, address);
    return text;
}

std::string RangeProgressText(uint64_t checked, uint64_t total, uint64_t found) {
    return LoadTextWith(TEXT_RANGE_PROGRESS,
                        {std::to_string(checked), std::to_string(total), std::to_string(found)});
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
    if (!IsValidPortText(portText)) return TEXT_INVALID_HTTP_PORT;
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

CIpRangeSearch::AddressOutcome CIpRangeSearch::ProbeAddress(const std::string& address,
                                                            const std::string& portText,
                                                            const std::string& user,
                                                            const std::string& password) {
    AddressOutcome outcome;
    std::memset(&outcome.info, 0, sizeof outcome.info);
    if (probe && probe(address.c_str(), std::atoi(portText.c_str())) == 1 && checkCgi)
        outcome.result = checkCgi(address.c_str(), portText.c_str(), user.c_str(),
                                  password.c_str(), &outcome.info);
    return outcome;
}

void CIpRangeSearch::ReportCheck(const std::string& address) {
    if (onStatus != nullptr) onStatus(context, CheckAddressText(address.c_str()).c_str());
    if (onStatusId != nullptr) onStatusId(context, TEXT_CHECK_ADDRESS, address.c_str());
}

void CIpRangeSearch::ReportOutcome(const std::string& address, const AddressOutcome& outcome) {
    if (outcome.result.result == HttpResult::Refused) {
        if (onAuthFailure != nullptr) onAuthFailure(context, address.c_str());
    } else if (outcome.result.Done()) {
        if (onCameraFound != nullptr) onCameraFound(context, outcome.info);
    }
}

void CIpRangeSearch::ReportProgress(uint64_t checked, uint64_t total,
                                    const AddressOutcome& outcome) {
    if (outcome.result.Done())
        ++found_;
    if (onProgress != nullptr)
        onProgress(context, checked, total, found_);
}

void CIpRangeSearch::ProbeInParallel(const std::string& user, const std::string& password,
                                     uint64_t start, uint64_t end, const std::string& portText) {
    std::atomic<uint64_t> next{start};
    std::mutex reportMutex;
    uint64_t nextToReport = start;
    // Outcomes that finished before an earlier address did; at most about one per worker
    // for every slow address ahead of them.
    std::map<uint64_t, AddressOutcome> waiting;
    auto worker = [&] {
        EnsureThreadLanguage(-1);
        for (;;) {
            if (stopRequested_) return;
            const uint64_t current = next++;
            if (current > end) return;
            AddressOutcome outcome = ProbeAddress(IpValueToText(current), portText, user, password);
            std::lock_guard<std::mutex> lock(reportMutex);
            waiting.emplace(current, std::move(outcome));
            for (auto it = waiting.find(nextToReport); it != waiting.end();
                 it = waiting.find(nextToReport)) {
                const std::string address = IpValueToText(it->first);
                ReportCheck(address);
                ReportOutcome(address, it->second);
                ReportProgress(it->first - start + 1, end - start + 1, it->second);
                waiting.erase(it);
                ++nextToReport;
            }
        }
    };
    const uint64_t count = end - start + 1;
    const int threads = static_cast<int>(std::min<uint64_t>(count, static_cast<uint64_t>(jobs)));
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back(worker);
    for (std::thread& t : workers) t.join();
}

void CIpRangeSearch::SearchThread(std::string user, std::string password, uint64_t start,
                                  uint64_t end, std::string portText) {
    EnsureThreadLanguage(-1);
    if (onClearFailures != nullptr) onClearFailures(context);
    found_ = 0;
    if (onProgress != nullptr)
        onProgress(context, 0, end - start + 1, 0);

    bool stopped = false;
    if (jobs > 1) {
        ProbeInParallel(user, password, start, end, portText);
        stopped = stopRequested_;
    } else {
        for (uint64_t current = start; current <= end; ++current) {
            const std::string address = IpValueToText(current);
            ReportCheck(address);  // shown while the address is probed
            const AddressOutcome outcome = ProbeAddress(address, portText, user, password);
            ReportOutcome(address, outcome);
            ReportProgress(current - start + 1, end - start + 1, outcome);
            if (stopRequested_) {
                stopped = true;
                break;
            }
        }
    }
    if (stopped) {
        if (onStatus != nullptr) onStatus(context, LoadText(TEXT_IP_SEARCH_STOP));
        if (onStatusId != nullptr) onStatusId(context, TEXT_IP_SEARCH_STOP, "");
    } else {
        if (onStatus != nullptr) onStatus(context, LoadText(TEXT_IP_SEARCH_DONE));
        if (onStatusId != nullptr) onStatusId(context, TEXT_IP_SEARCH_DONE, "");
    }
    running_ = false;
    if (onFinished != nullptr) onFinished(context, stopped);
}
