#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "WebServer.h"
#include "engine_fake_ports.h"
#include "platform/Log.h"
#include "support/TestSupport.h"
#include "web/LibCurl.h"
#include "web/UpgradeProc.h"

using testsupport::HttpAnswer;
using testsupport::HttpExchange;
using testsupport::LoopbackHttpServer;

namespace {

struct ProgressLog {
    std::mutex mutex;
    std::map<std::string, std::vector<int>> percents;

    static void Callback(void* context, const char* mac, int percent) {
        auto* self = static_cast<ProgressLog*>(context);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->percents[mac].push_back(percent);
    }
    std::vector<int> Of(const std::string& mac) {
        std::lock_guard<std::mutex> lock(mutex);
        return percents[mac];
    }
};

std::string WriteFirmware(const std::string& name, size_t size) {
    std::string path = std::string(TARSEL_BINARY_DIR) + "/" + name;
    std::string image(size, '\0');
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    std::ofstream(path, std::ios::binary).write(image.data(), static_cast<long>(image.size()));
    return path;
}

using testsupport::ReadFile;

UpgradeItem MakeItem(const std::string& mac, const std::string& port, uint32_t viaHttp,
                     const char* password = "pass") {
    UpgradeItem item{};
    std::snprintf(item.mac, sizeof item.mac, "%s", mac.c_str());
    std::snprintf(item.ip, sizeof item.ip, "127.0.0.1");
    std::snprintf(item.mask, sizeof item.mask, "255.0.0.0");
    std::snprintf(item.httpPort, sizeof item.httpPort, "%s", port.c_str());
    std::snprintf(item.user, sizeof item.user, "admin");
    std::snprintf(item.password, sizeof item.password, "%s", password);
    item.state = UPGRADE_QUEUED;
    item.viaHttp = viaHttp;
    return item;
}

// Every wait shortened to a fiftieth.
void FastSleep(UpgradeWait, int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms / 50)); }

// The final wait's reports: 72, 73, 75, ... 99, 100.
std::vector<int> FinalWaitReports() {
    std::vector<int> v;
    for (int remaining = 19000; remaining >= 0; remaining -= 1000)
        v.push_back(100 - remaining * 30 / 20000);
    return v;
}

bool EndsWith(const std::vector<int>& v, const std::vector<int>& tail) {
    return v.size() >= tail.size() && std::equal(tail.begin(), tail.end(), v.end() - tail.size());
}

// Upgrades item with the firmware file to the end (the worker has returned); its reports.
std::vector<int> RunToEnd(UpgradeItem& item, const std::string& firmware, const char* extension = "tar",
                          std::function<void(UpgradeWait, int)> sleep = FastSleep) {
    ProgressLog progress;
    {
        UpgradeProc proc;
        proc.onProgress = ProgressLog::Callback;
        proc.context = &progress;
        proc.SetSleep(std::move(sleep));
        proc.SetFirmware(firmware.c_str(), extension);
        proc.StartUpgrade(&item);
        proc.WaitForWorkers();
    }
    return progress.Of(item.mac);
}

WebServerOptions QuickCamera() {
    WebServerOptions o;
    // Long enough for every status to be polled at least once, even in a slow (sanitizer) run.
    o.stageMs = 250;
    o.rebootMs = 200;
    return o;
}

}  // namespace

