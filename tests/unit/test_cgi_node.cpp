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
    GetReply r;
    EXPECT_EQ(3, ParseGetReply("x=\"lead\" s=\"ok\" v=\"value 1\"\n", &r));
    EXPECT_STREQ("lead", r.lead);
    EXPECT_STREQ("ok", r.status);
    EXPECT_STREQ("value 1", r.value);

    // The value needs no closing quote; anything after it is ignored.
    EXPECT_EQ(3, ParseGetReply("a\"b\"c\"d\"e\"f", &r));
    EXPECT_STREQ("f", r.value);
    EXPECT_EQ(3, ParseGetReply("a\"b\"c\"d\"e\"f\"tail\"more", &r));
    EXPECT_STREQ("f", r.value);

    // A body that begins with a quote fails at once.
    EXPECT_EQ(0, ParseGetReply("\"lead\" \"ok\" \"v\"", &r));
    EXPECT_STREQ("", r.lead);
    EXPECT_STREQ("", r.status);

    // Adjacent quotes (an empty string) stop the scan there.
    EXPECT_EQ(1, ParseGetReply("a\"lead\"\"ok\"c\"v", &r));
    EXPECT_STREQ("lead", r.lead);
    EXPECT_STREQ("", r.status);
    EXPECT_EQ(2, ParseGetReply("a\"lead\"b\"ok\"c\"\"", &r));
    EXPECT_STREQ("ok", r.status);
    EXPECT_STREQ("", r.value);

    // No third string.
    EXPECT_EQ(2, ParseGetReply("a\"lead\"b\"ok\"", &r));
    EXPECT_EQ(2, ParseGetReply("a\"lead\"b\"ok\"\n", &r));
    EXPECT_STREQ("", r.value);

    // Field limits: 383, 63, 63 characters; one more stops the scan, field left empty.
    const std::string v63(63, 'v'), v64(64, 'v');
    EXPECT_EQ(3, ParseGetReply(("a\"l\"b\"ok\"c\"" + v63 + "\"").c_str(), &r));
    EXPECT_EQ(v63, r.value);
    EXPECT_EQ(2, ParseGetReply(("a\"l\"b\"ok\"c\"" + v64 + "\"").c_str(), &r));
    EXPECT_STREQ("", r.value);
    EXPECT_EQ(1, ParseGetReply(("a\"l\"b\"" + v64 + "\"c\"v\"").c_str(), &r));
    EXPECT_STREQ("", r.status);
    EXPECT_EQ(3, ParseGetReply(("a\"" + std::string(383, 'l') + "\"b\"ok\"c\"v").c_str(), &r));
    EXPECT_EQ(0, ParseGetReply(("a\"" + std::string(384, 'l') + "\"b\"ok\"c\"v").c_str(), &r));
    EXPECT_STREQ("", r.lead);

    EXPECT_EQ(0, ParseGetReply("", &r));
    EXPECT_EQ(0, ParseGetReply("no quotes at all", &r));
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

    body = "network.device_name=\"x\" status=\"ok\" value=\"Lobby Cam\"\n";
    std::strcpy(out, "old");
    EXPECT_EQ(0, get(out));
    EXPECT_STREQ("Lobby Cam", out);
    EXPECT_EQ("/cgi-bin/get?network.device_name", cam.Requests().back().target);

    body = "k=\"x\" s=\"OK\" v=\"Upper\"";
    std::strcpy(out, "old");
    EXPECT_EQ(-1, get(out));
    EXPECT_STREQ("old", out);

    body = "\"x\" s=\"ok\" v=\"Quote first\"";
    EXPECT_EQ(-1, get(out));
    EXPECT_STREQ("old", out);

    body = "k=\"x\" s=\"ok\"";
    EXPECT_EQ(0, get(out));
    EXPECT_STREQ("", out);

    body = "k=\"x\" s=\"ok\" v=\"" + std::string(64, 'z') + "\"";
    std::strcpy(out, "old");
    EXPECT_EQ(0, get(out));
    EXPECT_STREQ("", out);

    // An empty body is success and leaves out as it was.
    body = "";
    std::strcpy(out, "kept");
    EXPECT_EQ(0, get(out));
    EXPECT_STREQ("kept", out);

    // HTTP failures pass through untouched.
    status = 404;
    body = "k=\"x\" s=\"ok\" v=\"nope\"";
    EXPECT_EQ(404, get(out));
    EXPECT_STREQ("kept", out);
    EXPECT_EQ(401, GetNode("127.0.0.1", port.c_str(), "admin", "bad", "k", out));

    // The long variant reads the slash-joined address.
    status = 200;
    body = "k=\"x\" s=\"ok\" v=\"192.168.1.20/255.255.255.0/192.168.1.1\"";
    char address[1024];
    EXPECT_EQ(0, GetNode("127.0.0.1", port.c_str(), "admin", "pw",
                         "system.information.wire.ipv4.address", address));
    EXPECT_STREQ("192.168.1.20/255.255.255.0/192.168.1.1", address);
}

TEST(SetNode, AnyStatus200IsSuccessWhateverTheBody) {
    int status = 200;
    LoopbackHttpServer cam(LoopbackHttpServer::Auth::Digest, "admin", "pw",
                           [&](const HttpExchange&) {
                               return HttpAnswer{status, "k=\"x\" s=\"error\" v=\"\"", 0};
                           });
    const std::string port = cam.PortText();
    EXPECT_EQ(0, SetNode("127.0.0.1", port.c_str(), "admin", "pw",
                         "network.device_name=Gate&network.web.http_port=8080"));
    ASSERT_EQ(1u, cam.Requests().size());
    EXPECT_EQ("/cgi-bin/set?network.device_name=Gate&network.web.http_port=8080",
              cam.Requests()[0].target);
    EXPECT_EQ(401, SetNode("127.0.0.1", port.c_str(), "admin", "no", "system.reboot=1"));
    status = 500;
    EXPECT_EQ(500, SetNode("127.0.0.1", port.c_str(), "admin", "pw", "system.reboot=1"));
}
