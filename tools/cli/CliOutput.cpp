#include "CliOutput.h"

#include "CliCommand.h"

#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "common/CameraText.h"

namespace cli {
namespace {

// Columns a terminal gives a UTF-8 text: East Asian wide characters take two.
size_t DisplayWidth(const std::string& text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0) n = 4, cp = c & 0x07;
        else if (c >= 0xE0) n = 3, cp = c & 0x0F;
        else if (c >= 0xC0) n = 2, cp = c & 0x1F;
        for (size_t k = 1; k < n && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += n;
        bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                    (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                    (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                    (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

// Control characters, bidirectional overrides and bytes that are no UTF-8 in camera-supplied
// text must not reach a terminal raw.
std::string Printable(const std::string& text) { return EscapedForTerminal(text); }

std::string Table(const std::vector<Column>& columns, const std::vector<Row>& rows) {
    std::vector<size_t> shown;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].inTable) shown.push_back(i);
    }
    std::vector<size_t> width(columns.size(), 0);
    for (size_t i : shown) {
        width[i] = DisplayWidth(columns[i].header);
        for (const Row& row : rows) width[i] = std::max(width[i], DisplayWidth(Printable(CellText(row[i]))));
    }
    auto line = [&](auto textOf) {
        std::string out;
        for (size_t k = 0; k < shown.size(); ++k) {
            std::string text = textOf(shown[k]);
            out += text;
            if (k + 1 < shown.size()) out += std::string(width[shown[k]] - DisplayWidth(text) + 2, ' ');
        }
        return out + "\n";
    };
    std::string out = line([&](size_t i) { return columns[i].header; });
    for (const Row& row : rows) out += line([&](size_t i) { return Printable(CellText(row[i])); });
    return out;
}

std::string Json(const std::vector<Column>& columns, const std::vector<Row>& rows,
                 const JsonExtra& extra) {
    nlohmann::ordered_json doc = nlohmann::ordered_json::array();
    for (size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (size_t i = 0; i < columns.size(); ++i) {
            std::visit([&](const auto& v) { object[columns[i].key] = v; }, row[i]);
        }
        if (extra) extra(r, object);
        doc.push_back(std::move(object));
    }
    // Camera texts are not guaranteed UTF-8: replace what is not, never fail.
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string Csv(const std::vector<Column>& columns, const std::vector<Row>& rows) {
    std::vector<std::string> fields;
    for (const Column& column : columns) fields.push_back(column.key);
    std::string out = CsvLine(fields);
    for (const Row& row : rows) {
        fields.clear();
        for (size_t i = 0; i < columns.size(); ++i) fields.push_back(CellText(row[i]));
        out += CsvLine(fields);
    }
    return out;
}

}  // namespace

bool ChooseFormat(const ParsedArgs& args, Format& format, std::string& error) {
    if (args.Has("--json") && args.Has("--csv")) {
        error = "--json and --csv exclude each other; choose one";
        return false;
    }
    format = args.Has("--json") ? Format::Json : args.Has("--csv") ? Format::Csv : Format::Table;
    return true;
}

std::string FormatRows(Format format, const std::vector<Column>& columns,
                       const std::vector<Row>& rows, const JsonExtra& extra) {
    switch (format) {
        case Format::Json: return Json(columns, rows, extra);
        case Format::Csv: return Csv(columns, rows);
        case Format::Table: break;
    }
    return Table(columns, rows);
}

void PrintRows(FILE* out, Format format, const std::vector<Column>& columns,
               const std::vector<Row>& rows, const JsonExtra& extra) {
    std::string text = FormatRows(format, columns, rows, extra);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void PrintError(const std::string& message) { std::fprintf(stderr, "tarsel: %s\n", message.c_str()); }
void PrintNote(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

bool ProgressWanted() { return isatty(STDERR_FILENO) == 1; }

Progress::Progress(std::string label) : label_(std::move(label)), enabled_(ProgressWanted()) {}

Progress::~Progress() { Finish(); }

void Progress::Update(double fraction, const std::string& detail) {
    if (!enabled_) return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int width = 30;
    int filled = static_cast<int>(fraction * width + 0.5);
    std::fprintf(stderr, "\r%s [%s%s] %3d%% %s\033[K", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), static_cast<int>(fraction * 100 + 0.5),
                 detail.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::Finish() {
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

int ParseListingCommand(const Invocation& invocation, const char* name, Format& format) {
    ParsedArgs args;
    std::string error;
    if (!args.Parse(invocation.args, OptionList(kOutputOptions), error)) {
        PrintError(error + " (see tarsel " + name + " --help)");
        return kExitUsage;
    }
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (!args.Positionals().empty()) {
        PrintError(std::string(name) + " takes no arguments, got '" + args.Positionals()[0] + "'");
        return kExitUsage;
    }
    return 0;
}

}  // namespace cli
