#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "LoopbackHttpServer.h"
#include "platform/Log.h"
#include "web/LibCurl.h"

using testsupport::HttpAnswer;
using testsupport::HttpExchange;
using testsupport::LoopbackHttpServer;

TEST(GetReplyGrammar, ScansThreeQuotedStringsAndStopsAtTheFirstMismatch) {
    const std::string v63(63, 'v'), v64(64, 'v');
    struct Case {
        std::string body;
        int count;
        const char *lead, *status, *value;  // nullptr: not checked
    } cases[] = {
        {"x=\"lead\" s=\"ok\" v=\"value 1\"\n", 3, "lead", "ok", "value 1"},
        // The value needs no closing quote; anything after it is ignored.
        {"a\"b\"c\"d\"e\"f", 3, nullptr, nullptr, "f"},
        {"a\"b\"c\"d\"e\"f\"tail\"more", 3, nullptr, nullptr, "f"},
        {"\"lead\" \"ok\" \"v\"", 0, "", "", nullptr},  // begins with a quote
        // Adjacent quotes (an empty string) stop the scan there.
        {"a\"lead\"\"ok\"c\"v", 1, "lead", "", nullptr},
        {"a\"lead\"b\"ok\"c\"\"", 2, nullptr, "ok", ""},
        {"a\"lead\"b\"ok\"\n", 2, nullptr, nullptr, ""},
        // Field limits 383, 63, 63: one more stops the scan, the field left empty.
        {"a\"l\"b\"ok\"c\"" + v63 + "\"", 3, nullptr, nullptr, v63.c_str()},
        {"a\"l\"b\"ok\"c\"" + v64 + "\"", 2, nullptr, nullptr, ""},
        {"a\"l\"b\"" + v64 + "\"c\"v\"", 1, nullptr, "", nullptr},
        {"a\"" + std::string(383, 'l') + "\"b\"ok\"c\"v", 3, nullptr, nullptr, nullptr},
        {"a\"" + std::string(384, 'l') + "\"b\"ok\"c\"v", 0, "", nullptr, nullptr},
        {"", 0, nullptr, nullptr, nullptr},
        {"no quotes at all", 0, nullptr, nullptr, nullptr},
    };
    GetReply r;  // shared: each scan must clear what the one before left
    for (const Case& c : cases) {
        EXPECT_EQ(c.count, ParseGetReply(c.body.c_str(), &r)) << c.body;
        if (c.lead) { EXPECT_STREQ(c.lead, r.lead) << c.body; }
        if (c.status) { EXPECT_STREQ(c.status, r.status) << c.body; }
        if (c.value) { EXPECT_STREQ(c.value, r.value) << c.body; }
    }
    EXPECT_EQ(0, ParseGetReply(nullptr, &r));
}

TEST(GetNode, OnlyLowerCaseOkCarriesAValue) {
    std::string body;
    int status = 200;
    LoopbackHttpServer cam(LoopbackHttpServer::Auth::Digest, "admin", "pw",
                           [&](const HttpExchange&) { return HttpAnswer{status, body, 0}; });
    const std::string port = cam.PortText();
    auto get = [&](char(&out)[128]) {
        return GetNode("127.0.0.1", port.c_str(), "admin", "pw", "network.device_name", out);
    };
    char out[128];

    // Only a lower-case "ok" carries a value; a missing value reads empty; an empty body is
    // success that leaves out as it was. What else the body may hold: GetReplyGrammar.
    const struct {
        std::string body;
        HttpResult result;
        const char* out;
    } cases[] = {{"network.device_name=\"x\" status=\"ok\" value=\"Lobby Cam\"\n", HttpResult::Done, "Lobby Cam"},
                 {"k=\"x\" s=\"OK\" v=\"Upper\"", HttpResult::NotCamera, "old"},
                 {"k=\"x\" s=\"ok\"", HttpResult::Done, ""},
                 {"", HttpResult::Done, "old"}};
    for (const auto& c : cases) {
        body = c.body;
        std::strcpy(out, "old");
        EXPECT_EQ(c.result, get(out).result) << c.body;
        EXPECT_STREQ(c.out, out) << c.body;
    }
    EXPECT_EQ("/cgi-bin/get?network.device_name", cam.Requests().back().target);

    // HTTP failures pass through with their status.
    status = 404;
    body = "k=\"x\" s=\"ok\" v=\"nope\"";
    EXPECT_EQ(404, get(out).httpStatus);
    EXPECT_STREQ("old", out);
    EXPECT_EQ(401, GetNode("127.0.0.1", port.c_str(), "admin", "bad", "k", out).httpStatus);

    // The long variant reads the slash-joined address.
    status = 200;
    body = "k=\"x\" s=\"ok\" v=\"192.168.1.20/255.255.255.0/192.168.1.1\"";
    char address[1024];
    EXPECT_TRUE(GetNode("127.0.0.1", port.c_str(), "admin", "pw", "system.information.wire.ipv4.address",
                        address).Done());
    EXPECT_STREQ("192.168.1.20/255.255.255.0/192.168.1.1", address);
}
