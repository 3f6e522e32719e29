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

std::string Tarsel(const tarsel::lab::Lab& lab, const std::string& args, int* status) {
    std::string out;
    *status = tarsel::lab::Run("bash " + tarsel::lab::Quote(tarsel::lab::ScriptPath()) +
                                   " run --name " + lab.Name() +
                                   " -- env TARSEL_PASSWORD=admin " + TARSEL_BINARY_DIR +
                                   "/tools/tarsel " + args,
                               &out);
    return out;
}

// The JSON document of a command's output; notes on stderr come along in it.
nlohmann::json Document(const std::string& out) {
    const size_t open = out.find('['), close = out.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return {};
    return nlohmann::json::parse(out.substr(open, close - open + 1), nullptr, false);
}

}  // namespace

TEST(LabCliWeb, ScanFindsCamerasOverHttp) {
    tarsel::lab::Lab lab(kLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    int status = -1;

    // The camera that ignores discovery is still found over HTTP.
    std::string out = Tarsel(lab, "scan 10.60.0.10 10.60.0.14 --user admin --json", &status);
    EXPECT_EQ(0, status) << out;
    auto found = Document(out);
    ASSERT_TRUE(found.is_array()) << out;
    ASSERT_EQ(3u, found.size()) << out;
    EXPECT_EQ("10.60.0.11", found[0]["ip"]);
    EXPECT_EQ("02:1B:2C:60:00:0C", found[1]["mac"]);
    EXPECT_EQ(true, found[1]["viaHttp"]);

    // Bad ranges are usage errors.
    Tarsel(lab, "scan 10.60.0.14 10.60.0.10 --user admin", &status);
    EXPECT_EQ(1, status);
    Tarsel(lab, "scan 10.60.0 10.60.0.10 --user admin", &status);
    EXPECT_EQ(1, status);
    // Wrong credentials everywhere: refusals only, each an entry of the JSON as well.
    std::string refused;
    status = tarsel::lab::Run("bash " + tarsel::lab::Quote(tarsel::lab::ScriptPath()) +
                                  " run --name " + lab.Name() + " -- env TARSEL_PASSWORD=wrong " +
                                  TARSEL_BINARY_DIR +
                                  "/tools/tarsel scan 10.60.0.11 10.60.0.13 --user admin --json",
                              &refused);
    EXPECT_EQ(4, status);
    EXPECT_NE(std::string::npos, refused.find("10.60.0.12: the camera refused")) << refused;
    auto refusals = Document(refused);
    ASSERT_TRUE(refusals.is_array()) << refused;
    ASSERT_EQ(3u, refusals.size()) << refused;
    EXPECT_EQ("10.60.0.12", refusals[1]["ip"]);
    EXPECT_EQ("credentials refused", refusals[2]["status"]);
}

TEST(LabCliWeb, SnapshotAndBatchUpgrade) {
    tarsel::lab::Lab lab(kLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    int status = -1;

    const std::string picture = "/tmp/tarsel-lab-snapshot-" + lab.Name() + ".jpg";
    std::string out = Tarsel(lab, "snapshot 02:1b:2c:60:00:0b -o " + picture + " --user admin", &status);
    EXPECT_EQ(0, status) << out;
    std::ifstream in(picture, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ('\xFF', bytes[0]);
    EXPECT_EQ('\xD8', bytes[1]);
    std::remove(picture.c_str());

    const std::string firmware = "/tmp/tarsel-lab-fw-" + lab.Name() + ".dat";
    std::ofstream(firmware, std::ios::binary) << std::string(300000, 'F');
    out = Tarsel(lab,
                 "upgrade " + firmware +
                     " 02:1B:2C:60:00:0B 10.60.0.12 02:1B:2C:60:00:0D --user admin --json",
                 &status);
    std::remove(firmware.c_str());
    EXPECT_EQ(5, status) << out;
    auto results = Document(out);
    ASSERT_TRUE(results.is_array()) << out;
    ASSERT_EQ(3u, results.size()) << out;
    EXPECT_EQ("upgraded", results[0]["result"]) << out;
    EXPECT_EQ("upgraded", results[1]["result"]) << out;
    EXPECT_EQ("failed", results[2]["result"]) << out;
}
