// The site report: hostile camera texts come out escaped in a well-formed document, the
// firmware summary marks the newest version of each model, and a camera's picture is a
// small thumbnail or "no picture" with the reason (fetched from cameras on 127.0.0.1).

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "common/Language.h"
#include "engine/SiteReport.h"
#include "web/LibCurl.h"

namespace {

using testsupport::HttpAnswer;
using testsupport::LoopbackHttpServer;

std::string Jpeg(int width, int height) {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<unsigned char>(i * 7);
    tjhandle h = tjInitCompress();
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &bytes, &size, TJSAMP_420, 90, 0);
    std::string jpeg(reinterpret_cast<char*>(bytes), size);
    tjFree(bytes);
    tjDestroy(h);
    return jpeg;
}

SiteReportCamera Camera(const std::string& name, const std::string& model, const std::string& fw) {
    SiteReportCamera c;
    c.camera.name = name;
    c.camera.mac = "00:1B:2C:00:00:01";
    c.camera.ip = "10.0.0.5";
    c.camera.model = model;
    c.camera.fwVersion = fw;
    c.picture.missing = PictureMissing::NotVerified;
    return c;
}

// A TCP socket on 127.0.0.1 (listening: it takes connections and never answers); its port.
int LoopbackSocket(bool listening, std::string* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (listening)
        listen(fd, 8);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = std::to_string(ntohs(address.sin_port));
    return fd;
}

// Every tag closed in order (void elements aside), every "<" the start of a tag, and no
// control character but the line ends.
bool WellFormed(const std::string& html, std::string* why) {
    std::vector<std::string> open;
    for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        const size_t end = html.find('>', at);
        const std::string inside = html.substr(at + 1, end == std::string::npos ? 0 : end - at - 1);
        if (inside.rfind("!DOCTYPE html", 0) == 0)
            continue;
        const bool closing = !inside.empty() && inside[0] == '/';
        const std::string name = inside.substr(closing, inside.find(' ') == std::string::npos
                                                            ? std::string::npos
                                                            : inside.find(' ') - closing);
        if (end == std::string::npos || inside.find('<') != std::string::npos || name.empty() ||
            name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos)
            return *why = "stray < at " + std::to_string(at), false;
        if (name == "meta" || name == "br" || name == "img")
            continue;
        if (!closing)
            open.push_back(name);
        else if (open.empty() || open.back() != name)
            return *why = "unbalanced </" + name + ">", false;
        else
            open.pop_back();
    }
    for (char c : html)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n')
            return *why = "control character", false;
    return open.empty() || (*why = "unclosed <" + open.back() + ">", false);
}

}  // namespace

