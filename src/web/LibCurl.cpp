#include "web/LibCurl.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "common/stdafx.h"

// ---- CurlBuffer -----------------------------------------------------------------------

CurlBuffer::~CurlBuffer() { std::free(data); }

void CurlBuffer::Reset() {
    if (data != nullptr) std::memset(data, 0, capacity);
    length = 0;
}

bool CurlBuffer::Reserve(uint32_t newCapacity) {
    if (data != nullptr && length > 0 && length <= newCapacity) {
        // Keep the content across the move to the new block.
        auto* temp = static_cast<unsigned char*>(std::calloc(length, 1));
        if (temp == nullptr) {
            TLOG_WARNING("(%s:%d)calloc pTemp memory fail");
            return false;
        }
        std::memcpy(temp, data, length);
        auto* block = static_cast<unsigned char*>(std::calloc(newCapacity, 1));
        if (block == nullptr) {
            TLOG_WARNING("(%s:%d)calloc buf memory fail");
            std::free(temp);
            return false;
        }
        std::free(data);
        std::memcpy(block, temp, length);
        std::free(temp);
        data = block;
        capacity = newCapacity;
        return true;
    }
    auto* block = static_cast<unsigned char*>(std::calloc(newCapacity, 1));
    if (block == nullptr) {
        TLOG_WARNING("(%s:%d)calloc buf memory fail");
        return false;
    }
    std::free(data);
    data = block;
    capacity = newCapacity;
    length = 0;  // nothing of the old content survived
    return true;
}

bool CurlBuffer::Append(const void* bytes, size_t n) {
    // Grow while there is no room for the bytes plus the terminating zero: a body that
    // exactly filled the block would otherwise no longer read as a terminated text.
    const uint64_t needed = static_cast<uint64_t>(length) + n;
    if (needed >= capacity) {
        uint64_t grown = needed * 2 + 2;
        if (memoryLimit != 0) {
            const uint64_t held = static_cast<uint64_t>(capacity) + length;
            if (held + needed + 1 > memoryLimit) {
                overMemory = true;
                return false;
            }
            grown = std::min<uint64_t>(grown, memoryLimit - held);
        }
        if (grown > UINT32_MAX) {
            TLOG_WARNING("(%s:%d)calloc buf memory fail");
            return false;
        }
        if (!Reserve(static_cast<uint32_t>(grown))) return false;
    }
    if (n > 0) std::memcpy(data + length, bytes, n);
    length = static_cast<uint32_t>(needed);
    return true;
}

// ---- libcurl helpers -----------------------------------------------------------------------

namespace {

std::once_flag g_curlInitOnce;

// Where a transfer's body goes: into buffer (or nowhere when it is null), at most limit
// bytes. Returning less than the chunk aborts the transfer (CURLE_WRITE_ERROR): a body
// past its cap, or one that cannot be stored whole, is refused rather than kept cut.
struct BodyTarget {
    CurlBuffer* buffer = nullptr;
    size_t limit = 0;
    size_t received = 0;
    bool overLimit = false;
};

size_t BodySink(char* chunk, size_t size, size_t count, void* userdata) {
    auto* target = static_cast<BodyTarget*>(userdata);
    const size_t n = size * count;
    if (n > target->limit - target->received) {
        target->overLimit = true;
        return 0;
    }
    target->received += n;
    if (target->buffer != nullptr && !target->buffer->Append(chunk, n)) return 0;
    return n;
}

struct EasyHandle {
    CURL* handle = curl_easy_init();
    ~EasyHandle() {
        if (handle != nullptr) curl_easy_cleanup(handle);
    }
};

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    bool Add(const char* line) {
        curl_slist* next = curl_slist_append(list, line);
        if (next == nullptr) return false;
        list = next;
        return true;
    }
};

constexpr size_t kTextMax = 260;
constexpr size_t kUrlMax = 4096;

// Every byte but the unreserved ones and "/" as %XX: a blank, "#", "%", "+", "&", "="
// or a non-ASCII byte would otherwise be refused by libcurl, cut the query or change its
// meaning at the camera.
std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

