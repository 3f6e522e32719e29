// tarsel search: one search of the engine on every adapter; lists every camera that answered.

#include <string>
#include <vector>

#include "CliCamera.h"
#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliEngine.h"
#include "CliOutput.h"
#include "CliPlan.h"
#include "common/Language.h"
#include "finder/LIbFinder.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel search [--wait S] [--protocol native|onvif|all] [--user U]\n"
    "                     [--json|--csv|--plan]\n"
    "\n"
    "Sends one search (a query and a wireless query, by broadcast and multicast on every\n"
    "adapter, and the two WS-Discovery probes of ONVIF on every adapter) and lists every\n"
    "camera that answered within S seconds (default 3), each once, with the adapter it\n"
    "answered through. ONVIF devices of other makers are listed too, read-only: their kind\n"
    "is ONVIF, with the maker once they accepted the credentials. A camera of this family\n"
    "that answers ONVIF as well is one row, of its own kind, with the ONVIF facts added.\n"
    "\n"
    "  --wait S       seconds to collect answers (0.1 to 3600), for both kinds\n"
    "  --protocol P   native: cameras of this family only (no ONVIF probe is sent);\n"
    "                 onvif: the devices that answer ONVIF (ours that do as well);\n"
    "                 all (default): both\n"
    "  --user U       after the wait, read every ONVIF device's facts (maker, model,\n"
    "                 firmware, serial, MAC, clock) with these credentials\n"
    "  --json         one JSON array of camera objects; \"protocol\" is \"native\" or\n"
    "                 \"onvif\", and \"onvif\" holds what an ONVIF answer told (endpoint,\n"
    "                 xaddr, xaddrs, types, scopes, name, hardware, location, adapters,\n"
    "                 verify, maker, model, firmware, serial, hardwareId, mac, macHint,\n"
    "                 clockOffsetMs), null for a camera that does not answer ONVIF\n"
    "  --csv          CSV with a header row (the columns of the window's Export list...)\n"
    "  --plan         the cameras of this family as a plan file for tarsel apply (CSV: mac,\n"
    "                 name,ip,mask,gateway,mode,port), to edit and apply\n"
    "The warnings column names duplicate-ip (another camera answers with the same address)\n"
    "and foreign-subnet (the address is outside the subnet of the adapter it answered\n"
    "through: its page cannot be opened from this PC as things stand).\n"
    "exit codes: 0 cameras found, 2 none answered, 6 no usable adapter.\n";

struct SearchRequest {
    Format format = Format::Table;
    double waitSeconds = 3;
    std::string waitText;  // as given, for messages
    ProtocolChoice protocol = ProtocolChoice::All;
    bool plan = false;
    bool readFacts = false;
    Credentials credentials;
};

int ParseSearch(const Invocation& invocation, SearchRequest& request) {
    ParsedArgs args;
    std::string error;
    if (!args.Parse(invocation.args,
                    JoinOptions({OptionList(kOutputOptions), OptionList(kCredentialOptions),
                                 {{"--wait", true}, {"--plan", false}, {"--protocol", true}}}),
                    error)) {
        PrintError(error + " (see tarsel search --help)");
        return kExitUsage;
    }
    if (!ChooseFormat(args, request.format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    request.plan = args.Has("--plan");
    if (request.plan && request.format != Format::Table) {
        PrintError("--plan writes CSV of its own; leave out --json and --csv");
        return kExitUsage;
    }
    if (!args.Positionals().empty()) {
        PrintError("search takes no arguments, got '" + args.Positionals()[0] + "'");
        return kExitUsage;
    }
    if (!ParseProtocol(args.Get("--protocol", "all"), request.protocol)) {
        PrintError("--protocol needs native, onvif or all, got '" + args.Get("--protocol") + "'");
        return kExitUsage;
    }
    if (!ParseSearchWait(args, request.waitSeconds)) return kExitUsage;
    request.waitText = args.Get("--wait", "3");
    request.readFacts = args.Has("--user");
    if (request.readFacts) {
        if (int code = ResolveCredentials(args, request.credentials, error); code != kExitOk) {
            PrintError(error);
            return code;
        }
    }
    return kExitOk;
}

// Every ONVIF device's facts, read with the credentials after the search.
void ReadOnvifFacts(EngineSession& session, const Credentials& credentials) {
    Progress progress("Reading ONVIF devices");
    const CTSmainDlg::OnvifTally tally = session.Engine().VerifyOnvifAll(
        credentials.user, credentials.password, nullptr, [&](int done, int total) {
            progress.Update(total ? static_cast<double>(done) / total : 1,
                            std::to_string(done) + " of " + std::to_string(total));
        });
    progress.Finish();
    const int read = tally.verified + tally.refused + tally.noAnswer + tally.other;
    if (read > 0)
        PrintNote("ONVIF: " + std::to_string(tally.verified) + " verified, " +
                  std::to_string(tally.refused) + " refused the credentials, " +
                  std::to_string(tally.noAnswer + tally.other) + " without a usable answer");
}

int RunSearch(const Invocation& invocation) {
    SearchRequest request;
    if (int code = ParseSearch(invocation, request); code != kExitOk) return code;
    // A plan is for cameras of this family only: no ONVIF device is asked for one.
    const bool onvif = request.protocol != ProtocolChoice::Native && !request.plan;
    const std::string& waitText = request.waitText;

    EngineSession session;
    session.SetOnvif(onvif);
    if (int code = session.SearchAdapters(request.waitSeconds); code != kExitOk) return code;
    // Every reply that arrived within the wait is listed, however many are still queued.
    FinishFinderReceiving();
    if (onvif && request.readFacts) ReadOnvifFacts(session, request.credentials);
    std::vector<CameraView> cameras;
    for (CameraView& camera : session.Views()) {
        const bool shown = request.plan ? camera.protocol != "onvif" : ShownFor(camera, request.protocol);
        if (shown) cameras.push_back(std::move(camera));
    }
    SortCameras(cameras);
    if (cameras.empty() && request.format == Format::Table && !request.plan) {
        PrintError("no camera answered within " + waitText + " s");
        return kExitNotFound;
    }
    if (request.plan) {
        const std::string plan = PlanFileText(cameras);
        std::fwrite(plan.data(), 1, plan.size(), stdout);
    } else {
        PrintCameras(stdout, request.format, cameras);
    }
    if (cameras.empty()) {
        PrintError("no camera answered within " + waitText + " s");
        return kExitNotFound;
    }
    PrintNote(std::to_string(cameras.size()) + " camera(s) found");
    return kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(search, "search", "find the cameras (and ONVIF devices) on every adapter", kUsage,
                   RunSearch);

}  // namespace cli
