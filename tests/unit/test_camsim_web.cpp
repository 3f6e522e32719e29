#include <curl/curl.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "WebServer.h"
#include "web/LibCurl.h"

namespace {

struct Camera {
    std::shared_ptr<MapWebCamera> model;
    std::unique_ptr<CamsimWebServer> server;
    std::string port;
    template <size_t N>
    int Get(const char* key, char (&out)[N], const char* user = "admin",
            const char* pw = "pass") const {
        return GetNode("127.0.0.1", port.c_str(), user, pw, key, out);
    }
    int Set(const char* text, const char* pw = "pass") const {
        return SetNode("127.0.0.1", port.c_str(), "admin", pw, text);
    }
};

Camera MakeCamera(WebServerOptions options = {}, const std::string& password = "pass") {
    Camera c;
    c.model = std::make_shared<MapWebCamera>("admin", password);
    c.server = std::make_unique<CamsimWebServer>(c.model, options);
    EXPECT_TRUE(c.server->Start());
    c.port = c.server->PortText();
    return c;
}

const std::string kBoundary = "---------------------------7df3e520408c2";

std::string Form(const std::string& fileName, const std::string& image) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"binary\"; filename=\"" +
           fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + image + "\r\n--" +
           kBoundary + "\r\nContent-Disposition: form-data; name=\"type\"\r\n\r\nfirmware\r\n--" +
           kBoundary + "--\r\n";
}

// A plain Digest POST of a ready-made body.
long Post(const std::string& port, const std::string& password, const std::string& body) {
    CURL* h = curl_easy_init();
    std::string url = "http://127.0.0.1:" + port + "/cgi-bin/upload.cgi";
    curl_slist* headers = curl_slist_append(
        nullptr, ("Content-Type: multipart/form-data; boundary=" + kBoundary).c_str());
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERNAME, "admin");
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION,
                     +[](char*, size_t s, size_t n, void*) { return s * n; });
    curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(h);
    return status;
}

int Status(const Camera& c, char (&out)[128]) {
    return c.Get("system.upgrade.status", out);
}

}  // namespace

TEST(CamsimWeb, AnswersEveryIdentityKeyAndTakesSettings) {
    Camera c = MakeCamera();
    const char* keys[] = {"system.information.product_name"};  // any key the finder reads
    char out[128];
    EXPECT_EQ(0, c.Get(keys[0], out));
    EXPECT_STRNE("", out);
    EXPECT_EQ(401, c.Get(keys[0], out, "admin", "nope"));
    EXPECT_EQ(401, c.Get(keys[0], out, "guest", "pass"));
    EXPECT_EQ(-1, c.Get("no.such.key", out));

    EXPECT_EQ(0, c.Set("network.device_name=Gate&network.wire.ipv4.manual.address="
                         "10.1.2.3/255.255.0.0/10.1.0.1&network.wire.ipv4.mode=dhcp"));
    EXPECT_EQ("Gate", c.model->Get("network.device_name"));
    EXPECT_EQ("dhcp", c.model->Get("network.wire.ipv4.mode"));
    char address[1024];
    EXPECT_EQ(0, c.Get("system.information.wire.ipv4.address", address));
    EXPECT_STREQ("10.1.2.3/255.255.0.0/10.1.0.1", address);
    // A lone address keeps mask and gateway.
    EXPECT_EQ(0, c.Set("network.wire.ipv4.manual.address=10.1.2.9"));
    EXPECT_EQ("10.1.2.9/255.255.0.0/10.1.0.1",
              c.model->Get("system.information.wire.ipv4.address"));
    EXPECT_EQ(0, c.Set("system.sw_factory_default=1"));
    EXPECT_EQ(1, c.model->CommandCount("SW_DEFAULT"));
    EXPECT_EQ(401, c.Set("system.reboot=1", "x"));
    EXPECT_EQ(0, c.model->CommandCount("REBOOT"));
}

