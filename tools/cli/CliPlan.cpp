#include "CliPlan.h"

#include <cctype>
#include <iterator>
#include <istream>
#include <map>
#include <sstream>
#include <unordered_map>

#include "CliOutput.h"
#include "common/CameraText.h"
#include "engine/SettingsText.h"
#include "finder/LibIP.h"

namespace cli {
namespace {

constexpr size_t kColumnCount = std::size(kPlanColumns);

struct Record {
    int line = 0;
    // The first fields only: a row of commas must not cost memory per comma. One more than
    // a plan has columns is kept, so that a row with too many still shows as one.
    std::vector<std::string> fields;
    size_t fieldCount = 0;  // all of them
};

// Collects a plan's problems: the first kPlanProblemsShown whole, the rest only counted,
// so that a file of junk yields a screenful, not a line per byte.
class ProblemList {
public:
    void Add(int line, std::string text) {
        if (shown_.size() < kPlanProblemsShown)
            shown_.push_back({line, std::move(text)});
        else
            ++more_;
    }
    std::vector<PlanProblem> Take() {
        if (more_ > 0) shown_.push_back({0, "and " + std::to_string(more_) + " more problems"});
        more_ = 0;
        return std::move(shown_);
    }

private:
    std::vector<PlanProblem> shown_;
    size_t more_ = 0;
};

// A value of the file as a problem may quote it: escaped (a plan may hold any bytes) and
// cut to a readable length.
std::string Shown(const std::string& value) {
    constexpr size_t kShownMax = 40;
    const std::string escaped = EscapedForTerminal(value);
    size_t at = 0, characters = 0, n = 0;
    while (at < escaped.size() && characters < kShownMax) {
        DecodeUtf8At(escaped, at, &n);
        at += n;
        ++characters;
    }
    return at < escaped.size() ? escaped.substr(0, at) + "\u2026" : escaped;
}

// RFC 4180 records (CRLF or LF, quoted fields may hold commas, quotes and line breaks),
// each with the line it starts on, read one at a time from the stream: a plan costs the
// memory of its rows, never that of its text. Blank lines are skipped.
class RecordReader {
public:
    enum class Read { Record, End, OpenQuote, TooLarge };

    explicit RecordReader(std::istream& in) : in_(*in.rdbuf()) {
        // Spreadsheets write a BOM.
        if (Peek() == 0xEF && (Get(), Peek() == 0xBB) && (Get(), Peek() == 0xBF)) Get();
    }

    Read Next(Record& record) {
        for (;;) {
            if (Peek() == EOF) return tooLarge_ ? Read::TooLarge : Read::End;
            record = Record{line_, {}, 0};
            std::string field;
            for (bool ended = false; !ended;) {
                if (Peek() == '"' && !ReadQuoted(field)) return tooLarge_ ? Read::TooLarge : Read::OpenQuote;
                while (Peek() != EOF && Peek() != ',' && Peek() != '\n') field += static_cast<char>(Get());
                if (!field.empty() && field.back() == '\r' && Peek() != ',') field.pop_back();
                // A cell `search --plan` wrote as text for spreadsheets reads back as it was.
                if (record.fields.size() <= kColumnCount) record.fields.push_back(FromSpreadsheetCellText(field));
                ++record.fieldCount;
                field.clear();
                const int next = Get();
                line_ += next == '\n';
                ended = next != ',';
            }
            if (tooLarge_) return Read::TooLarge;
            if (record.fieldCount != 1 || !record.fields[0].empty()) return Read::Record;
        }
    }

private:
    // The rest of a quoted field; false when its quote is never closed.
    bool ReadQuoted(std::string& field) {
        Get();
        for (int c = Get(); c != EOF; c = Get()) {
            if (c == '"') {
                if (Peek() != '"') return true;
                Get();
            }
            line_ += c == '\n';
            field += static_cast<char>(c);
        }
        return false;
    }
    // The next byte, or EOF at the end and past kPlanMaxBytes.
    int Peek() {
        const int c = in_.sgetc();
        if (c == EOF || bytes_ < kPlanMaxBytes) return c;
        tooLarge_ = true;
        return EOF;
    }
    int Get() {
        const int c = Peek();
        if (c != EOF) in_.sbumpc(), ++bytes_;
        return c;
    }

