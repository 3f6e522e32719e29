#pragma once
// Plan files: the settings of many cameras in one CSV file, one camera a row, for
// `tarsel apply`. The header names the columns (mac, name, ip, mask, gateway, mode, port);
// `mac` is required, the others may be left out, and an empty cell keeps the camera's
// value. `tarsel search --plan` writes the cameras found in this form.
//
// A plan is checked whole before anything is sent: a plan with one problem is refused, so
// that a site is never left half re-addressed by a typing error.

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "CliCamera.h"
#include "engine/CameraCommands.h"
#include "engine/CameraTable.h"

namespace cli {

// The plan's columns, in the order `search --plan` writes them.
inline constexpr const char* kPlanColumns[] = {"mac", "name", "ip", "mask", "gateway", "mode", "port"};

// A plan holds one short line per camera: a file larger than this, or with more rows than
// the camera list holds cameras, is refused.
inline constexpr size_t kPlanMaxBytes = 4 * 1024 * 1024;
inline constexpr size_t kPlanMaxRows = CameraTable::kMaxCameras;
// The problems of a refused plan named one by one; the rest are counted ("and N more
// problems").
inline constexpr size_t kPlanProblemsShown = 20;

struct PlanRow {
    int line = 0;     // the row's line in the file (the header is line 1)
    std::string mac;  // as written
    // The planned values; "" keeps the camera's own (the column is absent or its cell empty).
    std::string name, ip, mask, gateway, mode, port;
};

struct PlanProblem {
    int line;  // 0 when the problem is not one line's
    std::string text;
};

// Reads a plan. Problems of the text alone: a missing or unknown or repeated column (or
// more columns than a plan has), a row with another number of fields, a bad value, a
// repeated MAC, two rows giving one address; a plan over kPlanMaxBytes or kPlanMaxRows.
// Values quoted in a problem are escaped. The stream is read one row at a time.
std::vector<PlanProblem> ParsePlan(std::istream& in, std::vector<PlanRow>& rows);
std::vector<PlanProblem> ParsePlan(const std::string& text, std::vector<PlanRow>& rows);

// Problems against the cameras found: a planned address already used by another camera of
// the list (whatever that camera's own row plans: both would answer on it for a while).
std::vector<PlanProblem> CheckPlanAgainst(const std::vector<PlanRow>& rows,
                                          const std::vector<CameraView>& cameras);

// The settings a row asks of a camera: its current values with the plan's over them.
CameraSettingsRequest PlannedSettings(const PlanRow& row, const CameraView& now);

// "name: Cam-1 -> Gate; ip: 10.0.0.5 -> 10.0.0.20", each setting that would change; "" when
// none would.
std::string PlannedChanges(const CameraSettingsRequest& planned, const CameraView& now);

// "line 3: ..." or the text alone for line 0.
std::string ProblemText(const PlanProblem& problem);

// The cameras as a plan file (header, then one row per camera with every current value).
std::string PlanFileText(const std::vector<CameraView>& cameras);

}  // namespace cli
