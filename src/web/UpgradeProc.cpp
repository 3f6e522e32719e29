#include "web/UpgradeProc.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/Language.h"
#include "common/stdafx.h"
#include "finder/LIbFinder.h"
#include "platform/Tick.h"
#include "web/LibCurl.h"

namespace {
constexpr char kBeginTarget[] = "/cgi-bin/set?system.upgrade.status=begin";
constexpr char kStatusTarget[] = "/cgi-bin/get?system.upgrade.status";
constexpr int kUploadAttempts = 3;
constexpr int kStatusPolls = 100;
constexpr int kFinalWaitMs = 20000;
constexpr int kRebootSilenceMs = 10000;
// A camera that took an image before this upgrade began (one broken off on this side: the
// page or the program closed during its install) installs it and reboots by itself, and
// answers nothing meanwhile. The begin request is asked again this long before the camera
// counts as not answering, so that a retry right after such an upgrade goes through.
constexpr int kBeginRetryMs = 60000;
constexpr int kBeginRetryStepMs = 5000;
constexpr int kCurlGotNothing = 52;  // CURLE_GOT_NOTHING
constexpr int kCurlRecvError = 56;   // CURLE_RECV_ERROR

// The connection data a request needs, copied under the item lock.
struct Target {
    char ip[32];
    char port[32];
    char user[41];
    char password[41];
    char mac[32];
    uint32_t viaHttp;
};

Target CopyTarget(std::mutex& itemLock, const UpgradeItem* item) {
    Target t;
    std::lock_guard<std::mutex> lock(itemLock);
    std::memcpy(t.ip, item->ip, sizeof t.ip);
    std::memcpy(t.port, item->httpPort, sizeof t.port);
    std::memcpy(t.user, item->user, sizeof t.user);
    std::memcpy(t.password, item->password, sizeof t.password);
    std::memcpy(t.mac, item->mac, sizeof t.mac);
    t.ip[sizeof t.ip - 1] = t.port[sizeof t.port - 1] = '\0';
    t.user[sizeof t.user - 1] = t.password[sizeof t.password - 1] = '\0';
    t.mac[sizeof t.mac - 1] = '\0';
    t.viaHttp = item->viaHttp;
    return t;
}
}  // namespace

int SendFinderQuery(void*, const char* mac) {
    return SendPacketData(HEADER_IP_QUERY, mac, "", "", "");
}

UpgradeProc::UpgradeProc() {
    now_ = [] { return tarsel::GetTickCount(); };
}

UpgradeProc::~UpgradeProc() {
    Abort();
    WaitForWorkers();
}

void UpgradeProc::Abort() {
    {
        std::lock_guard<std::mutex> lock(waitMutex_);
        stopping_ = true;
    }
    waitCondition_.notify_all();
}

void UpgradeProc::WaitForWorkers() {
    std::list<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(threadsMutex_);
        workers.swap(workers_);
    }
    for (auto& w : workers) w.thread.join();
}

bool UpgradeProc::WorkerHolds(const UpgradeItem* item) {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    for (const Worker& w : workers_)
        if (w.item == item && !w.returned) return true;
    return false;
}

int UpgradeProc::TransferProgress(void* self, int64_t, int64_t, int64_t, int64_t) {
    return static_cast<UpgradeProc*>(self)->stopping_ ? 1 : 0;
}

void UpgradeProc::SetSleep(std::function<void(UpgradeWait, int)> sleep) { sleep_ = std::move(sleep); }
void UpgradeProc::SetClock(std::function<uint32_t()> now) { now_ = std::move(now); }

bool UpgradeProc::Wait(UpgradeWait why, int ms) {
    if (stopping_) return false;
    if (sleep_) {
        sleep_(why, ms);
        return !stopping_;
    }
    std::unique_lock<std::mutex> lock(waitMutex_);
    return !waitCondition_.wait_for(lock, std::chrono::milliseconds(ms),
                                    [this] { return stopping_.load(); });
}

void UpgradeProc::SetFirmware(const char* path, const char* extension) {
    std::lock_guard<std::mutex> lock(lock_);
    // Uploads under way keep their own reference to the old image.
    image_.reset();
    imageSize_ = 0;
    BoundedCopy(firmwarePath_, path, "UpgradeProc::SetFirmware", __LINE__);
    const bool dat = extension != nullptr && std::strcmp(extension, "dat") == 0;
    BoundedCopy(uploadName_, dat ? "conf.dat" : "conf.tar", "UpgradeProc::SetFirmware",
                __LINE__);
}

