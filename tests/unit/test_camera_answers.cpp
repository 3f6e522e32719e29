// What the web client sends and takes from a camera that answers oddly: the request line
// exactly as it arrives on the wire, and answers far larger than any camera sends.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/WindowLogic.h"
#include "engine_fake_ports.h"
#include "web/LibCurl.h"
#include "web/SnapshotView.h"

namespace {

// A bare HTTP server on 127.0.0.1: it records each request line as received, undecoded,
// and answers 200 with a body of bodySize bytes made of fill, written in 64 KiB pieces
// until done or the client hangs up.
class RawServer {
public:
    RawServer(size_t bodySize, std::string fill) : bodySize_(bodySize), fill_(std::move(fill)) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
        port_ = std::to_string(ntohs(a.sin_port));
        thread_ = std::thread([this] { Serve(); });
    }
    ~RawServer() {
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    const char* Port() const { return port_.c_str(); }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    size_t BytesWritten() const { return written_; }

private:
    void Serve() {
        for (;;) {
            const int c = accept(listener_, nullptr, nullptr);
            if (c < 0) return;
            std::string head;
            char chunk[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(c, chunk, sizeof chunk, 0);
                if (n <= 0) break;
                head.append(chunk, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                lines_.push_back(head.substr(0, head.find("\r\n")));
            }
            std::string answer = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                                 std::to_string(bodySize_) + "\r\n\r\n";
            send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
            std::string piece;
            while (piece.size() < 65536) piece += fill_;
            for (size_t left = bodySize_; left > 0;) {
                const size_t n = std::min(left, piece.size());
                const ssize_t sent = send(c, piece.data(), n, MSG_NOSIGNAL);
                if (sent <= 0) break;
                written_ += static_cast<size_t>(sent);
                left -= static_cast<size_t>(sent);
            }
            close(c);
        }
    }

    size_t bodySize_;
    std::string fill_;
    int listener_ = -1;
    std::string port_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::atomic<size_t> written_{0};
};

TEST(CameraAnswers, SetValuesArriveWholeAndARefusedSettingFails) {
    const std::string ok = "name=\"network.device_name\" status=\"ok\" value=\"\"\r\n";
    RawServer camera(ok.size(), ok);
    ASSERT_EQ(0, SetNode("127.0.0.1", camera.Port(), "admin", "pw",
                         "network.device_name=Cam #2 A+100%\xC3\xBC"
                         "&network.wire.ipv4.manual.address=192.168.1.20/255.255.255.0/0.0.0.0"
                         "&network.web.http_port=80"));
    const std::vector<std::string> lines = camera.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("GET /cgi-bin/set?network.device_name=Cam%20%232%20A%2B100%25%C3%BC"
              "&network.wire.ipv4.manual.address=192.168.1.20/255.255.255.0/0.0.0.0"
              "&network.web.http_port=80 HTTP/1.1",
              lines.back());

    const std::string refused = "name=\"network.web.http_port\" status=\"error\" value=\"\"\r\n";
    RawServer stubborn(refused.size(), refused);
    EXPECT_EQ(-1, SetNode("127.0.0.1", stubborn.Port(), "admin", "pw", "network.web.http_port=80"));
}

TEST(CameraAnswers, OversizedAnswersAreCutOffAndFail) {
    RawServer cgi(200u << 20, "name=\"x\" status=\"ok\" value=\"y\" ");
    CurlBuffer body;
    EXPECT_EQ(23, HttpRequest("127.0.0.1", cgi.Port(), "admin", "pw", "/cgi-bin/get?x", &body));
    EXPECT_LE(body.length, kCgiReplyMax);
    EXPECT_LT(cgi.BytesWritten(), size_t{100} << 20);  // the transfer stopped, not drained
    char value[128] = "";
    EXPECT_NE(0, GetNode("127.0.0.1", cgi.Port(), "admin", "pw", "x", value));

    RawServer picture(kPictureMax + 1, std::string(1, '\xFF'));
    const std::string url = std::string("http://127.0.0.1:") + picture.Port() + "/snapshot";
    EXPECT_FALSE(HttpGetUrl(url.c_str(), "admin", "pw", body));
    EXPECT_EQ(0u, body.length);
    RawServer fits(kPictureMax, std::string(1, '\xFF'));
    const std::string fitsUrl = std::string("http://127.0.0.1:") + fits.Port() + "/snapshot";
    EXPECT_TRUE(HttpGetUrl(fitsUrl.c_str(), "admin", "pw", body));
    EXPECT_EQ(kPictureMax, body.length);
}

TEST(CameraAnswers, AFailedHttpSetIsReportedAtOnce) {
    FakePorts ports;
    CTSmainDlg engine(ports);
    engine.StartSearch();
    FakePorts::HttpCamera cam;
    cam.user = "admin";
    cam.password = "secret";
    cam.values = {{"system.information.product_name", ModelList[1]},
                  {"network.device_name", "Lobby"},
                  {"system.information.wire.mac_address", "00:11:22:33:44:55"},
                  {"system.information.wire.ipv4.address", "192.168.1.50/255.255.255.0/192.168.1.1"},
                  {"network.web.http_port", "80"},
                  {"network.wire.ipv4.mode", "manual"},
                  {"system.information.fw_version", "2.1"},
                  {"system.information.sn", "SN1"},
                  {"system.information.company", "ACME"}};
    ports.httpCameras["192.168.1.50"] = cam;
    CameraReply info;
    ASSERT_EQ(0, CheckCGI(ports, "192.168.1.50", "80", "admin", "secret", &info));
    engine.RecvCameraProcess(info);

    ports.setNodeResult = 7;  // nothing listens any more
    const CameraSettingsRequest req{"Gate", "192.168.1.50", "255.255.255.0", "", "manual", "80"};
    EXPECT_EQ(-2, ApplySettings(engine, "00:11:22:33:44:55", req));
    CameraRecord r;
    ASSERT_TRUE(engine.CopyCamera("00:11:22:33:44:55", &r));
    EXPECT_EQ(0u, r.settingSince);
    EXPECT_STREQ("Lobby", r.name);  // the requested name is not shown as if it were taken
    EXPECT_EQ(STATUS_INDEX_NO_RESPONSE,
              ChooseStatusIndex(MODE_SEARCH, &r, STATUS_INDEX_SETTING, 1).index);
}

std::vector<unsigned char> Jpeg(int width, int height, int flags) {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3, 0x80);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(0, tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420,
                             80, flags));
    std::vector<unsigned char> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(h);
    return jpeg;
}

