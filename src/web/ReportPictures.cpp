#include "web/ReportPictures.h"

#include <malloc.h>
#include <turbojpeg.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "common/stdafx.h"
#include "web/LibCurl.h"
#include "web/SnapshotView.h"

namespace {

// The size that fits in the thumbnail's box, keeping the picture's shape; never larger.
void FitThumbnail(int width, int height, int* outWidth, int* outHeight) {
    double scale = std::min(1.0, std::min(static_cast<double>(kThumbnailMaxWidth) / width,
                                          static_cast<double>(kThumbnailMaxHeight) / height));
    *outWidth = std::max(1, static_cast<int>(width * scale + 0.5));
    *outHeight = std::max(1, static_cast<int>(height * scale + 0.5));
}

// Scales down by averaging each target pixel's share of the source: a thumbnail made by
// dropping pixels shimmers with the picture's fine detail.
SnapshotImage Shrink(const SnapshotImage& source, int width, int height) {
    SnapshotImage out;
    out.width = width;
    out.height = height;
    out.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const int y0 = static_cast<int>(static_cast<int64_t>(y) * source.height / height);
        const int y1 = std::max(
            y0 + 1, static_cast<int>(static_cast<int64_t>(y + 1) * source.height / height));
        for (int x = 0; x < width; ++x) {
            const int x0 = static_cast<int>(static_cast<int64_t>(x) * source.width / width);
            const int x1 = std::max(
                x0 + 1, static_cast<int>(static_cast<int64_t>(x + 1) * source.width / width));
            uint64_t sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const unsigned char* p =
                    &source.rgb[(static_cast<size_t>(sy) * source.width + x0) * 3];
                for (int sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
            unsigned char* d = &out.rgb[(static_cast<size_t>(y) * width + x) * 3];
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<unsigned char>((sum[c] + n / 2) / n);
        }
    }
    return out;
}

bool EncodeJpeg(const SnapshotImage& image, std::string* jpeg) {
    tjhandle handle = tjInitCompress();
    if (handle == nullptr)
        return false;
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    const bool ok = tjCompress2(handle, image.rgb.data(), image.width, 0, image.height, TJPF_RGB,
                                &bytes, &size, TJSAMP_420, 80, 0) == 0;
    if (ok)
        jpeg->assign(reinterpret_cast<const char*>(bytes), size);
    tjFree(bytes);
    tjDestroy(handle);
    return ok;
}

}  // namespace

ReportPicture MakeThumbnail(const unsigned char* data, size_t length, size_t memory,
                            bool* overMemory) {
    ReportPicture picture;
    picture.missing = PictureMissing::NotPicture;
    // Decoded no larger than the library's nearest reduction above the thumbnail, refused
    // from its header when it claims too many pixels, as the view does, and not decoded
    // at all when that would take more than the memory given.
    JpegLayout layout;
    if (!ReadJpegLayout(data, length, &layout))
        return picture;
    int width = 0, height = 0;
    FitThumbnail(layout.width, layout.height, &width, &height);
    // Besides the decoding: the shrunk thumbnail and the encoder's copy of it.
    const uint64_t needed = SnapshotDecodeBytes(layout, width, height) +
                            static_cast<uint64_t>(width) * height * 3 * 2;
    if (needed > memory) {
        TLOG("(%s:%d)Report: a %dx%d picture would take more than %zu bytes to decode",
             layout.width, layout.height, memory);
        // One that would not fit the whole budget beside its body is not worth fetching again.
        if (overMemory != nullptr)
            *overMemory = needed + length <= kReportPictureMemory;
        return picture;
    }
    SnapshotImage decoded;
    if (!DecodeSnapshot(data, length, &decoded, width, height))
        return picture;
    width = std::min(width, decoded.width);
    height = std::min(height, decoded.height);
    const SnapshotImage small = width == decoded.width && height == decoded.height
                                    ? std::move(decoded)
                                    : Shrink(decoded, width, height);
    if (!EncodeJpeg(small, &picture.jpeg))
        return picture;
    picture.width = small.width;
    picture.height = small.height;
    picture.missing = PictureMissing::None;
    return picture;
}

