#pragma once
// Firmware upgrade of one or many cameras over HTTP: one worker thread per camera, at most
// five uploads at once, the image read once and shared by every upload, the status polled
// until the camera has installed the image and come back.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr uint32_t UPGRADE_QUEUED = 0x1000;
constexpr uint32_t UPGRADE_RUNNING = 0x10000;
constexpr uint32_t UPGRADE_DONE = 0x100;

// Why a camera's upgrade failed, so that the page's row and the command line can say so.
enum UpgradeFailure : uint32_t {
    UPGRADE_FAIL_NONE = 0,
    UPGRADE_FAIL_REFUSED,       // the camera answered the begin request with a refusal
    UPGRADE_FAIL_NO_ANSWER,     // no answer in time (connection, upload deadline, polls)
    UPGRADE_FAIL_NOT_ACCEPTED,  // the camera reported "fail": the image is not for it
    UPGRADE_FAIL_UNFINISHED,    // it answered, but never reported the image installed
    UPGRADE_FAIL_NO_IMAGE,      // the firmware file could not be read
    UPGRADE_FAIL_STOPPED,       // the page closed, or the program ended, first
};

// One camera of the upgrade list: a copy of its record taken when the upgrade was asked
// for, plus the upgrade state. state, ip, mask, gateway and httpPort change while the
// worker runs: read and write them under UpgradeProc::itemLock.
struct UpgradeItem {
    char name[33];
    char mac[32];
    char serial[33];
    char ip[32];
    char mask[32];
    char gateway[32];
    char fwVersion[33];
    char mode[32];
    char model[33];
    char httpPort[32];
    char user[41];
    char password[41];
    char company[33];
    uint32_t state;
    uint32_t viaHttp;
    UpgradeItem* next;
    uint32_t failure;  // an UpgradeFailure; set before -1 is reported
};

// What the reboot check needs of the camera's current record in the finder's list, copied
// out under the list's lock (a record pointer must not outlive that lock).
struct UpgradeCameraInfo {
    char ip[32];
    char mask[32];
    char gateway[32];
    char httpPort[32];
    uint32_t lastSeen;  // tick of the camera's last discovery answer
};

struct GetReply;

// What one status answer tells the poller, from its third quoted string.
enum class UpgradeStatusKind { Progressing, Installing, Ok, Empty, Fail, Unknown };
// Scans a status reply body into reply and classifies its status (exact, case-sensitive).
UpgradeStatusKind ClassifyUpgradeStatus(const char* body, GetReply* reply);

// Why the worker waits; lets tests shorten some waits and keep others real.
enum class UpgradeWait { Slot, BeginRetry, UploadRetry, Poll, FinalWait };

// The finder's discovery query to one MAC (type HEADER_IP_QUERY, empty credentials).
int SendFinderQuery(void* context, const char* mac);

class UpgradeProc {
public:
    UpgradeProc();
    // Aborts, then waits for every worker.
    ~UpgradeProc();
    UpgradeProc(const UpgradeProc&) = delete;
    UpgradeProc& operator=(const UpgradeProc&) = delete;

    // Called on the worker threads for every progress step: 0..100, or -1 for a failure.
    void (*onProgress)(void* context, const char* mac, int percent) = nullptr;
    // Fills info from the camera's current record; false when it is no longer listed.
    bool (*lookupCamera)(void* context, const char* mac, UpgradeCameraInfo* info) = nullptr;
    // Sends one discovery query to the camera's MAC; by default through the finder's hub.
    int (*sendQuery)(void* context, const char* mac) = SendFinderQuery;
    void* context = nullptr;

    int maxUploads = 5;  // 0: no limit
    // Each camera's upload, all its attempts together, ends by this deadline: the base plus
    // the image's time at kUploadBytesPerSecond. A camera that takes the image and never
    // answers, or trickles its answer, gives its slot back then and fails with "no answer".
    int uploadDeadlineBaseMs = 60000;
    static constexpr int64_t kUploadBytesPerSecond = 100'000;
    int64_t UploadDeadlineMs(uint64_t imageSize) const;
    std::mutex itemLock;  // guards the changing fields of every UpgradeItem

    // Forgets the loaded image; the next upload loads path. uploadName becomes "conf.dat"
    // for the extension "dat" exactly, else "conf.tar".
    void SetFirmware(const char* path, const char* extension);
    // Starts one worker on item, whose state the caller set to UPGRADE_QUEUED.
    void StartUpgrade(UpgradeItem* item);

    // Blocks until every worker started so far has ended by itself.
    void WaitForWorkers();
    // Ends every upgrade promptly: waits are cut short and a transfer under way is broken
    // off; each camera ends failed. The proc starts nothing afterwards.
    void Abort();
    // True while a worker started on item has not yet returned: until then the item must
    // not be freed, even when its state already reads UPGRADE_DONE.
    bool WorkerHolds(const UpgradeItem* item);

    int ActiveUploads();

    // Test hooks: the waits and the millisecond tick.
    void SetSleep(std::function<void(UpgradeWait, int ms)> sleep);
    void SetClock(std::function<uint32_t()> now);

    // The form that frames the image in the upload body.
    static std::string FormHead(const char* uploadName);
    static std::string FormTail();

private:
    using Image = std::shared_ptr<const std::vector<unsigned char>>;

    void UpgradeThread(UpgradeItem* item);
    bool TakeSlot();
    void GiveSlot();
    bool LoadImage();
    UpgradeFailure RunUpgrade(UpgradeItem* item, int* lastPercent);
    UpgradeFailure UploadAttempts(UpgradeItem* item, const char* mac, int* lastPercent);
    // One attempt, given up after timeoutMs; true when the camera answered in time.
    bool UploadFirmware(UpgradeItem* item, int* lastPercent, int64_t timeoutMs);
    UpgradeFailure PollUpgradeStatus(UpgradeItem* item, int* lastPercent);
    void Report(UpgradeItem* item, int percent, int* lastPercent);
    // Notes why on the item, reports -1 and logs the failure.
    void Fail(UpgradeItem* item, UpgradeFailure why, int* lastPercent);
    // False when the wait was cut short because the owner is going away.
    bool Wait(UpgradeWait why, int ms);
    // libcurl's transfer progress hook: a non-zero answer breaks the transfer off.
    static int TransferProgress(void* self, int64_t, int64_t, int64_t, int64_t);

    std::mutex lock_;  // activeUploads_, image_, firmwarePath_, uploadName_
    Image image_;
    uint32_t imageSize_ = 0;
    char firmwarePath_[260] = "";
    char uploadName_[260] = "conf.tar";
    int activeUploads_ = 0;

    std::function<void(UpgradeWait, int)> sleep_;
    std::function<uint32_t()> now_;
    std::atomic<bool> stopping_{false};
    std::mutex waitMutex_;
    std::condition_variable waitCondition_;
    struct Worker {
        std::thread thread;
        const UpgradeItem* item;
        bool returned = false;  // under threadsMutex_
    };
    std::mutex threadsMutex_;
    std::list<Worker> workers_;
};
