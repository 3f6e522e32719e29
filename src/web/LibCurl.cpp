#include "web/LibCurl.h"

#include <arpa/inet.h>
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

#include "common/CameraText.h"
#include "common/stdafx.h"
#include "finder/LibIP.h"

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

// ---- addresses and URLs --------------------------------------------------------------------

bool ParseCameraAddress(const char* ip, const char* port, CameraAddress* out) {
    // inet_pton takes exactly four decimal parts without leading zeros; the port is the
    // one the settings accept.
    in_addr parsed{};
    if (ip == nullptr || ::inet_pton(AF_INET, ip, &parsed) != 1 || !IsValidPortText(port))
        return false;
    out->ip = ntohl(parsed.s_addr);
    out->port = static_cast<uint16_t>(std::atoi(port));
    return true;
}

std::string CameraUrl(const CameraAddress& address, const char* path) {
    if (path == nullptr || (path[0] != '/' && path[0] != '\0')) return "";
    for (const char* p = path; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= 0x20 || c >= 0x7F || c == '#' || c == '\\') return "";
    }
    char authority[32];
    std::snprintf(authority, sizeof authority, "http://%u.%u.%u.%u:%u", address.ip >> 24,
                  (address.ip >> 16) & 255, (address.ip >> 8) & 255, address.ip & 255,
                  static_cast<unsigned>(address.port));
    return authority + std::string(path);
}

void ConfineCameraTransfer(void* curlHandle) {
    CURL* h = curlHandle;
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http");
#else
    curl_easy_setopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP));
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP));
#endif
    // No CURLOPT_MAXREDIRS of 0: libcurl counts the second leg of a Digest exchange
    // against it. Not following is enough.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_UNRESTRICTED_AUTH, 0L);
}

std::string DescribeOutcome(const HttpOutcome& outcome) {
    static const char* const kWhat[] = {"done",         "refused",   "no answer",
                                        "not a camera", "too large", "transport error"};
    std::string text = kWhat[static_cast<int>(outcome.result)];
    if (outcome.httpStatus != 0) text += " (HTTP " + std::to_string(outcome.httpStatus) + ")";
    if (outcome.curlCode != 0) text += " (curl " + std::to_string(outcome.curlCode) + ")";
    return text;
}

// ---- requests ------------------------------------------------------------------------------

namespace {

// Aborts a transfer once the caller's flag is set (libcurl asks at least once a second).
int AbortWhenAsked(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<const std::atomic<bool>*>(clientp);
    return abort->load() ? 1 : 0;
}

// One request to a camera, as the three kinds of request make it.
struct Exchange {
    const char* ip = nullptr;
    const char* port = nullptr;
    const char* path = nullptr;
    const char* user = nullptr;  // nullptr: no credentials
    const char* password = nullptr;
    CurlBuffer* buffer = nullptr;
    size_t limit = kCgiReplyMax;
    long connectSeconds = 0;  // 0: libcurl's own
    long timeoutSeconds = 2;
    bool cgiHeaders = false;
    bool createdIsDone = false;       // 201 counts as done (a picture)
    const std::string* post = nullptr;  // a POST of this body when set
    const char* contentType = nullptr;
    const std::atomic<bool>* abort = nullptr;
};

// The libcurl results that mean the camera never answered, or stopped answering.
bool IsSilence(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_ABORTED_BY_CALLBACK:
            return true;
        default:
            return false;
    }
}

HttpOutcome Classify(CURLcode code, long status, bool overLimit, bool createdIsDone) {
    HttpOutcome outcome{HttpResult::Done, static_cast<int>(code), static_cast<int>(status)};
    if (overLimit)
        outcome.result = HttpResult::TooLarge;
    else if (code != CURLE_OK)
        // A status read before the failure is an earlier leg's (the Digest challenge's 401).
        outcome = {IsSilence(code) ? HttpResult::NoAnswer : HttpResult::TransportError,
                   static_cast<int>(code), 0};
    else if (status == 200 || (status == 201 && createdIsDone))
        outcome.result = HttpResult::Done;
    else if (status == 401 || status == 403)
        outcome.result = HttpResult::Refused;
    else
        outcome.result = HttpResult::NotCamera;
    return outcome;
}

