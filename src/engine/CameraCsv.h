#pragma once
// The columns of a camera list and their CSV form, one definition for `tarsel search`
// (table, JSON and CSV) and the window's "Export list...": the columns' keys in order, a
// camera's values in that order, and RFC 4180 fields and lines.

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "engine/CameraListing.h"

// A cell: a text, a number, true/false, a list of texts, or nothing (JSON null).
using CellValue = std::variant<std::string, long long, bool, std::vector<std::string>, std::nullptr_t>;

// The keys of a camera's columns, in order: the CSV header and the JSON object's keys.
const std::vector<std::string>& CameraColumnKeys();
// The string-table id of a column's header; 0 for the columns that have no text of their own.
int CameraColumnTextId(const std::string& key);
// Who made the device: the company of a camera of this family, the maker an ONVIF device
// told (empty until it accepted the credentials).
std::string CameraMaker(const CameraListing& camera);
// The camera's values in the columns' order.
std::vector<CellValue> CameraCells(const CameraListing& camera);

// A cell as text: numbers in decimal, "true"/"false", a list joined with blanks, nothing "".
std::string CellText(const CellValue& cell);
// One CSV field: quoted when it holds a comma, a quote, CR or LF (quotes doubled), or
// starts or ends with a blank. A camera's text is made safe for a spreadsheet first (see
// SpreadsheetCellText): valid UTF-8, and never read as a formula.
std::string CsvField(const std::string& text);
// The fields as one CSV line: quoted as needed, joined with commas, ended with CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

// The header line of keys and one line per camera.
std::string CameraCsv(const std::vector<CameraListing>& cameras);
// One camera's line.
std::string CameraCsvLine(const CameraListing& camera);
