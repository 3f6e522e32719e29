// tarsel report: the site report, one HTML file of every camera found, with a picture of
// each when asked.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "CliCamera.h"
#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliEngine.h"
#include "CliOutput.h"
#include "CliSavedSearch.h"
#include "engine/SiteReport.h"
#include "finder/LIbFinder.h"
#include "platform/ProfileFile.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel report --out FILE [--site NAME] [--pictures --user U] [--from FILE]\n"
    "                     [--wait S]\n"
    "\n"
    "Writes the site report: one HTML file that needs nothing else to be read or printed\n"
    "(A4), with this PC and its network cards, a summary (cameras by model, firmware by\n"
    "model with the newest version marked and older ones flagged, by IP mode, every\n"
    "warning with its cameras) and the table of every camera; with --pictures, a picture of\n"
    "each camera, or why it has none. The file is written whole or not at all.\n"
    "\n"
    "The cameras are those a search finds (S seconds, default 3), in address order, or\n"
    "those of a saved `tarsel search --json` (--from FILE). With --pictures, each camera is\n"
    "asked for its picture with the credentials, five at a time: a camera that sends it (or\n"
    "answers the request) has accepted them and counts as verified; one that refuses them,\n"
    "does not answer or sends something else shows why it has no picture.\n"
    "\n"
    "  --out FILE     where to write the report (HTML)\n"
    "  --site NAME    the site's name, at the top of the report\n"
    "  --pictures     a picture of each camera (needs --user)\n"
    "  --from FILE    the cameras of a saved search instead of a new one (at most 8192\n"
    "                 cameras in 16 MiB; a row without a MAC, a dotted IPv4 address and a\n"
    "                 port is left out and named, a camera listed twice is merged)\n"
    "  --wait S       seconds to collect answers to the search (0.1 to 3600)\n"
    "exit codes: 0 written (with every picture asked for), 1 usage error, 2 no camera,\n"
    "5 written with pictures missing, 6 no usable adapter, or a file could not be read or\n"
    "written.\n";

struct Options {
    std::string out, site, from;
    bool pictures = false;
    Credentials login;
    double waitSeconds = 3;
    std::string waitText;  // as given, for messages
};

int Parse(const Invocation& invocation, Options& options) {
    ParsedArgs args;
    std::string error;
    const auto defs = JoinOptions({OptionList(kCredentialOptions),
                                   {{"--out", true},
                                    {"--site", true},
                                    {"--pictures", false},
                                    {"--from", true},
                                    {"--wait", true}}});
    if (!args.Parse(invocation.args, defs, error)) {
        PrintError(error + " (see tarsel report --help)");
        return kExitUsage;
    }
    if (!args.Positionals().empty()) {
        PrintError("report takes no arguments, got '" + args.Positionals()[0] + "'");
        return kExitUsage;
    }
    options.out = args.Get("--out");
    options.site = args.Get("--site");
    options.from = args.Get("--from");
    options.pictures = args.Has("--pictures");
    if (options.out.empty()) {
        PrintError("report needs --out FILE (see tarsel report --help)");
        return kExitUsage;
    }
    if (options.pictures != args.Has("--user")) {
        PrintError(options.pictures
                       ? "--pictures needs --user (the pictures are fetched with the credentials)"
                       : "--user goes with --pictures (the credentials fetch the pictures)");
        return kExitUsage;
    }
    if (!options.from.empty() && args.Has("--wait")) {
        PrintError("--wait goes with a search; leave it out with --from");
        return kExitUsage;
    }
    if (!ParseSearchWait(args, options.waitSeconds))
        return kExitUsage;
    options.waitText = args.Get("--wait", "3");
    if (options.pictures) {
        if (int code = ResolveCredentials(args, options.login, error); code != kExitOk) {
            PrintError(error);
            return code;
        }
    }
    return kExitOk;
}

