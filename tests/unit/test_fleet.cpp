// The fleet tools' logic without a network: plan files, camera warnings, the firewall
// reading of the doctor, and the parallel range search reporting in address order.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CliPlan.h"
#include "engine/CameraWarnings.h"
#include "platform/NetworkDoctor.h"
#include "web/IpRangeSearch.h"

namespace {

std::vector<std::string> Problems(const std::string& text, std::vector<cli::PlanRow>* rowsOut = nullptr) {
    std::vector<cli::PlanRow> rows;
    std::vector<std::string> out;
    for (const cli::PlanProblem& p : cli::ParsePlan(text, rows)) out.push_back(cli::ProblemText(p));
    if (rowsOut) *rowsOut = rows;
    return out;
}

}  // namespace

TEST(PlanFile, ReadsSpreadsheetCsvAndNamesEveryProblemWithItsLine) {
    std::vector<cli::PlanRow> rows;
    // A spreadsheet's BOM, CRLF, a quoted name holding a comma and a quote, a blank line.
    EXPECT_TRUE(Problems("\xEF\xBB\xBFMAC,name,port\r\n00:1b:2c:00:00:01,\"Gate, \"\"north\"\"\",\r\n\r\n"
                         "00:1B:2C:00:00:02,,8080\r\n",
                         &rows)
                    .empty());
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("Gate, \"north\"", rows[0].name);
    EXPECT_EQ("", rows[0].port);
    EXPECT_EQ(4, rows[1].line);
    EXPECT_EQ("8080", rows[1].port);

    const auto problems = Problems(
        "mac,ip,colour\n"
        "00:1B:2C:00:00:01,10.0.0.5,x\n"
        "00:1b:2c:00:00:01,10.0.0.6,x\n"
        "00:1B:2C:00:00:03,10.0.0.5,x\n"
        "00:1B:2C:00:00:0G,10.0.0.7,x\n"
        "00:1B:2C:00:00:05,10.0.0.8\n");
    const std::vector<std::string> expected = {
        "line 1: unknown column 'colour' (columns: mac, name, ip, mask, gateway, mode, port)",
        "line 3: camera 00:1b:2c:00:00:01 is planned again (first on line 2)",
        "line 4: address 10.0.0.5 is planned twice (also on line 2)",
        "line 5: mac '00:1B:2C:00:00:0G' is not six hex fields joined by ':'",
        "line 6: 2 fields, the header has 3"};
    EXPECT_EQ(expected, problems);

    // Values: the shared refusal of separators, and each column's own form.
    for (const char* text : {"mac,name\n00:1B:2C:00:00:01,a&b\n", "mac,mask\n00:1B:2C:00:00:01,255.0.255.0\n",
                             "mac,mode\n00:1B:2C:00:00:01,static\n", "mac,port\n00:1B:2C:00:00:01,0\n",
                             "name,ip\nGate,10.0.0.5\n", "mac,name\n00:1B:2C:00:00:01,\"open\n"})
        EXPECT_EQ(1u, Problems(text).size()) << text;

    // Against the cameras found: only another camera's address conflicts.
    ASSERT_TRUE(Problems("mac,ip\n00:1B:2C:00:00:01,10.0.0.5\n", &rows).empty());
    cli::CameraView self, other;
    self.mac = "00:1B:2C:00:00:01";
    self.ip = "10.0.0.5";
    EXPECT_TRUE(cli::CheckPlanAgainst(rows, {self}).empty());
    other.mac = "00:1B:2C:00:00:09";
    other.ip = "10.0.0.5";
    EXPECT_EQ(1u, cli::CheckPlanAgainst(rows, {self, other}).size());
}

// Hostile plans: a header of commas is one problem, not one per pair of columns; a junk
// file yields twenty problems and a count; bytes that are no text come back escaped.
TEST(PlanFile, JunkCostsOneScreenfulAndIsShownEscaped) {
    const auto commas = Problems("mac" + std::string(3000, ',') + "\n");
    ASSERT_EQ(1u, commas.size());
    EXPECT_EQ("line 1: the header names 3001 columns; a plan has at most 7 (mac, name, ip, mask, "
              "gateway, mode, port)",
              commas[0]);

    std::string junk = "mac,port\n";
    for (int i = 0; i < 500; ++i) junk += "00:1B:2C:00:00:01,0\n";
    const auto many = Problems(junk);
    ASSERT_EQ(cli::kPlanProblemsShown + 1, many.size());
    EXPECT_EQ("and 480 more problems", many.back());
    // More rows than the camera list holds, or more bytes than a plan has, end it in one
    // problem, however many came before.
    for (size_t i = 500; i <= cli::kPlanMaxRows; ++i) junk += "00:1B:2C:00:00:01,0\n";
    EXPECT_EQ((std::vector<std::string>{"line 8194: more than 8192 rows; a plan sets no more "
                                        "cameras than the list holds"}),
              Problems(junk));
    EXPECT_EQ((std::vector<std::string>{"larger than 4 MiB; a plan holds one short line per camera"}),
              Problems("mac\n" + std::string(cli::kPlanMaxBytes, ',')));

    const auto binary = Problems("mac,\x1b[2J\xff\xfe\n00:1B:2C:00:00:01,x\n");
    ASSERT_FALSE(binary.empty());
    EXPECT_NE(std::string::npos, binary[0].find("unknown column '\\x1B[2J\\xFF\\xFE'"));
    for (const std::string& p : binary) EXPECT_EQ(std::string::npos, p.find('\x1b')) << p;

    // A name that is no UTF-8 is refused like any other unsafe name; one search --plan
    // protected for spreadsheets reads back as it was.
    EXPECT_EQ((std::vector<std::string>{"line 2: name is not valid UTF-8 text"}),
              Problems("mac,name\n00:1B:2C:00:00:01,\xff\xfe\n"));
    std::vector<cli::PlanRow> rows;
    ASSERT_TRUE(Problems("mac,name\n00:1B:2C:00:00:01,'-Gate\n", &rows).empty());
    EXPECT_EQ("-Gate", rows[0].name);
}

