// tarsel scan: the IP range search over HTTP; lists the cameras found and the addresses
// whose camera refused the credentials.

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliCamera.h"
#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliEngine.h"
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
    "the same whatever N. Each address is also sent the two ONVIF probes (WS-Discovery,\n"
    "UDP 3702), 4 x N at once (32 to 256): an ONVIF device of another maker that answers is\n"
    "listed as a search lists it (read-only), and one of ours that answers gains its\n"
    "ONVIF facts.\n"
    "\n"
    "  --port P   the HTTP port to try (default 80)\n"
    "  --jobs N   addresses probed at once, 1 to 256 (default 1, as the window does)\n"
    "  --json     one JSON array of camera objects (as tarsel search --json writes them)\n"
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
    uint64_t first = 0, last = 0;  // the range, host order
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
    if (const int invalid = ValidateIpRange(request.start.c_str(), request.end.c_str(),
                                            &request.first, &request.last)) {
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

// Both ONVIF probes to port 3702 of every address of the range while the HTTP walk goes
// on: a device of another maker (or one of ours that speaks ONVIF) answers a unicast probe
// from any subnet. The engine sends them through one socket; this waits for the answers.
void ProbeOnvifRange(EngineSession& session, const ScanRequest& request) {
    for (uint64_t address = request.first; address <= request.last; ++address)
        session.Engine().QueueOnvifProbe(static_cast<uint32_t>(address));
    session.Engine().WaitOnvifProbes();
}

// The ONVIF devices that answered, added to the listing: one that is a camera found over
// HTTP at the same address adds its ONVIF facts to that camera's row.
void AddOnvifAnswers(EngineSession& session, std::vector<CameraView>& listed) {
    for (CameraView& device : session.Views()) {
        if (!device.onvif) continue;
        auto same = std::find_if(listed.begin(), listed.end(),
                                 [&](const CameraView& c) { return c.ip == device.ip && !c.onvif; });
        if (same != listed.end()) {
            same->onvif = device.onvif;
            continue;
        }
        listed.push_back(std::move(device));
    }
}

int PrintScan(const ScanRequest& request, const ScanState& state, EngineSession& session) {
    // A refusal is an entry of the listing as well, so that a script reading the JSON or
    // CSV learns of the cameras it could not read.
    std::vector<CameraView> listed = state.cameras;
    AddOnvifAnswers(session, listed);
    const size_t found = listed.size();
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
    PrintCameras(stdout, request.format, listed);
    if (found == 0) return state.refused.empty() ? kExitNotFound : kExitCredentials;
    PrintNote(std::to_string(found) + " camera(s) found, " +
              std::to_string(state.refused.size()) + " refused the credentials");
    return kExitOk;
}

int RunScan(const Invocation& invocation) {
    ScanRequest request;
    if (int code = ParseScan(invocation, request); code != kExitOk) return code;
    ScanState state;
    EngineSession session;
    std::thread onvif([&] { ProbeOnvifRange(session, request); });
    SearchRange(request, state);
    onvif.join();
    return PrintScan(request, state, session);
}

}  // namespace

TARSEL_CLI_COMMAND(scan, "scan", "find cameras over HTTP in an address range", kUsage, RunScan);

}  // namespace cli
