#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <tuple>

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

// An outcome's three parts, compared and printed as one.
std::tuple<HttpResult, int, int> Parts(const HttpOutcome& o) { return {o.result, o.curlCode, o.httpStatus}; }

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
    const std::string port = ok.PortText();
    CurlBuffer body;
    EXPECT_EQ(Parts({HttpResult::Done, 0, 200}),
              Parts(HttpRequest("127.0.0.1", port.c_str(), "admin", "secret", "/a?b", &body)));
    EXPECT_STREQ("hello", body.Text());
    ASSERT_EQ(1u, ok.Requests().size());
    EXPECT_EQ("/a?b", ok.Requests()[0].target);
    EXPECT_EQ("GET", ok.Requests()[0].method);
    // Digest answers a challenge; the credentials never travel in clear.
    EXPECT_EQ(0u, ok.Requests()[0].headers.at("authorization").find("Digest "));
    EXPECT_EQ(std::string::npos, ok.Requests()[0].headers.at("authorization").find("secret"));

    // Wrong credentials: refused, the camera's 401 kept for the log; 201 is no success here.
    EXPECT_EQ(Parts({HttpResult::Refused, 0, 401}),
              Parts(HttpRequest("127.0.0.1", port.c_str(), "root", "wrong", "/a", nullptr)));
    LoopbackHttpServer created(LoopbackHttpServer::Auth::Digest, "admin", "secret", Fixed(201, "x"));
    EXPECT_EQ(Parts({HttpResult::NotCamera, 0, 201}),
              Parts(HttpRequest("127.0.0.1", created.PortText().c_str(), "admin", "secret", "/", &body)));

    // Nobody listening: no answer, libcurl's "could not connect" for the log.
    EXPECT_EQ(Parts({HttpResult::NoAnswer, 7, 0}),
              Parts(HttpRequest("127.0.0.1", ClosedPort().c_str(), "admin", "secret", "/", &body)));

    // A URL of 4 KiB or more is refused before anything is sent.
    std::string longPath = "/" + std::string(4100, 'x');
    EXPECT_EQ(HttpResult::TransportError,
              HttpRequest("127.0.0.1", port.c_str(), "admin", "secret", longPath.c_str(), &body).result);
    EXPECT_EQ(1u, ok.Requests().size());  // refused and oversized requests never got through

    // A camera that offers only Basic gets no credentials: they would travel in clear.
    LoopbackHttpServer basic(LoopbackHttpServer::Auth::Basic, "admin", "secret", Fixed(200, "x"));
    EXPECT_EQ(HttpResult::Refused,
              HttpRequest("127.0.0.1", basic.PortText().c_str(), "admin", "secret", "/", &body).result);
    EXPECT_TRUE(basic.Requests().empty());
}

TEST(HttpRequest, AnswerTooLateTimesOutAfterTwoSeconds) {
    LoopbackHttpServer slow(LoopbackHttpServer::Auth::Digest, "admin", "secret",
                            Fixed(200, "late", 5000));
    CurlBuffer body;
    auto start = std::chrono::steady_clock::now();
    HttpOutcome result = HttpRequest("127.0.0.1", slow.PortText().c_str(), "admin", "secret", "/", &body);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(Parts({HttpResult::NoAnswer, 28, 0}), Parts(result));
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
}

TEST(HttpRequest, PasswordWithSeparatorsReachesTheCameraUnchanged) {
    const char* tricky = "p:a@s/s%41w";
    LoopbackHttpServer cam(LoopbackHttpServer::Auth::Digest, "ad:min", tricky, Fixed(200, "x"));
    CurlBuffer body;
    EXPECT_TRUE(HttpRequest("127.0.0.1", cam.PortText().c_str(), "ad:min", tricky, "/", &body).Done());
    EXPECT_TRUE(HttpGetUrl("127.0.0.1", cam.PortText().c_str(), "/s", "ad:min", tricky, body).Done());
    EXPECT_EQ(HttpResult::Refused, HttpRequest("127.0.0.1", cam.PortText().c_str(), "ad:min",
                                               "p:a@s/s%41", "/", &body).result);
}

