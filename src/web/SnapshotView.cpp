#include "web/SnapshotView.h"

#include <turbojpeg.h>

#include <chrono>
#include <ctime>

#include "common/stdafx.h"
#include "web/LibCurl.h"

namespace {

// Whether decoding the JPEG keeps a coefficient buffer for the whole image, whatever the
// output scale: the JPEG library does so for every frame that is not one interleaved scan,
// that is a progressive frame, or a sequential one whose first scan carries fewer
// components than the frame (its other components come in later scans). Read from the
// frame header (SOFn) and the first scan header (SOS); a picture whose headers cannot be
// read that far counts as buffered, the safe side.
bool BuffersWholeImage(const unsigned char* data, size_t length) {
    size_t at = 2;  // after SOI
    int frameComponents = -1;
    bool progressive = false;
    while (at + 4 <= length) {
        if (data[at] != 0xFF) return true;
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9) return true;  // end of image before any scan
        const size_t segment = static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
        if (marker == 0xDA) {  // the first scan
            if (frameComponents < 0 || at + 4 >= length) return true;
            return progressive || data[at + 4] < frameComponents;
        }
        const bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                             marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            // Precision, height, width, then the number of components.
            if (segment < 8 || at + 9 >= length) return true;
            frameComponents = data[at + 9];
            progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        }
        at += 2 + segment;
    }
    return true;
}

// The largest reduction the library offers that still covers fitWidth x fitHeight; full
// size when even that is too small or no fit is asked.
tjscalingfactor ChooseScale(int width, int height, int fitWidth, int fitHeight) {
    tjscalingfactor best{1, 1};
    if (fitWidth <= 0 || fitHeight <= 0) return best;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors != nullptr && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num >= f.denom) continue;  // never enlarge
        if (TJSCALED(width, f) >= fitWidth && TJSCALED(height, f) >= fitHeight &&
            f.num * best.denom < best.num * f.denom)
            best = f;
    }
    return best;
}

}  // namespace

bool DecodeSnapshot(const unsigned char* data, size_t length, SnapshotImage* image,
                    int fitWidth, int fitHeight, std::string* why) {
    std::string refusal;
    if (data == nullptr || length == 0) return false;
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr) return false;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    bool ok = tjDecompressHeader3(handle, data, static_cast<unsigned long>(length), &width,
                                  &height, &subsampling, &colorspace) == 0 &&
              width > 0 && height > 0;
    // The size comes from the camera: check it before anything is allocated for it.
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (ok && pixels > kSnapshotMaxPixels) {
        refusal = "a picture of more than 100 megapixels";
        ok = false;
    }
    if (ok && pixels > kSnapshotMaxBufferedPixels && BuffersWholeImage(data, length)) {
        refusal = "a progressive or multi-scan picture of more than 8 megapixels";
        ok = false;
    }
    SnapshotImage decoded;
    if (ok) {
        const tjscalingfactor scale = ChooseScale(width, height, fitWidth, fitHeight);
        decoded.width = TJSCALED(width, scale);
        decoded.height = TJSCALED(height, scale);
        decoded.sourceWidth = width;
        decoded.sourceHeight = height;
        decoded.rgb.resize(static_cast<size_t>(decoded.width) * decoded.height * 3);
        ok = tjDecompress2(handle, data, static_cast<unsigned long>(length), decoded.rgb.data(),
                           decoded.width, 0, decoded.height, TJPF_RGB, TJFLAG_LIMITSCANS) == 0;
    }
    tjDestroy(handle);
    if (!refusal.empty()) {
        refusal = std::to_string(width) + "x" + std::to_string(height) + ", " + refusal;
        TLOG_WARNING("(%s:%d)Snapshot refused: %s", refusal.c_str());
        if (why != nullptr) *why = refusal;
    }
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
                    const std::string target =
                        SnapshotTarget(local.tm_hour, local.tm_min, local.tm_sec, millisecond);
                    if (HttpGetUrl(camera.ip, camera.httpPort, target.c_str(), camera.user,
                                   camera.password, buffer)
                            .Done()) {
                        SnapshotImage image;
                        if (DecodeSnapshot(buffer.data, buffer.length, &image, showWidth,
                                           showHeight) &&
                            active_ &&
                            onImage != nullptr)
                            onImage(context, image);
                    }
                }
            } catch (...) {
                TLOG_WARNING("(%s:%d)Something Wrong...");
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return !running_; });
    }
}
