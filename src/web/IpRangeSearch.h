#pragma once
// The IP range search behind the range search dialog: walks every address from start to
// end, tries a TCP connection to the HTTP port, reads the identity of every address that
// accepts it, hands each camera so read to the engine and lists the addresses that refused
// the credentials. One worker thread; it can be stopped between two addresses.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "LibPacket/PacketProcess.h"
#include "finder/LibIP.h"
#include "web/HttpOutcome.h"

// Text ids of the search's messages.
constexpr int TEXT_INVALID_SETTING_IP = 20090;
constexpr int TEXT_IP_RANGE_ERROR = 20091;
constexpr int TEXT_INVALID_HTTP_PORT = 20118;  // "The HTTP port must be a number from 1 to 65535."
constexpr int TEXT_CHECK_ADDRESS = 20110;
constexpr int TEXT_IP_SEARCH_STOP = 20111;
constexpr int TEXT_IP_SEARCH_DONE = 20112;
constexpr int TEXT_RANGE_PROGRESS = 20138;   // "%1 of %2 addresses, %3 found"
constexpr int TEXT_RANGE_TOO_LARGE = 20139;  // "The range is too large: at most 65,536 addresses."

// The most addresses one search walks: a /16. A larger range would keep the worker busy for
// hours (the whole address space: about 27 years at 200 ms an address).
constexpr uint64_t kMaxRangeAddresses = 65536;

// 0 when both texts are addresses, start is not above end and the range holds at most
// kMaxRangeAddresses; otherwise the id of the error text (20090 for an unparsable address,
// 20091 for a reversed range, TEXT_RANGE_TOO_LARGE).
int ValidateIpRange(const char* startText, const char* endText, uint64_t* start,
                    uint64_t* end);

// "Check %s ..." in the thread's language, with the address in place of "%s". The
// translated text is never used as a format.
std::string CheckAddressText(const char* address);

// "n of N addresses, k found" in the thread's language.
std::string RangeProgressText(uint64_t checked, uint64_t total, uint64_t found);

constexpr int kMaxRangeJobs = 256;
// How many addresses the window's range search probes at once: a silent /24 in about 2 s
// instead of 51 s, while a camera's HTTP server sees a handful of connections at most.
constexpr int kWindowRangeJobs = 32;

class CIpRangeSearch {
public:
    CIpRangeSearch() = default;
    // Stops a running search after its current address and waits for it.
    ~CIpRangeSearch();
    CIpRangeSearch(const CIpRangeSearch&) = delete;
    CIpRangeSearch& operator=(const CIpRangeSearch&) = delete;

    // What the dialog (or the command line) shows; every slot is called on the search
    // thread and may be unset.
    void (*onStatus)(void* context, const char* text) = nullptr;
    // The same status as its text id and address ("" for the ids without one), for a
    // window that shows it again in another language.
    void (*onStatusId)(void* context, int textId, const char* address) = nullptr;
    void (*onClearFailures)(void* context) = nullptr;
    void (*onAuthFailure)(void* context, const char* address) = nullptr;
    void (*onFinished)(void* context, bool stopped) = nullptr;
    // After each address, in address order: how many were checked of how many, and how
    // many cameras were found so far.
    void (*onProgress)(void* context, uint64_t checked, uint64_t total, uint64_t found) = nullptr;
    // The engine's reply dispatcher: a camera read over HTTP enters the list like a
    // discovery reply.
    void (*onCameraFound)(void* context, const CameraReply& info) = nullptr;
    void* context = nullptr;

    // The reachability probe (1: a TCP connection could be made; the host's TCP probe by
    // default) and the identity read (the engine's information read, set by the owner).
    std::function<int(const char* address, int port)> probe = TcpProbe;
    std::function<HttpOutcome(const char* ip, const char* port, const char* user,
                              const char* password, CameraReply* info)>
        checkCgi;

    // How many addresses are probed at once, 1 to kMaxRangeJobs (the window: kWindowRangeJobs).
    // With more than one, every slot above is still called in address order, by one worker
    // at a time, so the results are those of a one-at-a-time search.
    int jobs = 1;

    // Validates the range and the port and starts the worker. 0, or the error text id from
    // ValidateIpRange or TEXT_INVALID_HTTP_PORT (nothing starts then), or -1 while a
    // search is still running.
    int Start(const char* user, const char* password, const char* startText,
              const char* endText, const char* portText);
    // Asks the running search to stop after its current address.
    void Stop() { stopRequested_ = true; }
    bool Running() const { return running_; }
    // Waits for the worker of the last Start to end.
    void Wait();

private:
    // What probing one address found, until it is reported in its turn.
    struct AddressOutcome {
        // The identity read's outcome; NoAnswer when nothing answered the probe.
        HttpOutcome result = HttpOutcome::Of(HttpResult::NoAnswer);
        CameraReply info;
    };
    AddressOutcome ProbeAddress(const std::string& address, const std::string& portText,
                                const std::string& user, const std::string& password);
    void ReportCheck(const std::string& address);
    void ReportOutcome(const std::string& address, const AddressOutcome& outcome);
    void ReportProgress(uint64_t checked, uint64_t total, const AddressOutcome& outcome);
    void ProbeInParallel(const std::string& user, const std::string& password, uint64_t start,
                         uint64_t end, const std::string& portText);
    void SearchThread(std::string user, std::string password, uint64_t start, uint64_t end,
                      std::string portText);

    uint64_t found_ = 0;  // cameras found by the running search; its worker's alone
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::mutex threadMutex_;
    std::thread thread_;
};
