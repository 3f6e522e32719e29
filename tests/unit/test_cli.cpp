// The command line's contract: option parsing, the three output formats, the password
// sources and the exit codes of usage errors. Nothing here sends a datagram: every case
// ends before a search would start.


#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliCamera.h"
#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliMain.h"
#include "CliOutput.h"
#include "CliSavedSearch.h"
#include "support/TestSupport.h"

namespace {

using namespace cli;

TEST(CliArgs, OptionsValuesAndPositionalsAndTheirErrors) {
    const std::vector<OptionDef> optionDefs = JoinOptions({OptionList(kOutputOptions), {{"--wait", true}}});
    ParsedArgs args;
    std::string error;
    ASSERT_TRUE(args.Parse({"a", "--wait", "2.5", "--json", "b", "--", "--csv"}, optionDefs, error));
    EXPECT_EQ(args.Get("--wait"), "2.5");
    EXPECT_TRUE(args.Has("--json"));
    EXPECT_FALSE(args.Has("--csv"));
    EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"a", "b", "--csv"}));
    ASSERT_TRUE(args.Parse({"--wait=7"}, optionDefs, error));
    EXPECT_EQ(args.Get("--wait"), "7");
    EXPECT_EQ(args.Get("--missing", "dflt"), "dflt");

    EXPECT_FALSE(args.Parse({"--bogus"}, optionDefs, error));
    EXPECT_NE(error.find("--bogus"), std::string::npos);
    EXPECT_FALSE(args.Parse({"--wait"}, optionDefs, error));
    EXPECT_NE(error.find("needs a value"), std::string::npos);
    EXPECT_FALSE(args.Parse({"--json=1"}, optionDefs, error));
    EXPECT_FALSE(args.Parse({"--wait", "1", "--wait", "2"}, optionDefs, error));
    EXPECT_NE(error.find("twice"), std::string::npos);

    double seconds = 0;
    EXPECT_TRUE(ParseSeconds("0.5", 0.1, 3600, seconds));
    EXPECT_DOUBLE_EQ(seconds, 0.5);
    for (const char* bad : {"", "abc", "-1", "1e3", "0x10", "0.01", "3601", "2s", "nan"})
        EXPECT_FALSE(ParseSeconds(bad, 0.1, 3600, seconds)) << bad;
}

std::vector<Column> Columns() {
    return {{"name", "Name", true}, {"port", "Port", true}, {"note", "Note", false},
            {"ok", "OK", true}};
}