void HttpGlobalInit() {
    std::call_once(g_curlInitOnce, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

void HttpGlobalCleanup() { curl_global_cleanup(); }

int HttpRequest(const char* ip, const char* port, const char* user, const char* password,
                const char* path, CurlBuffer* buffer) {
    HttpGlobalInit();
    EasyHandle easy;
    if (easy.handle == nullptr) return CURLE_FAILED_INIT;
    CURL* h = easy.handle;

    if (ip == nullptr || port == nullptr || path == nullptr) return CURLE_BAD_FUNCTION_ARGUMENT;
    if (user == nullptr) user = "";
    if (password == nullptr) password = "";
    const std::string url = std::string("http://") + ip + ":" + port + path;
    if (url.size() >= kUrlMax || std::strlen(user) + std::strlen(password) + 1 >= kTextMax)
        return CURLE_BAD_FUNCTION_ARGUMENT;

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    // The name and the password go to libcurl apart, never as "user:password", so that a
    // ":" in either cannot move the split.
    curl_easy_setopt(h, CURLOPT_USERNAME, user);
    curl_easy_setopt(h, CURLOPT_PASSWORD, password);
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 2L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 2L);
    // Worker threads: time-outs must not rely on signals.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);

    HeaderList headers;
    if (!headers.Add("Content-Type: text/plain") ||
        !headers.Add("User-Agent:  Mozilla/5.0 (Windows NT 6.1; WOW64; Trident/7.0; rv:11.0) "
                     "like Gecko") ||
        !headers.Add("Connection: Keep-Alive") || !headers.Add("Cookie: ipcamera=test")) {
        return CURLE_OUT_OF_MEMORY;
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.list);

    // Without a buffer the body is still read off the connection, just not kept.
    BodyTarget target{buffer, kCgiReplyMax};
    if (buffer != nullptr) buffer->Reset();
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, BodySink);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &target);

    CURLcode result = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (target.overLimit) TLOG_WARNING("(%s:%d)%s answered more than %zu bytes", ip, kCgiReplyMax);
    if (result != CURLE_OK) return result;
    if (status == 200) return 0;
    return static_cast<int>(status);
}

namespace {

// Aborts a transfer once the caller's flag is set (libcurl asks at least once a second).
int AbortWhenAsked(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<const std::atomic<bool>*>(clientp);
    return abort->load() ? 1 : 0;
}

int GetUrl(const char* url, const char* user, const char* password, CurlBuffer& buffer,
           const std::atomic<bool>* abort) {
    HttpGlobalInit();
    EasyHandle easy;
    if (easy.handle == nullptr) return CURLE_FAILED_INIT;
    CURL* h = easy.handle;
    buffer.Reset();
    BodyTarget target{&buffer, kPictureMax};
    curl_easy_setopt(h, CURLOPT_URL, url);
    if (user != nullptr) {
        curl_easy_setopt(h, CURLOPT_USERNAME, user);
        curl_easy_setopt(h, CURLOPT_PASSWORD, password != nullptr ? password : "");
    }
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &target);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, BodySink);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    if (abort != nullptr) {
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, AbortWhenAsked);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(abort));
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode result = curl_easy_perform(h);
    if (target.overLimit) {
        TLOG_WARNING("(%s:%d)The answer is larger than %zu bytes", kPictureMax);
        buffer.Reset();
    }
    if (result != CURLE_OK) return result;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status == 200 || status == 201) return 0;
    TLOG_WARNING("(%s:%d)!!! Response code: %d\n", static_cast<int>(status));
    return status > 0 ? static_cast<int>(status) : -1;  // never 0: that is success
}

}  // namespace

bool HttpGetUrl(const char* url, CurlBuffer& buffer) {
    return GetUrl(url, nullptr, nullptr, buffer, nullptr) == 0;
}

bool HttpGetUrl(const char* url, const char* user, const char* password, CurlBuffer& buffer) {
    return GetUrl(url, user != nullptr ? user : "", password, buffer, nullptr) == 0;
}

