#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "common/Language.h"
#include "support/TestSupport.h"
#include "web/IpRangeSearch.h"

namespace {

// What the dialog would show, plus what the worker asked of the network.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> statuses;
    std::vector<std::string> failures;
    std::vector<std::string> found;
    std::vector<std::string> probed;
    std::vector<int> probedPorts;
    std::vector<std::string> read;
    std::vector<std::string> progress;  // "checked/total/found"
    int clears = 0;
    bool finished = false;
    bool stopped = false;
    // Addresses that "listen", and what their identity read answers.
    std::vector<std::pair<std::string, HttpResult>> answers;
    // When set, the probe of this address waits for release.
    std::string holdAt;
    bool released = false;
    std::condition_variable cv;
};

Recorder* g_recorder = nullptr;

template <typename F>
void Locked(void* context, F f) {
    auto* r = static_cast<Recorder*>(context);
    std::lock_guard<std::mutex> lock(r->mutex);
    f(*r);
}

void Wire(CIpRangeSearch& search, Recorder& r) {
    g_recorder = &r;
    search.context = &r;
    search.onStatus = [](void* c, const char* text) { Locked(c, [&](Recorder& r) { r.statuses.push_back(text); }); };
    search.onClearFailures = [](void* c) {
        Locked(c, [](Recorder& r) {
            ++r.clears;
            r.failures.clear();
        });
    };
    search.onAuthFailure = [](void* c, const char* address) {
        Locked(c, [&](Recorder& r) { r.failures.push_back(address); });
    };
    search.onCameraFound = [](void* c, const CameraReply& info) {
        Locked(c, [&](Recorder& r) { r.found.push_back(info.ip); });
    };
    search.onProgress = [](void* c, uint64_t checked, uint64_t total, uint64_t found) {
        Locked(c, [&](Recorder& r) {
            r.progress.push_back(std::to_string(checked) + "/" + std::to_string(total) + "/" +
                                 std::to_string(found));
        });
    };
    search.onFinished = [](void* c, bool stopped) {
        Locked(c, [&](Recorder& r) {
            r.finished = true;
            r.stopped = stopped;
        });
    };
    search.probe = [](const char* address, int port) {
        Recorder* r = g_recorder;
        std::unique_lock<std::mutex> lock(r->mutex);
        r->probed.push_back(address);
        r->probedPorts.push_back(port);
        if (r->holdAt == address) r->cv.wait(lock, [r] { return r->released; });
        for (auto& a : r->answers)
            if (a.first == address) return 1;
        return 0;
    };
    search.checkCgi = [](const char* ip, const char*, const char* user, const char* password,
                         CameraReply* info) {
        Recorder* r = g_recorder;
        std::lock_guard<std::mutex> lock(r->mutex);
        r->read.push_back(std::string(ip) + " " + user + "/" + password);
        std::strcpy(info->ip, ip);
        info->viaHttp = 1;
        for (auto& a : r->answers)
            if (a.first == ip) return HttpOutcome::Of(a.second);
        return HttpOutcome::Of(HttpResult::NoAnswer);
    };
}

}  // namespace

TEST(IpRangeSearch, ValidationRefusesBadAndReversedRanges) {
    uint64_t s, e;
    EXPECT_EQ(0, ValidateIpRange("0.0.0.0", "0.0.0.0", &s, &e));
    EXPECT_EQ(0, ValidateIpRange("10.0.0.5", "10.0.0.5", &s, &e));
    EXPECT_EQ(TEXT_INVALID_SETTING_IP, ValidateIpRange("10.0.0", "10.0.0.9", &s, &e));
    EXPECT_EQ(TEXT_INVALID_SETTING_IP, ValidateIpRange("10.0.0.1", "a.b.c.d", &s, &e));
    EXPECT_EQ(TEXT_INVALID_SETTING_IP, ValidateIpRange("", "10.0.0.1", &s, &e));
    EXPECT_EQ(TEXT_IP_RANGE_ERROR, ValidateIpRange("10.0.1.0", "10.0.0.255", &s, &e));
    // At most 65,536 addresses: a /16 is searched, one more address is refused.
    EXPECT_EQ(0, ValidateIpRange("10.1.0.0", "10.1.255.255", &s, &e));
    EXPECT_EQ(TEXT_RANGE_TOO_LARGE, ValidateIpRange("10.1.0.0", "10.2.0.0", &s, &e));
    EXPECT_EQ(TEXT_RANGE_TOO_LARGE, ValidateIpRange("0.0.0.0", "255.255.255.255", &s, &e));

    CIpRangeSearch search;
    Recorder r;
    Wire(search, r);
    EXPECT_EQ(TEXT_IP_RANGE_ERROR, search.Start("admin", "pw", "10.0.0.9", "10.0.0.1", "80"));
    EXPECT_EQ(TEXT_RANGE_TOO_LARGE, search.Start("admin", "pw", "10.0.0.0", "10.255.0.0", "80"));
    EXPECT_FALSE(search.Running());
    search.Wait();
    EXPECT_TRUE(r.probed.empty());
    EXPECT_TRUE(r.statuses.empty());
}

