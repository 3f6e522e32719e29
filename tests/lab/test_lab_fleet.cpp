// The fleet commands inside a lab: warnings on listed cameras, plan files (a dry run and a
// refused plan send nothing, as the simulators' logs show; a plan renames and re-addresses
// two cameras), the doctor naming a strict reverse-path filter, and the parallel range scan
// listing what the one-at-a-time scan lists.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "LabSupport.h"

namespace {

using tarsel::lab::Lab;

nlohmann::json Json(const std::string& text) { return nlohmann::json::parse(text, nullptr, false); }

// Every line a simulator of the lab logged about change requests it received.
std::string ChangeRequestsLogged(const Lab& lab) {
    const char* root = std::getenv("TARSEL_LAB_STATE");
    std::string text, out;
    tarsel::lab::Run("cat " + std::string(root ? root : "/run/tarsel-lab") + "/" + lab.Name() +
                         "/cam*.log",
                     &out);
    for (size_t at = 0; at < out.size();) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(at, end - at);
        if (line.find(" settings received") != std::string::npos)
            text += line + "\n";
        at = end + 1;
    }
    return text;
}

std::string PlanFile(const Lab& lab, const std::string& tag, const std::string& text) {
    const std::string path = "/tmp/tarsel-lab-fleet-" + lab.Name() + "-" + tag + ".csv";
    std::ofstream(path) << text;
    return path;
}

const char kFleetLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.62.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Cam-A", "mac": "02:1B:2C:62:00:01", "ip": "10.62.0.11"},
    {"lan": "a", "name": "Cam-B", "mac": "02:1B:2C:62:00:02", "ip": "10.62.0.12"},
    {"lan": "a", "name": "Cam-C", "mac": "02:1B:2C:62:00:03", "ip": "10.62.0.12"},
    {"lan": "a", "name": "Cam-D", "mac": "02:1B:2C:62:00:04", "ip": "192.168.9.5"}
  ]
})";

}  // namespace