// Fetches every camera's picture with the credentials, five at a time, with a progress bar.
// The picture's request is the verification: a camera that answers it has accepted them.
// An ONVIF device's picture comes through the engine that verified it (none: not verified).
void FetchPictures(std::vector<SiteReportCamera>& cameras, const Credentials& login,
                   CTSmainDlg* engine) {
    std::vector<PictureSource> sources;
    for (const SiteReportCamera& c : cameras)
        sources.push_back(ReportPictureSource(engine, c.camera, login.user, login.password));
    Progress progress("Pictures");
    const std::atomic<bool> never{false};
    const std::vector<ReportPicture> pictures =
        FetchReportPictures(sources, kReportFetchesAtOnce, never, [&](size_t done, size_t total) {
            progress.Update(static_cast<double>(done) / total,
                            std::to_string(done) + " of " + std::to_string(total));
        });
    progress.Finish();
    for (size_t i = 0; i < cameras.size(); ++i) {
        cameras[i].picture = pictures[i];
        cameras[i].verified = pictures[i].accepted;
    }
}

// The cameras a search finds, in address order; an exit code. With pictures, the ONVIF
// devices among them are verified with the same credentials first (their pictures are
// fetched through the session, which keeps what they accepted).
int SearchCameras(const Options& options, EngineSession& session, std::vector<CameraView>& views) {
    if (int code = session.SearchAdapters(options.waitSeconds); code != kExitOk)
        return code;
    // Every reply that arrived within the wait is listed, however many are still queued.
    FinishFinderReceiving();
    if (options.pictures)
        session.Engine().VerifyOnvifAll(options.login.user, options.login.password);
    views = session.Views();
    SortCameras(views);
    return kExitOk;
}

// The cameras of a saved search, each refused row named (the first few) and counted; an
// exit code.
int ReadCameras(const std::string& path, std::vector<CameraView>& views) {
    SavedSearch search;
    std::string error;
    if (int code = ReadSavedSearch(path, search, error); code != kExitOk) {
        PrintError(error);
        return code;
    }
    for (const std::string& refusal : search.refused)
        PrintError(path + ": " + refusal + "; left out");
    if (search.refusedCount > search.refused.size())
        PrintError(path + ": and " + std::to_string(search.refusedCount - search.refused.size()) +
                   " more rows left out");
    if (search.merged > 0)
        PrintNote(path + ": " + std::to_string(search.merged) +
                  " row(s) of a camera listed earlier merged into its first row");
    views = std::move(search.cameras);
    return kExitOk;
}

int RunReport(const Invocation& invocation) {
    Options options;
    if (int code = Parse(invocation, options); code != kExitOk)
        return code;
    std::vector<CameraView> views;
    std::unique_ptr<EngineSession> session;
    if (!options.from.empty()) {
        if (int code = ReadCameras(options.from, views); code != kExitOk)
            return code;
    } else if (int code = SearchCameras(options, *(session = std::make_unique<EngineSession>()), views);
               code != kExitOk) {
        return code;
    }
    if (views.empty()) {
        PrintError(options.from.empty() ? "no camera answered within " + options.waitText + " s"
                                        : options.from + ": the saved search lists no camera");
        return kExitNotFound;
    }
    std::vector<SiteReportCamera> cameras;
    for (CameraView& view : views)
        cameras.push_back({std::move(view), false, {}});
    if (options.pictures)
        FetchPictures(cameras, options.login, session ? &session->Engine() : nullptr);

    const std::string html = SiteReportHtml(ThisPcHeader(options.site), cameras, options.pictures);
    if (!tarsel::ReplaceFileAtomically(options.out, html)) {
        PrintError(options.out +
                   ": cannot write the report (does the folder exist, may it be written to?)");
        return kExitSystem;
    }
    size_t missing = 0;
    for (const SiteReportCamera& c : cameras)
        missing += options.pictures && c.picture.missing != PictureMissing::None;
    PrintNote(std::to_string(cameras.size()) + " camera(s) in " + options.out +
              (options.pictures
                   ? ", " + std::to_string(cameras.size() - missing) + " with a picture"
                   : ""));
    return missing > 0 ? kExitPartial : kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(report, "report", "write the site report (HTML, with pictures)", kUsage,
                   RunReport);

}  // namespace cli
