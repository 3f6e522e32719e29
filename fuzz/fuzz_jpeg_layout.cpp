// Pictures come from cameras: any bytes either read as a JPEG layout or fail cleanly, and
// a picture the bounds refuse by its layout is never decoded. Random bytes rarely look
// like a JPEG's headers, so most inputs are spliced into the headers of a small real
// picture (the first byte picks it and whether to insert or overwrite, the next two the
// place): segments, markers and sizes the decoder really reads.

#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "web/SnapshotView.h"

namespace {

std::vector<unsigned char> Picture(bool progressive) {
    std::vector<unsigned char> rgb(32 * 24 * 3, 90);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), 32, 0, 24, TJPF_RGB, &jpeg, &size, TJSAMP_420, 75,
                progressive ? TJFLAG_PROGRESSIVE : 0);
    std::vector<unsigned char> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

void Check(const unsigned char* data, size_t size) {
    JpegLayout layout;
    if (!ReadJpegLayout(data, size, &layout)) return;
    if (layout.width <= 0 || layout.height <= 0 || layout.components <= 0) std::abort();
    const bool buffered = layout.progressive || layout.firstScanComponents < layout.components;
    if (buffered != (layout.coefficientBytes > 0)) std::abort();
    const uint64_t pixels = static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height);
    // Decoding a large picture of junk data is slow, not wrong: only the checks run for it.
    if (pixels > 4'000'000 && pixels <= kSnapshotMaxPixels && !buffered) return;
    SnapshotImage image;
    if (!DecodeSnapshot(data, size, &image, 64, 48)) return;
    if (pixels > kSnapshotMaxPixels || (buffered && pixels > kSnapshotMaxBufferedPixels) ||
        layout.coefficientBytes > kSnapshotMaxCoefficientBytes ||
        static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) >
            kSnapshotMaxDecodedPixels ||
        image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<unsigned char> pictures[] = {Picture(false), Picture(true)};
    Check(data, size);
    if (size < 3) return 0;
    std::vector<unsigned char> spliced = pictures[data[0] & 1];
    const size_t at = 2 + (static_cast<size_t>(data[1]) << 8 | data[2]) % (spliced.size() - 2);
    if (data[0] & 2) {
        for (size_t i = 3; i < size && at + i - 3 < spliced.size(); ++i) spliced[at + i - 3] = data[i];
    } else {
        spliced.insert(spliced.begin() + static_cast<long>(at), data + 3, data + size);
    }
    Check(spliced.data(), spliced.size());
    return 0;
}