void UpgradeProc::StartUpgrade(UpgradeItem* item) {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    // Workers that have returned are joined here, so the list stays as long as the
    // number of cameras under way.
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->returned) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    Worker& worker = workers_.emplace_back();
    worker.item = item;
    Worker* self = &worker;
    worker.thread = std::thread([this, item, self] {
        UpgradeThread(item);
        // The last thing the worker does: from here on the owner may free the item.
        std::lock_guard<std::mutex> lock(threadsMutex_);
        self->returned = true;
    });
}

int UpgradeProc::ActiveUploads() {
    std::lock_guard<std::mutex> lock(lock_);
    return activeUploads_;
}

void UpgradeProc::Report(UpgradeItem* item, int percent, int* lastPercent) {
    *lastPercent = percent;
    if (onProgress != nullptr) onProgress(context, item->mac, percent);
}

bool UpgradeProc::TakeSlot() {
    if (maxUploads == 0) return true;
    std::unique_lock<std::mutex> lock(lock_);
    while (activeUploads_ >= maxUploads) {
        lock.unlock();
        if (!Wait(UpgradeWait::Slot, 1000)) return false;
        lock.lock();
    }
    ++activeUploads_;
    return true;
}

void UpgradeProc::GiveSlot() {
    if (maxUploads == 0) return;
    std::lock_guard<std::mutex> lock(lock_);
    --activeUploads_;
}

bool UpgradeProc::LoadImage() {
    std::lock_guard<std::mutex> lock(lock_);
    if (image_) return true;
    bool ok = true;
    FILE* file = std::fopen(firmwarePath_, "rb");
    if (file == nullptr) {
        TLOG_WARNING("(%s:%d)load %s fw fail.", firmwarePath_);
        ok = false;
    } else {
        long size = -1;
        if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
        std::rewind(file);
        if (size < 0 || static_cast<unsigned long>(size) > UINT32_MAX) {
            TLOG_WARNING("(%s:%d)load %s fw fail.", firmwarePath_);
            ok = false;
        } else {
            imageSize_ = static_cast<uint32_t>(size);
            std::shared_ptr<std::vector<unsigned char>> image;
            try {
                image = std::make_shared<std::vector<unsigned char>>(imageSize_);
            } catch (const std::bad_alloc&) {
                // The load still counts as done; this upload fails on the missing image
                // and the next worker tries again.
                TLOG_WARNING("(%s:%d)Error: unable to allocate required memory. %d",
                             static_cast<int>(imageSize_));
            }
            if (image) {
                if (std::fread(image->data(), 1, imageSize_, file) != imageSize_) {
                    TLOG_WARNING("(%s:%d)load %s fw fail.", firmwarePath_);
                    imageSize_ = 0;
                    ok = false;
                } else {
                    image_ = std::move(image);
                }
            }
        }
        std::fclose(file);
    }
    TLOG("(%s:%d)Size:%d, Path:%s", static_cast<int>(imageSize_), firmwarePath_);
    return ok;
}

void UpgradeProc::Fail(UpgradeItem* item, UpgradeFailure why, int* lastPercent) {
    {
        std::lock_guard<std::mutex> lock(itemLock);
        item->failure = why;
    }
    Report(item, -1, lastPercent);
    TLOG_WARNING("(%s:%d)%s FW upgrade fail.", item->mac);
}

int64_t UpgradeProc::UploadDeadlineMs(uint64_t imageSize) const {
    return uploadDeadlineBaseMs + static_cast<int64_t>(imageSize * 1000 / kUploadBytesPerSecond);
}

void UpgradeProc::UpgradeThread(UpgradeItem* item) {
    // Texts the progress receiver loads on this thread come in the tool's language.
    EnsureThreadLanguage(-1);
    {
        std::lock_guard<std::mutex> lock(itemLock);
        if (item->state != UPGRADE_QUEUED) return;
        item->failure = UPGRADE_FAIL_NONE;
    }
    int lastPercent = 0;
    Report(item, 0, &lastPercent);
    if (!TakeSlot()) {
        {
            std::lock_guard<std::mutex> lock(itemLock);
            item->failure = UPGRADE_FAIL_STOPPED;
        }
        Report(item, -1, &lastPercent);
    } else if (!LoadImage()) {
        {
            std::lock_guard<std::mutex> lock(itemLock);
            item->failure = UPGRADE_FAIL_NO_IMAGE;
        }
        Report(item, -1, &lastPercent);
        TLOG_WARNING("(%s:%d)%s Load FW file fail.", item->mac);
        GiveSlot();
    } else {
        {
            std::lock_guard<std::mutex> lock(itemLock);
            item->state = UPGRADE_RUNNING;
        }
        // A failure is reported (and logged) inside, while the item is still ours: once it
        // reads UPGRADE_DONE the page may queue it again.
        RunUpgrade(item, &lastPercent);
    }
    std::lock_guard<std::mutex> lock(itemLock);
    item->state = UPGRADE_DONE;
}

