#include "onvif/OnvifHttp.h"

#include <algorithm>
#include <string_view>

#include "web/LibCurl.h"

namespace tarsel::onvif {

bool SplitHttpUrl(const std::string& url, std::string* host, std::string* port, std::string* path) {
    constexpr std::string_view kScheme = "http://";
    if (url.size() <= kScheme.size() || url.compare(0, kScheme.size(), kScheme) != 0) return false;
    const size_t hostStart = kScheme.size();
    const size_t pathStart = url.find('/', hostStart);
    const std::string authority =
        url.substr(hostStart, pathStart == std::string::npos ? std::string::npos : pathStart - hostStart);
    *path = pathStart == std::string::npos ? "/" : url.substr(pathStart);
    const size_t colon = authority.find(':');
    *host = authority.substr(0, colon);
    *port = colon == std::string::npos ? "80" : authority.substr(colon + 1);
    return !host->empty();
}

SoapTransfer PostSoap(const std::string& url, const std::string& envelope, const char* user,
                      const char* password, int timeoutMs) {
    SoapTransfer out;
    std::string host, port, path;
    if (!SplitHttpUrl(url, &host, &port, &path)) {
        out.detail = "not a plain http address";
        return out;
    }
    CurlBuffer answer;
    const long seconds = std::max(1, (timeoutMs + 999) / 1000);
    const HttpOutcome result =
        HttpPost(host.c_str(), port.c_str(), path.c_str(), "application/soap+xml; charset=utf-8",
                 envelope, user, password, answer, kSoapAnswerMax, seconds);
    out.detail = DescribeOutcome(result);
    out.status = result.httpStatus;
    switch (result.result) {
    case HttpResult::TooLarge:
        out.kind = SoapTransfer::Kind::TooLarge;
        break;
    case HttpResult::NoAnswer:
        out.kind = SoapTransfer::Kind::NoAnswer;
        break;
    case HttpResult::TransportError:
        out.kind = SoapTransfer::Kind::Failed;
        break;
    default:  // an HTTP status came back: a SOAP answer or fault, a refusal, a redirect
        out.kind = result.httpStatus != 0 ? SoapTransfer::Kind::Answered : SoapTransfer::Kind::Failed;
        out.body.assign(answer.Text(), answer.length);
        break;
    }
    return out;
}

int FetchSnapshot(const std::string& url, const char* user, const char* password, CurlBuffer& buffer) {
    std::string host, port, path;
    if (!SplitHttpUrl(url, &host, &port, &path)) return -1;
    const HttpOutcome result =
        HttpGetUrl(host.c_str(), port.c_str(), path.c_str(), user, password, buffer);
    if (result.Done()) return 0;
    return result.httpStatus != 0 ? result.httpStatus : (result.curlCode != 0 ? result.curlCode : -1);
}

}  // namespace tarsel::onvif
