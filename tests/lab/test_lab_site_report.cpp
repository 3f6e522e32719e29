// The site report of a lab like the demo's: twelve cameras behind two adapters, one with
// another password and one whose web server is off, and an ONVIF device of another maker.
// The report lists every camera, with a picture of each verified one (the ONVIF device's
// through its own snapshot address, verified with the same password) and the reason for the
// others; a saved search makes the same list; and a real browser (headless Chromium, inside
// the lab) prints it on a few A4 pages where every camera's name and MAC, the ONVIF device's
// maker and the count by maker can be read, in English and Chinese.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "LabSupport.h"

namespace {

using tarsel::lab::Lab;
using tarsel::lab::Quote;

const char kSiteLab[] = R"({
  "host": {"adapters": [
    {"name": "office", "lan": "office", "address": "192.168.10.5/24", "alias": "Office LAN"},
    {"name": "warehouse", "lan": "store", "address": "10.20.0.5/16", "alias": "Warehouse LAN"}]},
  "cameras": [
    {"lan": "office", "name": "Reception", "model": "TRL-D320", "mac": "00:1B:2C:A0:00:01", "ip": "192.168.10.21", "firmware": "5.2.1"},
    {"lan": "office", "name": "Lobby", "model": "TRL-D320", "mac": "00:1B:2C:A0:00:02", "ip": "192.168.10.22", "firmware": "5.2.1"},
    {"lan": "office", "name": "Stairs-1", "model": "TRL-B210", "mac": "00:1B:2C:A0:00:03", "ip": "192.168.10.23", "mode": "dhcp"},
    {"lan": "office", "name": "Stairs-2", "model": "TRL-B210", "mac": "00:1B:2C:A0:00:04", "ip": "192.168.10.24", "mode": "dhcp", "password": "other"},
    {"lan": "office", "name": "Meeting", "model": "TRL-P615Z", "mac": "00:1B:2C:A0:00:05", "ip": "192.168.10.25", "httpPort": 8080},
    {"lan": "office", "name": "Kitchen", "model": "TRL-D510", "mac": "00:1B:2C:A0:00:06", "ip": "192.168.10.26"},
    {"lan": "office", "name": "Server-Room", "model": "TRL-D320", "mac": "00:1B:2C:A0:00:07", "ip": "192.168.10.27", "firmware": "4.9.0"},
    {"lan": "office", "name": "IPCAM", "model": "TRL-C100", "mac": "00:1B:2C:A0:00:08", "ip": "192.168.0.20"},
    {"lan": "store", "name": "Dock-North", "model": "TRL-F400", "mac": "00:1B:2C:B0:00:01", "ip": "10.20.1.11", "mask": "255.255.0.0"},
    {"lan": "store", "name": "Dock-South", "model": "TRL-F400", "mac": "00:1B:2C:B0:00:02", "ip": "10.20.1.12", "mask": "255.255.0.0", "web": {"refuseConnections": true}},
    {"lan": "store", "name": "Aisle-7", "model": "TRL-D522R", "mac": "00:1B:2C:B0:00:03", "ip": "10.20.1.13", "mask": "255.255.0.0", "mode": "dhcp"},
    {"lan": "store", "name": "Yard", "model": "TRL-P620", "mac": "00:1B:2C:B0:00:04", "ip": "10.20.1.14", "mask": "255.255.0.0"},
    {"lan": "office", "native": false, "mac": "02:4E:57:10:00:31", "ip": "192.168.10.31",
     "onvif": {"maker": "Northwind Optics", "model": "NW-B40", "firmware": "3.4.2", "replyDelayMaxMs": 200,
               "scopes": ["onvif://www.onvif.org/name/Car-Park"]}}]
})";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Prints the report to PDF with headless Chromium inside the lab's host namespace (no
// route anywhere but the lab); its text and page count. False when the browser failed.
bool PrintToPdf(const Lab& lab, const std::string& html, std::string* text, int* pages) {
    const std::string pdf = html + ".pdf", profile = html + ".profile";
    std::string output;
    const int status = lab.Exec(
        "host",
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--no-pdf-header-footer --user-data-dir=" +
            Quote(profile) + " --print-to-pdf=" + Quote(pdf) + " " + Quote("file://" + html),
        &output);
    tarsel::lab::Run("rm -rf " + Quote(profile));
    if (status != 0)
        return *text = output, false;
    tarsel::lab::Run("pdftotext -layout " + Quote(pdf) + " -", text);
    std::string info;
    tarsel::lab::Run("pdfinfo " + Quote(pdf), &info);
    const size_t at = info.find("Pages:");
    *pages = at == std::string::npos ? 0 : std::stoi(info.substr(at + 6));
    std::remove(pdf.c_str());
    return true;
}

}  // namespace

