#include "onvif/OnvifHttp.h"

#include <curl/curl.h>

#include <memory>

#include "web/LibCurl.h"

namespace tarsel::onvif {

namespace {

struct Sink {
    std::string* body;
    bool tooLarge = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    Sink* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->body->size() + n > kSoapAnswerMax) {
        sink->tooLarge = true;
        return 0;  // aborts the transfer
    }
    sink->body->append(data, n);
    return n;
}

struct CurlDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

HttpOutcome PostSoap(const std::string& url, const std::string& envelope, const char* user,
                     const char* password, int timeoutMs) {
    HttpOutcome out;
    HttpGlobalInit();
    std::unique_ptr<CURL, CurlDeleter> h(curl_easy_init());
    if (!h) {
        out.detail = "no libcurl handle";
        return out;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: application/soap+xml; charset=utf-8"));
    Sink sink{&out.body};
    CURL* c = h.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, envelope.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(envelope.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    if (user != nullptr) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user);
        curl_easy_setopt(c, CURLOPT_PASSWORD, password != nullptr ? password : "");
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    }
    const CURLcode result = curl_easy_perform(c);
    out.detail = curl_easy_strerror(result);
    if (sink.tooLarge) {
        out.kind = HttpOutcome::Kind::TooLarge;
    } else if (result == CURLE_OK) {
        out.kind = HttpOutcome::Kind::Answered;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &out.status);
    } else if (result == CURLE_COULDNT_CONNECT || result == CURLE_OPERATION_TIMEDOUT ||
               result == CURLE_GOT_NOTHING || result == CURLE_RECV_ERROR ||
               result == CURLE_SEND_ERROR || result == CURLE_COULDNT_RESOLVE_HOST) {
        out.kind = HttpOutcome::Kind::NoAnswer;
    }
    return out;
}

int FetchSnapshot(const std::string& url, const char* user, const char* password, CurlBuffer& buffer) {
    return HttpGetUrlResult(url.c_str(), user, password, buffer);
}

}  // namespace tarsel::onvif
