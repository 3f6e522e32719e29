// What the web client sends a camera, as the request line arrives on the wire, and what it
// takes from a camera whose answers are far larger than any camera's.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/CameraCommands.h"
#include "engine_fake_ports.h"
#include "web/LibCurl.h"
#include "web/SnapshotView.h"

namespace {

// A one-request HTTP server on 127.0.0.1: keeps the request line undecoded, and answers 200
// with size bytes of fill until done or the client hangs up.
struct RawServer {
    RawServer(size_t size, const std::string& fill) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        EXPECT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&a), n) + listen(listener, 1) +
                         getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n));
        port = std::to_string(ntohs(a.sin_port));
        thread = std::thread([=, this] {
            const int c = accept(listener, nullptr, nullptr);
            std::string head, piece, reply = "HTTP/1.1 200 OK\r\nContent-Length: " +
                                             std::to_string(size) + "\r\n\r\n";
            char buffer[4096];
            for (ssize_t r = 1; head.find("\r\n\r\n") == std::string::npos && r > 0;)
                if ((r = recv(c, buffer, sizeof buffer, 0)) > 0) head.append(buffer, r);
            line = head.substr(0, head.find("\r\n"));
            send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            while (piece.size() < 65536) piece += fill;
            for (ssize_t s = 1; written < size && s > 0; written += s > 0 ? s : 0)
                s = send(c, piece.data(), std::min(size - written, piece.size()), MSG_NOSIGNAL);
            close(c);
        });
    }
    ~RawServer() { Done(); close(listener); }
    RawServer& Done() {
        if (thread.joinable()) thread.join();
        return *this;
    }
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    std::string port, line;
    size_t written = 0;
    std::thread thread;
};

TEST(CameraAnswers, SetValuesArriveWholeAndARefusedSettingFails) {
    const std::string ok = "name=\"network.device_name\" status=\"ok\" value=\"\"\r\n";
    RawServer camera(ok.size(), ok);
    ASSERT_TRUE(SetNode("127.0.0.1", camera.port.c_str(), "admin", "pw",
                         "network.device_name=Cam #2 A+100%\xC3\xBC"
                        "&network.wire.ipv4.manual.address=192.168.1.20/255.255.255.0/0.0.0.0")
                    .Done());
    EXPECT_EQ("GET /cgi-bin/set?network.device_name=Cam%20%232%20A%2B100%25%C3%BC"
              "&network.wire.ipv4.manual.address=192.168.1.20/255.255.255.0/0.0.0.0 HTTP/1.1",
              camera.Done().line);
    const std::string refused = "name=\"network.web.http_port\" status=\"error\" value=\"\"\r\n";
    RawServer stubborn(refused.size(), refused);
    EXPECT_EQ(HttpResult::Refused,
              SetNode("127.0.0.1", stubborn.port.c_str(), "admin", "pw", "network.web.http_port=80").result);
}

TEST(CameraAnswers, OversizedAnswersAreCutOffAndFail) {
    RawServer cgi(200u << 20, "name=\"x\" status=\"ok\" value=\"y\" ");
    CurlBuffer body;
    const HttpOutcome cut = HttpRequest("127.0.0.1", cgi.port.c_str(), "admin", "pw", "/cgi-bin/get?x", &body);
    EXPECT_EQ(HttpResult::TooLarge, cut.result);
    EXPECT_EQ(23, cut.curlCode);  // libcurl's write error, kept apart from the HTTP status
    EXPECT_LE(body.length, kCgiReplyMax);
    EXPECT_LT(cgi.Done().written, size_t{100} << 20);  // the transfer stopped, not drained
    RawServer picture(kPictureMax + 1, "\xFF");
    EXPECT_EQ(HttpResult::TooLarge,
              HttpGetUrl("127.0.0.1", picture.port.c_str(), "/s", "a", "b", body).result);
    EXPECT_EQ(0u, body.length);
}

TEST(CameraAnswers, AFailedHttpSetIsReportedAtOnce) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    CameraReply info = MakeReply(HEADER_IP_QUERY, "00:11:22:33:44:55", "192.168.1.50");
    info.viaHttp = 1;
    engine.RecvCameraProcess(info);
    ports.setNodeResult = {HttpResult::NoAnswer, 7, 0};  // nothing listens any more
    EXPECT_EQ(-2, ApplySettings(engine, "00:11:22:33:44:55",
                                {"Gate", "192.168.1.50", "255.255.255.0", "", "manual", "80"}));
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera("00:11:22:33:44:55", &r));
    EXPECT_EQ(STATUS_INDEX_NO_RESPONSE, ChooseStatusIndex(MODE_SEARCH, &r, STATUS_INDEX_SETTING, 1).index);
}

// A JPEG of the given size; claimed, when given, replaces the size its frame header states.
std::vector<unsigned char> Jpeg(int width, int height, int flags, int claimedWidth = 0,
                                int claimedHeight = 0) {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3, 0x80);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 80, flags);
    std::vector<unsigned char> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(h);
    for (size_t i = 2; claimedWidth > 0 && i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            const unsigned char sof[] = {static_cast<unsigned char>(claimedHeight >> 8),
                                         static_cast<unsigned char>(claimedHeight),
                                         static_cast<unsigned char>(claimedWidth >> 8),
                                         static_cast<unsigned char>(claimedWidth)};
            std::copy(sof, sof + 4, jpeg.begin() + static_cast<long>(i) + 5);
            break;
        }
    }
    return jpeg;
}

TEST(CameraAnswers, PicturesDecodeNoLargerThanShownAndHugeOnesAreRefused) {
    std::vector<unsigned char> jpeg = Jpeg(1280, 960, 0);
    SnapshotImage image, untouched;
    ASSERT_TRUE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 300, 225));
    EXPECT_EQ(320, image.width);  // 1/4 still covers 300x225, 1/8 would not
    EXPECT_EQ(240u * 320u * 3u, image.rgb.size());
    EXPECT_EQ(1280, image.sourceWidth);
    ASSERT_TRUE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 1600, 1200));
    EXPECT_EQ(1280, image.width);  // never enlarged
    jpeg = Jpeg(1280, 960, 0, 12000, 9000);  // claims 108 megapixels
    EXPECT_FALSE(DecodeSnapshot(jpeg.data(), jpeg.size(), &untouched, 300, 225));
    jpeg = Jpeg(640, 480, TJFLAG_PROGRESSIVE, 4000, 2500);
    EXPECT_FALSE(DecodeSnapshot(jpeg.data(), jpeg.size(), &untouched, 300, 225));
    EXPECT_EQ(0, untouched.width);
}

}  // namespace