TEST(LabSiteReport, EveryCameraWithItsPictureOrWhyNotAndABrowserPrintsIt) {
    Lab lab(kSiteLab);
    ASSERT_TRUE(lab.Ok()) << lab.Error();
    const std::string html = "/tmp/tarsel-lab-report-" + lab.Name() + ".html";
    std::string out, err;

    // Ten pictures: Stairs-2 refuses the password, Dock-South has no web server and IPCAM's
    // address is outside every subnet of this PC (no route to it): exit 5.
    ASSERT_EQ(5, lab.Tarsel("report --out " + html +
                                " --site 'Demo <Site>' --pictures --user admin --wait 2",
                            &out, &err))
        << err;
    EXPECT_NE(err.find("13 camera(s) in " + html + ", 10 with a picture"), std::string::npos)
        << err;
    const std::string report = ReadFile(html);
    EXPECT_EQ(Count(report, "<figure>"), 13u);
    EXPECT_EQ(Count(report, "src=\"data:image/jpeg;base64,"), 10u);
    EXPECT_EQ(Count(report, "<b>no picture</b>"), 3u);
    for (const char* missing : {"refused</div><figcaption><b><bdi>Stairs-2",
                                "no answer</div><figcaption><b><bdi>Dock-South",
                                "no answer</div><figcaption><b><bdi>IPCAM"})
        EXPECT_NE(report.find(std::string("<b>no picture</b>") + missing), std::string::npos);
    EXPECT_EQ(Count(report, "<td>yes</td>"), 10u);  // the ten that sent their picture
    // The ONVIF device: its maker (read with the password), its mark and its picture.
    for (const char* onvif : {"<td><bdi>Northwind Optics</bdi></td><td><span class=\"nw\"><bdi>ONVIF</bdi>",
                              "<tr><td><bdi>Northwind Optics</bdi></td><td class=\"n\">1</td></tr>",
                              "<tr><td><bdi>Tarsel Labs</bdi></td><td class=\"n\">12</td></tr>",
                              "<td><bdi>Northwind Optics</bdi></td><td><bdi>NW-B40</bdi></td><td><bdi>3.4.2</bdi>",
                              "<b><bdi>Car-Park</bdi></b><br><span class=\"addr\">192.168.10.31"})
        EXPECT_NE(report.find(onvif), std::string::npos) << onvif;
    EXPECT_NE(report.find("Demo &lt;Site&gt;"), std::string::npos);
    // Three D320s: two on 5.2.1 (the newest), one on 4.9.0.
    EXPECT_NE(report.find("<td><bdi>TRL-D320</bdi></td><td><bdi>5.2.1</bdi></td><td "
                          "class=\"n\">2</td><td><span class=\"newest\">"),
              std::string::npos);

    // A browser prints it: every name and MAC readable, on a few pages.
    std::string text;
    int pages = 0;
    ASSERT_TRUE(PrintToPdf(lab, html, &text, &pages)) << text;
    for (const char* name : {"Reception", "Lobby", "Stairs-1", "Stairs-2", "Meeting", "Kitchen",
                             "Server-Room", "IPCAM", "Dock-North", "Dock-South", "Aisle-7", "Yard",
                             "Car-Park", "Northwind Optics", "ONVIF", "By maker"})
        EXPECT_NE(text.find(name), std::string::npos) << name;
    for (const char* mac : {"A0:00:01", "A0:00:02", "A0:00:03", "A0:00:04", "A0:00:05", "A0:00:06",
                            "A0:00:07", "A0:00:08", "B0:00:01", "B0:00:02", "B0:00:03", "B0:00:04"})
        EXPECT_NE(text.find(std::string("00:1B:2C:") + mac), std::string::npos) << mac;
    EXPECT_GE(pages, 3);
    EXPECT_LE(pages, 6);

    // A saved search makes the same list, here in Chinese, without asking any camera.
    ASSERT_EQ(0, lab.Tarsel("search --json --wait 2", &out, &err)) << err;
    const std::string saved = html + ".json";
    std::ofstream(saved) << out;
    ASSERT_EQ(0, lab.Tarsel("--lang zh-TW report --from " + saved + " --out " + html, &out, &err))
        << err;
    const std::string chinese = ReadFile(html);
    // Our cameras in the table, by maker, eight models and nine firmware lines (two of the
    // D320), whatever a saved search keeps of a device of another maker.
    EXPECT_EQ(Count(chinese, "<td><bdi>Tarsel Labs</bdi></td>"), 12u + 1u + 8u + 9u);
    EXPECT_EQ(chinese.find("<figure>"), std::string::npos);
    ASSERT_TRUE(PrintToPdf(lab, html, &text, &pages)) << text;
    EXPECT_NE(text.find("現場報告"), std::string::npos) << text.substr(0, 400);
    std::remove(saved.c_str());
    std::remove(html.c_str());
}