TEST(HttpGetUrl, SuccessOn200And201FailureLoggedOtherwise) {
    tarsel::CapturingLogSink log;
    LoopbackHttpServer created(LoopbackHttpServer::Auth::Digest, "admin", "pw",
                               Fixed(201, "img"));
    CurlBuffer body;
    const std::string port = created.PortText();
    const char* target = "/cgi-bin/snapshot.cgi";
    EXPECT_TRUE(HttpGetUrl("127.0.0.1", port.c_str(), target, "admin", "pw", body).Done());
    EXPECT_STREQ("img", body.Text());
    EXPECT_EQ(HttpResult::Refused,
              HttpGetUrl("127.0.0.1", port.c_str(), target, "admin", "bad", body).result);
    EXPECT_EQ(1u, log.Count("!!! Response code: 401\n"));
    EXPECT_EQ(tarsel::LogLevel::Warning, log.LevelOf("!!! Response code"));  // journalctl -p warning

    LoopbackHttpServer missing(LoopbackHttpServer::Auth::None, "", "", Fixed(404, "no"));
    EXPECT_EQ(HttpResult::NotCamera,
              HttpGetUrl("127.0.0.1", missing.PortText().c_str(), "/x", "", "", body).result);
    EXPECT_EQ(1u, log.Count("!!! Response code: 404\n"));

    // A transfer that fails outright says nothing.
    log.Clear();
    EXPECT_FALSE(HttpGetUrl("127.0.0.1", ClosedPort().c_str(), "/x", "a", "b", body).Done());
    EXPECT_EQ(0u, log.Lines().size());
}

// A camera's answer cannot send a request, nor credentials, anywhere else: no redirect is
// followed (to another port of the host, another protocol), and an address text that is
// not a dotted IPv4 address with a port 1-65535 is never made into a URL.
TEST(CameraUrl, NoRedirectNoProtocolButHttpNoAddressButACameras) {
    LoopbackHttpServer elsewhere(LoopbackHttpServer::Auth::None, "", "", Fixed(200, "stolen"));
    const int ftp = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t n = sizeof a;
    ASSERT_EQ(0, bind(ftp, reinterpret_cast<sockaddr*>(&a), n) + listen(ftp, 4) +
                     getsockname(ftp, reinterpret_cast<sockaddr*>(&a), &n));
    for (const std::string& to : {"http://127.0.0.1:" + elsewhere.PortText() + "/s",
                                  "ftp://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/s"}) {
        LoopbackHttpServer camera(LoopbackHttpServer::Auth::Digest, "admin", "pw",
                                  [&](const HttpExchange&) { return HttpAnswer{302, "", 0, 0, to}; });
        CurlBuffer body;
        EXPECT_EQ(Parts({HttpResult::NotCamera, 0, 302}),
                  Parts(HttpGetUrl("127.0.0.1", camera.PortText().c_str(), "/s", "admin", "pw", body)));
        EXPECT_EQ(HttpResult::NotCamera,
                  HttpRequest("127.0.0.1", camera.PortText().c_str(), "admin", "pw", "/c", &body).result);
        EXPECT_EQ(2u, camera.Requests().size());  // each asked once, with the Digest answer
    }
    EXPECT_TRUE(elsewhere.Requests().empty());
    EXPECT_EQ(-1, accept(ftp, nullptr, nullptr));  // nothing ever connected for ftp://
    close(ftp);

    // Hostile address texts send nothing (the server would see the request).
    const std::string port = elsewhere.PortText(), hostile = "127.0.0.1:" + port + "/redirected?x=";
    CameraAddress address;
    for (const char* ip : {hostile.c_str(), "evil@127.0.0.1", "localhost", "127.0.0.01", "0x7f.0.0.1"})
        EXPECT_FALSE(ParseCameraAddress(ip, port.c_str(), &address)) << ip;
    CurlBuffer body;
    EXPECT_EQ(HttpResult::TransportError, HttpRequest(hostile.c_str(), port.c_str(), "a", "b", "/", &body).result);
    EXPECT_FALSE(HttpGetUrl("127.0.0.1", (port + "/u?").c_str(), "/s", "a", "b", body).Done());
    EXPECT_TRUE(elsewhere.Requests().empty());
    ASSERT_TRUE(ParseCameraAddress("192.168.1.20", "65535", &address));
    EXPECT_EQ("http://192.168.1.20:65535/cgi-bin/get?a.b", CameraUrl(address, "/cgi-bin/get?a.b"));
    EXPECT_EQ("", CameraUrl(address, "@evil/x") + CameraUrl(address, "/x y#z"));
}

TEST(HttpPost, SendsTheBodyWithItsTypeAndKeepsAFaultsBody) {
    LoopbackHttpServer device(LoopbackHttpServer::Auth::Digest, "admin", "pw", Fixed(500, "<fault/>"));
    CurlBuffer reply;
    EXPECT_EQ(Parts({HttpResult::NotCamera, 0, 500}),
              Parts(HttpPost("127.0.0.1", device.PortText().c_str(), "/onvif/device_service",
                             "application/soap+xml", "<e/>", "admin", "pw", reply, 1024, 5)));
    EXPECT_STREQ("<fault/>", reply.Text());
    const HttpExchange sent = device.Requests().at(0);  // the one request that passed Digest
    EXPECT_EQ("POST <e/> application/soap+xml", sent.method + " " + sent.body + " " + sent.headers.at("content-type"));
}