// A camera reporting "fail" ends at once, and its bar stops where it failed (no final
// wait shown); one stuck at "checking" is given up after a hundred polls. Each says why.
TEST(UpgradeProc, FailingOrStuckCameraEndsInFailure) {
    for (bool stuck : {false, true}) {
        tarsel::CapturingLogSink log;
        WebServerOptions options = QuickCamera();
        (stuck ? options.faults.stuckAtChecking : options.faults.upgradeFails) = true;
        CamsimWebServer server(std::make_shared<MapWebCamera>("admin", "pass"), options);
        ASSERT_TRUE(server.Start());
        UpgradeItem item = MakeItem("00:11:22:33:44:02", server.PortText(), 1);
        std::function<void(UpgradeWait, int)> sleep = FastSleep;
        if (stuck)
            sleep = [](UpgradeWait why, int ms) {
                std::this_thread::sleep_for(std::chrono::milliseconds(why == UpgradeWait::Poll ? 1 : ms / 50));
            };
        const std::vector<int> p = RunToEnd(item, WriteFirmware("fw_fail.tar", 4096), "tar", sleep);
        EXPECT_EQ(UPGRADE_DONE, item.state);
        EXPECT_EQ(-1, p.back());
        EXPECT_EQ(1, std::count(p.begin(), p.end(), -1));
        EXPECT_LE(*std::max_element(p.begin(), p.end()), 70);
        EXPECT_EQ(stuck ? UPGRADE_FAIL_UNFINISHED : UPGRADE_FAIL_NOT_ACCEPTED, item.failure);
        EXPECT_EQ(1u, log.Count("FW upgrade fail."));
        EXPECT_EQ(tarsel::LogLevel::Warning, log.LevelOf("FW upgrade fail."));
        EXPECT_EQ(0u, log.Count("reboot done") + log.Count("but not Install"));
        if (stuck) {
            EXPECT_EQ(100, server.StatusRequests());
            EXPECT_NE(p.end(), std::find(p.begin(), p.end(), 70));  // the hundredth poll
            continue;
        }
        // Nowhere near the 100 polls of a stuck camera: the stages before "fail" take about
        // 0.75 s at 20 ms a poll, and slower (sanitizer) runs poll less often, not more.
        EXPECT_LT(server.StatusRequests(), 60);
        EXPECT_EQ(1u, log.Count("00:11:22:33:44:02 Upgrade FW Fail, MSG: system.upgrade.status, ok, fail"));
    }
}

// A scripted camera: the status answers come from a list, one per poll. Only a "dat" image
// is sent as conf.dat; anything else, "DAT" too, as conf.tar.
TEST(UpgradeProc, HttpCameraUploadsTheExactBodyStopsOnEmptyStatusAndJudgesByInstalling) {
    for (bool installs : {true, false}) {
        tarsel::CapturingLogSink log;
        std::vector<std::string> script =
            installs ? std::vector<std::string>{"uploading", "installing", "ok", "ok", ""}
                     : std::vector<std::string>{"uploading", "", "installing", "ok"};
        std::atomic<size_t> next{0};
        LoopbackHttpServer cam(LoopbackHttpServer::Auth::Digest, "admin", "pass",
                               [&](const HttpExchange& e) {
                                   if (e.target == "/cgi-bin/get?system.upgrade.status") {
                                       size_t i = std::min(next++, script.size() - 1);
                                       return HttpAnswer{200, "n=\"s\" s=\"ok\" v=\"" + script[i] + "\"", 0};
                                   }
                                   return HttpAnswer{200, "", 0};
                               });
        const char* extension = installs ? "dat" : "DAT";
        const std::string path = WriteFirmware(std::string("fw_script.") + extension, 300001);
        UpgradeItem item = MakeItem("00:11:22:33:44:05", cam.PortText(), 1);
        const std::vector<int> p = RunToEnd(item, path, extension);
        EXPECT_EQ(UPGRADE_DONE, item.state);
        ASSERT_GE(p.size(), 7u);
        EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), std::vector<int>(p.begin(), p.begin() + 7));
        EXPECT_TRUE(std::is_sorted(p.begin(), p.end() - (installs ? 0 : 1)));
        if (installs) {
            EXPECT_EQ(5u, next.load());
            EXPECT_EQ(1u, log.Count("FW 100%, 00:11:22:33:44:05 reboot done. counter:95"));
            EXPECT_TRUE(EndsWith(p, FinalWaitReports()));
            EXPECT_EQ(p.end(), std::find(p.begin(), p.end(), -1));
            EXPECT_EQ(UPGRADE_FAIL_NONE, item.failure);
        } else {
            EXPECT_EQ(2u, next.load());
            EXPECT_EQ(1u, log.Count("FW 100%, 00:11:22:33:44:05 but not Install."));
            EXPECT_EQ(-1, p.back());
            EXPECT_EQ(UPGRADE_FAIL_UNFINISHED, item.failure);
        }
        // Upload body, begin request and status requests all reached the camera.
        auto requests = cam.Requests();
        ASSERT_GE(requests.size(), 2u);
        EXPECT_EQ("/cgi-bin/set?system.upgrade.status=begin", requests[0].target);
        EXPECT_EQ("/cgi-bin/upload.cgi", requests[1].target);
        EXPECT_EQ("multipart/form-data; boundary=---------------------------7df3e520408c2",
                  requests[1].headers["content-type"]);
        EXPECT_EQ(UpgradeProc::FormHead(installs ? "conf.dat" : "conf.tar") + ReadFile(path) +
                      UpgradeProc::FormTail(),
                  requests[1].body);
    }
}

