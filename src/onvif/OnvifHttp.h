#pragma once
// The one place where ONVIF requests meet HTTP: a SOAP POST and the snapshot fetch. Every
// ONVIF call goes through these two functions, so the transport can change in one place.

#include <string>

struct CurlBuffer;

namespace tarsel::onvif {

// The most a SOAP answer may hold; a longer one is aborted and reads as too large.
inline constexpr size_t kSoapAnswerMax = 1024 * 1024;

struct SoapTransfer {
    enum class Kind {
        Answered,   // an HTTP status came back (status holds it, body the answer)
        NoAnswer,   // no connection, reset, time-out: the device said nothing
        TooLarge,   // the answer passed its limit and was aborted
        Failed,     // any other local failure (detail says which)
    };
    Kind kind = Kind::Failed;
    long status = 0;
    std::string body;
    std::string detail;  // libcurl's words, for the log
};

// "http://host[:port]/path" taken apart ("80" when no port is named); false for any other
// form (https, a user part, no host). The web client parses host and port again and accepts
// only a dotted IPv4 address and a port 1-65535, so whatever a device wrote into its URL, a
// request goes nowhere else.
bool SplitHttpUrl(const std::string& url, std::string* host, std::string* port, std::string* path);

// POSTs a SOAP 1.2 envelope to url (plain http to an IPv4 address only, no redirect followed). With user
// non-null, HTTP Digest answers a 401 challenge with user and password; without, nothing
// but the body carries credentials. Waits at most timeoutMs in all.
SoapTransfer PostSoap(const std::string& url, const std::string& envelope, const char* user,
                     const char* password, int timeoutMs);

// GETs a snapshot URI into buffer through the project's picture fetch (Digest, its size
// bound). 0 for a picture, else the HTTP status or the libcurl result, or -1 for a URL that is not plain http to an IPv4 address.
int FetchSnapshot(const std::string& url, const char* user, const char* password, CurlBuffer& buffer);

}  // namespace tarsel::onvif