UpgradeFailure UpgradeProc::RunUpgrade(UpgradeItem* item, int* lastPercent) {
    const Target t = CopyTarget(itemLock, item);
    UpgradeFailure failure = UPGRADE_FAIL_NONE;
    auto begin = [&t] {
        CurlBuffer reply;
        return HttpRequest(t.ip, t.port, t.user, t.password, kBeginTarget, &reply);
    };
    HttpOutcome begun = begin();
    // A connection taken and dropped unanswered (libcurl's "got nothing" or a receive
    // error) is a camera busy installing or going down to reboot; an HTTP status is its
    // answer, and a refused connection or a time-out is no camera there: both are taken at
    // once.
    auto busyInstalling = [](const HttpOutcome& result) {
        return result.httpStatus == 0 &&
               (result.curlCode == kCurlGotNothing || result.curlCode == kCurlRecvError);
    };
    for (int waited = 0; busyInstalling(begun) && waited < kBeginRetryMs; waited += kBeginRetryStepMs) {
        TLOG_NOTICE("(%s:%d)%s no answer to the upgrade start (%s), asking again", t.mac,
                    DescribeOutcome(begun).c_str());
        if (!Wait(UpgradeWait::BeginRetry, kBeginRetryStepMs)) {
            GiveSlot();
            Fail(item, UPGRADE_FAIL_STOPPED, lastPercent);
            return UPGRADE_FAIL_STOPPED;
        }
        begun = begin();
    }
    if (!begun.Done()) {
        TLOG_WARNING("(%s:%d)%s set system.upgrade.status fail! (%s)", t.mac,
                     DescribeOutcome(begun).c_str());
        // An answer with another status is the camera saying no; no connection, the
        // time-out or an answer past its size is no answer at all.
        failure = begun.result == HttpResult::Refused || begun.result == HttpResult::NotCamera
                      ? UPGRADE_FAIL_REFUSED
                      : UPGRADE_FAIL_NO_ANSWER;
        GiveSlot();
    } else {
        Report(item, 1, lastPercent);
        failure = UploadAttempts(item, t.mac, lastPercent);
        GiveSlot();
        if (failure == UPGRADE_FAIL_NONE) failure = PollUpgradeStatus(item, lastPercent);
    }
    // Known at once, said at once: the bar never climbs towards 100 for a failed camera.
    if (failure != UPGRADE_FAIL_NONE) Fail(item, failure, lastPercent);
    // The camera needs time to come back whatever happened; the progress shows it for a
    // camera that is installing.
    for (int remaining = kFinalWaitMs - 1000; remaining >= 0; remaining -= 1000) {
        if (!Wait(UpgradeWait::FinalWait, 1000)) {
            if (failure == UPGRADE_FAIL_NONE) Fail(item, UPGRADE_FAIL_STOPPED, lastPercent);
            return UPGRADE_FAIL_STOPPED;
        }
        if (failure == UPGRADE_FAIL_NONE)
            Report(item, 100 - (remaining * 30) / kFinalWaitMs, lastPercent);
    }
    return failure;
}

UpgradeFailure UpgradeProc::UploadAttempts(UpgradeItem* item, const char* mac, int* lastPercent) {
    uint64_t imageSize;
    bool imageLoaded;
    {
        std::lock_guard<std::mutex> lock(lock_);
        imageSize = imageSize_;
        imageLoaded = image_ != nullptr;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(UploadDeadlineMs(imageSize));
    auto left = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   deadline - std::chrono::steady_clock::now())
            .count();
    };
    for (int attempt = 0; attempt < kUploadAttempts && !stopping_; ++attempt) {
        const int64_t ms = left();  // never 0: libcurl reads that as no limit at all
        if (ms <= 0) break;
        if (UploadFirmware(item, lastPercent, ms)) return UPGRADE_FAIL_NONE;
        TLOG_WARNING("(%s:%d)%s Upload FW fail!", mac);
        // A second apart, while the deadline leaves room for another attempt.
        if (attempt + 1 < kUploadAttempts && left() > 1000) Wait(UpgradeWait::UploadRetry, 1000);
    }
    if (stopping_) return UPGRADE_FAIL_STOPPED;
    // Whatever the attempts met (no connection, the deadline, an answer past its size),
    // no proper answer came.
    return imageLoaded && imageSize > 0 ? UPGRADE_FAIL_NO_ANSWER : UPGRADE_FAIL_NO_IMAGE;
}