// A camera found by discovery is done only once it answers discovery more than ten seconds
// after its last "ok" and its status reads empty; it may come back with new settings.
TEST(UpgradeProc, DiscoveredCameraWaitsForTheRebootThroughTheFinder) {
    tarsel::CapturingLogSink log;
    // Polls come every 10 ms here: stages of 120 ms are each polled several times and the
    // whole sequence, plus eleven finder seconds of reboot checks, stays within 100 polls.
    WebServerOptions options = QuickCamera();
    options.stageMs = 120;
    options.rebootMs = 80;
    CamsimWebServer server(std::make_shared<MapWebCamera>("admin", "pass"), options);
    ASSERT_TRUE(server.Start());
    const std::string path = WriteFirmware("fw_udp.tar", 5000);
    struct Finder {
        std::atomic<uint32_t> tick{1000};
        std::atomic<int> queries{0};
        std::string port;
    } finder;
    finder.port = server.PortText();
    UpgradeItem item = MakeItem("00:11:22:33:44:06", server.PortText(), 0);
    {
        UpgradeProc proc;
        proc.SetClock([&] { return finder.tick.load(); });
        // Each poll second moves the finder's clock by one second.
        proc.SetSleep([&](UpgradeWait why, int ms) {
            if (why == UpgradeWait::Poll) finder.tick += 1000;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms / 100));
        });
        proc.context = &finder;
        proc.sendQuery = [](void* c, const char* mac) {
            EXPECT_STREQ("00:11:22:33:44:06", mac);
            ++static_cast<Finder*>(c)->queries;
            return 0;
        };
        proc.lookupCamera = [](void* c, const char*, UpgradeCameraInfo* info) {
            auto* f = static_cast<Finder*>(c);
            std::snprintf(info->ip, sizeof info->ip, "127.0.0.1");
            std::snprintf(info->mask, sizeof info->mask, "255.255.0.0");
            std::snprintf(info->gateway, sizeof info->gateway, "127.0.0.254");
            std::snprintf(info->httpPort, sizeof info->httpPort, "%s", f->port.c_str());
            info->lastSeen = f->tick.load();
            return true;
        };
        proc.SetFirmware(path.c_str(), "tar");
        proc.StartUpgrade(&item);
        proc.WaitForWorkers();
    }
    EXPECT_EQ(1u, log.Count("FW 100%, 00:11:22:33:44:06 reboot done."));
    EXPECT_EQ(0u, log.Count("FW upgrade fail."));
    // Over ten finder seconds passed after the last "ok": at least eleven reboot checks.
    EXPECT_GE(finder.queries.load(), 11);
    EXPECT_STREQ("255.255.0.0", item.mask);
    EXPECT_STREQ("127.0.0.254", item.gateway);
}

TEST(UpgradeProc, MissingFirmwareFileFailsEveryCameraWithoutUploading) {
    tarsel::CapturingLogSink log;
    CamsimWebServer server(std::make_shared<MapWebCamera>("admin", "pass"), QuickCamera());
    ASSERT_TRUE(server.Start());
    UpgradeItem item = MakeItem("00:11:22:33:44:07", server.PortText(), 1);
    const std::vector<int> p = RunToEnd(item, "/nonexistent/fw.tar");
    EXPECT_EQ((std::vector<int>{0, -1}), p);
    EXPECT_EQ(UPGRADE_FAIL_NO_IMAGE, item.failure);
    EXPECT_EQ(1u, log.Count("load /nonexistent/fw.tar fw fail."));
    EXPECT_EQ(1u, log.Count("00:11:22:33:44:07 Load FW file fail."));
    EXPECT_EQ(0, server.BeginRequests());
    EXPECT_EQ(UPGRADE_DONE, item.state);
}