TEST(SiteReport, HostileTextsComeOutEscapedAndWellFormed) {
    SetThreadLanguage(LANGUAGE_ENGLISH);
    const std::string longName(127, 'N');
    std::vector<SiteReportCamera> cameras = {
        Camera("<script>alert(1)</script>", "<b>M</b>", "1\"2"),
        Camera("\"Gate' & co", "M", "1"),
        Camera("ctl\x01\x1b[31m\x7f"
               "end",
               "M", "1"),
        Camera("\xFF\xC0\xAF"
               "bad",
               "M", "1"),
        Camera("\xD7\xA9\xD7\xA2\xD7\xA8 \xE2\x80\xAE"
               "abc",
               "M", "1"),  // Hebrew, then a right-to-left override
        Camera("倉庫入口", "M", "1"),
        Camera(longName, "M", "1")};
    cameras[0].camera.warnings = {"duplicate-ip"};
    SiteReportHeader header{
        "<i>Site</i> & \"Co\"", "2025-03-04 14:05", "pc<1>", {"eth0: 10.0.0.1/255.255.255.0"}};
    const std::string html = SiteReportHtml(header, cameras, true);
    std::string why;
    EXPECT_TRUE(WellFormed(html, &why)) << why;
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<i>"), std::string::npos);
    for (const char* escaped :
         {"&lt;script&gt;alert(1)&lt;/script&gt;", "&quot;Gate&#39; &amp; co",
          "ctl\xEF\xBF\xBD\xEF\xBF\xBD[31m\xEF\xBF\xBD"
          "end",
          "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
          "bad",
          "<bdi>\xD7\xA9\xD7\xA2\xD7\xA8 \xE2\x80\xAE"
          "abc</bdi>",
          "<bdi>倉庫入口</bdi>", "&lt;i&gt;Site&lt;/i&gt; &amp; &quot;Co&quot;", "pc&lt;1&gt;",
          "&lt;b&gt;M&lt;/b&gt;"})
        EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
    EXPECT_NE(html.find("<bdi>" + longName + "</bdi>"), std::string::npos);
    EXPECT_NE(html.find("Another camera answers with the same IP address."), std::string::npos);
    EXPECT_EQ(HtmlText("a\tb\xEF\xBF\xBE"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");

    // Texts and the document's language follow the calling thread's.
    SetThreadLanguage(LANGUAGE_CHINESE_TRADITIONAL);
    const std::string chinese = SiteReportHtml(header, cameras, false);
    const std::string summary = LoadText(TEXT_REPORT_SUMMARY);
    SetThreadLanguage(LANGUAGE_ENGLISH);
    EXPECT_NE(chinese.find("<html lang=\"zh-Hant\">"), std::string::npos);
    EXPECT_NE(chinese.find("<h2>" + summary + "</h2>"), std::string::npos);
    EXPECT_EQ(chinese.find("no picture"), std::string::npos);  // no gallery asked
}

TEST(SiteReport, FirmwareSummaryMarksTheNewestVersionPerModel) {
    SetThreadLanguage(LANGUAGE_ENGLISH);
    EXPECT_GT(CompareFirmware("1.10.0", "1.9.9"), 0);
    EXPECT_EQ(CompareFirmware("1.02", "1.2"), 0);
    EXPECT_LT(CompareFirmware("1.2", "1.2.1"), 0);
    EXPECT_GT(CompareFirmware("5.2.1b", "5.2.1a"), 0);
    const std::vector<SiteReportCamera> cameras = {
        Camera("a", "TRL-B", "1.9.0"), Camera("b", "TRL-B", "1.10.0"),
        Camera("c", "TRL-A", "4.9.0"), Camera("d", "TRL-B", "1.10.0"),
        Camera("e", "TRL-A", "5.2.1")};
    const std::vector<FirmwareLine> lines = FirmwareSummary(cameras);
    ASSERT_EQ(lines.size(), 4u);
    const std::string expected[] = {"TRL-A 5.2.1 1 1", "TRL-A 4.9.0 1 0", "TRL-B 1.10.0 2 1",
                                    "TRL-B 1.9.0 1 0"};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].model + " " + lines[i].version + " " + std::to_string(lines[i].cameras) +
                      " " + std::to_string(lines[i].newest),
                  expected[i]);
    // Two older versions in the summary, two older cameras in the table.
    const std::string html = SiteReportHtml({}, cameras, false);
    size_t older = 0;
    for (size_t at = html.find(">older firmware<"); at != std::string::npos;
         at = html.find(">older firmware<", at + 1))
        ++older;
    EXPECT_EQ(older, 4u);
}

