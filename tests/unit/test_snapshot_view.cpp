#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "WebServer.h"
#include "platform/Log.h"
#include "support/TestSupport.h"
#include "web/SnapshotView.h"

using testsupport::HttpAnswer;
using testsupport::HttpExchange;
using testsupport::LoopbackHttpServer;
using testsupport::WaitFor;

namespace {

struct View {
    std::mutex mutex;
    SnapshotCamera camera{};
    std::vector<SnapshotImage> images;
    std::vector<std::chrono::steady_clock::time_point> times;

    static bool Read(void* c, SnapshotCamera* out) {
        auto* v = static_cast<View*>(c);
        std::lock_guard<std::mutex> lock(v->mutex);
        *out = v->camera;
        return true;
    }
    static void Draw(void* c, const SnapshotImage& image) {
        auto* v = static_cast<View*>(c);
        std::lock_guard<std::mutex> lock(v->mutex);
        v->images.push_back(image);
        v->times.push_back(std::chrono::steady_clock::now());
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return images.size();
    }
    void Point(const std::string& port, const char* password) {
        std::lock_guard<std::mutex> lock(mutex);
        std::snprintf(camera.user, sizeof camera.user, "admin");
        std::snprintf(camera.password, sizeof camera.password, "%s", password);
        std::snprintf(camera.ip, sizeof camera.ip, "127.0.0.1");
        std::snprintf(camera.httpPort, sizeof camera.httpPort, "%s", port.c_str());
    }
};

void Wire(CSnapshotWorker& worker, View& view) {
    worker.context = &view;
    worker.readCamera = View::Read;
    worker.onImage = View::Draw;
}

}  // namespace

TEST(SnapshotView, QueryValueAndStretching) {
    EXPECT_EQ("/cgi-bin/snapshot.cgi?abc=95742", SnapshotTarget(9, 5, 7, 42));
    EXPECT_EQ("/cgi-bin/snapshot.cgi?abc=235959999", SnapshotTarget(23, 59, 59, 999));

    SnapshotImage small;
    small.width = 2;
    small.height = 1;
    small.rgb = {255, 0, 0, 0, 0, 255};  // red, blue
    SnapshotImage big = StretchSnapshot(small, 300, 225);
    ASSERT_EQ(300, big.width);
    // Pixels are repeated, never blended: the left half red, the right half blue.
    auto at = [&](int x, int y) { return &big.rgb[(static_cast<size_t>(y) * 300 + x) * 3]; };
    EXPECT_EQ(255, at(149, 224)[0]);
    EXPECT_EQ(255, at(299, 0)[2]);

    SnapshotImage untouched;
    const unsigned char junk[] = "not a picture";
    EXPECT_FALSE(DecodeSnapshot(junk, sizeof junk, &untouched));
    EXPECT_EQ(0, untouched.width);
}

// The real interval: pictures at least about a second apart, decoded, from the same worker
// across pause and start.
TEST(SnapshotView, OnePictureASecondPausedAndResumedOnOneWorker) {
    CamsimWebServer server(std::make_shared<MapWebCamera>("admin", "pass"), WebServerOptions{});
    ASSERT_TRUE(server.Start());
    View view;
    view.Point(server.PortText(), "pass");
    CSnapshotWorker worker;
    Wire(worker, view);
    worker.Start();
    ASSERT_TRUE(WaitFor([&] { return view.Count() >= 3; }));
    {
        std::lock_guard<std::mutex> lock(view.mutex);
        EXPECT_EQ(320, view.images[0].width);
        EXPECT_EQ(240, view.images[0].height);
        for (size_t i = 1; i < view.times.size(); ++i)
            EXPECT_GE(view.times[i] - view.times[i - 1], std::chrono::milliseconds(900));
    }
    worker.Pause();
    worker.Start();  // within a second: the same worker goes on
    worker.Pause();
    const size_t paused = view.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_LE(view.Count(), paused + 1);  // at most the fetch that was under way
    worker.Start();
    EXPECT_TRUE(WaitFor([&] { return view.Count() > paused + 1; }));
    EXPECT_EQ(1, worker.WorkersCreated());
}

TEST(SnapshotView, RefusedOrUndecodableAnswersDrawNothingAndTheLoopGoesOn) {
    tarsel::CapturingLogSink log;
    CamsimWebServer server(std::make_shared<MapWebCamera>("admin", "pass"), WebServerOptions{});
    ASSERT_TRUE(server.Start());
    std::atomic<int> garbageFetches{0};
    LoopbackHttpServer garbage(LoopbackHttpServer::Auth::None, "", "", [&](const HttpExchange&) {
        ++garbageFetches;
        return HttpAnswer{200, "<html>no picture</html>", 0};
    });
    View view;
    view.Point(server.PortText(), "changed-after-verify");
    CSnapshotWorker worker;
    worker.intervalMs = 100;
    Wire(worker, view);
    worker.Start();
    ASSERT_TRUE(WaitFor([&] { return log.Count("!!! Response code: 401\n") >= 3; }));
    EXPECT_EQ(0u, view.Count());

    view.Point(garbage.PortText(), "x");
    ASSERT_TRUE(WaitFor([&] { return garbageFetches.load() >= 3; }));
    EXPECT_EQ(0u, view.Count());

    view.Point(server.PortText(), "pass");
    EXPECT_TRUE(WaitFor([&] { return view.Count() >= 2; }));
}