ReportPicture FetchReportPicture(const PictureSource& source, const std::atomic<bool>* cancel,
                                 size_t memory, bool* overMemory) {
    ReportPicture picture;
    CurlBuffer body;
    body.memoryLimit = memory;
    // The body's block was counted whole while it grew; of it, only the bytes received
    // were ever touched.
    const auto thumbnail = [&] {
        return MakeThumbnail(body.data, body.length, memory - std::min<size_t>(memory, body.length),
                             overMemory);
    };
    if (source.fetch) {
        picture.missing = source.fetch(body);
        if (body.overMemory && overMemory != nullptr)
            *overMemory = true;
        if (picture.missing == PictureMissing::None)
            picture = thumbnail();
        // Anything but a refusal or silence came from a device that took the credentials.
        picture.accepted = picture.missing != PictureMissing::Refused &&
                           picture.missing != PictureMissing::NoAnswer &&
                           picture.missing != PictureMissing::NotVerified;
        return picture;
    }
    const HttpOutcome result =
        HttpGetUrl(source.ip.c_str(), source.port.c_str(), SnapshotTarget(0, 0, 0, 0).c_str(),
                   source.user.c_str(), source.password.c_str(), body, cancel);
    if (body.overMemory && overMemory != nullptr)
        *overMemory = true;
    if (result.Done()) {
        picture = thumbnail();
        picture.accepted = true;
        if (picture.missing != PictureMissing::None)
            TLOG("(%s:%d)Report: %s sent no picture", source.ip.c_str());
        return picture;
    }
    TLOG("(%s:%d)Report: picture of %s: %s", source.ip.c_str(), DescribeOutcome(result).c_str());
    picture.missing = result.result == HttpResult::Refused    ? PictureMissing::Refused
                      : result.result == HttpResult::NoAnswer ? PictureMissing::NoAnswer
                                                              : PictureMissing::NotPicture;
    return picture;
}

std::vector<ReportPicture> FetchReportPictures(
    const std::vector<PictureSource>& sources, int atOnce, const std::atomic<bool>& cancel,
    const std::function<void(size_t done, size_t total)>& progress) {
    std::vector<ReportPicture> pictures(sources.size());
    for (ReportPicture& p : pictures)
        p.missing = PictureMissing::NoAnswer;
    std::atomic<size_t> next{0};
    std::mutex doneLock;
    size_t done = 0;
    std::vector<size_t> deferred;  // pictures that need more than a share, in order
    auto finish = [&](size_t i, const ReportPicture& picture) {
        std::lock_guard<std::mutex> lock(doneLock);
        pictures[i] = picture;
        ++done;
        if (progress)
            progress(done, sources.size());
    };
    const size_t workers =
        std::min<size_t>(sources.size(), static_cast<size_t>(std::max(1, atOnce)));
    // Side by side, each fetch keeps within its equal share of the budget.
    const size_t share = kReportPictureMemory / std::max<size_t>(1, workers);
    auto work = [&] {
        for (size_t i = next++; i < sources.size() && !cancel.load(); i = next++) {
            bool overMemory = false;
            const ReportPicture picture = FetchReportPicture(sources[i], &cancel, share, &overMemory);
            if (overMemory && workers > 1) {
                std::lock_guard<std::mutex> lock(doneLock);
                deferred.push_back(i);
                continue;
            }
            finish(i, picture);
        }
    };
    std::vector<std::thread> threads;
    for (size_t k = 0; k < workers; ++k)
        threads.emplace_back(work);
    for (std::thread& t : threads)
        t.join();
    // Then each larger one alone, with the whole budget. Before each, what the fetches so
    // far left in the allocator's free lists goes back to the system: the allocator keeps
    // up to twice its largest block, which would come on top of the budget.
    std::sort(deferred.begin(), deferred.end());
    for (size_t i : deferred) {
        if (cancel.load())
            break;
        malloc_trim(0);
        finish(i, FetchReportPicture(sources[i], &cancel));
    }
    return pictures;
}