    std::streambuf& in_;
    size_t bytes_ = 0;
    int line_ = 1;
    bool tooLarge_ = false;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// What is wrong with a value of a column; "" when it is fine (an empty cell always is).
std::string ValueProblem(const std::string& column, const std::string& value) {
    if (value.empty()) return "";
    // The one check every way of sending settings shares: separators, control characters,
    // the fields' sizes.
    const size_t limit = column == "name" ? kMaxDeviceNameBytes : kMaxSettingValueBytes;
    if (SettingRefusal refusal = CheckTypedSettingValue(column, value, limit))
        return refusal.Describe();
    const std::string shown = Shown(value);
    if (column == "ip" || column == "gateway") {
        if (!IsValidIpText(value.c_str())) return column + " '" + shown + "' is not a dotted IPv4 address";
    } else if (column == "mask") {
        if (!IsValidIpText(value.c_str()) || !IsValidMaskText(value.c_str()))
            return "mask '" + shown + "' is not a contiguous mask from 255.0.0.0 to 255.255.255.252";
    } else if (column == "mode") {
        if (value != "dhcp" && value != "manual" && value != "pppoe")
            return "mode '" + shown + "' is none of dhcp, manual, pppoe";
    } else if (column == "port") {
        if (!IsValidPortText(value.c_str())) return "port '" + shown + "' is not a port from 1 to 65535";
    }
    return "";
}

std::string* Slot(PlanRow& row, const std::string& column) {
    if (column == "name") return &row.name;
    if (column == "ip") return &row.ip;
    if (column == "mask") return &row.mask;
    if (column == "gateway") return &row.gateway;
    if (column == "mode") return &row.mode;
    if (column == "port") return &row.port;
    if (column == "mac") return &row.mac;
    return nullptr;
}

}  // namespace

std::vector<PlanProblem> ParsePlan(std::istream& in, std::vector<PlanRow>& rows) {
    rows.clear();
    ProblemList problems;
    RecordReader reader(in);
    Record header;
    // Whatever was read before, a plan too large or too long or with a quote left open is
    // that one problem.
    auto alone = [&](int line, std::string text) {
        rows.clear();
        return std::vector<PlanProblem>{{line, std::move(text)}};
    };
    auto readProblem = [&](RecordReader::Read read, int line) {
        return read == RecordReader::Read::TooLarge
                   ? alone(0, "larger than " + std::to_string(kPlanMaxBytes / (1024 * 1024)) +
                                  " MiB; a plan holds one short line per camera")
                   : alone(line, "a quoted field is never closed");
    };
    switch (const RecordReader::Read read = reader.Next(header)) {
        case RecordReader::Read::Record: break;
        case RecordReader::Read::End:
            problems.Add(0, "the plan is empty: it needs a header row naming its columns");
            return problems.Take();
        default: return readProblem(read, header.line);
    }
    if (header.fieldCount > kColumnCount) {
        problems.Add(header.line, "the header names " + std::to_string(header.fieldCount) +
                                      " columns; a plan has at most " + std::to_string(kColumnCount) +
                                      " (mac, name, ip, mask, gateway, mode, port)");
        return problems.Take();
    }
    std::vector<std::string> columns;
    for (const std::string& field : header.fields) {
        const std::string column = Lower(field);
        bool known = false;
        for (const char* name : kPlanColumns) known |= column == name;
        if (!known)
            problems.Add(header.line, "unknown column '" + Shown(field) +
                                          "' (columns: mac, name, ip, mask, gateway, mode, port)");
        for (const std::string& earlier : columns)
            if (known && earlier == column) problems.Add(header.line, "column '" + column + "' given twice");
        columns.push_back(column);
    }
    bool hasMac = false;
    for (const std::string& column : columns) hasMac |= column == "mac";
    if (!hasMac) {
        problems.Add(header.line, "the header has no 'mac' column");
        return problems.Take();
    }

    std::map<std::string, int> macLines, addressLines;
    size_t count = 0;
    for (Record record;;) {
        const RecordReader::Read read = reader.Next(record);
        if (read == RecordReader::Read::End) break;
        if (read != RecordReader::Read::Record) return readProblem(read, record.line);
        if (++count > kPlanMaxRows)
            return alone(record.line, "more than " + std::to_string(kPlanMaxRows) +
                                          " rows; a plan sets no more cameras than the list holds");
        if (record.fieldCount != columns.size()) {
            problems.Add(record.line, std::to_string(record.fieldCount) + " fields, the header has " +
                                          std::to_string(columns.size()));
            continue;
        }
        PlanRow row;
        row.line = record.line;
        bool rowOk = true;
        for (size_t c = 0; c < columns.size(); ++c) {
            const std::string& value = record.fields[c];
            std::string problem = columns[c] == "mac" ? (::IsMacText(value) ? "" : "mac '" + Shown(value) +
                                                         "' is not six hex fields joined by ':'")
                                                      : ValueProblem(columns[c], value);
            if (!problem.empty()) {
                problems.Add(record.line, problem);
                rowOk = false;
            }
            if (std::string* slot = Slot(row, columns[c])) *slot = value;
        }
        if (!rowOk) continue;
        const std::string mac = Lower(row.mac);
        if (auto [it, fresh] = macLines.emplace(mac, row.line); !fresh)
            problems.Add(row.line, "camera " + row.mac + " is planned again (first on line " +
                                       std::to_string(it->second) + ")");
        if (!row.ip.empty()) {
            if (auto [it, fresh] = addressLines.emplace(row.ip, row.line); !fresh)
                problems.Add(row.line, "address " + row.ip + " is planned twice (also on line " +
                                           std::to_string(it->second) + ")");
        }
        rows.push_back(row);
    }
    return problems.Take();
}

std::vector<PlanProblem> ParsePlan(const std::string& text, std::vector<PlanRow>& rows) {
    std::istringstream in(text);
    return ParsePlan(in, rows);
}

std::vector<PlanProblem> CheckPlanAgainst(const std::vector<PlanRow>& rows,
                                          const std::vector<CameraView>& cameras) {
    // The cameras by address, so that each row looks only at those on its planned address.
    // In the list's order, so that the problems read the same every run.
    std::unordered_map<std::string, std::vector<const CameraView*>> byIp;
    for (const CameraView& camera : cameras) byIp[camera.ip].push_back(&camera);
    ProblemList problems;
    for (const PlanRow& row : rows) {
        const auto found = row.ip.empty() ? byIp.end() : byIp.find(row.ip);
        if (found == byIp.end()) continue;
        for (const CameraView* camera : found->second) {
            if (!SameMac(camera->mac, row.mac))
                problems.Add(row.line, "address " + row.ip + " is already used by camera " +
                                           Shown(camera->mac) + " (" + Shown(camera->name) + ")");
        }
    }
    return problems.Take();
}

CameraSettingsRequest PlannedSettings(const PlanRow& row, const CameraView& now) {
    auto pick = [](const std::string& planned, const std::string& current) {
        return planned.empty() ? current : planned;
    };
    return {pick(row.name, now.name),       pick(row.ip, now.ip),
            pick(row.mask, now.mask),       pick(row.gateway, now.gateway),
            pick(row.mode, now.mode),       pick(row.port, std::to_string(now.httpPort))};
}

std::string PlannedChanges(const CameraSettingsRequest& planned, const CameraView& now) {
    const std::pair<const char*, std::pair<std::string, std::string>> fields[] = {
        {"name", {now.name, planned.name}},          {"ip", {now.ip, planned.ip}},
        {"mask", {now.mask, planned.mask}},          {"gateway", {now.gateway, planned.gateway}},
        {"mode", {now.mode, planned.mode}},          {"port", {std::to_string(now.httpPort), planned.port}}};
    std::string text;
    for (const auto& [label, values] : fields) {
        if (values.first == values.second) continue;
        text += (text.empty() ? "" : "; ") + std::string(label) + ": " + values.first + " -> " + values.second;
    }
    return text;
}

std::string ProblemText(const PlanProblem& problem) {
    return problem.line > 0 ? "line " + std::to_string(problem.line) + ": " + problem.text : problem.text;
}

std::string PlanFileText(const std::vector<CameraView>& cameras) {
    std::vector<Column> columns;
    for (const char* name : kPlanColumns) columns.push_back({name, name, true});
    std::vector<Row> rows;
    for (const CameraView& c : cameras)
        rows.push_back({c.mac, c.name, c.ip, c.mask, c.gateway, c.mode, std::to_string(c.httpPort)});
    return FormatRows(Format::Csv, columns, rows);
}

}  // namespace cli
