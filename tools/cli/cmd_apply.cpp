// tarsel apply: sets many cameras from one plan file (see CliPlan.h); checks the whole
// plan before anything is sent, then verifies, sends every camera's settings and confirms
// each as `tarsel set` does.

#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "CliCameraCommand.h"
#include "CliOutput.h"
#include "CliPlan.h"
#include "common/Language.h"
#include "engine/CommandChecks.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel apply PLAN --user U [--dry-run] [--wait S] [--json|--csv]\n"
    "\n"
    "Applies a plan file: CSV whose header names its columns, from mac, name, ip, mask,\n"
    "gateway, mode (dhcp, manual or pppoe) and port. mac is required (any case); the other\n"
    "columns may be left out, and an empty cell keeps the camera's value. Example:\n"
    "\n"
    "    mac,name,ip,mask,gateway\n"
    "    00:1B:2C:00:00:01,Gate,192.168.1.21,255.255.255.0,192.168.1.1\n"
    "    00:1b:2c:00:00:02,Yard,192.168.1.22,,\n"
    "\n"
    "`tarsel search --plan > site.csv` writes the cameras found as such a file.\n"
    "The whole plan is checked first, against itself and against the cameras found: an\n"
    "unknown column, a bad value, a camera planned twice, one address planned twice or an\n"
    "address already used by another camera refuses the plan, each problem named with its\n"
    "line, and nothing is sent. Otherwise the cameras to change are verified, all their\n"
    "settings sent at once, and each followed until it confirms (25 s) as with tarsel set.\n"
    "\n"
    "  --dry-run  search and print current -> planned per camera; verify and send nothing\n"
    "             (no --user needed)\n"
    "  --wait S   seconds to wait for discovery answers (default 3)\n"
    "  --json     one JSON array of {mac, name, ip, result, changes}\n"
    "  --csv      CSV with a header row\n"
    "A value may not hold \"&\", \"=\" or control characters, must be UTF-8 text, and the\n"
    "name holds 32 bytes. A cell written \"'=...\" (\"'\" before =, +, - or @, as search\n"
    "--plan writes it for spreadsheets) means the text after the \"'\". A plan file holds at\n"
    "most 4 MiB and 8192 cameras; the first 20 problems are named, the rest counted. A\n"
    "manual address's gateway must lie in its subnet (0.0.0.0 means none), as in the window.\n"
    "result per camera: confirmed, timed out, credentials refused, not found, unchanged\n"
    "(planned, with --dry-run).\n"
    "A row naming an ONVIF device of another maker (by the MAC it told) refuses the plan:\n"
    "such devices are read-only here.\n"
    "exit codes: 0 all confirmed or unchanged, 1 plan refused (or usage), 5 some cameras\n"
    "failed, 6 the plan cannot be read or no usable adapter.\n";

struct Outcome {
    PlanRow row;
    CameraView now;
    CameraSettingsRequest planned;
    std::string changes;
    std::string result;
};

int RefusePlan(const std::string& path, const std::vector<PlanProblem>& problems) {
    for (const PlanProblem& problem : problems) PrintError(path + ": " + ProblemText(problem));
    PrintError("plan refused; nothing was sent");
    return kExitUsage;
}

// Reads and checks the plan, row by row, within its bounds of size and rows; an exit code.
int ReadPlan(const std::string& path, std::vector<PlanRow>& rows) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        PrintError("cannot read the plan " + path);
        return kExitSystem;
    }
    std::vector<PlanProblem> problems = ParsePlan(file, rows);
    if (file.bad()) {
        PrintError("cannot read the plan " + path);
        return kExitSystem;
    }
    if (problems.empty() && rows.empty()) problems.push_back({0, "the plan names no camera"});
    return problems.empty() ? kExitOk : RefusePlan(path, problems);
}

// What the command line asks: the plan file, the output format, the wait, whether to send
// anything and with which credentials.
struct ApplyRequest {
    std::string path;
    Format format = Format::Table;
    double waitSeconds = 3;
    bool dryRun = false;
    Credentials credentials;
};