// Closing the page while a camera holds its upload answer back breaks the transfer off at
// once; and no worker touches its item once the item reads UPGRADE_DONE, nor is it still
// running once WorkerHolds says it returned.
TEST(UpgradeProc, AbortBreaksOffAStalledUploadAndDoneItemsAreNoLongerTouched) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    LoopbackHttpServer server(LoopbackHttpServer::Auth::Digest, "admin", "pass",
                              [released](const HttpExchange& e) {
                                  if (e.target == "/cgi-bin/upload.cgi") released.wait();
                                  return HttpAnswer{200, "", 0};
                              });
    const std::string path = WriteFirmware("fw_abort.tar", 4000);
    struct Watch {
        UpgradeProc* proc;
        UpgradeItem* item;
        std::atomic<int> afterDone{0};
        std::vector<int> seen{};
    };
    auto item = std::make_unique<UpgradeItem>(MakeItem("00:11:22:33:44:0A", server.PortText(), 1));
    auto proc = std::make_unique<UpgradeProc>();
    Watch watch{proc.get(), item.get()};
    proc->context = &watch;
    void (*onProgress)(void*, const char*, int) = [](void* c, const char*, int percent) {
        auto* w = static_cast<Watch*>(c);
        std::lock_guard<std::mutex> lock(w->proc->itemLock);
        if (w->item->state == UPGRADE_DONE) ++w->afterDone;
        w->seen.push_back(percent);
    };
    proc->onProgress = onProgress;
    proc->SetFirmware(path.c_str(), "tar");
    proc->StartUpgrade(item.get());
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& r : server.Requests())
            if (r.target == "/cgi-bin/upload.cgi") return true;
        return false;
    }, 30000));
    EXPECT_TRUE(proc->WorkerHolds(item.get()));
    auto closing = std::async(std::launch::async, [&] { proc.reset(); });
    // Without the abort the worker would wait for the camera's answer: the guard below
    // would run out while the camera still holds it back.
    const bool closedWhileStalled = closing.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    release.set_value();
    closing.wait();
    EXPECT_TRUE(closedWhileStalled);
    EXPECT_EQ(UPGRADE_DONE, item->state);
    EXPECT_EQ(-1, watch.seen.back());
    EXPECT_EQ(0, watch.afterDone.load());

    // A camera refusing the begin request gets no upload and no status poll, gives its slot
    // back and fails at once, refused (its final wait shows nothing); freeing its item as
    // soon as its worker returned is safe (run under ASan).
    tarsel::CapturingLogSink log;
    WebServerOptions options = QuickCamera();
    options.faults.refuseBegin = true;
    CamsimWebServer refusing(std::make_shared<MapWebCamera>("admin", "pass"), options);
    ASSERT_TRUE(refusing.Start());
    UpgradeProc again;
    Watch second{&again, item.get()};
    again.context = &second;
    again.onProgress = onProgress;
    again.SetSleep(FastSleep);
    again.SetFirmware(path.c_str(), "tar");
    *item = MakeItem("00:11:22:33:44:0A", refusing.PortText(), 1);
    again.StartUpgrade(item.get());
    ASSERT_TRUE(WaitFor([&] { return !again.WorkerHolds(item.get()); }, 30000));
    EXPECT_EQ(UPGRADE_FAIL_REFUSED, item->failure);
    item.reset();
    EXPECT_EQ(0, again.ActiveUploads());
    EXPECT_EQ((std::vector<int>{0, -1}), second.seen);
    EXPECT_EQ(0, second.afterDone.load());
    EXPECT_TRUE(refusing.Uploads().empty());
    EXPECT_EQ(0, refusing.StatusRequests());
    EXPECT_EQ(1u, log.Count("00:11:22:33:44:0A set system.upgrade.status fail!"));
}