TEST(CliOutput, TableJsonAndCsvCarryTheSameRows) {
    std::vector<Row> rows = {
        {std::string("Lobby"), 80LL, std::string("a,b \"q\"\nline"), true},
        {std::string("倉庫"), 8080LL, std::string(" pad"), false},
    };
    // Table: aligned columns (wide characters count twice), hidden column left out.
    std::string table = FormatRows(Format::Table, Columns(), rows);
    EXPECT_EQ(table,
              "Name   Port  OK\n"
              "Lobby  80    true\n"
              "倉庫   8080  false\n");

    // JSON: all columns, typed values, escaped text.
    auto doc = nlohmann::json::parse(FormatRows(Format::Json, Columns(), rows));
    ASSERT_TRUE(doc.is_array());
    ASSERT_EQ(doc.size(), 2u);
    EXPECT_EQ(doc[0]["name"], "Lobby");
    EXPECT_EQ(doc[0]["port"], 80);
    EXPECT_EQ(doc[0]["note"], "a,b \"q\"\nline");
    EXPECT_EQ(doc[0]["ok"], true);
    EXPECT_EQ(doc[1]["name"], "倉庫");

    // CSV (RFC 4180): header of keys, CRLF line ends, quoting where needed.
    EXPECT_EQ(FormatRows(Format::Csv, Columns(), rows),
              "name,port,note,ok\r\n"
              "Lobby,80,\"a,b \"\"q\"\"\nline\",true\r\n"
              "倉庫,8080,\" pad\",false\r\n");
    EXPECT_EQ(FormatRows(Format::Json, Columns(), {}), "[]\n");

    // Camera texts that are not UTF-8 still give valid JSON; control characters never
    // reach a terminal through the table.
    std::vector<Row> odd = {{std::string("bad\xff"), 1LL, std::string(""), true},
                            {std::string("esc\x1b[2J"), 2LL, std::string(""), true}};
    EXPECT_TRUE(nlohmann::json::accept(FormatRows(Format::Json, Columns(), odd)));
    EXPECT_EQ(FormatRows(Format::Table, Columns(), odd).find('\x1b'), std::string::npos);

    // The table escapes C1 controls and bidirectional overrides visibly ("evil" written
    // with U+202E must not read "live"); the CSV is valid UTF-8 without ESC, BEL or
    // direction overrides, and no cell of it is a spreadsheet formula, not even after a
    // tab, a CR or a blank, nor with a full-width "=".
    std::vector<Row> hostile = {{std::string("\xE2\x80\xAE" "evil"), 1LL, std::string("=HYPERLINK(\"x\")"), true},
                                {std::string("c1\xC2\x9B" "31m\x07"), 2LL, std::string("bad\xff"), true},
                                {std::string("+1"), 3LL, std::string("@SUM(A1)"), true},
                                {std::string("\t=1+1"), 4LL, std::string("\r=A1"), true},
                                {std::string(" -2"), 5LL, std::string("\xEF\xBC\x9D" "A1"), true}};
    table = FormatRows(Format::Table, Columns(), hostile);
    EXPECT_NE(std::string::npos, table.find("\\u202Eevil"));
    EXPECT_NE(std::string::npos, table.find("c1\\u009B31m\\x07"));
    EXPECT_EQ(std::string::npos, table.find("\xE2\x80\xAE"));
    EXPECT_EQ(FormatRows(Format::Csv, Columns(), hostile),
              "name,port,note,ok\r\n"
              "\xEF\xBF\xBD" "evil,1,\"'=HYPERLINK(\"\"x\"\")\",true\r\n"
              "c1\xEF\xBF\xBD" "31m\xEF\xBF\xBD,2,bad\xEF\xBF\xBD,true\r\n"
              "'+1,3,'@SUM(A1),true\r\n"
              "'\t=1+1,4,\"'\r=A1\",true\r\n"
              "' -2,5,'\xEF\xBC\x9D" "A1,true\r\n");
}

TEST(CliOutput, CameraRowsFollowTheCameraObjectKeys) {
    CameraReply reply{};
    std::snprintf(reply.deviceName, sizeof reply.deviceName, "Gate");
    std::snprintf(reply.mac, sizeof reply.mac, "00:1B:2C:00:00:01");
    std::snprintf(reply.ip, sizeof reply.ip, "192.168.1.20");
    std::snprintf(reply.httpPort, sizeof reply.httpPort, "8080");
    std::snprintf(reply.adapter.addressText, sizeof reply.adapter.addressText, "192.168.1.5");
    std::snprintf(reply.adapter.name, sizeof reply.adapter.name, "eth0");
    CameraView later = CameraFromReply(reply, "View");
    std::snprintf(reply.ip, sizeof reply.ip, "192.168.1.3");
    std::snprintf(reply.httpPort, sizeof reply.httpPort, "80x");
    CameraView earlier = CameraFromReply(reply, "View");
    std::vector<CameraView> cameras = {later, earlier};
    SortCameras(cameras);  // numerically: .3 before .20
    EXPECT_EQ(cameras[0].ip, "192.168.1.3");
    EXPECT_EQ(cameras[0].httpPort, 0);  // not a port number

    std::vector<Row> rows = {CameraRow(cameras[1])};
    auto doc = nlohmann::json::parse(FormatRows(Format::Json, CameraColumns(), rows));
    EXPECT_EQ(doc[0]["httpPort"], 8080);
    EXPECT_EQ(doc[0]["adapter"], "192.168.1.5");
    EXPECT_EQ(doc[0]["adapterName"], "eth0");
    EXPECT_EQ(doc[0]["viaHttp"], false);
    EXPECT_TRUE(SameMac("00:1b:2c:00:00:01", "00:1B:2C:00:00:01"));
    EXPECT_FALSE(SameMac("00:1b:2c:00:00:01", "00:1B:2C:00:00:02"));
}