UpgradeStatusKind ClassifyUpgradeStatus(const char* body, GetReply* reply) {
    ParseGetReply(body, reply);
    const char* status = reply->value;
    if (status[0] == '\0') return UpgradeStatusKind::Empty;
    if (std::strcmp(status, "uploading") == 0 || std::strcmp(status, "uncompressing") == 0 ||
        std::strcmp(status, "checking") == 0)
        return UpgradeStatusKind::Progressing;
    if (std::strcmp(status, "installing") == 0) return UpgradeStatusKind::Installing;
    if (std::strcmp(status, "ok") == 0) return UpgradeStatusKind::Ok;
    if (std::strcmp(status, "fail") == 0) return UpgradeStatusKind::Fail;
    return UpgradeStatusKind::Unknown;
}

UpgradeFailure UpgradeProc::PollUpgradeStatus(UpgradeItem* item, int* lastPercent) {
    int remaining = kStatusPolls;
    bool installingSeen = false, okSeen = false, rebooted = false, answered = false;
    uint32_t okTick = 0;
    CurlBuffer buffer;  // kept across polls
    bool stop = false;
    // The result when the polls end without the camera saying more.
    auto unfinished = [&] {
        if (okSeen) return UPGRADE_FAIL_NONE;
        return answered ? UPGRADE_FAIL_UNFINISHED : UPGRADE_FAIL_NO_ANSWER;
    };
    for (;;) {
        if (remaining < 1) return unfinished();
        --remaining;
        Report(item, 70 - (remaining * 65) / kStatusPolls, lastPercent);

        Target t = CopyTarget(itemLock, item);
        const bool done =
            HttpRequest(t.ip, t.port, t.user, t.password, kStatusTarget, &buffer).Done();
        if (done) answered = true;
        if (done && buffer.data != nullptr) {
            GetReply reply;
            switch (ClassifyUpgradeStatus(buffer.Text(), &reply)) {
                case UpgradeStatusKind::Progressing:
                    break;
                case UpgradeStatusKind::Installing:
                    installingSeen = true;
                    break;
                case UpgradeStatusKind::Ok:
                    okSeen = true;
                    okTick = now_();
                    break;
                case UpgradeStatusKind::Empty:
                    if (rebooted || t.viaHttp == 1) stop = true;
                    break;
                case UpgradeStatusKind::Fail:
                    TLOG_WARNING("(%s:%d)%s Upgrade FW Fail, MSG: %s, %s, %s", t.mac, reply.lead,
                                 reply.status, reply.value);
                    return UPGRADE_FAIL_NOT_ACCEPTED;
                case UpgradeStatusKind::Unknown:
                    TLOG_NOTICE(
                        "(%s:%d)%s Did not find a suitable match string, status: %s, %s, %s",
                        t.mac, reply.lead, reply.status, reply.value);
                    break;
            }
            if (stop) break;
        }

        // A camera found by discovery has rebooted once it answers discovery well after
        // its last "ok"; it may come back with another address.
        if (installingSeen && okSeen && t.viaHttp == 0) {
            if (sendQuery != nullptr) sendQuery(context, t.mac);
            UpgradeCameraInfo info{};
            if (lookupCamera != nullptr && lookupCamera(context, t.mac, &info)) {
                {
                    std::lock_guard<std::mutex> lock(itemLock);
                    CopyTruncated(item->ip, info.ip);
                    CopyTruncated(item->mask, info.mask);
                    CopyTruncated(item->gateway, info.gateway);
                    CopyTruncated(item->httpPort, info.httpPort);
                }
                if (static_cast<int32_t>(info.lastSeen - okTick) > kRebootSilenceMs)
                    rebooted = true;
            }
        }
        if (!Wait(UpgradeWait::Poll, 1000)) return UPGRADE_FAIL_STOPPED;
    }
    if (installingSeen && okSeen)
        TLOG("(%s:%d)FW 100%%, %s reboot done. counter:%d", item->mac, remaining);
    else
        TLOG_WARNING("(%s:%d)FW 100%%, %s but not Install.", item->mac);
    return okSeen ? UPGRADE_FAIL_NONE : UPGRADE_FAIL_UNFINISHED;
}
