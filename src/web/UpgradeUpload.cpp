// The firmware upload: one multipart POST whose body is the form head, the shared image and
// the form tail, streamed straight from the one loaded image.

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/stdafx.h"
#include "web/LibCurl.h"
#include "web/UpgradeProc.h"

namespace {

constexpr char kBoundary[] = "---------------------------7df3e520408c2";
constexpr long kReceiveTimeoutSeconds = 195;

// head + image + tail as one read-only byte stream that libcurl can rewind: a Digest
// camera answers the first attempt with 401 and the body must go out again.
struct UploadStream {
    const std::string* head;
    const unsigned char* image;
    uint64_t imageSize;
    const std::string* tail;
    uint64_t position = 0;

    uint64_t Size() const { return head->size() + imageSize + tail->size(); }

    size_t Read(char* out, size_t capacity) {
        size_t written = 0;
        while (written < capacity && position < Size()) {
            const char* source;
            uint64_t available;
            if (position < head->size()) {
                source = head->data() + position;
                available = head->size() - position;
            } else if (position < head->size() + imageSize) {
                const uint64_t offset = position - head->size();
                source = reinterpret_cast<const char*>(image) + offset;
                available = imageSize - offset;
            } else {
                const uint64_t offset = position - head->size() - imageSize;
                source = tail->data() + offset;
                available = tail->size() - offset;
            }
            const size_t n = static_cast<size_t>(
                std::min<uint64_t>(available, static_cast<uint64_t>(capacity - written)));
            std::memcpy(out + written, source, n);
            written += n;
            position += n;
        }
        return written;
    }
};

size_t ReadBody(char* out, size_t size, size_t count, void* userdata) {
    return static_cast<UploadStream*>(userdata)->Read(out, size * count);
}

int SeekBody(void* userdata, curl_off_t offset, int origin) {
    auto* stream = static_cast<UploadStream*>(userdata);
    uint64_t target;
    if (origin == SEEK_SET)
        target = static_cast<uint64_t>(offset);
    else if (origin == SEEK_CUR)
        target = stream->position + static_cast<uint64_t>(offset);
    else if (origin == SEEK_END)
        target = stream->Size() + static_cast<uint64_t>(offset);
    else
        return CURL_SEEKFUNC_CANTSEEK;
    if (offset < 0 && origin == SEEK_SET) return CURL_SEEKFUNC_FAIL;
    if (target > stream->Size()) return CURL_SEEKFUNC_FAIL;
    stream->position = target;
    return CURL_SEEKFUNC_OK;
}

// The camera's answer is only read, never kept; but one longer than any answer of a camera
// breaks the transfer off, so that an endless answer cannot hold the upload slot.
size_t DiscardBody(char*, size_t size, size_t count, void* userdata) {
    auto* received = static_cast<size_t*>(userdata);
    *received += size * count;
    return *received > kCgiReplyMax ? 0 : size * count;
}

}  // namespace

std::string UpgradeProc::FormHead(const char* uploadName) {
    std::string head = "--";
    head += kBoundary;
    head += "\r\nContent-Disposition: form-data; name=\"binary\"; filename=\"";
    head += uploadName;
    head += "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    return head;
}

std::string UpgradeProc::FormTail() {
    std::string tail = "\r\n--";
    tail += kBoundary;
    tail += "\r\nContent-Disposition: form-data; name=\"type\"\r\n\r\nfirmware\r\n--";
    tail += kBoundary;
    tail += "--\r\n";
    return tail;
}

bool UpgradeProc::UploadFirmware(UpgradeItem* item, int* lastPercent, int64_t timeoutMs) {
    Image image;
    uint32_t imageSize;
    std::string head;
    {
        std::lock_guard<std::mutex> lock(lock_);
        image = image_;
        imageSize = imageSize_;
        head = FormHead(uploadName_);
    }
    const std::string tail = FormTail();
    char ip[32], port[32], user[41], password[41], mac[32];
    {
        std::lock_guard<std::mutex> lock(itemLock);
        CopyTruncated(ip, item->ip);
        CopyTruncated(port, item->httpPort);
        CopyTruncated(user, item->user);
        CopyTruncated(password, item->password);
        CopyTruncated(mac, item->mac);
    }
    if (!image || imageSize == 0 || image->size() != imageSize) {
        TLOG_WARNING("(%s:%d)%s pFwBuf=%X fwSize=%d error.", ip,
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(image ? image->data() : nullptr)),
             static_cast<int>(imageSize));
        return false;
    }
    // No private copy of the body: every camera streams from the one shared image.
    UploadStream stream{&head, image->data(), imageSize, &tail};
    Report(item, 2, lastPercent);

    HttpGlobalInit();
    CURL* h = curl_easy_init();
    if (h == nullptr) {
        Report(item, 5, lastPercent);
        return false;
    }
    CameraAddress address;
    const std::string url = ParseCameraAddress(ip, port, &address)
                                ? CameraUrl(address, "/cgi-bin/upload.cgi")
                                : std::string();
    if (url.empty()) {
        TLOG_WARNING("(%s:%d)%s has no camera's address: nothing is uploaded", mac);
        curl_easy_cleanup(h);
        Report(item, 5, lastPercent);
        return false;
    }
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    ConfineCameraTransfer(h);
    curl_easy_setopt(h, CURLOPT_USERNAME, user);
    curl_easy_setopt(h, CURLOPT_PASSWORD, password);
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(stream.Size()));
    curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadBody);
    curl_easy_setopt(h, CURLOPT_READDATA, &stream);
    curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, SeekBody);
    curl_easy_setopt(h, CURLOPT_SEEKDATA, &stream);
    size_t answered = 0;
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, DiscardBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &answered);
    // Give up when nothing moves for the receive time-out, and in any case at the upload's
    // deadline: a camera trickling its answer a byte at a time never stops "moving".
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kReceiveTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    // Called at least once a second even while the camera is silent, so that closing the
    // page breaks the transfer off at once rather than after the receive time-out.
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &UpgradeProc::TransferProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);

    curl_slist* headers = nullptr;
    const char* lines[] = {
        "Accept: text/html, application/xhtml+xml, */*",
        "Referer: http://localhost/www/index.html",
        "Accept-Language: zh-TW",
        "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64; Trident/7.0; rv:11.0) like Gecko",
        "Accept-Encoding: gzip, deflate",
        "Content-type: multipart/form-data; boundary=---------------------------7df3e520408c2",
        "Expect:",  // the body follows the headers at once, with no interim answer awaited
    };
    bool headersOk = true;
    for (const char* line : lines) {
        curl_slist* next = curl_slist_append(headers, line);
        if (next == nullptr) {
            headersOk = false;
            break;
        }
        headers = next;
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    Report(item, 3, lastPercent);

    CURLcode result = headersOk ? curl_easy_perform(h) : CURLE_OUT_OF_MEMORY;
    if (result != CURLE_OK) TLOG_WARNING("(%s:%d)%s SendRequest Fail", mac);
    else Report(item, 4, lastPercent);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);  // not used: the status decides
    curl_slist_free_all(headers);
    curl_easy_cleanup(h);
    Report(item, 5, lastPercent);
    return result == CURLE_OK;
}