TEST(SiteReport, PicturesAreSmallThumbnailsOrSayWhyNot) {
    SetThreadLanguage(LANGUAGE_ENGLISH);
    // A wide and a tall picture fit 320 x 480; a page of HTML is no picture.
    const auto thumbnail = [](const std::string& body) {
        return MakeThumbnail(reinterpret_cast<const unsigned char*>(body.data()), body.size());
    };
    const ReportPicture wide = thumbnail(Jpeg(1280, 720)), tall = thumbnail(Jpeg(200, 2000));
    EXPECT_EQ(wide.missing, PictureMissing::None);
    EXPECT_EQ(std::make_pair(wide.width, wide.height), std::make_pair(320, 180));
    EXPECT_EQ(std::make_pair(tall.width, tall.height), std::make_pair(48, 480));
    EXPECT_LT(wide.jpeg.size(), 60'000u);
    const std::string page = "<html>not a picture</html>";
    EXPECT_EQ(thumbnail(page).missing, PictureMissing::NotPicture);
    EXPECT_TRUE(thumbnail(page).jpeg.empty());

    // Cameras on 127.0.0.1: one with a picture, one refusing the password, one sending a
    // page, and one port where nobody listens.
    const std::string picture = Jpeg(640, 480);
    auto camera = [](const char* password, const std::string& body) {
        return std::make_unique<LoopbackHttpServer>(LoopbackHttpServer::Auth::Digest, "admin",
                                                    password, [body](const auto&) {
                                                        return HttpAnswer{200, body};
                                                    });
    };
    // Two good cameras, not one asked twice: the test server issues the same Digest nonce
    // to requests in the same second and refuses the second use of its count.
    const auto good = camera("pw", picture), good2 = camera("pw", picture),
               other = camera("other", picture), html = camera("pw", page);
    std::string closedPort;
    close(LoopbackSocket(false, &closedPort));
    std::vector<PictureSource> sources;
    for (const std::string& port :
         {good->PortText(), other->PortText(), html->PortText(), closedPort, good2->PortText()})
        sources.push_back({"127.0.0.1", port, "admin", "pw"});
    std::atomic<bool> cancel{false};
    size_t calls = 0;
    const auto pictures = FetchReportPictures(sources, 2, cancel, [&](size_t done, size_t total) {
        EXPECT_EQ(done, ++calls);
        EXPECT_EQ(total, 5u);
    });
    ASSERT_EQ(pictures.size(), 5u);
    EXPECT_EQ(calls, 5u);
    const PictureMissing expected[] = {PictureMissing::None, PictureMissing::Refused,
                                       PictureMissing::NotPicture, PictureMissing::NoAnswer,
                                       PictureMissing::None};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(pictures[i].missing, expected[i]) << i;
    EXPECT_TRUE(pictures[0].accepted && !pictures[1].accepted && pictures[2].accepted &&
                !pictures[3].accepted);
    EXPECT_EQ(pictures[0].width, 320);

    std::vector<SiteReportCamera> cameras(pictures.size() + 1, Camera("c", "M", "1"));
    for (size_t i = 0; i < pictures.size(); ++i)
        cameras[i].picture = pictures[i];
    cameras.push_back(cameras[1]);  // verified and refused: its address is another camera's too
    cameras.back().camera.warnings = {"duplicate-ip"};
    cameras.back().verified = true;
    const std::string report = SiteReportHtml({}, cameras, true);
    for (const char* text : {"<b>no picture</b>refused", "<b>no picture</b>duplicate address", "<b>no picture</b>not a picture",
                             "<b>no picture</b>no answer", "<b>no picture</b>not verified",
                             "src=\"data:image/jpeg;base64,/9j/"})
        EXPECT_NE(report.find(text), std::string::npos) << text;

    // A camera that takes the request and never answers: a cancel ends the fetch early.
    std::string silentPort;
    const int silent = LoopbackSocket(true, &silentPort);
    const auto start = std::chrono::steady_clock::now();
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    const auto stopped = FetchReportPictures({{"127.0.0.1", silentPort, "admin", "pw"}}, 5, cancel);
    canceller.join();
    close(silent);
    EXPECT_EQ(stopped[0].missing, PictureMissing::NoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(8));  // a fetch waits 10 s
}

// Pictures fetched side by side share one memory budget: one that needs more than its
// share is fetched again once the others are done, alone with the whole budget, and one
// whose decoding would take more than it is given is not decoded.
TEST(SiteReport, PicturesShareOneMemoryBudget) {
    const std::string small = Jpeg(640, 480);
    std::string large = small;
    const std::string comment = std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'x');
    while (large.size() < kReportPictureMemory / 5) large.insert(2, comment);
    std::atomic<int> largeFetches{0};
    LoopbackHttpServer smallCamera(LoopbackHttpServer::Auth::None, "", "",
                                   [&](const auto&) { return HttpAnswer{200, small}; });
    LoopbackHttpServer largeCamera(LoopbackHttpServer::Auth::None, "", "", [&](const auto&) {
        ++largeFetches;
        return HttpAnswer{200, large};
    });
    std::vector<PictureSource> sources(5, {"127.0.0.1", smallCamera.PortText(), "admin", "pw"});
    sources[1].port = largeCamera.PortText();
    const std::atomic<bool> cancel{false};
    for (const ReportPicture& picture : FetchReportPictures(sources, 5, cancel))
        EXPECT_EQ(picture.missing, PictureMissing::None);
    EXPECT_EQ(2, largeFetches.load());

    bool overMemory = false;
    const auto bytes = reinterpret_cast<const unsigned char*>(small.data());
    EXPECT_EQ(MakeThumbnail(bytes, small.size(), 1 << 20, &overMemory).missing, PictureMissing::NotPicture);
    EXPECT_TRUE(overMemory);
}