TEST(CliCredentials, PasswordSourcesInTheirOrder) {
    const std::vector<OptionDef> optionDefs = OptionList(kCredentialOptions);
    testsupport::TempDir dir;
    const std::string file = dir.Write("pw", "file-secret\r\nsecond line\n");
    const std::string empty = dir.Write("empty", "");
    auto open = [](const std::string& path) { return std::fopen(path.c_str(), "r"); };
    ParsedArgs args;
    std::string error;
    Credentials credentials;
    setenv("TARSEL_PASSWORD", "env-secret", 1);

    // The file wins over stdin and the environment; only its first line, CRLF cut.
    FILE* in = open(dir.Write("stdin", "stdin-secret\n"));
    ASSERT_TRUE(args.Parse({"--user", "admin", "--password-file", file, "--password-stdin"}, optionDefs, error));
    EXPECT_EQ(ResolveCredentials(args, credentials, error, in), 0) << error;
    EXPECT_EQ(credentials.user, "admin");
    EXPECT_EQ(credentials.password, "file-secret");

    ASSERT_TRUE(args.Parse({"--user", "admin", "--password-stdin"}, optionDefs, error));
    EXPECT_EQ(ResolveCredentials(args, credentials, error, in), 0) << error;
    EXPECT_EQ(credentials.password, "stdin-secret");
    std::fclose(in);

    FILE* none = open(empty);
    EXPECT_EQ(ResolveCredentials(args, credentials, error, none), kExitUsage);
    std::fclose(none);

    ASSERT_TRUE(args.Parse({"--user", "admin"}, optionDefs, error));
    none = open(empty);
    EXPECT_EQ(ResolveCredentials(args, credentials, error, none), 0);
    EXPECT_EQ(credentials.password, "env-secret");

    // No source at all, and stdin is no terminal: a usage error, never a hang.
    unsetenv("TARSEL_PASSWORD");
    EXPECT_EQ(ResolveCredentials(args, credentials, error, none), kExitUsage);
    EXPECT_NE(error.find("TARSEL_PASSWORD"), std::string::npos);
    std::fclose(none);

    ASSERT_TRUE(args.Parse({"--password-file", file}, optionDefs, error));
    EXPECT_EQ(ResolveCredentials(args, credentials, error), kExitUsage);  // no --user
    ASSERT_TRUE(args.Parse({"--user", "admin", "--password-file", "/nonexistent/pw"}, optionDefs, error));
    EXPECT_EQ(ResolveCredentials(args, credentials, error), kExitSystem);
    ASSERT_TRUE(args.Parse({"--user", "admin", "--password-file", dir.Write("long", std::string(41, 'p') + "\n")}, optionDefs, error));
    EXPECT_EQ(ResolveCredentials(args, credentials, error), kExitUsage);
}

// Runs the command line with stdout captured.
int Cli(std::vector<const char*> args, std::string* out = nullptr) {
    args.insert(args.begin(), "tarsel");
    int code = 0;
    std::string text = testsupport::CaptureStdout(
        [&] { code = RunCli(static_cast<int>(args.size()), args.data()); });
    if (out) *out = text;
    return code;
}

TEST(CliMain, GlobalOptionsHelpAndUsageErrors) {
    std::string out;
    EXPECT_EQ(Cli({"--version"}, &out), 0);
    EXPECT_EQ(out, std::string("tarsel ") + TARSEL_VERSION + "\n");
    EXPECT_EQ(Cli({"--help"}, &out), 0);
    EXPECT_NE(out.find("search"), std::string::npos);
    EXPECT_EQ(Cli({"search", "--help"}, &out), 0);
    EXPECT_NE(out.find("tarsel search [--wait S]"), std::string::npos);

    // Usage errors never write to stdout.
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {}, {"frobnicate"}, {"--bogus", "search"}, {"--config"}, {"--lang", "xx", "search"},
             {"search", "--json", "--csv"}, {"search", "--wait", "soon"}, {"search", "--wait", "0"},
             {"search", "extra"}, {"search", "--user", "x"}}) {
        EXPECT_EQ(Cli(args, &out), kExitUsage) << args.size();
        EXPECT_EQ(out, "");
    }
}