TEST(CameraWarnings, DuplicatesAndForeignSubnets) {
    const std::vector<AdapterSubnet> twoSubnets = {{"192.168.1.5", "255.255.255.0"},
                                                   {"10.1.0.5", "255.255.0.0"}};
    const auto warnings = CameraWarnings({
        {"192.168.1.20", twoSubnets},       // home subnet, shares its address
        {"192.168.1.20", twoSubnets},
        {"10.1.200.7", twoSubnets},         // in the adapter's second subnet
        {"172.16.0.9", twoSubnets},         // outside both
        {"172.16.0.10", {}},                // read over HTTP: no adapter to judge by
        {"0.0.0.0", twoSubnets},            // no address: nothing to share or place
        {"0.0.0.0", twoSubnets},
    });
    const std::vector<std::vector<std::string>> expected = {
        {"duplicate-ip"}, {"duplicate-ip"}, {}, {"foreign-subnet"}, {}, {}, {}};
    EXPECT_EQ(expected, warnings);
}

TEST(DoctorFirewall, FindsRulesThatDropTheReplies) {
    const std::string closed =
        "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy drop;\n"
        "\t\tct state established,related accept\n\t}\n}\n";
    auto checks = tarsel::FirewallChecks(closed, 6565);
    ASSERT_EQ(1u, checks.size());
    EXPECT_FALSE(checks[0].ok);
    EXPECT_NE(std::string::npos, checks[0].fix.find("udp dport 6565 accept"));

    const std::string opened =
        "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy drop;\n"
        "\t\tudp dport 6565 accept\n\t}\n\tchain output {\n\t\ttype filter hook output priority 0; policy drop;\n\t}\n}\n";
    EXPECT_TRUE(tarsel::FirewallChecks(opened, 6565).empty());

    const std::string dropping =
        "table ip t {\n\tchain c {\n\t\ttype filter hook input priority 0; policy accept;\n"
        "\t\tudp sport 5656 drop\n\t\tudp dport 65650 drop\n\t}\n}\n";
    checks = tarsel::FirewallChecks(dropping, 6565);
    ASSERT_EQ(1u, checks.size());
    EXPECT_NE(std::string::npos, checks[0].detail.find("udp sport 5656 drop"));
}

namespace {

// Every slot call of a range search, in the order it came (the search calls one at a time).
struct Calls {
    std::vector<std::string> seen;
};

std::vector<std::string> RunRange(int jobs) {
    Calls calls;
    CIpRangeSearch search;
    search.jobs = jobs;
    search.context = &calls;
    // Addresses ending in 3 listen; those ending in 7 refuse the credentials. The later an
    // address in each ten, the sooner its probe answers, so workers finish out of order.
    search.probe = [](const char* address, int) {
        const int last = std::stoi(std::string(address).substr(std::string(address).rfind('.') + 1));
        std::this_thread::sleep_for(std::chrono::microseconds(200 * (10 - last % 10)));
        return last % 10 == 3 || last % 10 == 7 ? 1 : 0;
    };
    search.checkCgi = [](const char* ip, const char*, const char*, const char*, CameraReply* info) {
        std::snprintf(info->ip, sizeof info->ip, "%s", ip);
        return HttpOutcome::Of(ip[std::strlen(ip) - 1] == '7' ? HttpResult::Refused : HttpResult::Done);
    };
    search.onStatusId = [](void* c, int id, const char* address) {
        static_cast<Calls*>(c)->seen.push_back(std::to_string(id) + " " + address);
    };
    search.onCameraFound = [](void* c, const CameraReply& info) {
        static_cast<Calls*>(c)->seen.push_back(std::string("found ") + info.ip);
    };
    search.onAuthFailure = [](void* c, const char* address) {
        static_cast<Calls*>(c)->seen.push_back(std::string("refused ") + address);
    };
    EXPECT_EQ(0, search.Start("admin", "admin", "10.0.0.1", "10.0.0.60", "80"));
    search.Wait();
    return calls.seen;
}

}  // namespace

TEST(RangeSearchJobs, ManyAtOnceReportLikeOneAtATime) {
    const std::vector<std::string> one = RunRange(1);
    ASSERT_EQ(60u + 6u + 6u + 1u, one.size());  // a status per address, 6 found, 6 refused, done
    EXPECT_EQ("found 10.0.0.3", one[3]);
    EXPECT_EQ(one, RunRange(16));
    EXPECT_EQ(one, RunRange(256));
}
