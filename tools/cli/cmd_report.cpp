// tarsel report: the site report, one HTML file of every camera found, with a picture of
// each when asked.

#include <atomic>
#include <map>
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
    "those of a saved `tarsel search --json` (--from FILE). With --user the credentials are\n"
    "verified on every camera found, and pictures are fetched from the verified ones, five\n"
    "at a time; cameras read --from a file are asked for their picture directly and count\n"
    "as verified when it comes.\n"
    "\n"
    "  --out FILE     where to write the report (HTML)\n"
    "  --site NAME    the site's name, at the top of the report\n"
    "  --pictures     a picture of each camera (needs --user)\n"
    "  --from FILE    the cameras of a saved search instead of a new one\n"
    "  --wait S       seconds to collect answers to the search (0.1 to 3600)\n"
    "exit codes: 0 written (with every picture asked for), 1 usage error, 2 no camera,\n"
    "5 written with pictures missing, 6 no usable adapter or the file could not be written.\n";

struct Options {
    std::string out, site, from;
    bool pictures = false;
    bool credentials = false;
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
    if (options.pictures && !args.Has("--user")) {
        PrintError("--pictures needs --user (the pictures are fetched with the credentials)");
        return kExitUsage;
    }
    if (!options.from.empty() && args.Has("--wait")) {
        PrintError("--wait goes with a search; leave it out with --from");
        return kExitUsage;
    }
    if (!ParseSearchWait(args, options.waitSeconds))
        return kExitUsage;
    options.waitText = args.Get("--wait", "3");
    options.credentials = args.Has("--user");
    if (options.credentials) {
        if (int code = ResolveCredentials(args, options.login, error); code != kExitOk) {
            PrintError(error);
            return code;
        }
    }
    return kExitOk;
}

PictureSource SourceOf(const CameraView& camera, const Credentials& login) {
    return {camera.ip, std::to_string(camera.httpPort > 0 ? camera.httpPort : 80), login.user,
            login.password};
}

// Fetches the pictures of the cameras whose index is in `asked`, with a progress bar.
void FetchPictures(std::vector<SiteReportCamera>& cameras, const std::vector<size_t>& asked,
                   const Credentials& login) {
    std::vector<PictureSource> sources;
    for (size_t i : asked)
        sources.push_back(SourceOf(cameras[i].camera, login));
    Progress progress("Pictures");
    const std::atomic<bool> never{false};
    const std::vector<ReportPicture> pictures =
        FetchReportPictures(sources, kReportFetchesAtOnce, never, [&](size_t done, size_t total) {
            progress.Update(static_cast<double>(done) / total,
                            std::to_string(done) + " of " + std::to_string(total));
        });
    progress.Finish();
    for (size_t k = 0; k < asked.size(); ++k)
        cameras[asked[k]].picture = pictures[k];
}

int RunReport(const Invocation& invocation) {
    Options options;
    if (int code = Parse(invocation, options); code != kExitOk)
        return code;

    std::vector<SiteReportCamera> cameras;
    std::vector<size_t> asked;  // the cameras whose picture is fetched
    if (!options.from.empty()) {
        std::vector<CameraView> saved;
        std::string error;
        if (!ReadSavedSearch(options.from, saved, error)) {
            PrintError(error);
            return kExitUsage;
        }
        for (CameraView& view : saved)
            cameras.push_back({std::move(view), false, {}});
        if (options.pictures)
            for (size_t i = 0; i < cameras.size(); ++i)
                asked.push_back(i);
        if (options.pictures)
            FetchPictures(cameras, asked, options.login);
        for (SiteReportCamera& c : cameras)
            c.verified = c.picture.missing == PictureMissing::None && options.pictures;
    } else {
        EngineSession session;
        if (int code = session.SearchAdapters(options.waitSeconds); code != kExitOk)
            return code;
        // The verification needs the receiver; without one, every reply that arrived in
        // time is listed, as a search lists them.
        std::map<std::string, int> verified;
        if (const std::vector<std::string> macs = session.Macs();
            options.credentials && !macs.empty())
            verified = session.Verify(macs, options.login);
        else
            FinishFinderReceiving();
        std::vector<CameraView> views = session.Views();
        SortCameras(views);
        for (CameraView& view : views) {
            SiteReportCamera c{std::move(view), false, {}};
            const int result = verified.count(c.camera.mac) ? verified[c.camera.mac] : -1;
            c.verified = result == 1;
            c.picture.missing = result == 0 ? PictureMissing::Refused : PictureMissing::NotVerified;
            if (c.verified && options.pictures)
                asked.push_back(cameras.size());
            cameras.push_back(std::move(c));
        }
        if (!asked.empty())
            FetchPictures(cameras, asked, options.login);
    }
    if (cameras.empty()) {
        PrintError(options.from.empty() ? "no camera answered within " + options.waitText + " s"
                                        : options.from + ": the saved search lists no camera");
        return kExitNotFound;
    }

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
