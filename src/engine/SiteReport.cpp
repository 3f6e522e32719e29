#include "engine/SiteReport.h"

#include <openssl/evp.h>

#include <algorithm>
#include <map>
#include <set>

#include "common/Language.h"
#include "common/WindowTextIds.h"
#include "engine/CameraCsv.h"
#include "engine/CameraWarnings.h"
#include "platform/ThreadLanguage.h"

namespace {

// Print: A4 with page numbers, the table on landscape pages of its own, each section from a
// new page, three pictures a row, and nothing (row, picture, summary block) cut across two
// pages.
constexpr char kStyle[] = R"(
@page { size: A4; margin: 14mm 12mm;
  @bottom-right { content: counter(page) " / " counter(pages); font: 8pt sans-serif; color: #5a6672; } }
@page wide { size: A4 landscape; margin: 12mm; }
* { box-sizing: border-box; }
body { font-family: "Liberation Sans", Arial, "WenQuanYi Micro Hei", sans-serif; font-size: 10pt;
  color: #1d2329; margin: 0 auto; max-width: 1100px; padding: 12px; }
h1 { font-size: 20pt; margin: 0 0 2mm; }
h2 { font-size: 14pt; margin: 0 0 3mm; border-bottom: 2px solid #2b6cb0; padding-bottom: 1mm; }
h3 { font-size: 11pt; margin: 4mm 0 1.5mm; }
dl.head { display: grid; grid-template-columns: max-content auto; gap: 1mm 5mm; margin: 0 0 6mm; }
dl.head dt { font-weight: bold; }
dl.head dd { margin: 0; }
dl.head dd.site { font-size: 13pt; font-weight: bold; }
section { margin-top: 8mm; }
.count { font-size: 13pt; margin: 0 0 2mm; }
table { border-collapse: collapse; margin: 0 0 2mm; }
th, td { border: 1px solid #b8c2cc; padding: 1.2mm 2mm; text-align: left; vertical-align: top; }
th { background: #e8eef5; }
thead { display: table-header-group; }
tr, .block, figure { break-inside: avoid; page-break-inside: avoid; }
.summary .block { display: inline-block; vertical-align: top; margin-right: 10mm; }
.summary .block.wide { display: block; margin-right: 0; }
td.n { text-align: right; }
.cameras table { width: 100%; font-size: 8pt; }
.cameras td { overflow-wrap: anywhere; }
.nw { white-space: nowrap; }
.cameras table, .addr { font-variant-numeric: tabular-nums; }
.sub { color: #5a6672; font-size: 7.5pt; }
.newest { color: #1f7a3a; font-weight: bold; }
.older, .warn { color: #b34700; font-weight: bold; }
ul { margin: 0 0 2mm; padding-left: 6mm; }
figure { display: inline-block; vertical-align: top; width: 56mm; margin: 0 3mm 4mm 0; }
figure img, .nopic { display: block; width: 100%; height: auto; border: 1px solid #b8c2cc; }
.nopic { aspect-ratio: 4 / 3; background: #f3f5f7; color: #5a6672; text-align: center;
  padding-top: 15mm; }
.nopic b { display: block; font-size: 11pt; color: #1d2329; }
figcaption { padding: 1mm 0; font-size: 8.5pt; overflow-wrap: anywhere; }
@media print {
  body { max-width: none; padding: 0; }
  section { margin-top: 0; }
  section + section { break-before: page; page-break-before: always; }
  section.cameras { page: wide; }
}
)";

std::string Text(int id) {
    return HtmlText(LoadText(id));
}

// A camera's text in a bidirectional isolate of its own.
std::string Isolated(const std::string& text) {
    return "<bdi>" + HtmlText(text) + "</bdi>";
}

// An address, a number or a version on one line, as long as it is as short as those are;
// a longer text may break anywhere rather than widen the table beyond the page.
std::string Unbroken(const std::string& text) {
    if (text.size() > 24)
        return Isolated(text);
    return "<span class=\"nw\">" + Isolated(text) + "</span>";
}

std::string Base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

const char* DocumentLanguage() {
    switch (tarsel::GetThreadUiLanguage()) {
        case 1045:
            return "pl";
        case 31748:
            return "zh-Hant";
        default:
            return "en";
    }
}

std::string Cell(const CameraListing& camera, const char* key) {
    const std::vector<std::string>& keys = CameraColumnKeys();
    const std::vector<CellValue> cells = CameraCells(camera);
    for (size_t i = 0; i < keys.size() && i < cells.size(); ++i)
        if (keys[i] == key)
            return CellText(cells[i]);
    return "";
}

int MissingTextId(PictureMissing missing) {
    switch (missing) {
        case PictureMissing::NotVerified:
            return TEXT_REPORT_NOT_VERIFIED;
        case PictureMissing::Refused:
            return TEXT_REPORT_REFUSED;
        case PictureMissing::NoAnswer:
            return TEXT_REPORT_NO_ANSWER;
        case PictureMissing::NoOwnAddress:
            return TEXT_REPORT_NO_OWN_PICTURE;
        case PictureMissing::NotPicture:
        case PictureMissing::None:
            break;
    }
    return TEXT_REPORT_NOT_A_PICTURE;
}

bool IsOnvifOnly(const CameraListing& camera) {
    return camera.protocol == "onvif";
}

// "192.168.1.20, 00:1B:2C:00:00:01", or the address alone for a device whose MAC is not
// known (an ONVIF device not verified).
std::string AddressText(const CameraListing& camera, const char* separator) {
    return HtmlText(camera.ip) + (camera.mac.empty() ? "" : separator + HtmlText(camera.mac));
}

// "Name (192.168.1.20, 00:1B:2C:00:00:01)" for the lists of the summary.
std::string CameraLine(const CameraListing& camera) {
    return Isolated(camera.name) + " <span class=\"addr\">(" + AddressText(camera, ", ") +
           ")</span>";
}

// A value of a count table; a dash for one the device did not tell.
std::string CountCell(const std::string& value) {
    return "<td>" + (value.empty() ? std::string("\xE2\x80\x94") : Isolated(value)) + "</td>";
}

// A count table: a column per key part (maker, model...), then the number of devices.
void CountTable(std::string& out, int headingId, const std::vector<int>& columnIds,
                const std::map<std::vector<std::string>, int>& counts) {
    out += "<div class=\"block\"><h3>" + Text(headingId) + "</h3>\n<table><thead><tr>";
    for (int id : columnIds)
        out += "<th>" + Text(id) + "</th>";
    out += "<th>" + Text(TEXT_REPORT_CAMERAS) + "</th></tr></thead><tbody>\n";
    for (const auto& [values, count] : counts) {
        out += "<tr>";
        for (const std::string& value : values)
            out += CountCell(value);
        out += "<td class=\"n\">" + std::to_string(count) + "</td></tr>\n";
    }
    out += "</tbody></table></div>\n";
}

void Head(std::string& out, const SiteReportHeader& header) {
    out += "<header>\n<h1>" + Text(TEXT_SITE_REPORT) + "</h1>\n";
    out += "<dl class=\"head\">\n";
    if (!header.site.empty())
        out += "<dt>" + Text(TEXT_REPORT_SITE) + "</dt><dd class=\"site\">" +
               Isolated(header.site) + "</dd>\n";
    out += "<dt>" + Text(TEXT_REPORT_DATE) + "</dt><dd>" + HtmlText(header.when) + "</dd>\n";
    out += "<dt>" + Text(TEXT_REPORT_THIS_PC) + "</dt><dd>" + Isolated(header.host) + "</dd>\n";
    out += "<dt>" + Text(TEXT_REPORT_NETWORK_CARDS) + "</dt><dd>";
    for (size_t i = 0; i < header.adapters.size(); ++i)
        out += (i ? "<br>" : "") + Isolated(header.adapters[i]);
    if (header.adapters.empty())
        out += Text(TEXT_REPORT_NONE);
    out += "</dd>\n</dl>\n</header>\n";
}

void Summary(std::string& out, const std::vector<SiteReportCamera>& cameras) {
    out += "<section class=\"summary\">\n<h2>" + Text(TEXT_REPORT_SUMMARY) + "</h2>\n";
    out += "<p class=\"count\">" + Text(TEXT_REPORT_CAMERAS) + ": <b>" +
           std::to_string(cameras.size()) + "</b></p>\n";
    std::map<std::vector<std::string>, int> makers, models, modes;
    for (const SiteReportCamera& c : cameras) {
        ++makers[{ReportMaker(c.camera)}];
        ++modes[{Cell(c.camera, "mode")}];
    }
    for (const ModelCount& m : CountByMakerAndModel(cameras))
        models[{m.maker, m.model}] = m.cameras;
    const int model = CameraColumnTextId("model");
    CountTable(out, TEXT_REPORT_BY_MAKER, {TEXT_REPORT_MAKER}, makers);
    CountTable(out, TEXT_REPORT_BY_MODEL, {TEXT_REPORT_MAKER, model}, models);
    CountTable(out, TEXT_REPORT_BY_MODE, {CameraColumnTextId("mode")}, modes);

    out += "<div class=\"block\"><h3>" + Text(TEXT_REPORT_FIRMWARE_BY_MODEL) +
           "</h3>\n<table><thead><tr><th>" + Text(TEXT_REPORT_MAKER) + "</th><th>" + Text(model) +
           "</th><th>" + Text(CameraColumnTextId("fwVersion")) + "</th><th>" +
           Text(TEXT_REPORT_CAMERAS) + "</th><th></th></tr></thead><tbody>\n";
    for (const FirmwareLine& line : FirmwareSummary(cameras)) {
        out += "<tr>" + CountCell(line.maker) + CountCell(line.model) + "<td>" +
               Isolated(line.version) + "</td><td class=\"n\">" + std::to_string(line.cameras) +
               "</td><td>";
        out += line.newest
                   ? "<span class=\"newest\">" + Text(TEXT_REPORT_NEWEST) + "</span>"
                   : "<span class=\"older\">" + Text(TEXT_REPORT_OLDER_FIRMWARE) + "</span>";
        out += "</td></tr>\n";
    }
    out += "</tbody></table></div>\n";

    out += "<div class=\"block wide\"><h3>" + Text(TEXT_REPORT_WARNINGS) + "</h3>\n";
    bool any = false;
    const std::pair<const char*, int> kinds[] = {{kWarningDuplicateIp, 20128},
                                                 {kWarningForeignSubnet, 20129}};
    for (const auto& [kind, explanation] : kinds) {
        std::string items;
        for (const SiteReportCamera& c : cameras)
            for (const std::string& w : c.camera.warnings)
                if (w == kind)
                    items += "<li>" + CameraLine(c.camera) + "</li>\n";
        if (items.empty())
            continue;
        any = true;
        out += "<p><span class=\"warn\">" + HtmlText(kind) + "</span>: " + Text(explanation) +
               "</p>\n<ul>\n" + items + "</ul>\n";
    }
    if (!any)
        out += "<p>" + Text(TEXT_REPORT_NONE) + "</p>\n";
    out += "</div>\n</section>\n";
}

void CameraTable(std::string& out, const std::vector<SiteReportCamera>& cameras) {
    static const char* const kKeys[] = {"name",     "mac",  "ip",    "mask",     "gateway",
                                        "httpPort", "mode", "model", "fwVersion"};
    out += "<section class=\"cameras\">\n<h2>" + Text(TEXT_REPORT_CAMERAS) +
           "</h2>\n<table><thead><tr>";
    for (const char* key : kKeys)
        out += "<th>" + Text(CameraColumnTextId(key)) + "</th>";
    out += "<th>" + Text(TEXT_REPORT_MAKER) + "</th><th>" + Text(TEXT_REPORT_KIND) + "</th><th>" +
           Text(TEXT_REPORT_NETWORK_CARD) + "</th><th>" + Text(TEXT_REPORT_VERIFIED) + "</th><th>" +
           Text(TEXT_REPORT_WARNINGS) + "</th></tr></thead>\n<tbody>\n";
    std::set<std::vector<std::string>> newest;
    for (const FirmwareLine& line : FirmwareSummary(cameras))
        if (line.newest)
            newest.insert({line.maker, line.model, line.version});
    for (const SiteReportCamera& c : cameras) {
        const std::string maker = ReportMaker(c.camera);
        out += "<tr>";
        for (const char* key : kKeys) {
            const std::string text = Cell(c.camera, key);
            const bool address = std::string(key) != "name" && std::string(key) != "model";
            out += "<td>" + (address ? Unbroken(text) : Isolated(text));
            if (std::string(key) == "fwVersion" && !c.camera.fwVersion.empty() &&
                !newest.count({maker, c.camera.model, c.camera.fwVersion}))
                out += "<div class=\"sub older\">" + Text(TEXT_REPORT_OLDER_FIRMWARE) + "</div>";
            out += "</td>";
        }
        out += "<td>" + Isolated(maker) + "</td><td>" +
               (IsOnvifOnly(c.camera) ? Unbroken(kReportOnvifMark) : "") + "</td>";
        out += "<td>" + Isolated(Cell(c.camera, "adapterName")) + "<div class=\"sub\">" +
               Unbroken(Cell(c.camera, "adapter")) + "</div></td>";
        out += "<td>" + Text(c.verified ? TEXT_REPORT_YES : TEXT_REPORT_NO) + "</td>";
        out += "<td class=\"warn\">" + Isolated(Cell(c.camera, "warnings")) + "</td></tr>\n";
    }
    out += "</tbody></table>\n</section>\n";
}

void Gallery(std::string& out, const std::vector<SiteReportCamera>& cameras) {
    out += "<section class=\"pictures\">\n<h2>" + Text(TEXT_REPORT_PICTURES) + "</h2>\n<div>\n";
    for (const SiteReportCamera& c : cameras) {
        const ReportPicture& p = c.picture;
        out += "<figure>";
        if (p.missing == PictureMissing::None && !p.jpeg.empty()) {
            out += "<img alt=\"" + HtmlText(c.camera.name) + "\" width=\"" +
                   std::to_string(p.width) + "\" height=\"" + std::to_string(p.height) +
                   "\" src=\"data:image/jpeg;base64," + Base64(p.jpeg) + "\">";
        } else {
            // A verified camera refused: another camera on the same address answered the
            // picture's request, and its refusal says nothing about this camera's credentials.
            const auto& warnings = c.camera.warnings;
            const bool shared = std::find(warnings.begin(), warnings.end(), kWarningDuplicateIp) != warnings.end();
            const bool notItsAnswer = shared && c.verified && p.missing == PictureMissing::Refused;
            out += "<div class=\"nopic\"><b>" + Text(TEXT_REPORT_NO_PICTURE) + "</b>" +
                   Text(notItsAnswer ? kTextDuplicateAddress : MissingTextId(p.missing)) + "</div>";
        }
        out += "<figcaption><b>" + Isolated(c.camera.name) + "</b><br><span class=\"addr\">" +
               AddressText(c.camera, " &middot; ") + "</span>" +
               (IsOnvifOnly(c.camera) ? " &middot; " + Isolated(ReportMaker(c.camera)) + " (" +
                                            kReportOnvifMark + ")"
                                      : "") +
               "</figcaption></figure>\n";
    }
    out += "</div>\n</section>\n";
}

}  // namespace

std::string SiteReportHtml(const SiteReportHeader& header,
                           const std::vector<SiteReportCamera>& cameras, bool withPictures) {
    std::string title = LoadText(TEXT_SITE_REPORT);
    if (!header.site.empty())
        title += " \xE2\x80\x93 " + header.site;  // an en dash
    std::string out = "<!DOCTYPE html>\n<html lang=\"" + std::string(DocumentLanguage()) +
                      "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlText(title) +
                      "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    Head(out, header);
    Summary(out, cameras);
    CameraTable(out, cameras);
    if (withPictures)
        Gallery(out, cameras);
    out += "</body>\n</html>\n";
    return out;
}
