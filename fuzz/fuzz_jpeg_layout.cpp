// Pictures come from cameras: any bytes either read as a JPEG layout or fail cleanly, and
// a picture the bounds refuse by its layout is never decoded.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "web/SnapshotView.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JpegLayout layout;
    if (!ReadJpegLayout(data, size, &layout)) return 0;
    if (layout.width <= 0 || layout.height <= 0 || layout.components <= 0) std::abort();
    const bool buffered = layout.progressive || layout.firstScanComponents < layout.components;
    if (buffered != (layout.coefficientBytes > 0)) std::abort();
    const uint64_t pixels = static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height);
    // Decoding a large picture of junk data is slow, not wrong: only the checks run for it.
    if (pixels > 4'000'000 && pixels <= kSnapshotMaxPixels && !buffered) return 0;
    SnapshotImage image;
    if (!DecodeSnapshot(data, size, &image, 64, 48)) return 0;
    if (pixels > kSnapshotMaxPixels || (buffered && pixels > kSnapshotMaxBufferedPixels) ||
        layout.coefficientBytes > kSnapshotMaxCoefficientBytes ||
        static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) >
            kSnapshotMaxDecodedPixels ||
        image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        std::abort();
    return 0;
}
