#include "engine/CameraCsv.h"

#include <utility>

#include "common/CameraText.h"

const std::vector<std::string>& CameraColumnKeys() {
    static const std::vector<std::string> keys = {
        "name",   "mac",     "ip",      "mask",    "gateway",     "httpPort", "mode",   "fwVersion",
        "model",  "company", "serial",  "adapter", "adapterName", "viaHttp",  "status", "warnings",
        // Added with ONVIF devices of other makers: appended, so readers of the columns
        // above find them where they always were.
        "protocol", "maker", "endpoint", "xaddr",
    };
    return keys;
}

int CameraColumnTextId(const std::string& key) {
    static const std::pair<const char*, int> kTexts[] = {
        {"name", 20040},    {"mac", 20041},  {"ip", 20042},        {"mask", 20043},  {"gateway", 20044},
        {"httpPort", 20046}, {"mode", 20047}, {"fwVersion", 20053}, {"model", 20054}, {"status", 20055},
    };
    for (const auto& [column, id] : kTexts)
        if (key == column) return id;
    return 0;
}

std::string CameraMaker(const CameraListing& c) {
    // An ONVIF device's row carries its maker as the company once it is known; before the
    // credentials were accepted the device has not told it.
    if (!c.company.empty() || !c.onvif) return c.company;
    return OnvifMaker(*c.onvif);
}

std::vector<CellValue> CameraCells(const CameraListing& c) {
    const std::string endpoint = c.onvif ? c.onvif->endpoint : "";
    const std::string xaddr = c.onvif ? c.onvif->xaddr : "";
    return {c.name,    c.mac,     c.ip,      c.mask,        c.gateway,
            c.httpPort, c.mode,   c.fwVersion, c.model,     c.company,
            c.serial,  c.adapter, c.adapterName, c.viaHttp, c.status,
            c.warnings, c.protocol, CameraMaker(c), endpoint, xaddr};
}

std::string CellText(const CellValue& cell) {
    if (const auto* s = std::get_if<std::string>(&cell)) return *s;
    if (const auto* n = std::get_if<long long>(&cell)) return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&cell)) return *b ? "true" : "false";
    if (const auto* list = std::get_if<std::vector<std::string>>(&cell)) {
        std::string text;
        for (const std::string& item : *list) text += (text.empty() ? "" : " ") + item;
        return text;
    }
    return "";
}

std::string CsvField(const std::string& raw) {
    const std::string text = SpreadsheetCellText(raw);
    bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                 (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + CsvField(fields[i]);
    return out + "\r\n";
}

std::string CameraCsvLine(const CameraListing& camera) {
    std::vector<std::string> fields;
    for (const CellValue& cell : CameraCells(camera)) fields.push_back(CellText(cell));
    return CsvLine(fields);
}

std::string CameraCsv(const std::vector<CameraListing>& cameras) {
    std::string out = CsvLine(CameraColumnKeys());
    for (const CameraListing& camera : cameras) out += CameraCsvLine(camera);
    return out;
}