// A camera that takes the image and never answers, trickles its answer, or answers without
// end is given up at the upload's deadline (or its answer's size) as "no answer": it gives
// its one slot back, and the camera waiting for that slot is upgraded after it.
TEST(UpgradeProc, UploadDeadlineAndAnswerCapFreeTheSlot) {
    enum Mode { Silent, Trickle, Endless };
    for (Mode mode : {Silent, Trickle, Endless}) {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        LoopbackHttpServer slow(LoopbackHttpServer::Auth::Digest, "admin", "pass",
                                [released, mode](const HttpExchange& e) {
                                    if (e.target != "/cgi-bin/upload.cgi") return HttpAnswer{200, "", 0};
                                    if (mode == Silent) released.wait();
                                    if (mode == Trickle) return HttpAnswer{200, std::string(1000, 'x'), 0, 100};
                                    return HttpAnswer{200, std::string(1 << 20, 'x'), 0};
                                });
        // The silent camera's answer is let go before its server stops, even on a failure.
        std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { release.set_value(); });
        CamsimWebServer good(std::make_shared<MapWebCamera>("admin", "pass"), QuickCamera());
        ASSERT_TRUE(good.Start());
        UpgradeItem stalled = MakeItem("00:11:22:33:44:0B", slow.PortText(), 1);
        UpgradeItem waiting = MakeItem("00:11:22:33:44:0C", good.PortText(), 1);
        ProgressLog progress;
        auto proc = std::make_unique<UpgradeProc>();
        proc->maxUploads = 1;
        proc->uploadDeadlineBaseMs = 1500;
        proc->onProgress = ProgressLog::Callback;
        proc->context = &progress;
        proc->SetSleep(FastSleep);
        const std::string path = WriteFirmware("fw_deadline.tar", 5000);
        proc->SetFirmware(path.c_str(), "tar");
        proc->StartUpgrade(&stalled);
        ASSERT_TRUE(WaitFor([&] { return proc->ActiveUploads() == 1; }, 30000));
        proc->StartUpgrade(&waiting);
        // Far below the 195 s a silent camera held its slot for: a deadline of 1.55 s
        // here, and the whole of both upgrades, however slow the machine.
        EXPECT_TRUE(WaitFor([&] { return !proc->WorkerHolds(&stalled) && !proc->WorkerHolds(&waiting); },
                            90000))
            << mode;
        proc.reset();
        EXPECT_EQ(UPGRADE_FAIL_NO_ANSWER, stalled.failure) << mode;
        EXPECT_EQ(-1, progress.Of(stalled.mac).back());
        EXPECT_EQ(UPGRADE_FAIL_NONE, waiting.failure) << mode;
        EXPECT_EQ(100, progress.Of(waiting.mac).back());
        for (const HttpExchange& e : slow.Requests())
            EXPECT_NE("/cgi-bin/get?system.upgrade.status", e.target);  // never polled
    }
}

// A camera still rebooting answers nothing for a while (an upgrade broken off on this side
// leaves it installing and rebooting by itself): the start is asked again until it answers.
TEST(UpgradeProc, RetryRightAfterAnInterruptedUpgradeWaitsForTheCamera) {
    WebServerOptions options = QuickCamera();
    options.rebootMs = 400;
    CamsimWebServer camera(std::make_shared<MapWebCamera>("admin", "pass"), options);
    ASSERT_TRUE(camera.Start());
    CurlBuffer answer;
    ASSERT_TRUE(HttpRequest("127.0.0.1", camera.PortText().c_str(), "admin", "pass", "/cgi-bin/set?system.reboot=1", &answer).Done());
    UpgradeItem item = MakeItem("00:11:22:33:44:0D", camera.PortText(), 1);
    const std::vector<int> p = RunToEnd(item, WriteFirmware("fw_retry.tar", 4096));
    EXPECT_EQ(UPGRADE_FAIL_NONE, item.failure);
    EXPECT_EQ(100, p.back());
    EXPECT_EQ(1u, camera.Uploads().size());
}