// Devices of other makers beside this family's: counted by maker and model (one not verified
// under "Unknown maker"), firmware per maker's model, and marked ONVIF in the table and the
// gallery; their pictures come through a fetch of the caller's, never from the address with
// the credentials given.
TEST(SiteReport, OnvifDevicesAreCountedByMakerAndModel) {
    SetThreadLanguage(LANGUAGE_ENGLISH);
    const auto device = [](const std::string& name, const std::string& company, const std::string& told,
                           const std::string& model, const std::string& fw) {
        SiteReportCamera c = Camera(name, model, fw);
        c.camera.protocol = "onvif";
        c.camera.mac.clear();
        c.camera.company = company;
        auto onvif = std::make_shared<OnvifEntry>();
        onvif->facts.info.manufacturer = told;
        c.camera.onvif = onvif;
        return c;
    };
    std::vector<SiteReportCamera> cameras = {
        Camera("Gate", "TRL-D320", "5.2.1"), Camera("Yard", "TRL-D320", "4.9.0"),
        device("Door", "Acme", "Acme", "IPC", "2.1"), device("Hall", "Acme", "Acme", "IPC", "2.0"),
        device("Dock", "", "Borealis", "IPC", "1.0"), device("Roof", "", "", "", "")};
    cameras[0].camera.company = cameras[1].camera.company = "Tarsel Labs";
    std::string counts, firmware;
    for (const ModelCount& m : CountByMakerAndModel(cameras))
        counts += m.maker + "/" + m.model + "=" + std::to_string(m.cameras) + " ";
    EXPECT_EQ(counts, "Acme/IPC=2 Borealis/IPC=1 Tarsel Labs/TRL-D320=2 Unknown maker/=1 ");
    for (const FirmwareLine& l : FirmwareSummary(cameras))
        firmware += l.maker + "/" + l.model + " " + l.version + (l.newest ? "* " : " ");
    EXPECT_EQ(firmware, "Acme/IPC 2.1* Acme/IPC 2.0 Borealis/IPC 1.0* Tarsel Labs/TRL-D320 5.2.1* "
                        "Tarsel Labs/TRL-D320 4.9.0 ");

    cameras[2].picture.missing = PictureMissing::NoOwnAddress;
    const std::string html = SiteReportHtml({}, cameras, true);
    for (const char* text : {"<tr><td><bdi>Acme</bdi></td><td class=\"n\">2</td></tr>",
                             "<tr><td><bdi>Unknown maker</bdi></td><td>\xE2\x80\x94</td><td class=\"n\">1</td>",
                             "<td><bdi>Borealis</bdi></td><td><span class=\"nw\"><bdi>ONVIF</bdi></span></td>",
                             "<td><bdi>Tarsel Labs</bdi></td><td></td>", "no picture address on the device itself",
                             "10.0.0.5</span> &middot; <bdi>Acme</bdi> (ONVIF)</figcaption>"})
        EXPECT_NE(html.find(text), std::string::npos) << text;
    // Two older versions in the summary and two in the table; none for the unknown firmware.
    size_t older = 0;
    for (size_t at = html.find(">older firmware<"); at != std::string::npos; at = html.find(">older firmware<", at + 1))
        ++older;
    EXPECT_EQ(older, 4u);

    // Without an engine an ONVIF device is not verified, and no credentials go with it.
    const PictureSource onvif = ReportPictureSource(nullptr, cameras[2].camera, "admin", "pw");
    EXPECT_TRUE(onvif.fetch && onvif.password.empty() && !ReportPictureSource(nullptr, cameras[0].camera, "a", "p").fetch);
    const std::string jpeg = Jpeg(640, 480);
    const PictureSource fetched{"", "", "", "", [&](CurlBuffer& body) {
                                    body.Append(jpeg.data(), jpeg.size());
                                    return PictureMissing::None;
                                }};
    const auto pictures = FetchReportPictures({onvif, fetched}, 2, std::atomic<bool>{false});
    EXPECT_TRUE(pictures[0].missing == PictureMissing::NotVerified && !pictures[0].accepted);
    EXPECT_TRUE(pictures[1].missing == PictureMissing::None && pictures[1].accepted && pictures[1].width == 320);
}