TEST(LabFleet, WarningsAndPlans) {
    Lab lab(kFleetLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    std::string out, err;

    // B and C share an address; D sits outside the adapter's subnet.
    ASSERT_EQ(0, lab.Tarsel("search --wait 1 --json", &out)) << out;
    auto cameras = Json(out);
    ASSERT_EQ(4u, cameras.size()) << out;
    std::map<std::string, nlohmann::json> warnings;
    for (const auto& camera : cameras) warnings[camera["name"]] = camera["warnings"];
    EXPECT_EQ(nlohmann::json::array(), warnings["Cam-A"]);
    EXPECT_EQ(nlohmann::json({"duplicate-ip"}), warnings["Cam-B"]);
    EXPECT_EQ(nlohmann::json({"duplicate-ip"}), warnings["Cam-C"]);
    EXPECT_EQ(nlohmann::json({"foreign-subnet"}), warnings["Cam-D"]);

    // The plan search writes reads back; it keeps B and C on one address, so it is refused.
    ASSERT_EQ(0, lab.Tarsel("search --wait 1 --plan", &out)) << out;
    const std::string written = PlanFile(lab, "written", out);
    EXPECT_EQ(1, lab.Tarsel("apply " + written + " --dry-run --wait 1", &out, &err));
    EXPECT_NE(std::string::npos, err.find("line 4: address 10.62.0.12 is planned twice (also on line 3)"))
        << err;

    // A dry run shows the change and sends nothing.
    const std::string plan = PlanFile(lab, "plan",
        "mac,name,ip\r\n02:1b:2c:62:00:01,Gate,10.62.0.21\r\n02:1B:2C:62:00:04,Yard,10.62.0.22\r\n");
    ASSERT_EQ(0, lab.Tarsel("apply " + plan + " --dry-run --wait 1 --json", &out)) << out;
    auto rows = Json(out);
    ASSERT_EQ(2u, rows.size()) << out;
    EXPECT_EQ("planned", rows[0]["result"]);
    EXPECT_NE(std::string::npos, rows[1]["changes"].get<std::string>().find("192.168.9.5 -> 10.62.0.22"));

    // A plan moving A onto the address B and C use is refused, with its line, unsent.
    const std::string conflict = PlanFile(lab, "conflict", "mac,ip\n02:1B:2C:62:00:01,10.62.0.12\n02:1B:2C:62:00:04,\n");
    EXPECT_EQ(1, lab.Tarsel("apply " + conflict + " --user admin --wait 1", &out, &err));
    EXPECT_NE(std::string::npos, err.find("line 2: address 10.62.0.12 is already used by camera 02:1B:2C:62:00:02"))
        << err;
    EXPECT_EQ("", ChangeRequestsLogged(lab));

    // Applied: both cameras renamed and re-addressed, each confirmed.
    ASSERT_EQ(0, lab.Tarsel("apply " + plan + " --user admin --wait 1 --json", &out, &err)) << out << err;
    rows = Json(out);
    ASSERT_EQ(2u, rows.size()) << out;
    EXPECT_EQ("confirmed", rows[0]["result"]) << out;
    EXPECT_EQ("confirmed", rows[1]["result"]) << out;
    const std::string logged = ChangeRequestsLogged(lab);
    EXPECT_NE(std::string::npos, logged.find("02:1B:2C:62:00:01 settings received: ")) << logged;
    EXPECT_NE(std::string::npos, logged.find("02:1B:2C:62:00:04 settings received: ")) << logged;
    ASSERT_EQ(0, lab.Tarsel("search --wait 1 --json", &out)) << out;
    std::map<std::string, std::string> addressOf;
    for (const auto& camera : Json(out)) addressOf[camera["name"]] = camera["ip"];
    EXPECT_EQ("10.62.0.21", addressOf["Gate"]);
    EXPECT_EQ("10.62.0.22", addressOf["Yard"]);
    std::remove(plan.c_str());
    std::remove(conflict.c_str());
    std::remove(written.c_str());
}

TEST(LabFleet, DoctorNamesStrictReversePathFilter) {
    Lab lab(R"({"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.63.0.1/24"}]}})",
            "--rp-filter 1");
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    std::string out;
    EXPECT_EQ(5, lab.Tarsel("doctor --json", &out)) << out;
    std::map<std::string, bool> rpFilterOk;
    for (const auto& check : Json(out)) {
        if (check["check"] != "rp_filter") continue;
        rpFilterOk[check["adapter"].is_null() ? "all" : check["adapter"].get<std::string>()] = check["ok"];
        EXPECT_NE(std::string::npos, check["detail"].get<std::string>().find("strict")) << check;
    }
    EXPECT_EQ((std::map<std::string, bool>{{"all", false}, {"eth0", false}}), rpFilterOk) << out;
    lab.Exec("host", "sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.eth0.rp_filter=0");
    EXPECT_EQ(0, lab.Tarsel("doctor --json", &out)) << out;
}

TEST(LabFleet, ParallelScanListsWhatTheOneAtATimeScanLists) {
    Lab lab(R"({
      "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.64.0.1/24"}]},
      "cameras": [
        {"lan": "a", "name": "Late", "mac": "02:1B:2C:64:00:01", "ip": "10.64.0.20"},
        {"lan": "a", "name": "Early", "mac": "02:1B:2C:64:00:02", "ip": "10.64.0.9"},
        {"lan": "a", "name": "Locked", "mac": "02:1B:2C:64:00:03", "ip": "10.64.0.14",
         "password": "other"},
        {"lan": "a", "name": "Quiet", "mac": "02:1B:2C:64:00:04", "ip": "10.64.0.17",
         "faults": {"neverAnswer": true}}
      ]
    })");
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    std::string one, eight;
    EXPECT_EQ(0, lab.Tarsel("scan 10.64.0.8 10.64.0.24 --user admin --json", &one)) << one;
    EXPECT_EQ(0, lab.Tarsel("scan 10.64.0.8 10.64.0.24 --jobs 8 --user admin --json", &eight)) << eight;
    std::vector<std::string> order;
    for (const auto& entry : Json(eight)) order.push_back(entry["ip"]);
    EXPECT_EQ((std::vector<std::string>{"10.64.0.9", "10.64.0.14", "10.64.0.17", "10.64.0.20"}), order);
    EXPECT_EQ(Json(one), Json(eight));
    EXPECT_EQ(1, lab.Tarsel("scan 10.64.0.8 10.64.0.24 --jobs 257 --user admin", &eight));
}
