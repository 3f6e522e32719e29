#include "web/SnapshotView.h"

#include <turbojpeg.h>
// After <cstdio>: the JPEG library's header needs FILE and size_t.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <ctime>

#include "common/stdafx.h"
#include "web/LibCurl.h"

namespace {

// The JPEG library reports a failure by jumping back to the step that called it. A warning
// (a picture cut short, a damaged segment) fails the decode as well: a camera's picture
// has none, and a half picture is no picture of the camera.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    bool warned;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->back, 1);
}

void NoteMessage(j_common_ptr info, int level) {
    if (level < 0) reinterpret_cast<JpegErrors*>(info->err)->warned = true;
}

// Each scan of a progressive picture is a pass over its whole coefficient buffer: more
// than this many is not a camera's picture but a way to keep the decoder busy.
constexpr int kMaxScans = 500;

void LimitScans(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) JumpBack(info);
}

// One decompression, released whatever step fails. The steps below each return to their
// own jump point, and hold nothing there that a jump would have to destroy.
struct Decoder {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    bool created = false;

    Decoder() {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = JumpBack;
        errors.manager.emit_message = NoteMessage;
        progress.progress_monitor = LimitScans;
    }
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&info);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

bool ReadHeaders(Decoder& d, const unsigned char* data, size_t length) {
    if (setjmp(d.errors.back) != 0) return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.info.progress = &d.progress;
    jpeg_mem_src(&d.info, data, static_cast<unsigned long>(length));
    return jpeg_read_header(&d.info, TRUE) == JPEG_HEADER_OK && !d.errors.warned &&
           d.info.image_width > 0 && d.info.image_height > 0;
}

// Starts the decode at num/denom of the picture's size into RGB. The library may allocate
// no more than memoryLimit for its own buffers: should the picture need more than its
// headers promised, the decode fails instead.
bool StartDecode(Decoder& d, int num, int denom, uint64_t memoryLimit) {
    if (setjmp(d.errors.back) != 0) return false;
    d.info.scale_num = static_cast<unsigned>(num);
    d.info.scale_denom = static_cast<unsigned>(denom);
    d.info.out_color_space = JCS_RGB;
    d.info.mem->max_memory_to_use = static_cast<long>(memoryLimit);
    return jpeg_start_decompress(&d.info) && d.info.output_components == 3 && !d.errors.warned;
}

bool ReadRows(Decoder& d, unsigned char* rgb) {
    if (setjmp(d.errors.back) != 0) return false;
    const size_t rowBytes = static_cast<size_t>(d.info.output_width) * 3;
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = rgb + rowBytes * d.info.output_scanline;
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1) return false;
    }
    jpeg_finish_decompress(&d.info);
    return !d.errors.warned;
}

JpegLayout LayoutOf(const jpeg_decompress_struct& info) {
    JpegLayout layout;
    layout.width = static_cast<int>(info.image_width);
    layout.height = static_cast<int>(info.image_height);
    layout.components = info.num_components;
    layout.progressive = info.progressive_mode != 0;
    layout.firstScanComponents = info.comps_in_scan;
    // The decoder keeps the whole image's coefficients for every frame that is not one
    // interleaved scan: a progressive frame, or one whose first scan carries fewer
    // components than the frame (the others come in later scans).
    if (!layout.progressive && layout.firstScanComponents >= layout.components) return layout;
    int maxH = 1, maxV = 1;
    for (int c = 0; c < info.num_components; ++c) {
        maxH = std::max(maxH, info.comp_info[c].h_samp_factor);
        maxV = std::max(maxV, info.comp_info[c].v_samp_factor);
    }
    auto blocks = [](uint64_t size, uint64_t samples, uint64_t maxSamples) {
        const uint64_t count = (size * samples + maxSamples * 8 - 1) / (maxSamples * 8);
        return (count + samples - 1) / samples * samples;  // whole MCUs
    };
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        layout.coefficientBytes +=
            blocks(info.image_width, component.h_samp_factor, maxH) *
            blocks(info.image_height, component.v_samp_factor, maxV) * sizeof(JBLOCK);
    }
    return layout;
}

// Why a picture is refused from its layout; "" when it may be decoded.
std::string Refusal(const JpegLayout& layout) {
    const uint64_t pixels = static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height);
    if (pixels > kSnapshotMaxPixels) return "a picture of more than 100 megapixels";
    if (layout.coefficientBytes > 0 && pixels > kSnapshotMaxBufferedPixels)
        return "a progressive or multi-scan picture of more than 8 megapixels";
    if (layout.coefficientBytes > kSnapshotMaxCoefficientBytes)
        return "a progressive or multi-scan picture of more than 50 MB of coefficients";
    return "";
}