HttpOutcome Perform(const Exchange& x) {
    CameraAddress address;
    const std::string url = ParseCameraAddress(x.ip, x.port, &address) ? CameraUrl(address, x.path)
                                                                      : std::string();
    if (url.empty() || url.size() >= kUrlMax) {
        TLOG_WARNING("(%s:%d)No request to %s:%s: not a camera's address and path",
                     EscapedForTerminal(x.ip != nullptr ? x.ip : "").c_str(),
                     EscapedForTerminal(x.port != nullptr ? x.port : "").c_str());
        return {HttpResult::TransportError, CURLE_URL_MALFORMAT, 0};
    }
    if (x.user != nullptr &&
        std::strlen(x.user) + std::strlen(x.password != nullptr ? x.password : "") + 1 >= kTextMax)
        return {HttpResult::TransportError, CURLE_BAD_FUNCTION_ARGUMENT, 0};
    HttpGlobalInit();
    EasyHandle easy;
    if (easy.handle == nullptr) return {HttpResult::TransportError, CURLE_FAILED_INIT, 0};
    CURL* h = easy.handle;

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    ConfineCameraTransfer(h);
    if (x.user != nullptr) {
        // The name and the password go to libcurl apart, never as "user:password", so that
        // a ":" in either cannot move the split.
        curl_easy_setopt(h, CURLOPT_USERNAME, x.user);
        curl_easy_setopt(h, CURLOPT_PASSWORD, x.password != nullptr ? x.password : "");
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    }
    if (x.connectSeconds > 0) curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, x.connectSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, x.timeoutSeconds);
    // Worker threads: time-outs must not rely on signals.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);

    HeaderList headers;
    const std::string contentType =
        std::string("Content-Type: ") + (x.contentType != nullptr ? x.contentType : "text/plain");
    if (x.cgiHeaders || x.post != nullptr) {
        if (!headers.Add(contentType.c_str()) ||
            (x.cgiHeaders &&
             (!headers.Add("User-Agent:  Mozilla/5.0 (Windows NT 6.1; WOW64; Trident/7.0; "
                           "rv:11.0) like Gecko") ||
              !headers.Add("Connection: Keep-Alive") || !headers.Add("Cookie: ipcamera=test"))))
            return {HttpResult::TransportError, CURLE_OUT_OF_MEMORY, 0};
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.list);
    }
    if (x.post != nullptr) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, x.post->data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(x.post->size()));
    }

    // Without a buffer the body is still read off the connection, just not kept.
    BodyTarget target{x.buffer, x.limit};
    if (x.buffer != nullptr) x.buffer->Reset();
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, BodySink);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &target);
    if (x.abort != nullptr) {
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, AbortWhenAsked);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(x.abort));
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }

    const CURLcode code = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (target.overLimit) {
        TLOG_WARNING("(%s:%d)%s answered more than %zu bytes", x.ip, x.limit);
        if (x.buffer != nullptr) x.buffer->Reset();
    }
    if (status >= 300 && status < 400)
        TLOG_WARNING("(%s:%d)%s answered with a redirect (%ld), not followed", x.ip, status);
    return Classify(code, status, target.overLimit, x.createdIsDone);
}

}  // namespace

HttpOutcome HttpRequest(const char* ip, const char* port, const char* user, const char* password,
                        const char* path, CurlBuffer* buffer) {
    Exchange x;
    x.ip = ip, x.port = port, x.path = path;
    x.user = user != nullptr ? user : "";
    x.password = password;
    x.buffer = buffer;
    x.connectSeconds = 2;
    x.cgiHeaders = true;
    return Perform(x);
}

HttpOutcome HttpGetUrl(const char* ip, const char* port, const char* path, const char* user,
                       const char* password, CurlBuffer& buffer, const std::atomic<bool>* abort) {
    Exchange x;
    x.ip = ip, x.port = port, x.path = path;
    x.user = user != nullptr ? user : "";
    x.password = password;
    x.buffer = &buffer;
    x.limit = kPictureMax;
    x.timeoutSeconds = 10;
    x.createdIsDone = true;
    x.abort = abort;
    const HttpOutcome outcome = Perform(x);
    if (outcome.httpStatus != 0 && !outcome.Done())
        TLOG_WARNING("(%s:%d)!!! Response code: %d\n", outcome.httpStatus);
    return outcome;
}

HttpOutcome HttpPost(const char* ip, const char* port, const char* path, const char* contentType,
                     const std::string& body, const char* user, const char* password,
                     CurlBuffer& buffer, size_t replyMax, long timeoutSeconds) {
    Exchange x;
    x.ip = ip, x.port = port, x.path = path;
    x.user = user;
    x.password = password;
    x.buffer = &buffer;
    x.limit = replyMax;
    x.connectSeconds = 2;
    x.timeoutSeconds = timeoutSeconds;
    x.post = &body;
    x.contentType = contentType;
    return Perform(x);
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

HttpOutcome GetNodeInto(const char* ip, const char* port, const char* user, const char* password,
                        const char* key, char* out, size_t capacity) {
    char path[kTextMax];
    int n = std::snprintf(path, sizeof path, "/cgi-bin/get?%s", key != nullptr ? key : "");
    if (n < 0 || n >= static_cast<int>(sizeof path))
        return {HttpResult::TransportError, CURLE_BAD_FUNCTION_ARGUMENT, 0};
    CurlBuffer buffer;
    const HttpOutcome outcome = HttpRequest(ip, port, user, password, path, &buffer);
    if (!outcome.Done() || buffer.length == 0) return outcome;
    GetReply reply;
    ParseGetReply(buffer.Text(), &reply);
    if (std::strcmp(reply.status, "ok") != 0) return HttpOutcome::Of(HttpResult::NotCamera, 200);
    BoundedCopy(out, capacity, reply.value, "GetNode", 47);
    return outcome;
}

}  // namespace

HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* key, char (&out)[128]) {
    return GetNodeInto(ip, port, user, password, key, out, sizeof out);
}

HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* key, char (&out)[1024]) {
    return GetNodeInto(ip, port, user, password, key, out, sizeof out);
}

HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
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

HttpOutcome SetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* assignments) {
    const std::string path = "/cgi-bin/set?" + SetQuery(assignments);
    CurlBuffer reply;
    const HttpOutcome outcome = HttpRequest(ip, port, user, password, path.c_str(), &reply);
    if (!outcome.Done()) return outcome;
    // The camera answers every assignment with its status; one it did not take fails the set.
    if (std::strstr(reply.Text(), "status=\"error\"") != nullptr) {
        TLOG_WARNING("(%s:%d)%s refused a setting: %s", ip, reply.Text());
        return HttpOutcome::Of(HttpResult::Refused, 200);
    }
    return outcome;
}
