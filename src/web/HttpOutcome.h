#pragma once
// What became of one request to a camera over HTTP, as every caller of the web client
// reads it: what happened, plus libcurl's code and the HTTP status for the log. The two
// numbers are never folded into one: curl's 23 and a camera's 23 are different things.

#include <string>

enum class HttpResult {
    Done,            // the camera answered as asked (status 200; a get's status "ok")
    Refused,         // the camera said no: the credentials (401, 403) or, for a set, a setting
    NoAnswer,        // no connection, a time-out, a connection dropped, or the caller aborted
    NotCamera,       // an answer, but not a camera's: another status, a redirect, a reply
                     // that is not "ok", a product that is not one of the family
    TooLarge,        // the answer passed the most a camera's answer of its kind may hold
    TransportError,  // the request could not be made: an address that is not a camera's,
                     // no memory, any other libcurl failure
};

struct HttpOutcome {
    HttpResult result = HttpResult::Done;
    int curlCode = 0;    // libcurl's result of the transfer; 0 when it completed
    int httpStatus = 0;  // the status of the camera's answer; 0 when there was none

    bool Done() const { return result == HttpResult::Done; }
    // Made by this side, not by a transfer (a reply not "ok", an unknown product...).
    static HttpOutcome Of(HttpResult result, int httpStatus = 0) { return {result, 0, httpStatus}; }
};

// For the log: "no answer (curl 28)", "refused (HTTP 401)", "done".
std::string DescribeOutcome(const HttpOutcome& outcome);
