#pragma once
// The camera web client's transport: one blocking libcurl request per call, the body
// collected into a growable buffer, and the CGI parameter access built on it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// The most a camera's answer may hold; a transfer past it is aborted and fails. A CGI
// answer is a few short lines; a still picture is a JPEG of a few hundred kilobytes.
constexpr size_t kCgiReplyMax = 64 * 1024;
constexpr size_t kPictureMax = 16 * 1024 * 1024;

// The growable buffer that collects a reply body. Every byte from length up to capacity is
// zero, so the body can always be read as a NUL-terminated text.
struct CurlBuffer {
    unsigned char* data = nullptr;
    uint32_t capacity = 0;
    uint32_t length = 0;
    // When not 0, the most the buffer may take in memory while it grows (the old block and
    // a copy of its content are held beside the new one): an Append past it fails and sets
    // overMemory, so that pictures fetched side by side keep within one budget.
    size_t memoryLimit = 0;
    bool overMemory = false;

    CurlBuffer() = default;
    ~CurlBuffer();
    CurlBuffer(const CurlBuffer&) = delete;
    CurlBuffer& operator=(const CurlBuffer&) = delete;

    // Zero the whole block; the block stays allocated.
    void Reset();
    // Grow (or replace) the block; the content survives when it fits. False when an
    // allocation fails.
    bool Reserve(uint32_t newCapacity);
    // Append n bytes, growing to (length + n) * 2 + 2 when needed. False (buffer unchanged)
    // when the growth fails.
    bool Append(const void* bytes, size_t n);
    // The body as text; "" while nothing has been allocated.
    const char* Text() const { return data ? reinterpret_cast<const char*>(data) : ""; }
};

// Performs libcurl's process-wide initialisation once; safe to call from any thread, any
// number of times. Every request calls it first.
void HttpGlobalInit();
// Releases libcurl's process-wide state; call once, when no request can run any more.
void HttpGlobalCleanup();

// GET http://ip:port/path with Digest credentials. 0 for status 200; otherwise the libcurl
// result of a failed transfer (28 time-out, 7 no connection, ...) or the HTTP status
// (401 credentials refused; 23 an answer over kCgiReplyMax). user and password travel to
// libcurl as they are, so any character may appear in them. buffer may be null.
int HttpRequest(const char* ip, const char* port, const char* user, const char* password,
                const char* path, CurlBuffer* buffer);

// GET a complete URL (credentials, if any, in its authority part), Digest only, redirects
// followed, 10 s in all. True for status 200 or 201; false for an answer over kPictureMax.
bool HttpGetUrl(const char* url, CurlBuffer& buffer);
// The same with the credentials given apart from the URL, so that a password holding ":",
// "@", "/" or "%" reaches the camera unchanged.
bool HttpGetUrl(const char* url, const char* user, const char* password, CurlBuffer& buffer);
// The same, saying why a fetch failed: 0 for status 200 or 201, the HTTP status of any
// other answer (401 credentials refused; -1 when there is none), else the libcurl result
// (7 no connection, 28 time-out, 23 an answer over kPictureMax, 42 aborted). The transfer is aborted within about
// a second once *abort (when given) becomes true.
int HttpGetUrlResult(const char* url, const char* user, const char* password, CurlBuffer& buffer,
                     const std::atomic<bool>* abort = nullptr);

// The three double-quoted strings of a get reply.
struct GetReply {
    char lead[384];
    char status[64];
    char value[64];
};

// Scans body with the get-reply grammar: non-quotes, "lead", non-quotes, "status",
// non-quotes, "value (the closing quote of the value is not needed). Every string needs at
// least one character and must fit its field; the scan stops at the first mismatch and the
// fields not read stay empty. Returns the number of strings read (0 to 3).
int ParseGetReply(const char* body, GetReply* reply);

// Reads one key through "/cgi-bin/get?key". 0: status "ok" and out holds the value (or the
// body was empty and out is untouched); -1: the status was not "ok"; otherwise the
// HttpRequest result.
int GetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* key, char (&out)[128]);
int GetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* key, char (&out)[1024]);

// The same into a field of any capacity (values longer than capacity - 1 are cut, logged).
int GetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* key, char* out, size_t capacity);

// The query of a set request: each key and value of the "&"-joined assignments
// percent-encoded, so the camera receives every value whole.
std::string SetQuery(const char* assignments);

// Writes "&"-joined assignments through "/cgi-bin/set?query"; the HttpRequest result, or
// -1 when the camera answers that it did not take one of them.
int SetNode(const char* ip, const char* port, const char* user, const char* password,
            const char* assignments);