// The largest reduction the library offers that still covers fitWidth x fitHeight; full
// size when even that is too small or no fit is asked. A picture so thin that covering the
// fit would decode more than kSnapshotMaxDecodedPixels is reduced the most.
tjscalingfactor ChooseScale(int width, int height, int fitWidth, int fitHeight) {
    tjscalingfactor best{1, 1}, least{1, 1};
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors != nullptr && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num * least.denom < least.num * f.denom) least = f;
        if (f.num >= f.denom || fitWidth <= 0 || fitHeight <= 0) continue;  // never enlarge
        if (TJSCALED(width, f) >= fitWidth && TJSCALED(height, f) >= fitHeight &&
            f.num * best.denom < best.num * f.denom)
            best = f;
    }
    const uint64_t decoded = static_cast<uint64_t>(TJSCALED(width, best)) *
                             static_cast<uint64_t>(TJSCALED(height, best));
    return decoded > kSnapshotMaxDecodedPixels ? least : best;
}

// The decoder's own allocations besides the coefficient buffer: its tables, and row
// buffers of a few block rows per component at the decoded width.
uint64_t DecoderWorkBytes(const JpegLayout& layout, uint64_t decodedWidth) {
    return (1u << 20) + decodedWidth * 64 * static_cast<uint64_t>(std::max(3, layout.components));
}

}  // namespace

bool ReadJpegLayout(const unsigned char* data, size_t length, JpegLayout* layout) {
    if (data == nullptr || length == 0) return false;
    Decoder decoder;
    if (!ReadHeaders(decoder, data, length)) return false;
    *layout = LayoutOf(decoder.info);
    return true;
}

uint64_t SnapshotDecodeBytes(const JpegLayout& layout, int fitWidth, int fitHeight) {
    const tjscalingfactor scale = ChooseScale(layout.width, layout.height, fitWidth, fitHeight);
    const uint64_t width = static_cast<uint64_t>(TJSCALED(layout.width, scale));
    const uint64_t height = static_cast<uint64_t>(TJSCALED(layout.height, scale));
    return layout.coefficientBytes + width * height * 3 + DecoderWorkBytes(layout, width);
}

bool DecodeSnapshot(const unsigned char* data, size_t length, SnapshotImage* image,
                    int fitWidth, int fitHeight, std::string* why) {
    if (data == nullptr || length == 0) return false;
    Decoder decoder;
    if (!ReadHeaders(decoder, data, length)) return false;
    // The size and layout come from the camera: check them before anything is allocated.
    const JpegLayout layout = LayoutOf(decoder.info);
    if (std::string refusal = Refusal(layout); !refusal.empty()) {
        refusal = std::to_string(layout.width) + "x" + std::to_string(layout.height) + ", " + refusal;
        TLOG_WARNING("(%s:%d)Snapshot refused: %s", refusal.c_str());
        if (why != nullptr) *why = refusal;
        return false;
    }
    const tjscalingfactor scale = ChooseScale(layout.width, layout.height, fitWidth, fitHeight);
    const uint64_t decodedWidth = static_cast<uint64_t>(TJSCALED(layout.width, scale));
    if (!StartDecode(decoder, scale.num, scale.denom,
                     layout.coefficientBytes + DecoderWorkBytes(layout, decodedWidth)))
        return false;
    SnapshotImage decoded;
    decoded.width = static_cast<int>(decoder.info.output_width);
    decoded.height = static_cast<int>(decoder.info.output_height);
    decoded.sourceWidth = layout.width;
    decoded.sourceHeight = layout.height;
    decoded.rgb.resize(static_cast<size_t>(decoded.width) * static_cast<size_t>(decoded.height) * 3);
    if (!ReadRows(decoder, decoded.rgb.data())) return false;
    *image = std::move(decoded);
    return true;
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
                    HttpResult why = HttpResult::Done;
                    if (fetch == nullptr || !fetch(context, buffer, &why))
                        why = HttpGetUrl(camera.ip, camera.httpPort, target.c_str(),
                                         camera.user, camera.password, buffer)
                                  .result;
                    SnapshotImage image;
                    if (why == HttpResult::Done &&
                        !DecodeSnapshot(buffer.data, buffer.length, &image, showWidth, showHeight))
                        why = HttpResult::NotCamera;
                    if (active_ && why == HttpResult::Done && onImage != nullptr)
                        onImage(context, image);
                    else if (active_ && why != HttpResult::Done && onFailure != nullptr)
                        onFailure(context, why);
                }
            } catch (...) {
                TLOG_WARNING("(%s:%d)Something Wrong...");
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return !running_; });
    }
}
