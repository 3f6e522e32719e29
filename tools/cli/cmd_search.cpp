// tarsel search: one search of the engine on every adapter; lists every camera that answered.

#include <string>
#include <vector>

#include "CliCamera.h"
#include "CliCommand.h"
#include "CliEngine.h"
#include "CliOutput.h"
#include "CliPlan.h"
#include "common/Language.h"
#include "finder/LIbFinder.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel search [--wait S] [--json|--csv|--plan]\n"
    "\n"
    "Sends one search (a query and a wireless query, by broadcast and multicast on every\n"
    "adapter) and lists every camera that answered within S seconds (default 3), each once,\n"
    "with the adapter it answered through.\n"
    "\n"
    "  --wait S   seconds to collect answers (0.1 to 3600)\n"
    "  --json     one JSON array of camera objects\n"
    "  --csv      CSV with a header row\n"
    "  --plan     the cameras as a plan file for tarsel apply (CSV: mac,name,ip,mask,\n"
    "             gateway,mode,port), to edit and apply\n"
    "The warnings column names duplicate-ip (another camera answers with the same address)\n"
    "and foreign-subnet (the address is outside the subnet of the adapter it answered\n"
    "through: its page cannot be opened from this PC as things stand).\n"
    "exit codes: 0 cameras found, 2 none answered, 6 no usable adapter.\n";

int RunSearch(const Invocation& invocation) {
    ParsedArgs args;
    std::string error;
    if (!args.Parse(invocation.args,
                    JoinOptions({OptionList(kOutputOptions), {{"--wait", true}, {"--plan", false}}}),
                    error)) {
        PrintError(error + " (see tarsel search --help)");
        return kExitUsage;
    }
    Format format;
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (args.Has("--plan") && format != Format::Table) {
        PrintError("--plan writes CSV of its own; leave out --json and --csv");
        return kExitUsage;
    }
    if (!args.Positionals().empty()) {
        PrintError("search takes no arguments, got '" + args.Positionals()[0] + "'");
        return kExitUsage;
    }
    double waitSeconds;
    if (!ParseSearchWait(args, waitSeconds)) return kExitUsage;

    EngineSession session;
    if (int code = session.SearchAdapters(waitSeconds); code != kExitOk) return code;
    // Every reply that arrived within the wait is listed, however many are still queued.
    FinishFinderReceiving();
    std::vector<CameraView> cameras = session.Views();
    SortCameras(cameras);
    std::vector<Row> rows;
    for (const CameraView& camera : cameras) rows.push_back(CameraRow(camera));
    if (cameras.empty() && format == Format::Table && !args.Has("--plan")) {
        PrintError("no camera answered within " + args.Get("--wait", "3") + " s");
        return kExitNotFound;
    }
    if (args.Has("--plan")) {
        const std::string plan = PlanFileText(cameras);
        std::fwrite(plan.data(), 1, plan.size(), stdout);
    } else {
        PrintRows(stdout, format, CameraColumns(), rows);
    }
    if (cameras.empty()) {
        PrintError("no camera answered within " + args.Get("--wait", "3") + " s");
        return kExitNotFound;
    }
    PrintNote(std::to_string(cameras.size()) + " camera(s) found");
    return kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(search, "search", "find the cameras on every adapter", kUsage, RunSearch);

}  // namespace cli