// Makes the frame header claim another size; the data stay those of the small picture.
void ClaimSize(std::vector<unsigned char>& jpeg, int width, int height) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
            jpeg[i + 6] = static_cast<unsigned char>(height);
            jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
            jpeg[i + 8] = static_cast<unsigned char>(width);
            return;
        }
    }
    ADD_FAILURE() << "no frame header";
}

TEST(CameraAnswers, PicturesDecodeNoLargerThanShownAndHugeOnesAreRefused) {
    std::vector<unsigned char> jpeg = Jpeg(1280, 960, 0);
    SnapshotImage image;
    ASSERT_TRUE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 300, 225));
    EXPECT_EQ(320, image.width);  // 1/4 still covers 300x225, 1/8 would not
    EXPECT_EQ(240, image.height);
    EXPECT_EQ(320u * 240u * 3u, image.rgb.size());
    EXPECT_EQ(1280, image.sourceWidth);
    ASSERT_TRUE(DecodeSnapshot(jpeg.data(), jpeg.size(), &image, 1600, 1200));
    EXPECT_EQ(1280, image.width);  // never enlarged

    SnapshotImage untouched;
    std::vector<unsigned char> huge = jpeg;
    ClaimSize(huge, 12000, 9000);  // 108 megapixels
    EXPECT_FALSE(DecodeSnapshot(huge.data(), huge.size(), &untouched, 300, 225));
    std::vector<unsigned char> progressive = Jpeg(640, 480, TJFLAG_PROGRESSIVE);
    ASSERT_TRUE(DecodeSnapshot(progressive.data(), progressive.size(), &image, 300, 225));
    ClaimSize(progressive, 4000, 2500);
    EXPECT_FALSE(DecodeSnapshot(progressive.data(), progressive.size(), &untouched, 300, 225));
    EXPECT_EQ(0, untouched.width);
}

}  // namespace
