#include "web/SnapshotView.h"

#include <turbojpeg.h>

#include <chrono>
#include <ctime>

#include "common/stdafx.h"
#include "web/LibCurl.h"

bool DecodeSnapshot(const unsigned char* data, size_t length, SnapshotImage* image) {
    if (data == nullptr || length == 0) return false;
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr) return false;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    bool ok = tjDecompressHeader3(handle, data, static_cast<unsigned long>(length), &width,
                                  &height, &subsampling, &colorspace) == 0 &&
              width > 0 && height > 0 && width <= 16384 && height <= 16384;
    SnapshotImage decoded;
    if (ok) {
        decoded.width = width;
        decoded.height = height;
        decoded.rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        ok = tjDecompress2(handle, data, static_cast<unsigned long>(length), decoded.rgb.data(),
                           width, 0, height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    if (ok) *image = std::move(decoded);
    return ok;
}

SnapshotImage StretchSnapshot(const SnapshotImage& source, int width, int height) {
    SnapshotImage out;
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0) return out;
    out.width = width;
    out.height = height;
    out.rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(static_cast<int64_t>(y) * source.height / height);
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<int64_t>(x) * source.width / width);
            const unsigned char* s =
                &source.rgb[(static_cast<size_t>(sy) * source.width + sx) * 3];
            unsigned char* d = &out.rgb[(static_cast<size_t>(y) * width + x) * 3];
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    return out;
}

std::string SnapshotTarget(int hour, int minute, int second, int millisecond) {
    return "/cgi-bin/snapshot.cgi?abc=" + std::to_string(hour) + std::to_string(minute) +
           std::to_string(second) + std::to_string(millisecond);
}

CSnapshotWorker::~CSnapshotWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        active_ = false;
        running_ = false;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void CSnapshotWorker::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
    active_ = true;
    if (!worker_.joinable()) {
        ++workersCreated_;
        worker_ = std::thread(&CSnapshotWorker::Run, this);
    }
}

void CSnapshotWorker::Pause() { active_ = false; }

void CSnapshotWorker::Run() {
    CurlBuffer buffer;
    while (running_) {
        if (active_) {
            try {
                SnapshotCamera camera{};
                if (readCamera != nullptr && readCamera(context, &camera)) {
                    const auto now = std::chrono::system_clock::now();
                    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
                    std::tm local{};
                    localtime_r(&seconds, &local);
                    const int millisecond = static_cast<int>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(
                            now.time_since_epoch())
                            .count() %
                        1000);
                    // The credentials go to libcurl apart from the URL, so that any
                    // character in them survives.
                    const std::string url =
                        std::string("http://") + camera.ip + ":" + camera.httpPort +
                        SnapshotTarget(local.tm_hour, local.tm_min, local.tm_sec, millisecond);
                    if (HttpGetUrl(url.c_str(), camera.user, camera.password, buffer)) {
                        SnapshotImage image;
                        if (DecodeSnapshot(buffer.data, buffer.length, &image) && active_ &&
                            onImage != nullptr)
                            onImage(context, image);
                    }
                }
            } catch (...) {
                TLOG("(%s:%d)Something Wrong...");
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return !running_; });
    }
}
