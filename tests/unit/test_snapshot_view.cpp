#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <turbojpeg.h>

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
    std::atomic<HttpResult> why{HttpResult::Done};  // the last pass without a picture

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

// A real 64 x 48 JPEG from the JPEG library: one interleaved scan, or progressive.
std::vector<unsigned char> SmallJpeg(bool progressive) {
    std::vector<unsigned char> rgb(64 * 48 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 7);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), 64, 0, 48, TJPF_RGB, &jpeg, &size, TJSAMP_444, 90,
                progressive ? TJFLAG_PROGRESSIVE : 0);
    std::vector<unsigned char> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

size_t FindMarker(const std::vector<unsigned char>& jpeg, unsigned char marker) {
    for (size_t at = 2; at + 1 < jpeg.size(); ++at)
        if (jpeg[at] == 0xFF && jpeg[at + 1] == marker) return at;
    return std::string::npos;
}

// The headers of a baseline picture of width x height whose first scan carries only its
// first component, as a picture sent in three one-component scans begins.
std::vector<unsigned char> MultiScanHeaders(int width, int height) {
    std::vector<unsigned char> jpeg = SmallJpeg(false);
    const size_t frame = FindMarker(jpeg, 0xC0);
    jpeg[frame + 5] = static_cast<unsigned char>(height >> 8), jpeg[frame + 6] = height & 0xFF;
    jpeg[frame + 7] = static_cast<unsigned char>(width >> 8), jpeg[frame + 8] = width & 0xFF;
    const size_t scan = FindMarker(jpeg, 0xDA);
    const size_t end = scan + 2 + (jpeg[scan + 2] << 8 | jpeg[scan + 3]);
    const std::vector<unsigned char> oneComponent = {0xFF, 0xDA, 0x00, 0x08, 0x01, jpeg[scan + 5],
                                                     jpeg[scan + 6], jpeg[end - 3], jpeg[end - 2],
                                                     jpeg[end - 1]};
    jpeg.erase(jpeg.begin() + static_cast<long>(scan), jpeg.begin() + static_cast<long>(end));
    jpeg.insert(jpeg.begin() + static_cast<long>(scan), oneComponent.begin(), oneComponent.end());
    return jpeg;
}

// A 10000 x 10000 progressive picture whose headers begin with an RST0 marker and an APP0
// segment that holds a harmless-looking baseline frame and scan: a walker that reads a
// length after RST0 lands on those and takes the picture for one interleaved scan.
std::vector<unsigned char> HiddenProgressive() {
    std::vector<unsigned char> jpeg = SmallJpeg(true);
    const size_t frame = FindMarker(jpeg, 0xC2);
    jpeg[frame + 5] = 0x27, jpeg[frame + 6] = 0x10, jpeg[frame + 7] = 0x27, jpeg[frame + 8] = 0x10;
    std::vector<unsigned char> hiding = {0xFF, 0xD0, 0xFF, 0xE0, 0xFF, 0xFF};
    hiding.resize(2 + 0xFFE0, 0);  // where such a walker lands: RST0, then "length" 0xFFE0
    const std::vector<unsigned char> fake = {
        0xFF, 0xC0, 0, 17, 8, 0, 48, 0, 64, 3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0,
        0xFF, 0xDA, 0, 12, 3, 1, 0, 2, 0, 3, 0, 0, 63, 0};
    hiding.insert(hiding.end(), fake.begin(), fake.end());
    hiding.resize(2 + 2 + 65535, 0);  // the APP0 segment's real end
    jpeg.insert(jpeg.begin() + 2, hiding.begin(), hiding.end());
    return jpeg;
}

void Wire(CSnapshotWorker& worker, View& view) {
    worker.context = &view;
    worker.readCamera = View::Read;
    worker.onImage = View::Draw;
    worker.onFailure = [](void* c, HttpResult why) { static_cast<View*>(c)->why = why; };
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
// Every frame the library decodes from a whole-image buffer, progressive or sequential in
// several scans, is held to the lower limit before anything is decoded.
TEST(SnapshotView, MultiScanPicturesAreBoundLikeProgressiveOnes) {
    SnapshotImage image;
    std::string why;
    for (bool progressive : {false, true}) {
        const std::vector<unsigned char> jpeg = SmallJpeg(progressive);
        ASSERT_TRUE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 0, 0, &why));
        EXPECT_EQ(64, image.width);
        EXPECT_TRUE(why.empty());
    }
    // 4000 x 3000 in one-component scans: 12 megapixels of coefficients, refused unread.
    tarsel::CapturingLogSink log;
    std::vector<unsigned char> jpeg = MultiScanHeaders(4000, 3000);
    EXPECT_FALSE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 1, 1, &why));
    EXPECT_EQ("4000x3000, a progressive or multi-scan picture of more than 8 megapixels", why);
    EXPECT_TRUE(log.Contains("Snapshot refused: 4000x3000"));
    // Small enough, the same layout is only decoded (and fails on its cut data here).
    why.clear();
    jpeg = MultiScanHeaders(2000, 1000);
    DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 1, 1, &why);
    EXPECT_TRUE(why.empty());

    // The layout is the JPEG library's own reading: markers without a length and segments
    // holding marker-like bytes hide nothing.
    jpeg = HiddenProgressive();
    JpegLayout layout;
    ASSERT_TRUE(ReadJpegLayout(jpeg.data(), jpeg.size(), &layout));
    EXPECT_TRUE(layout.progressive);
    EXPECT_EQ(10000, layout.width);
    EXPECT_EQ(10000u / 8 * 10000 / 8 * 3 * 128, layout.coefficientBytes);
    EXPECT_FALSE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 1, 1, &why));
    EXPECT_EQ("10000x10000, a progressive or multi-scan picture of more than 8 megapixels", why);
}

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
    EXPECT_EQ(HttpResult::Refused, view.why.load());  // each pass says why it drew nothing

    view.Point(garbage.PortText(), "x");
    ASSERT_TRUE(WaitFor([&] { return garbageFetches.load() >= 3; }));
    EXPECT_EQ(0u, view.Count());
    EXPECT_EQ(HttpResult::NotCamera, view.why.load());

    view.Point(server.PortText(), "pass");
    EXPECT_TRUE(WaitFor([&] { return view.Count() >= 2; }));
}