TEST(CamsimWeb, UpgradeRunsThroughEveryStatusRebootsSilentlyThenReadsEmpty) {
    WebServerOptions options;
    options.stageMs = 120;
    options.rebootMs = 300;
    Camera c = MakeCamera(options);
    char out[128];
    ASSERT_EQ(0, Status(c, out));
    EXPECT_STREQ("", out);

    // An upload that was not announced is refused and starts nothing.
    EXPECT_EQ(403, Post(c.port, "pass", Form("conf.tar", "IMAGE")));
    ASSERT_EQ(1u, c.server->Uploads().size());
    EXPECT_TRUE(c.server->Uploads()[0].formValid);
    EXPECT_FALSE(c.server->Uploads()[0].accepted);
    EXPECT_EQ("", c.server->UpgradeStatus());

    ASSERT_EQ(0, c.Set("system.upgrade.status=begin"));
    ASSERT_EQ(0, Status(c, out));
    EXPECT_STREQ("uploading", out);
    // A broken form is refused.
    EXPECT_EQ(400, Post(c.port, "pass", "--" + kBoundary + "\r\nnothing\r\n"));
    std::string image(100000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
    EXPECT_EQ(200, Post(c.port, "pass", Form("conf.dat", image)));
    auto uploads = c.server->Uploads();
    ASSERT_EQ(3u, uploads.size());
    EXPECT_FALSE(uploads[1].formValid);
    EXPECT_TRUE(uploads[2].accepted);
    EXPECT_EQ("conf.dat", uploads[2].fileName);
    EXPECT_EQ(image, uploads[2].image);

    std::vector<std::string> seen;
    int silentPolls = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        int r = Status(c, out);
        if (r != 0) {
            ++silentPolls;
        } else if (seen.empty() || seen.back() != out) {
            seen.push_back(out);
            if (seen.back().empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The first stage may pass before the first poll.
    if (!seen.empty() && seen.front() == "uploading") seen.erase(seen.begin());
    EXPECT_EQ((std::vector<std::string>{"uncompressing", "checking", "installing", "ok", ""}),
              seen);
    EXPECT_GT(silentPolls, 0);
    EXPECT_EQ(1, c.model->CommandCount("UPGRADED"));
}

TEST(CamsimWeb, FaultKnobs) {
    WebServerOptions options;
    options.stageMs = 40;
    Camera c = MakeCamera(options);
    char out[128];
    const std::string form = Form("conf.tar", "abc");

    auto knob = [&](void (*set)(WebFaults&)) {
        WebFaults faults;
        set(faults);
        c.server->SetFaults(faults);
    };

    knob([](WebFaults& f) { f.refuseBegin = true; });
    EXPECT_EQ(401, c.Set("system.upgrade.status=begin"));
    EXPECT_EQ(0, c.Get("network.device_name", out));

    // Stuck at "checking", or failing; clearing the knob does not rescue a failed upgrade.
    knob([](WebFaults& f) { f.stuckAtChecking = true; });
    ASSERT_EQ(0, c.Set("system.upgrade.status=begin"));
    ASSERT_EQ(200, Post(c.port, "pass", form));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(0, Status(c, out));
    EXPECT_STREQ("checking", out);
    knob([](WebFaults& f) { f.upgradeFails = true; });
    ASSERT_EQ(0, c.Set("system.upgrade.status=begin"));
    ASSERT_EQ(200, Post(c.port, "pass", form));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    c.server->SetFaults({});
    EXPECT_EQ(0, Status(c, out));
    EXPECT_STREQ("fail", out);

    knob([](WebFaults& f) { f.answerDelayMs = 2600; });
    EXPECT_EQ(28, c.Get("network.device_name", out));
    knob([](WebFaults& f) { f.refuseConnections = true; });
    EXPECT_EQ(7, c.Get("network.device_name", out));
    knob([](WebFaults& f) { f.notACamera = true; });
    EXPECT_EQ(-1, c.Get("system.information.product_name", out, "admin", "wrong"));
    c.model->Put("system.information.product_name", "Toaster 3000");
    c.server->SetFaults({});
    EXPECT_EQ(0, c.Get("system.information.product_name", out));
    EXPECT_STREQ("Toaster 3000", out);
}

TEST(CamsimWeb, SnapshotIsAJpegThatChangesEverySecond) {
    Camera c = MakeCamera();
    const std::string url = "http://127.0.0.1:" + c.port + "/cgi-bin/snapshot.cgi?abc=1";
    CurlBuffer first, second;
    ASSERT_TRUE(HttpGetUrl(url.c_str(), "admin", "pass", first));
    EXPECT_FALSE(HttpGetUrl(url.c_str(), "admin", "bad", second));
    tjhandle h = tjInitDecompress();
    int width = 0, height = 0, sub = 0, space = 0;
    ASSERT_EQ(0, tjDecompressHeader3(h, first.data, first.length, &width, &height, &sub, &space));
    EXPECT_EQ(320, width);
    EXPECT_EQ(240, height);
    tjDestroy(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(HttpGetUrl(url.c_str(), "admin", "pass", second));
    EXPECT_NE(std::string(first.Text(), first.length), std::string(second.Text(), second.length));
}