int ParseApply(const Invocation& invocation, ApplyRequest& request) {
    ParsedArgs args;
    std::string error;
    const std::vector<OptionDef> optionDefs =
        CameraCommandOptions({{"--dry-run", false}, {"--json", false}, {"--csv", false}});
    if (!args.Parse(invocation.args, optionDefs, error)) {
        PrintError(error + " (see tarsel apply --help)");
        return kExitUsage;
    }
    if (!ChooseFormat(args, request.format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (args.Positionals().size() != 1) {
        PrintError("apply needs one plan file (see tarsel apply --help)");
        return kExitUsage;
    }
    if (!ParseSearchWait(args, request.waitSeconds)) return kExitUsage;
    request.dryRun = args.Has("--dry-run");
    if (!request.dryRun) {
        if (int code = ResolveCredentials(args, request.credentials, error)) {
            PrintError(error);
            return code;
        }
    }
    request.path = args.Positionals()[0];
    return kExitOk;
}

// Each row with its camera and what would change; the macs of the cameras to change in
// toVerify (none with --dry-run).
std::vector<Outcome> PlanOutcomes(const std::vector<PlanRow>& rows, const std::vector<CameraView>& cameras,
                                  bool dryRun, std::vector<std::string>& toVerify) {
    // A plan row finds its camera by MAC without walking the whole list.
    std::unordered_map<std::string, const CameraView*> byMac;
    for (const CameraView& camera : cameras)
        if (camera.protocol != "onvif") byMac[MacKey(camera.mac)] = &camera;
    std::vector<Outcome> outcomes;
    for (const PlanRow& row : rows) {
        Outcome o{row, {}, {}, "", "not found"};
        if (const auto found = byMac.find(MacKey(row.mac)); found != byMac.end()) o.now = *found->second;
        if (!o.now.mac.empty()) {
            o.planned = PlannedSettings(row, o.now);
            o.changes = PlannedChanges(o.planned, o.now);
            o.result = o.changes.empty() ? "unchanged" : dryRun ? "planned" : "";
            if (o.result.empty()) toVerify.push_back(o.now.mac);
        }
        outcomes.push_back(o);
    }
    return outcomes;
}

// Verifies the cameras to change, sends each its settings and follows it until it confirms.
void SendPlanned(EngineSession& session, const Credentials& credentials,
                 const std::vector<std::string>& toVerify, std::vector<Outcome>& outcomes) {
    const auto verified = session.Verify(toVerify, credentials);
    for (Outcome& o : outcomes) {
        if (!o.result.empty()) continue;
        const int result = verified.at(o.now.mac);
        if (result != 1) {
            o.result = result == 0 ? "credentials refused" : "timed out";
            continue;
        }
        SettingRefusal refusal;
        if (ApplySettings(session.Engine(), o.now.mac.c_str(), o.planned, &refusal) != 0) {
            // A value kept from the camera can be refused too (a name holding "&").
            o.result = refusal ? "value refused: " + refusal.Describe() : "not found";
        }
    }
    Progress progress("Setting");
    int waited = 0;
    for (Outcome& o : outcomes) {
        if (!o.result.empty()) continue;
        progress.Update(static_cast<double>(waited++) / static_cast<double>(toVerify.size()), o.now.mac);
        o.result = session.WaitSetting(o.now.mac) == kExitOk ? "confirmed" : "timed out";
    }
    progress.Finish();
}

int PrintOutcomes(Format format, const std::vector<Outcome>& outcomes) {
    std::vector<Row> table;
    int failed = 0;
    for (const Outcome& o : outcomes) {
        const bool found = !o.now.mac.empty();
        table.push_back({found ? o.now.mac : o.row.mac, found ? o.planned.name : o.row.name,
                         found ? o.planned.ip : o.row.ip, o.result, o.changes});
        if (o.result != "confirmed" && o.result != "unchanged" && o.result != "planned") {
            ++failed;
            PrintError(o.row.mac + " (line " + std::to_string(o.row.line) + "): " + o.result);
        }
    }
    PrintRows(stdout, format,
              {{"mac", "MAC", true}, {"name", "Name", true}, {"ip", "IP", true},
               {"result", "Result", true}, {"changes", "Changes", true}},
              table);
    return failed == 0 ? kExitOk : kExitPartial;
}

// A planned setting must pass the window's own check too (a gateway outside the address's
// subnet would cut the camera off); any that does not refuses the whole plan.
std::vector<PlanProblem> CheckPlannedSettings(const std::vector<Outcome>& outcomes) {
    std::vector<PlanProblem> problems;
    for (const Outcome& o : outcomes) {
        if (o.now.mac.empty() || o.changes.empty()) continue;
        if (const SaveProblem problem = CheckSaveInput(o.planned); problem != SAVE_OK)
            problems.push_back({o.row.line, LoadText(SaveProblemTextId(problem))});
    }
    return problems;
}

// ONVIF devices of other makers are read-only: a plan row naming one (by the MAC it told,
// or the one its scopes hint at) refuses the whole plan before anything is sent.
int RefuseOnvifRows(const std::string& path, const std::vector<PlanRow>& rows,
                    const std::vector<CameraView>& cameras) {
    std::unordered_map<std::string, const CameraView*> onvifByMac;
    for (const CameraView& camera : cameras) {
        if (camera.protocol != "onvif") continue;
        for (const std::string& mac : {camera.mac, camera.onvif ? camera.onvif->macHint : ""})
            if (IsMacText(mac)) onvifByMac[MacKey(mac)] = &camera;
    }
    int code = kExitOk;
    for (const PlanRow& row : rows) {
        if (const auto found = onvifByMac.find(MacKey(row.mac)); found != onvifByMac.end()) {
            PrintError(path + " (line " + std::to_string(row.line) + "): " + ReadOnlyRefusal(*found->second));
            code = kExitUsage;
        }
    }
    return code;
}

int RunApply(const Invocation& invocation) {
    ApplyRequest request;
    if (int code = ParseApply(invocation, request)) return code;
    std::vector<PlanRow> rows;
    if (int code = ReadPlan(request.path, rows)) return code;
    EngineSession session;
    if (int code = session.SearchAdapters(request.waitSeconds); code != kExitOk) return code;
    const std::vector<CameraView> cameras = session.Views();
    if (int code = RefuseOnvifRows(request.path, rows, cameras)) return code;
    const std::vector<PlanProblem> problems = CheckPlanAgainst(rows, cameras);
    if (!problems.empty()) return RefusePlan(request.path, problems);
    std::vector<std::string> toVerify;
    std::vector<Outcome> outcomes = PlanOutcomes(rows, cameras, request.dryRun, toVerify);
    if (const auto refused = CheckPlannedSettings(outcomes); !refused.empty())
        return RefusePlan(request.path, refused);
    if (!toVerify.empty()) SendPlanned(session, request.credentials, toVerify, outcomes);
    return PrintOutcomes(request.format, outcomes);
}

}  // namespace

TARSEL_CLI_COMMAND(apply, "apply", "set many cameras from a plan file (see search --plan)",
                   kUsage, RunApply);

}  // namespace cli
