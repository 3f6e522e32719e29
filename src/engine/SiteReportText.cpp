// The site report's building blocks: escaping, firmware order and summary, and the header
// of a report made on this PC.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <map>

#include "common/Language.h"
#include "engine/SiteReport.h"
#include "platform/HostAdapters.h"
#include "platform/HostName.h"

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence that starts at text[at] and its code point; 0 when the
// bytes there are not a well-formed sequence (overlong forms and surrogates included).
size_t DecodeUtf8(std::string_view text, size_t at, uint32_t* codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t n;
    uint32_t cp;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < n)
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (next & 0x3Fu);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return n;
}

// Characters a document must not carry as they are: C0 and C1 controls, DEL, and the
// non-characters.
bool Unfit(uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0xFDD0 && cp <= 0xFDEF) ||
           (cp & 0xFFFE) == 0xFFFE;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t at = 0; at < text.size();) {
        uint32_t cp = 0;
        const size_t n = DecodeUtf8(text, at, &cp);
        if (n == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        if (Unfit(cp))
            out += kReplacement;
        else if (cp == '&')
            out += "&amp;";
        else if (cp == '<')
            out += "&lt;";
        else if (cp == '>')
            out += "&gt;";
        else if (cp == '"')
            out += "&quot;";
        else if (cp == '\'')
            out += "&#39;";
        else
            out.append(text.substr(at, n));
        at += n;
    }
    return out;
}

int CompareFirmware(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei]))
                ++ei;
            while (ej < b.size() && IsDigit(b[ej]))
                ++ej;
            // Numbers of any length: leading zeros aside, the longer is the larger.
            while (i + 1 < ei && a[i] == '0')
                ++i;
            while (j + 1 < ej && b[j] == '0')
                ++j;
            if (ei - i != ej - j)
                return ei - i < ej - j ? -1 : 1;
            if (int c = a.compare(i, ei - i, b, j, ej - j); c != 0)
                return c < 0 ? -1 : 1;
            i = ei, j = ej;
        } else {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
            ++i, ++j;
        }
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::string ReportMaker(const CameraListing& camera) {
    if (!camera.company.empty())
        return camera.company;
    if (camera.onvif != nullptr && !OnvifMaker(*camera.onvif).empty())
        return OnvifMaker(*camera.onvif);
    return LoadText(TEXT_REPORT_UNKNOWN_MAKER);
}

std::vector<ModelCount> CountByMakerAndModel(const std::vector<SiteReportCamera>& cameras) {
    std::map<std::pair<std::string, std::string>, int> counts;
    for (const SiteReportCamera& c : cameras)
        ++counts[{ReportMaker(c.camera), c.camera.model}];
    std::vector<ModelCount> out;
    for (const auto& [makerModel, count] : counts)
        out.push_back({makerModel.first, makerModel.second, count});
    return out;
}

std::vector<FirmwareLine> FirmwareSummary(const std::vector<SiteReportCamera>& cameras) {
    // Keyed by maker and model: two makers may well name a model alike.
    std::map<std::pair<std::string, std::string>, std::map<std::string, int>> byModel;
    for (const SiteReportCamera& c : cameras)
        if (!c.camera.fwVersion.empty())
            ++byModel[{ReportMaker(c.camera), c.camera.model}][c.camera.fwVersion];
    std::vector<FirmwareLine> lines;
    for (const auto& [makerModel, versions] : byModel) {
        std::vector<FirmwareLine> ofModel;
        for (const auto& [version, count] : versions)
            ofModel.push_back({makerModel.first, makerModel.second, version, count, false});
        std::stable_sort(ofModel.begin(), ofModel.end(),
                         [](const FirmwareLine& x, const FirmwareLine& y) {
                             return CompareFirmware(x.version, y.version) > 0;
                         });
        // Versions that compare equal ("1.02" and "1.2") are all the newest.
        for (FirmwareLine& line : ofModel)
            line.newest = CompareFirmware(line.version, ofModel.front().version) == 0;
        lines.insert(lines.end(), ofModel.begin(), ofModel.end());
    }
    return lines;
}

SiteReportHeader ThisPcHeader(const std::string& site) {
    SiteReportHeader header;
    header.site = site;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char when[32];
    if (std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local) > 0)
        header.when = when;
    header.host = tarsel::HostName();
    for (const tarsel::HostAdapter& adapter : tarsel::ListHostAdapters()) {
        if (adapter.addresses.empty())
            continue;
        std::string line = adapter.description + ":";
        for (const auto& [address, mask] : adapter.addresses)
            line += " " + address + "/" + mask;
        header.adapters.push_back(line);
    }
    return header;
}
