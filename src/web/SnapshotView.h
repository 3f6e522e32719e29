#pragma once
// The snapshot view's worker: while active, fetches the selected camera's still picture
// once a second, decodes it into a plain image and hands it to the view to draw. Failures
// draw nothing and never end the loop.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "web/HttpOutcome.h"

struct CurlBuffer;

// A decoded picture: 8-bit RGB, rows top to bottom, no padding.
struct SnapshotImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    int sourceWidth = 0;  // the picture's own size, before any scaling on decode
    int sourceHeight = 0;
};

// The size the snapshot view shows a picture at.
constexpr int kSnapshotShownWidth = 300;
constexpr int kSnapshotShownHeight = 225;
// Pictures larger than this are refused from their header, before decoding. A picture that
// is not one interleaved scan (progressive, or sequential in several scans) keeps every
// coefficient of the whole image in memory while it decodes, even when decoded scaled
// down, so its limit is lower: 8 megapixels, and some 50 MB of coefficients at most.
constexpr uint64_t kSnapshotMaxPixels = 100'000'000;
constexpr uint64_t kSnapshotMaxBufferedPixels = 8'000'000;
constexpr uint64_t kSnapshotMaxCoefficientBytes = 50'000'000;
// However small the view, a picture is decoded no larger than this: a very thin picture
// would otherwise be decoded whole to cover the view's other side.
constexpr uint64_t kSnapshotMaxDecodedPixels = 4'000'000;

// A JPEG's frame and first scan, as the JPEG library itself reads them (its own marker
// rules: markers without a length, padding, segments hiding marker-like bytes), so that
// what is checked is what the decoder will do.
struct JpegLayout {
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    int firstScanComponents = 0;
    // The coefficient buffer of the whole image, when the decoder keeps one (progressive,
    // or a first scan with fewer components than the frame); 0 for one interleaved scan.
    uint64_t coefficientBytes = 0;
};

// Reads the headers up to the first scan; false when they are not those of a JPEG.
bool ReadJpegLayout(const unsigned char* data, size_t length, JpegLayout* layout);

// What decoding the picture for fitWidth x fitHeight costs in memory, counted from above:
// the coefficient buffer, the decoded image and the decoder's row buffers.
uint64_t SnapshotDecodeBytes(const JpegLayout& layout, int fitWidth, int fitHeight);

// The four fields of the camera record that a fetch needs, copied afresh on every pass.
struct SnapshotCamera {
    char user[128];
    char password[128];
    char ip[128];
    char httpPort[128];
};

// Decodes a JPEG body, scaled down by the largest of the JPEG library's factors (1/2, 1/4,
// 1/8...) that still covers fitWidth x fitHeight, so a huge picture never costs its full
// size in memory (fit 0: full size), and never to more than kSnapshotMaxDecodedPixels.
// False (image untouched) when it is not a decodable picture or its header claims too
// many pixels or coefficients (why, when given, then says so).
bool DecodeSnapshot(const unsigned char* data, size_t length, SnapshotImage* image,
                    int fitWidth = kSnapshotShownWidth, int fitHeight = kSnapshotShownHeight,
                    std::string* why = nullptr);

// Scales by dropping or repeating pixels (no blending) to exactly width x height.
SnapshotImage StretchSnapshot(const SnapshotImage& source, int width, int height);

// "/cgi-bin/snapshot.cgi?abc=" followed by hour, minute, second and millisecond in decimal
// without leading zeros (9:05:07.042 gives "95742"): every URL differs, so no cache answers.
std::string SnapshotTarget(int hour, int minute, int second, int millisecond);

class CSnapshotWorker {
public:
    CSnapshotWorker() = default;
    // Clears both flags and waits for the worker.
    ~CSnapshotWorker();
    CSnapshotWorker(const CSnapshotWorker&) = delete;
    CSnapshotWorker& operator=(const CSnapshotWorker&) = delete;

    // Copies the shown camera's fields under the camera list's lock; false when there is
    // no camera to show.
    bool (*readCamera)(void* context, SnapshotCamera* camera) = nullptr;
    // Called on the worker thread with every decoded picture while the view is active.
    void (*onImage)(void* context, const SnapshotImage& image) = nullptr;
    // Called on the worker thread when a pass brings no picture: why the camera gave none
    // (NotCamera also for an answer that is not a picture that can be decoded).
    void (*onFailure)(void* context, HttpResult why) = nullptr;
    // When set, asked first on every pass: true when it fetched the picture itself into
    // `picture` (a device whose picture is found another way), with `why` saying how that
    // went; false leaves the pass to the camera's snapshot address.
    bool (*fetch)(void* context, CurlBuffer& picture, HttpResult* why) = nullptr;
    void* context = nullptr;
    int intervalMs = 1000;
    int showWidth = kSnapshotShownWidth;  // pictures are decoded no larger than needed
    int showHeight = kSnapshotShownHeight;

    // Sets running and active; creates the worker the first time only.
    void Start();
    // Clears active; the worker idles until the next Start.
    void Pause();
    bool Active() const { return active_; }
    // Workers created so far (one for the view's whole life).
    int WorkersCreated() const { return workersCreated_; }

private:
    void Run();

    std::atomic<bool> running_{false};
    std::atomic<bool> active_{false};
    std::atomic<int> workersCreated_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread worker_;
};