TEST(IpRangeSearch, WalksAcrossOctetsReadsListenersAndListsRefusals) {
    SetThreadLanguage(LANGUAGE_ENGLISH);
    CIpRangeSearch search;
    Recorder r;
    Wire(search, r);
    r.answers = {{"10.0.0.255", HttpResult::Done}, {"10.0.1.0", HttpResult::Refused}, {"10.0.1.1", HttpResult::NotCamera}};
    ASSERT_EQ(0, search.Start("admin", "pw", "10.0.0.254", "10.0.1.2", "8080"));
    search.Wait();
    EXPECT_EQ((std::vector<std::string>{"10.0.0.254", "10.0.0.255", "10.0.1.0", "10.0.1.1",
                                        "10.0.1.2"}),
              r.probed);
    EXPECT_EQ(std::vector<int>(5, 8080), r.probedPorts);
    // Only listeners are read, with the credentials given.
    EXPECT_EQ((std::vector<std::string>{"10.0.0.255 admin/pw", "10.0.1.0 admin/pw",
                                        "10.0.1.1 admin/pw"}),
              r.read);
    EXPECT_EQ(std::vector<std::string>{"10.0.0.255"}, r.found);
    EXPECT_EQ(std::vector<std::string>{"10.0.1.0"}, r.failures);
    ASSERT_EQ(6u, r.statuses.size());
    EXPECT_EQ("Check 10.0.1.2 ...", r.statuses[4]);
    EXPECT_EQ("IP search done.", r.statuses[5]);
    EXPECT_TRUE(r.finished);
    EXPECT_FALSE(r.stopped);
    // The count after every address: only cameras read count as found.
    EXPECT_EQ((std::vector<std::string>{"0/5/0", "1/5/0", "2/5/1", "3/5/1", "4/5/1", "5/5/1"}),
              r.progress);
    EXPECT_EQ("2 of 5 addresses, 1 found", RangeProgressText(2, 5, 1));
    // Probing several at once counts the same, in address order.
    r.progress.clear();
    search.jobs = 3;
    ASSERT_EQ(0, search.Start("admin", "pw", "10.0.0.254", "10.0.1.2", "8080"));
    search.Wait();
    search.jobs = 1;
    EXPECT_EQ((std::vector<std::string>{"0/5/0", "1/5/0", "2/5/1", "3/5/1", "4/5/1", "5/5/1"}),
              r.progress);

    // A port that is not a number from 1 to 65535 starts nothing (it would be in every URL);
    // a second search starts with an empty failure list, in the program's language.
    const int before = currentLanguage.load();
    currentLanguage = LANGUAGE_POLISH;
    r.answers = {};
    r.statuses.clear();
    r.probed.clear();
    r.probedPorts.clear();
    for (const char* port : {"http", "0", "65536", "8099/redirected?x=", "80 "})
        EXPECT_EQ(TEXT_INVALID_HTTP_PORT, search.Start("admin", "pw", "0.0.0.0", "0.0.0.0", port));
    ASSERT_EQ(0, search.Start("admin", "pw", "0.0.0.0", "0.0.0.0", "65535"));
    search.Wait();
    currentLanguage = before;
    EXPECT_EQ(3, r.clears);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_EQ(std::vector<std::string>{"0.0.0.0"}, r.probed);
    EXPECT_EQ(std::vector<int>{65535}, r.probedPorts);
    EXPECT_EQ((std::vector<std::string>{"Sprawdzanie 0.0.0.0 ...", "Wyszukiwanie IP zakończone."}), r.statuses);
}

TEST(IpRangeSearch, StopFinishesTheCurrentAddressThenStops) {
    SetThreadLanguage(LANGUAGE_ENGLISH);
    CIpRangeSearch search;
    Recorder r;
    Wire(search, r);
    r.answers = {{"192.168.7.3", HttpResult::Refused}};
    r.holdAt = "192.168.7.3";
    ASSERT_EQ(0, search.Start("admin", "pw", "192.168.7.1", "192.168.7.200", "80"));
    ASSERT_TRUE(testsupport::WaitFor([&] {
        std::lock_guard<std::mutex> lock(r.mutex);
        return r.probed.size() == 3;
    }));
    EXPECT_TRUE(search.Running());
    // A second start while it runs is refused.
    EXPECT_EQ(-1, search.Start("admin", "pw", "192.168.7.1", "192.168.7.2", "80"));
    search.Stop();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        r.released = true;
    }
    r.cv.notify_all();
    search.Wait();
    // The held address was finished (read and listed), nothing after it was touched.
    EXPECT_EQ(3u, r.probed.size());
    EXPECT_EQ(std::vector<std::string>{"192.168.7.3"}, r.failures);
    EXPECT_EQ("IP search stop.", r.statuses.back());
    for (auto& s : r.statuses) EXPECT_NE("IP search done.", s);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(search.Running());
}