// A newcomer finds how to give a password in `tarsel --help` and in every command's help
// that takes --user; every command names its options and exit codes.
TEST(CliMain, EveryHelpSaysHowToGiveThePasswordAndItsExitCodes) {
    std::string out;
    ASSERT_EQ(Cli({"--help"}, &out), 0);
    for (const char* words : {"--password-file", "--password-stdin", "TARSEL_PASSWORD", "prompt", "XDG_CONFIG_HOME"})
        EXPECT_NE(out.find(words), std::string::npos) << words;
    for (const Command& command : Commands()) {
        ASSERT_EQ(Cli({command.name, "--help"}, &out), 0) << command.name;
        EXPECT_NE(out.find("exit codes:"), std::string::npos) << command.name;
        if (out.find("--user") != std::string::npos) {
            for (const char* words : {"--password-file FILE", "--password-stdin", "TARSEL_PASSWORD", "prompt"})
                EXPECT_NE(out.find(words), std::string::npos) << command.name << ": " << words;
        }
        if (out.find("--json|--csv") != std::string::npos) {
            EXPECT_NE(out.find("  --json"), std::string::npos) << command.name;
        }
    }
    for (const char* name : {"reboot", "default", "verify"}) {
        ASSERT_EQ(Cli({name, "--help"}, &out), 0);
        EXPECT_NE(out.find("[--json|--csv]"), std::string::npos) << name;
        EXPECT_NE(out.find("  --wait S"), std::string::npos) << name;
    }
}

}  // namespace

// A saved search is read as a stream within its bounds: rows that name no camera are left
// out with the reason, a camera listed twice is one, and nesting, count and size past
// their limits end the read at once.
TEST(CliSavedSearch, RowsAreCheckedMergedAndTheFileBounded) {
    auto parse = [](const std::string& text, SavedSearch& search) {
        std::istringstream in(text);
        std::string error;
        ParseSavedSearch(in, search, error);
        return error;
    };
    SavedSearch search;
    ASSERT_EQ("", parse(R"([{"mac":"00:1b:2c:00:00:01","ip":"10.0.0.5","httpPort":80,"warnings":["duplicate-ip"]},
        {"mac":"00:1B:2C:00:00:01","ip":"10.0.0.5","name":"Gate"}, {"mac":"00:1B:2C:00:00:0G","ip":"10.0.0.6"},
        {"mac":"00:1B:2C:00:00:02","ip":"127.0.0.1:8099/x?"}, {"mac":"00:1B:2C:00:00:03","ip":"10.0.0.7","httpPort":70000},
        {"mac":"00:1B:2C:00:00:04","ip":"10.0.0.8","httpPort":"80"}, 7, {"mac":"00:1B:2C:00:00:05","ip":"10.0.0.9"}])",
                        search));
    ASSERT_EQ(2u, search.cameras.size());
    EXPECT_EQ("Gate", search.cameras[0].name);
    EXPECT_EQ(80, search.cameras[0].httpPort);
    EXPECT_EQ(std::vector<std::string>{"duplicate-ip"}, search.cameras[0].warnings);
    EXPECT_EQ(0, search.cameras[1].httpPort);
    EXPECT_EQ(1u, search.merged);
    EXPECT_EQ((std::vector<std::string>{"row 3: no MAC of six hex fields joined by ':'",
                                        "row 4: no dotted IPv4 address",
                                        "row 5: httpPort is no port from 1 to 65535",
                                        "row 6: httpPort is no port from 1 to 65535", "row 7: not a camera object"}),
              search.refused);

    EXPECT_EQ("nests values deeper than 16 levels", parse(std::string(1 << 20, '['), search));
    std::string objects = "[{}";
    for (size_t i = 0; i < kSavedSearchMaxCameras; ++i) objects += ",{}";
    EXPECT_EQ("holds more than 8192 cameras", parse(objects + "]", search));
    EXPECT_EQ("a saved search of more than 16 MiB is not read",
              parse("[" + std::string(kSavedSearchMaxBytes, ' ') + "]", search));
    EXPECT_EQ("is not the JSON array of a saved search (tarsel search --json)", parse("{}", search));
    EXPECT_TRUE(search.cameras.empty());
}
