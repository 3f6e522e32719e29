// tarsel scan: the IP range search over HTTP; lists the cameras found and the addresses
// whose camera refused the credentials.

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliCamera.h"
#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliOutput.h"
#include "common/Language.h"
#include "common/ModelList.h"
#include "engine/LiveEnginePorts.h"
#include "engine/TSmain.h"
#include "platform/Tick.h"
#include "web/LibCurl.h"
#include "finder/LibIP.h"
#include "web/IpRangeSearch.h"

namespace cli {
namespace {

const char kStatusCredentialsRefused[] = "credentials refused";

const char kUsage[] =
    "usage: tarsel scan START END [--port P] [--jobs N] --user U [--json|--csv]\n"
    "\n"
    "Walks every address from START to END (at most 65,536 addresses), tries a TCP\n"
    "connection to the HTTP port on each (200 ms), and reads the identity of every camera\n"
    "that answers, with the credentials. Lists the cameras found, and the addresses whose\n"
    "camera refused the credentials with the status \"credentials refused\" (also named on\n"
    "stderr). An address without a listener costs 0.2 s (a /24 takes about 51 s one\n"
    "address at a time, about 1.5 s with --jobs 64). The listing is in address order and\n"
    "the same whatever N.\n"
    "\n"
    "  --port P   the HTTP port to try (default 80)\n"
    "  --jobs N   addresses probed at once, 1 to 256 (default 1, as the window does)\n"
    "  --json     one JSON array of camera objects\n"
    "  --csv      CSV with a header row\n"
    "exit codes: 0 cameras found, 1 bad range, 2 nothing found, 4 only refusals found.\n";

struct ScanState {
    std::mutex mutex;
    std::vector<CameraView> cameras;
    std::vector<std::string> refused;
    Progress* progress = nullptr;
};

// What the command line asks: the range, the port, how many at once, the credentials and
// the output format.
struct ScanRequest {
    std::string start, end, port;
    long jobs = 1;
    Credentials credentials;
    Format format = Format::Table;
};

// The number of addresses to probe at once, from 1 to kMaxRangeJobs; 0 when the text is
// no such number.
long JobsFrom(const std::string& text) {
    const long jobs = text.find_first_not_of("0123456789") == std::string::npos && text.size() <= 3
                          ? std::atol(text.c_str())
                          : 0;
    return jobs >= 1 && jobs <= kMaxRangeJobs ? jobs : 0;
}

int ParseScan(const Invocation& invocation, ScanRequest& request) {
    ParsedArgs args;
    std::string error;
    if (!args.Parse(invocation.args,
                    JoinOptions({OptionList(kOutputOptions), OptionList(kCredentialOptions),
                           {{"--port", true}, {"--jobs", true}}}),
                    error)) {
        PrintError(error + " (see tarsel scan --help)");
        return kExitUsage;
    }
    if (!ChooseFormat(args, request.format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (args.Positionals().size() != 2) {
        PrintError("scan needs a start and an end address (see tarsel scan --help)");
        return kExitUsage;
    }
    request.port = args.Get("--port", "80");
    if (!IsValidPortText(request.port.c_str())) {
        PrintError("--port needs a port number from 1 to 65535, got '" + request.port + "'");
        return kExitUsage;
    }
    const std::string jobsText = args.Get("--jobs", "1");
    request.jobs = JobsFrom(jobsText);
    if (request.jobs == 0) {
        PrintError("--jobs needs a number from 1 to " + std::to_string(kMaxRangeJobs) + ", got '" +
                   jobsText + "'");
        return kExitUsage;
    }
    request.start = args.Positionals()[0];
    request.end = args.Positionals()[1];
    uint64_t first = 0, last = 0;
    if (const int invalid = ValidateIpRange(request.start.c_str(), request.end.c_str(), &first, &last)) {
        PrintError(std::string(LoadText(invalid)) + " (" + request.start + " - " + request.end + ")");
        return kExitUsage;
    }
    const int code = ResolveCredentials(args, request.credentials, error);
    if (code != 0) PrintError(error);
    return code;
}

// Walks the range with a progress bar; the cameras found and the refusals in state.
void SearchRange(const ScanRequest& request, ScanState& state) {
    HttpOnlyEnginePorts ports;
    Progress progress("Scanning");
    state.progress = &progress;
    CIpRangeSearch search;
    search.context = &state;
    search.jobs = static_cast<int>(request.jobs);
    search.checkCgi = [&ports](const char* ip, const char* p, const char* user,
                               const char* password, CameraReply* info) {
        return CheckCGI(ports, ip, p, user, password, info);
    };
    search.onProgress = [](void* c, uint64_t checked, uint64_t total, uint64_t found) {
        auto* s = static_cast<ScanState*>(c);
        std::lock_guard lock(s->mutex);
        s->progress->Update(static_cast<double>(checked) / static_cast<double>(total),
                            RangeProgressText(checked, total, found));
    };
    search.onAuthFailure = [](void* c, const char* address) {
        auto* s = static_cast<ScanState*>(c);
        std::lock_guard lock(s->mutex);
        s->refused.push_back(address);
    };
    search.onCameraFound = [](void* c, const CameraReply& info) {
        auto* s = static_cast<ScanState*>(c);
        std::lock_guard lock(s->mutex);
        s->cameras.push_back(CameraFromReply(info, "View"));
    };
    search.Start(request.credentials.user.c_str(), request.credentials.password.c_str(),
                 request.start.c_str(), request.end.c_str(), request.port.c_str());
    search.Wait();
    progress.Finish();
    state.progress = nullptr;
}

int PrintScan(const ScanRequest& request, const ScanState& state) {
    // A refusal is an entry of the listing as well, so that a script reading the JSON or
    // CSV learns of the cameras it could not read.
    std::vector<CameraView> listed = state.cameras;
    for (const std::string& address : state.refused) {
        PrintError(address + ": the camera refused the user name or password");
        CameraView refused;
        refused.ip = address;
        refused.httpPort = std::stoll(request.port);
        refused.viaHttp = true;
        refused.status = kStatusCredentialsRefused;
        listed.push_back(refused);
    }
    SortCameras(listed);
    AddWarnings(listed);
    if (listed.empty() && request.format == Format::Table) {
        PrintError("no camera found from " + request.start + " to " + request.end + " on port " +
                   request.port);
        return kExitNotFound;
    }
    std::vector<Row> rows;
    for (const CameraView& camera : listed) rows.push_back(CameraRow(camera));
    PrintRows(stdout, request.format, CameraColumns(), rows);
    if (state.cameras.empty()) return state.refused.empty() ? kExitNotFound : kExitCredentials;
    PrintNote(std::to_string(state.cameras.size()) + " camera(s) found, " +
              std::to_string(state.refused.size()) + " refused the credentials");
    return kExitOk;
}

int RunScan(const Invocation& invocation) {
    ScanRequest request;
    if (int code = ParseScan(invocation, request); code != kExitOk) return code;
    ScanState state;
    SearchRange(request, state);
    return PrintScan(request, state);
}

}  // namespace

TARSEL_CLI_COMMAND(scan, "scan", "find cameras over HTTP in an address range", kUsage, RunScan);

}  // namespace cli