int HttpGetUrlResult(const char* url, const char* user, const char* password, CurlBuffer& buffer,
                     const std::atomic<bool>* abort) {
    return GetUrl(url, user != nullptr ? user : "", password, buffer, abort);
}

// ---- CGI parameters ------------------------------------------------------------------------

namespace {

// One step of the get-reply grammar: at least one character other than '"'.
bool SkipNonQuotes(const char*& p) {
    if (*p == '\0' || *p == '"') return false;
    while (*p != '\0' && *p != '"') ++p;
    return true;
}

bool ExpectQuote(const char*& p) {
    if (*p != '"') return false;
    ++p;
    return true;
}

// At least one non-quote character, all of which must fit field with its NUL; a string
// that does not fit leaves the field empty and stops the scan.
bool ReadQuoted(const char*& p, char* field, size_t capacity) {
    const char* start = p;
    if (!SkipNonQuotes(p)) return false;
    const size_t n = static_cast<size_t>(p - start);
    if (n >= capacity) return false;
    std::memcpy(field, start, n);
    field[n] = '\0';
    return true;
}

}  // namespace

int ParseGetReply(const char* body, GetReply* reply) {
    std::memset(reply, 0, sizeof *reply);
    if (body == nullptr) return 0;
    const char* p = body;
    if (!SkipNonQuotes(p) || !ExpectQuote(p) || !ReadQuoted(p, reply->lead, sizeof reply->lead))
        return 0;
    if (!ExpectQuote(p) || !SkipNonQuotes(p) || !ExpectQuote(p) ||
        !ReadQuoted(p, reply->status, sizeof reply->status))
        return 1;
    if (!ExpectQuote(p) || !SkipNonQuotes(p) || !ExpectQuote(p) ||
        !ReadQuoted(p, reply->value, sizeof reply->value))
        return 2;
    return 3;
}

namespace {

int GetNodeInto(const char* ip, const char* port, const char* user, const char* password,
                const char* key, char* out, size_t capacity) {
    char path[kTextMax];
    int n = std::snprintf(path, sizeof path, "/cgi-bin/get?%s", key != nullptr ? key : "");
    if (n < 0 || n >= static_cast<int>(sizeof path)) return CURLE_BAD_FUNCTION_ARGUMENT;
    CurlBuffer buffer;
    int result = HttpRequest(ip, port, user, password, path, &buffer);
    if (result != 0) return result;
    if (buffer.length == 0) return 0;
    GetReply reply;
    ParseGetReply(buffer.Text(), &reply);
    if (std::strcmp(reply.status, "ok") != 0) return -1;
    BoundedCopy(out, capacity, reply.value, "GetNode", 47);
    return 0;
}

}  // namespace

int GetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* key, char (&out)[128]) {
    return GetNodeInto(ip, port, user, password, key, out, sizeof out);
}

int GetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* key, char (&out)[1024]) {
    return GetNodeInto(ip, port, user, password, key, out, sizeof out);
}

int GetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* key, char* out, size_t capacity) {
    return GetNodeInto(ip, port, user, password, key, out, capacity);
}

std::string SetQuery(const char* assignments) {
    std::string query;
    const std::string text = assignments != nullptr ? assignments : "";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string::npos) end = text.size();
        const std::string piece = text.substr(start, end - start);
        const size_t equals = piece.find('=');
        if (!query.empty()) query += '&';
        if (equals == std::string::npos) {
            query += PercentEncode(piece);
        } else {
            query += PercentEncode(piece.substr(0, equals)) + "=" +
                     PercentEncode(piece.substr(equals + 1));
        }
        start = end + 1;
    }
    return query;
}

int SetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* assignments) {
    const std::string path = "/cgi-bin/set?" + SetQuery(assignments);
    CurlBuffer reply;
    const int result = HttpRequest(ip, port, user, password, path.c_str(), &reply);
    if (result != 0) return result;
    // The camera answers every assignment with its status; one it did not take fails the set.
    if (std::strstr(reply.Text(), "status=\"error\"") != nullptr) {
        TLOG_WARNING("(%s:%d)%s refused a setting: %s", ip, reply.Text());
        return -1;
    }
    return 0;
}
