// The command line's range search inside a lab: cameras found over HTTP, even one that
// ignores discovery; bad ranges and refused credentials.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "LabSupport.h"

namespace {

const char kLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.60.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Gate", "mac": "02:1B:2C:60:00:0B", "model": "TRL-D512",
     "ip": "10.60.0.11", "mask": "255.255.255.0", "httpPort": 80, "rebootSilentMs": 2000,
     "user": "admin", "password": "admin", "web": {"stageMs": 300, "rebootMs": 500}},
    {"lan": "a", "name": "Yard", "mac": "02:1B:2C:60:00:0C", "model": "TRL-D512",
     "ip": "10.60.0.12", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "admin", "web": {"stageMs": 300, "rebootMs": 500},
     "faults": {"neverAnswer": true}},
    {"lan": "a", "name": "Door", "mac": "02:1B:2C:60:00:0D", "model": "TRL-D512",
     "ip": "10.60.0.13", "mask": "255.255.255.0", "httpPort": 80,
     "user": "admin", "password": "admin", "web": {"stageMs": 300, "upgradeFails": true}}
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

}  // namespace

TEST(LabCliWeb, ScanFindsCamerasOverHttp) {
    tarsel::lab::Lab lab(kLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    int status = -1;

    // The camera that ignores discovery is still found over HTTP.
    std::string out = Tarsel(lab, "scan 10.60.0.10 10.60.0.14 --user admin --json", &status);
    EXPECT_EQ(0, status) << out;
    // Notes on stderr come along in out: the document is the part in brackets.
    const size_t open = out.find('['), close = out.rfind(']');
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << out;
    auto found = nlohmann::json::parse(out.substr(open, close - open + 1), nullptr, false);
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
    // Wrong credentials everywhere: refusals only.
    std::string refused;
    tarsel::lab::Run("bash " + tarsel::lab::Quote(tarsel::lab::ScriptPath()) + " run --name " +
                         lab.Name() + " -- env TARSEL_PASSWORD=wrong " + TARSEL_BINARY_DIR +
                         "/tools/tarsel scan 10.60.0.11 10.60.0.13 --user admin",
                     &refused);
    EXPECT_NE(std::string::npos, refused.find("10.60.0.12: the camera refused")) << refused;
}
