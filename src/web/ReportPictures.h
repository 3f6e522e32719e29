#pragma once
// The pictures of a site report: one still picture per verified camera, fetched as the
// snapshot view fetches it, checked and decoded with the snapshot view's bounds, and made
// into a small JPEG thumbnail that a document can carry inline. Fetches run on workers of
// their own, a few at once; the caller blocks until they are done or cancelled.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The widest and tallest a thumbnail is; a picture is scaled to fit, keeping its shape.
constexpr int kThumbnailMaxWidth = 320;
constexpr int kThumbnailMaxHeight = 480;
// How many pictures are fetched at once.
constexpr int kReportFetchesAtOnce = 5;
// The memory every picture of a report takes at once: the bodies as they arrive and the
// decoding of each. Fetches running side by side share it equally; a picture that needs
// more than its share is fetched again once the others are done, alone with all of it.
constexpr size_t kReportPictureMemory = 64 * 1024 * 1024;

// Why a camera has no picture in the report.
enum class PictureMissing {
    None,         // it has one
    NotVerified,  // its credentials were not verified, so it was not asked
    Refused,      // it refused the credentials
    NoAnswer,     // it did not answer over HTTP (no connection, time-out)
    NotPicture,   // it answered with something that is not a picture within bounds, or
                  // its address is not a camera's (nothing was asked)
    NoOwnAddress, // it names no picture address on itself (an ONVIF device): nothing asked
};

struct ReportPicture {
    std::string jpeg;  // the thumbnail's JPEG bytes; empty when there is none
    int width = 0;
    int height = 0;
    PictureMissing missing = PictureMissing::None;
    bool accepted = false;  // the camera answered the request with the credentials (status 200)
};

struct CurlBuffer;

// Where one camera's picture is fetched from, with its verified credentials; or, for a
// device whose picture is fetched by a caller of its own (an ONVIF device, through the
// engine with the credentials it accepted), `fetch`: it fills the body, keeping within the
// body's memory limit, and says why there is no picture (None when the body is one).
struct PictureSource {
    std::string ip, port, user, password;
    std::function<PictureMissing(CurlBuffer& body)> fetch = nullptr;
};

// A thumbnail of a picture body. NotPicture (no bytes) when the body is not a decodable
// picture, its size is beyond the snapshot bounds or decoding it would take more than
// memory (*overMemory, when given, then says whether it would fit the whole budget).
ReportPicture MakeThumbnail(const unsigned char* data, size_t length,
                            size_t memory = kReportPictureMemory, bool* overMemory = nullptr);

// Fetches one camera's picture and makes its thumbnail, the body and the decoding within
// memory (*overMemory, when given, set when either would take more). The fetch stops early
// once *cancel (when given) becomes true; it then counts as NoAnswer.
ReportPicture FetchReportPicture(const PictureSource& source,
                                 const std::atomic<bool>* cancel = nullptr,
                                 size_t memory = kReportPictureMemory, bool* overMemory = nullptr);

// Fetches every source's picture, at most `atOnce` at a time; results in the sources'
// order, within kReportPictureMemory in all. progress (when set) is called after each
// picture with the number done so far, from the workers, one call at a time. Once cancel is set no new fetch starts and those
// under way are aborted; the call returns when every worker has ended.
std::vector<ReportPicture> FetchReportPictures(
    const std::vector<PictureSource>& sources, int atOnce, const std::atomic<bool>& cancel,
    const std::function<void(size_t done, size_t total)>& progress = nullptr);
