#pragma once
// Results of a command as a human table (aligned columns, headers in the chosen language),
// one JSON document, or RFC 4180 CSV with a header row. Results go to stdout; messages and
// progress to stderr.

#include <cstddef>
#include <cstdio>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <variant>
#include <vector>

#include "CliArgs.h"
#include "engine/CameraCsv.h"

namespace cli {

enum class Format { Table, Json, Csv };

struct Column {
    std::string key;     // JSON key and CSV header
    std::string header;  // table header
    bool inTable = true; // the human table may leave wide, rarely needed columns out
};

// A list of texts is a JSON array (the table and CSV join it with blanks); nullptr is JSON
// null (an empty field elsewhere).
using TextList = std::vector<std::string>;
using Cell = CellValue;
using Row = std::vector<Cell>;

// --json / --csv (both at once is a usage error: false with the message).
bool ChooseFormat(const ParsedArgs& args, Format& format, std::string& error);

// What a JSON object of a row holds beyond its columns (a nested object), by row index.
using JsonExtra = std::function<void(size_t row, nlohmann::ordered_json& object)>;

// Prints rows in the format. JSON is an array of objects with the columns' keys (and what
// extra adds to each).
void PrintRows(FILE* out, Format format, const std::vector<Column>& columns,
               const std::vector<Row>& rows, const JsonExtra& extra = {});
std::string FormatRows(Format format, const std::vector<Column>& columns,
                       const std::vector<Row>& rows, const JsonExtra& extra = {});

// "tarsel: " + message + newline on stderr.
void PrintError(const std::string& message);
void PrintNote(const std::string& message);

// True when stderr is a terminal: only then are progress lines drawn.
bool ProgressWanted();

// A one-line progress display on stderr, redrawn in place; silent unless ProgressWanted().
class Progress {
public:
    explicit Progress(std::string label);
    ~Progress();
    void Update(double fraction, const std::string& detail = "");
    void Finish();

private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
};

}  // namespace cli
