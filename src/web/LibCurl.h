#pragma once
// The camera web client's transport: one blocking libcurl request per call, the body
// collected into a growable buffer, and the CGI parameter access built on it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "web/HttpOutcome.h"

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

// A camera's address as the web client uses it: an IPv4 address and a TCP port, never text.
struct CameraAddress {
    uint32_t ip = 0;  // host order
    uint16_t port = 0;
};

// The only way from text to a CameraAddress: a dotted IPv4 address ("a.b.c.d", decimal,
// no leading zeros) and a decimal port 1..65535, nothing else (no host name, user, path or
// blanks). False for any other text, from a camera, a file, a datagram or a user alike.
bool ParseCameraAddress(const char* ip, const char* port, CameraAddress* out);

// The URL of path at a camera, made from the typed address only: "http://a.b.c.d:port"
// followed by path. "" when path is neither empty (the camera's web page) nor starts with
// "/", or holds a blank, a control, a non-ASCII byte, "#" or "\\": every URL of a camera,
// a request's or the page the browser opens, is made here.
std::string CameraUrl(const CameraAddress& address, const char* path);

// Every transfer to a camera speaks plain HTTP and follows no redirect: a camera's answer
// cannot send the request (nor its credentials) to another host, port or protocol. Set on
// each libcurl easy handle the web client makes (a CURL*); those made here do it already.
void ConfineCameraTransfer(void* curlHandle);

// Every request below takes the camera's address as text and goes nowhere when it does
// not parse (ParseCameraAddress): TransportError, curl code CURLE_URL_MALFORMAT, logged.
// A user of nullptr sends no credentials; otherwise user and password go to libcurl apart
// (any character may appear in them) and only as answers to the camera's Digest challenge.
// A redirect is not followed: it is an answer that is not a camera's (NotCamera).

// GET path with Digest credentials, the fixed CGI headers, 2 s to connect and 2 s in all,
// the answer at most kCgiReplyMax. Done for status 200 only. buffer may be null.
HttpOutcome HttpRequest(const char* ip, const char* port, const char* user, const char* password,
                        const char* path, CurlBuffer* buffer);

// GET path (a still picture) with Digest credentials, 10 s in all, the answer at most
// kPictureMax. Done for status 200 or 201; any other status is logged as
// "!!! Response code". The transfer is aborted within about a second once *abort (when
// given) becomes true (NoAnswer).
HttpOutcome HttpGetUrl(const char* ip, const char* port, const char* path, const char* user,
                       const char* password, CurlBuffer& buffer,
                       const std::atomic<bool>* abort = nullptr);

// POST body (of contentType) to path, Digest credentials when user is given, 2 s to
// connect and timeoutSeconds in all, the answer at most replyMax into buffer. Done for
// status 200; the body of any other answer stays in buffer (a SOAP fault, say).
HttpOutcome HttpPost(const char* ip, const char* port, const char* path, const char* contentType,
                     const std::string& body, const char* user, const char* password,
                     CurlBuffer& buffer, size_t replyMax, long timeoutSeconds);

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

// Reads one key through "/cgi-bin/get?key". Done: status "ok" and out holds the value
// (or the body was empty and out is untouched); NotCamera (HTTP status 200): the status
// was not "ok"; otherwise the HttpRequest outcome.
HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* key, char (&out)[128]);
HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* key, char (&out)[1024]);

// The same into a field of any capacity (values longer than capacity - 1 are cut, logged).
HttpOutcome GetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* key, char* out, size_t capacity);

// The query of a set request: each key and value of the "&"-joined assignments
// percent-encoded, so the camera receives every value whole.
std::string SetQuery(const char* assignments);

// Writes "&"-joined assignments through "/cgi-bin/set?query"; the HttpRequest outcome, or
// Refused (HTTP status 200) when the camera answers that it did not take one of them.
HttpOutcome SetNode(const char* ip, const char* port, const char* user, const char* password,
                    const char* assignments);
