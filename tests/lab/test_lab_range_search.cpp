// The IP range search over a real /24: three simulated cameras (one with another password)
// and an ordinary web server that is not a camera, each in its own namespace of a lab LAN.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LabSupport.h"
#include "common/Language.h"
#include "common/ModelList.h"
#include "engine/LiveEnginePorts.h"
#include "engine/TSmain.h"
#include "platform/Tick.h"
#include "web/IpRangeSearch.h"
#include "web/LibCurl.h"

namespace {

struct Seen {
    std::mutex mutex;
    std::vector<std::string> statuses, failures, cameras;
    bool finished = false;
};

void Wire(CIpRangeSearch& search, Seen& seen, HttpOnlyEnginePorts& ports) {
    search.context = &seen;
    search.onStatus = [](void* c, const char* text) {
        auto* s = static_cast<Seen*>(c);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->statuses.push_back(text);
    };
    search.onClearFailures = [](void* c) {
        auto* s = static_cast<Seen*>(c);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->failures.clear();
    };
    search.onAuthFailure = [](void* c, const char* address) {
        auto* s = static_cast<Seen*>(c);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->failures.push_back(address);
    };
    search.onCameraFound = [](void* c, const CameraReply& info) {
        auto* s = static_cast<Seen*>(c);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->cameras.push_back(std::string(info.ip) + " " + info.mac + " " + info.productName +
                             (info.viaHttp == 1 ? " http" : " udp"));
    };
    search.onFinished = [](void* c, bool) {
        auto* s = static_cast<Seen*>(c);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->finished = true;
    };
    search.checkCgi = [&ports](const char* ip, const char* port, const char* user,
                               const char* password, CameraReply* info) {
        return CheckCGI(ports, ip, port, user, password, info);
    };
}

const char kLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.50.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Gate", "mac": "02:1B:2C:50:00:0B", "model": "TRL-D512",
     "ip": "10.50.0.11", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "admin"},
    {"lan": "a", "name": "Yard", "mac": "02:1B:2C:50:00:0C", "model": "TRL-B210",
     "ip": "10.50.0.12", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "admin"},
    {"lan": "a", "name": "Office", "mac": "02:1B:2C:50:00:0D", "model": "TRL-D512",
     "ip": "10.50.0.13", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "another"}
  ],
  "hosts": [{"name": "web", "lan": "a", "address": "10.50.0.200/24"}]
})";

}  // namespace

TEST(LabRangeSearch, FindsTheCamerasListsTheRefusalAndStopsWhenAsked) {
    tarsel::lab::Lab lab(kLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    // An ordinary web server that is not a camera.
    std::string pid;
    ASSERT_EQ(0, lab.Exec("web",
                          "sh -c 'cd /tmp && setsid python3 -m http.server 80 --bind 10.50.0.200 "
                          ">/dev/null 2>&1 & echo $!'",
                          &pid));
    for (int i = 0; i < 100; ++i) {
        std::string listening;
        lab.Exec("web", "ss -Hltn 'sport = :80'", &listening);
        if (!listening.empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    struct Killer {
        std::string pid;
        ~Killer() {
            if (!pid.empty()) tarsel::lab::Run("kill " + pid);
        }
    } killer{pid.substr(0, pid.find('\n'))};

    SetThreadLanguage(LANGUAGE_ENGLISH);
    tarsel::lab::ScopedNamespace inHost(lab.Namespace("host"));
    ASSERT_TRUE(inHost.Ok());
    // The ordinary server answers HTTP, so it passes the probe and fails the read.
    CurlBuffer page;
    ASSERT_EQ(404, HttpRequest("10.50.0.200", "80", "admin", "admin",
                               "/cgi-bin/get?system.information.product_name", &page));

    HttpOnlyEnginePorts ports;
    {
        CIpRangeSearch search;
        Seen seen;
        Wire(search, seen, ports);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(0, search.Start("admin", "admin", "10.50.0.1", "10.50.0.254", "80"));
        search.Wait();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ((std::vector<std::string>{"10.50.0.11 02:1B:2C:50:00:0B TRL-D512 http",
                                            "10.50.0.12 02:1B:2C:50:00:0C TRL-B210 http"}),
                  seen.cameras);
        EXPECT_EQ(std::vector<std::string>{"10.50.0.13"}, seen.failures);
        ASSERT_EQ(255u, seen.statuses.size());
        EXPECT_EQ("Check 10.50.0.1 ...", seen.statuses.front());
        EXPECT_EQ("IP search done.", seen.statuses.back());
        // Silent addresses cost the probe's 200 ms each, no more.
        EXPECT_LE(seconds, 254 * 0.2 * 1.05 + 2);
        EXPECT_TRUE(seen.finished);
    }
    {
        CIpRangeSearch search;
        Seen seen;
        Wire(search, seen, ports);
        ASSERT_EQ(0, search.Start("admin", "admin", "10.50.0.1", "10.50.0.254", "80"));
        for (int i = 0; i < 400; ++i) {
            {
                std::lock_guard<std::mutex> lock(seen.mutex);
                if (seen.statuses.size() >= 5) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        search.Stop();
        search.Wait();
        ASSERT_FALSE(seen.statuses.empty());
        EXPECT_EQ("IP search stop.", seen.statuses.back());
        for (const auto& s : seen.statuses) EXPECT_NE("IP search done.", s);
        // The address under way was finished, nothing after it started.
        EXPECT_LE(seen.statuses.size(), 7u);
    }
}
