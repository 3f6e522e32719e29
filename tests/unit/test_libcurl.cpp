#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "LoopbackHttpServer.h"
#include "platform/Log.h"
#include "web/LibCurl.h"

using testsupport::HttpAnswer;
using testsupport::HttpExchange;
using testsupport::LoopbackHttpServer;

namespace {

LoopbackHttpServer::Handler Fixed(int status, std::string body, int delayMs = 0) {
    return [=](const HttpExchange&) { return HttpAnswer{status, body, delayMs}; };
}

// A port on 127.0.0.1 where nothing listens (served once, then released).
std::string ClosedPort() {
    return LoopbackHttpServer(LoopbackHttpServer::Auth::None, "", "", Fixed(200, "")).PortText();
}

bool AllZeroFrom(const CurlBuffer& b, uint32_t from) {
    for (uint32_t i = from; i < b.capacity; ++i)
        if (b.data[i] != 0) return false;
    return true;
}

}  // namespace

TEST(CurlBuffer, KeepsContentInOrderAndStaysTerminated) {
    CurlBuffer b;
    EXPECT_STREQ("", b.Text());
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        std::string chunk(static_cast<size_t>(i % 17 + 1), static_cast<char>('a' + i % 26));
        ASSERT_TRUE(b.Append(chunk.data(), chunk.size()));
        expected += chunk;
        ASSERT_LT(b.length, b.capacity);
    }
    EXPECT_EQ(expected, std::string(b.Text(), b.length));
    EXPECT_TRUE(AllZeroFrom(b, b.length));
    b.Reset();
    EXPECT_EQ(0u, b.length);
    EXPECT_TRUE(AllZeroFrom(b, 0));
}

TEST(HttpRequest, StatusTimeoutRefusalAndDigestCredentials) {
    LoopbackHttpServer ok(LoopbackHttpServer::Auth::Digest, "admin", "secret",
                          Fixed(200, "hello"));
    CurlBuffer body;
    EXPECT_EQ(0, HttpRequest("127.0.0.1", ok.PortText().c_str(), "admin", "secret", "/a?b",
                             &body));
    EXPECT_STREQ("hello", body.Text());
    ASSERT_EQ(1u, ok.Requests().size());
    EXPECT_EQ("/a?b", ok.Requests()[0].target);
    EXPECT_EQ("GET", ok.Requests()[0].method);
    // Digest answers a challenge; the credentials never travel in clear.
    EXPECT_EQ(0u, ok.Requests()[0].headers.at("authorization").find("Digest "));
    EXPECT_EQ(std::string::npos, ok.Requests()[0].headers.at("authorization").find("secret"));

    // Wrong password: the camera's 401 is the result, the buffer holds its body.
    EXPECT_EQ(401, HttpRequest("127.0.0.1", ok.PortText().c_str(), "admin", "wrong", "/a",
                               &body));
    EXPECT_EQ(401, HttpRequest("127.0.0.1", ok.PortText().c_str(), "root", "secret", "/a",
                               nullptr));

    // 201 is a failure here.
    LoopbackHttpServer created(LoopbackHttpServer::Auth::Digest, "admin", "secret",
                               Fixed(201, "made"));
    EXPECT_EQ(201, HttpRequest("127.0.0.1", created.PortText().c_str(), "admin", "secret", "/",
                               &body));

    // Nobody listening: libcurl's "could not connect".
    EXPECT_EQ(7, HttpRequest("127.0.0.1", ClosedPort().c_str(), "admin", "secret", "/", &body));

    // A URL of 4 KiB or more is refused before anything is sent.
    std::string longPath = "/" + std::string(4100, 'x');
    EXPECT_NE(0, HttpRequest("127.0.0.1", ok.PortText().c_str(), "admin", "secret",
                             longPath.c_str(), &body));
    EXPECT_EQ(1u, ok.Requests().size());  // refused and oversized requests never got through

    // A camera that offers only Basic gets no credentials: they would travel in clear.
    LoopbackHttpServer basic(LoopbackHttpServer::Auth::Basic, "admin", "secret", Fixed(200, "x"));
    EXPECT_EQ(401, HttpRequest("127.0.0.1", basic.PortText().c_str(), "admin", "secret", "/", &body));
    EXPECT_TRUE(basic.Requests().empty());
}

TEST(HttpRequest, AnswerTooLateTimesOutAfterTwoSeconds) {
    LoopbackHttpServer slow(LoopbackHttpServer::Auth::Digest, "admin", "secret",
                            Fixed(200, "late", 5000));
    CurlBuffer body;
    auto start = std::chrono::steady_clock::now();
    int result = HttpRequest("127.0.0.1", slow.PortText().c_str(), "admin", "secret", "/", &body);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(28, result);
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
}

TEST(HttpRequest, PasswordWithSeparatorsReachesTheCameraUnchanged) {
    const char* tricky = "p:a@s/s%41w";
    LoopbackHttpServer cam(LoopbackHttpServer::Auth::Digest, "ad:min", tricky, Fixed(200, "x"));
    CurlBuffer body;
    EXPECT_EQ(0, HttpRequest("127.0.0.1", cam.PortText().c_str(), "ad:min", tricky, "/", &body));
    EXPECT_TRUE(HttpGetUrl(("http://127.0.0.1:" + cam.PortText() + "/s").c_str(), "ad:min",
                           tricky, body));
    EXPECT_EQ(401, HttpRequest("127.0.0.1", cam.PortText().c_str(), "ad:min", "p:a@s/s%41",
                               "/", &body));
}

TEST(HttpGetUrl, SuccessOn200And201FailureLoggedOtherwise) {
    tarsel::CapturingLogSink log;
    LoopbackHttpServer created(LoopbackHttpServer::Auth::Digest, "admin", "pw",
                               Fixed(201, "img"));
    CurlBuffer body;
    std::string base = "127.0.0.1:" + created.PortText() + "/cgi-bin/snapshot.cgi";
    EXPECT_TRUE(HttpGetUrl(("http://admin:pw@" + base).c_str(), body));
    EXPECT_STREQ("img", body.Text());
    EXPECT_FALSE(HttpGetUrl(("http://admin:bad@" + base).c_str(), body));
    EXPECT_EQ(1u, log.Count("!!! Response code: 401\n"));
    EXPECT_EQ(tarsel::LogLevel::Warning, log.LevelOf("!!! Response code"));  // journalctl -p warning

    LoopbackHttpServer missing(LoopbackHttpServer::Auth::None, "", "", Fixed(404, "no"));
    EXPECT_FALSE(HttpGetUrl(("http://127.0.0.1:" + missing.PortText() + "/x").c_str(), body));
    EXPECT_EQ(1u, log.Count("!!! Response code: 404\n"));

    // A transfer that fails outright says nothing.
    log.Clear();
    EXPECT_FALSE(HttpGetUrl(("http://127.0.0.1:" + ClosedPort() + "/x").c_str(), body));
    EXPECT_EQ(0u, log.Lines().size());
}

