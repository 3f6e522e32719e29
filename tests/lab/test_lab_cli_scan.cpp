// The command line's web commands inside a lab: the range search (cameras found over HTTP,
// even one that ignores discovery; bad ranges and refused credentials), a snapshot, and a
// batch upgrade of a discovered camera, a camera named by address and a camera whose
// upgrade fails. Upgrade stages last longer than the one-second status poll, as on a real
// camera.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "LabSupport.h"

namespace {

const char kLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.60.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Gate", "mac": "02:1B:2C:60:00:0B", "model": "TRL-D512",
     "ip": "10.60.0.11", "mask": "255.255.255.0", "httpPort": 80, "rebootSilentMs": 2000,
     "user": "admin", "password": "admin", "web": {"stageMs": 1500, "rebootMs": 500}},
    {"lan": "a", "name": "Yard", "mac": "02:1B:2C:60:00:0C", "model": "TRL-D512",
     "ip": "10.60.0.12", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "admin", "web": {"stageMs": 1500, "rebootMs": 500},
     "faults": {"neverAnswer": true}},
    {"lan": "a", "name": "Door", "mac": "02:1B:2C:60:00:0D", "model": "TRL-D512",
     "ip": "10.60.0.13", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "admin", "web": {"stageMs": 1500, "upgradeFails": true}}
  ]
})";

nlohmann::json Document(const std::string& out) { return nlohmann::json::parse(out, nullptr, false); }

}  // namespace

TEST(LabCliWeb, ScanFindsCamerasOverHttp) {
    tarsel::lab::Lab lab(kLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    std::string out, refused, notes;

    // The camera that ignores discovery is still found over HTTP.
    EXPECT_EQ(0, lab.Tarsel("scan 10.60.0.10 10.60.0.14 --user admin --json", &out)) << out;
    auto found = Document(out);
    ASSERT_TRUE(found.is_array()) << out;
    ASSERT_EQ(3u, found.size()) << out;
    EXPECT_EQ("10.60.0.11", found[0]["ip"]);
    EXPECT_EQ("02:1B:2C:60:00:0C", found[1]["mac"]);
    EXPECT_EQ(true, found[1]["viaHttp"]);

    // Bad ranges are usage errors.
    EXPECT_EQ(1, lab.Tarsel("scan 10.60.0.14 10.60.0.10 --user admin", &out));
    EXPECT_EQ(1, lab.Tarsel("scan 10.60.0 10.60.0.10 --user admin", &out));
    // Wrong credentials everywhere: refusals only, each an entry of the JSON as well.
    EXPECT_EQ(4, lab.Tarsel("scan 10.60.0.11 10.60.0.13 --user admin --json", &refused, &notes, "wrong"));
    EXPECT_NE(std::string::npos, notes.find("10.60.0.12: the camera refused")) << notes;
    auto refusals = Document(refused);
    ASSERT_TRUE(refusals.is_array()) << refused;
    ASSERT_EQ(3u, refusals.size()) << refused;
    EXPECT_EQ("10.60.0.12", refusals[1]["ip"]);
    EXPECT_EQ("credentials refused", refusals[2]["status"]);
}

TEST(LabCliWeb, SnapshotAndBatchUpgrade) {
    tarsel::lab::Lab lab(kLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    std::string out;

    const std::string picture = "/tmp/tarsel-lab-snapshot-" + lab.Name() + ".jpg";
    EXPECT_EQ(0, lab.Tarsel("snapshot 02:1b:2c:60:00:0b -o " + picture + " --user admin", &out)) << out;
    std::ifstream in(picture, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ('\xFF', bytes[0]);
    EXPECT_EQ('\xD8', bytes[1]);
    std::remove(picture.c_str());

    const std::string firmware = "/tmp/tarsel-lab-fw-" + lab.Name() + ".dat";
    std::ofstream(firmware, std::ios::binary) << std::string(300000, 'F');
    const int status = lab.Tarsel("upgrade " + firmware +
                                      " 02:1B:2C:60:00:0B 10.60.0.12 02:1B:2C:60:00:0D --user admin --json",
                                  &out);
    std::remove(firmware.c_str());
    EXPECT_EQ(5, status) << out;
    auto results = Document(out);
    ASSERT_TRUE(results.is_array()) << out;
    ASSERT_EQ(3u, results.size()) << out;
    EXPECT_EQ("upgraded", results[0]["result"]) << out;
    EXPECT_EQ("upgraded", results[1]["result"]) << out;
    EXPECT_EQ("not accepted by this model", results[2]["result"]) << out;  // it reports "fail"
}
