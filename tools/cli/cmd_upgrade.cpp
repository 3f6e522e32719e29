// tarsel upgrade: verifies the cameras, then upgrades their firmware, at most five
// uploads at once, with one progress line per camera.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliEngine.h"
#include "CliOutput.h"
#include "common/stdafx.h"
#include "web/UpgradeProc.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel upgrade FIRMWARE (CAMERA... | --all) --user U [--wait S] [--json|--csv]\n"
    "\n"
    "Verifies the credentials, then upgrades every named camera (by MAC, or IP[:PORT] for a\n"
    "camera that does not answer discovery) with the firmware file: at most five uploads at\n"
    "once, each camera followed until it has installed the image and come back. A file\n"
    "ending in \".dat\" is announced as conf.dat, any other as conf.tar.\n"
    "\n"
    "  --all      every camera that answered the search\n"
    "  --wait S   seconds to wait for discovery answers (default 3)\n"
    "  --json     one JSON array of {mac, ip, result}\n"
    "  --csv      CSV with a header row\n"
    "result per camera: upgraded; refused (the camera turned the upgrade or the credentials\n"
    "down); no answer (no connection, or the upload not answered by its deadline of 60 s\n"
    "plus the image's time at 100 kB/s); not accepted by this model (the camera rejected the\n"
    "image); unfinished (it never reported the image installed); firmware unreadable.\n"
    "A camera that fails does not hold up the others.\n"
    "An ONVIF device of another maker (named by its address or endpoint) is read-only here:\n"
    "it is refused (exit 1) before anything is sent.\n"
    "--all leaves ONVIF devices of other makers out.\n"
    "exit codes: 0 all upgraded, 2 camera not found, 4 credentials refused by every camera,\n"
    "5 some cameras failed, 6 the firmware file cannot be read.\n";

// The result word of a failed camera.
const char* FailureWord(uint32_t failure) {
    switch (failure) {
        case UPGRADE_FAIL_REFUSED: return "refused";
        case UPGRADE_FAIL_NO_ANSWER: return "no answer";
        case UPGRADE_FAIL_NOT_ACCEPTED: return "not accepted by this model";
        case UPGRADE_FAIL_UNFINISHED: return "unfinished";
        case UPGRADE_FAIL_NO_IMAGE: return "firmware unreadable";
        default: return "failed";
    }
}

// Progress per camera: redrawn as one block of lines when stderr is a terminal; otherwise
// one line per camera when it ends.
class UpgradeBoard {
public:
    explicit UpgradeBoard(const std::vector<std::string>& macs) : macs_(macs) {
        for (const auto& mac : macs) percent_[mac] = 0;
        terminal_ = ProgressWanted();
    }

    // why: the failure's word, for percent -1.
    void Set(const std::string& mac, int percent, const char* why) {
        std::lock_guard lock(mutex_);
        percent_[mac] = percent;
        if (percent == -1) why_[mac] = why;
        if (terminal_) {
            Draw();
        } else if (percent == -1) {
            std::fprintf(stderr, "tarsel: %s: upgrade failed: %s\n", mac.c_str(), why);
        }
    }
    void Finish() {
        std::lock_guard lock(mutex_);
        if (terminal_) Draw();
    }

private:
    void Draw() {
        if (drawn_) std::fprintf(stderr, "\x1b[%zuA", macs_.size());
        for (const auto& mac : macs_) {
            const int p = percent_[mac];
            const int filled = p < 0 ? 0 : p * 30 / 100;
            std::fprintf(stderr, "\r%s [%s%s] %s\x1b[K\n", mac.c_str(),
                         std::string(static_cast<size_t>(filled), '#').c_str(),
                         std::string(static_cast<size_t>(30 - filled), '.').c_str(),
                         (p < 0 ? "failed: " + why_[mac] : std::to_string(p) + "%").c_str());
        }
        drawn_ = true;
    }

    std::mutex mutex_;
    std::vector<std::string> macs_;
    std::map<std::string, int> percent_;
    std::map<std::string, std::string> why_;
    bool terminal_ = false;
    bool drawn_ = false;
};

struct UpgradeContext {
    EngineSession* session;
    UpgradeBoard* board;
    UpgradeProc* proc = nullptr;
    std::vector<UpgradeItem>* items = nullptr;
    std::mutex mutex;
    std::map<std::string, int> lastPercent;
};

void OnProgress(void* context, const char* mac, int percent) {
    auto* c = static_cast<UpgradeContext*>(context);
    {
        std::lock_guard lock(c->mutex);
        c->lastPercent[mac] = percent;
    }
    uint32_t failure = UPGRADE_FAIL_NONE;
    if (percent == -1) {
        // The worker notes why before it reports -1.
        std::lock_guard lock(c->proc->itemLock);
        for (const UpgradeItem& item : *c->items)
            if (std::strcmp(item.mac, mac) == 0) failure = item.failure;
    }
    c->board->Set(mac, percent, FailureWord(failure));
}

bool LookupCamera(void* context, const char* mac, UpgradeCameraInfo* info) {
    auto* c = static_cast<UpgradeContext*>(context);
    CameraRecord record;
    if (!c->session->Engine().CopyCamera(mac, &record)) return false;
    CopyUpgradeInfo(record, info);
    return true;
}

// What the command line asks: the firmware file, the output format and the cameras'
// names with their own options (they follow the file). An exit code.
struct UpgradeRequest {
    ParsedArgs cameraArgs;
    Credentials credentials;
    Format format = Format::Table;
    std::string firmware;
};

int ParseUpgrade(const Invocation& invocation, UpgradeRequest& request) {
    ParsedArgs args;
    int code = ParseCameraCommand(invocation,
                                  JoinOptions({CameraCommandOptions({{"--all", false}}),
                                         OptionList(kOutputOptions)}),
                                  "upgrade", args, request.credentials);
    if (code != kExitOk) return code;
    std::string error;
    if (!ChooseFormat(args, request.format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (args.Positionals().empty()) {
        PrintError("upgrade needs a firmware file (see tarsel upgrade --help)");
        return kExitUsage;
    }
    request.firmware = args.Positionals()[0];
    if (access(request.firmware.c_str(), R_OK) != 0) {
        PrintError(request.firmware + ": cannot read the firmware file");
        return kExitSystem;
    }
    std::vector<std::string> named(args.Positionals().begin() + 1, args.Positionals().end());
    if (args.Has("--all")) named.push_back("--all");
    if (args.Has("--wait")) {
        named.push_back("--wait");
        named.push_back(args.Get("--wait"));
    }
    if (!request.cameraArgs.Parse(named, CameraCommandOptions({{"--all", false}}), error)) {
        PrintError(error);
        return kExitUsage;
    }
    return kExitOk;
}

// The cameras that accepted the credentials; the others get their result word in results,
// named on stderr.
std::vector<std::string> VerifiedCameras(EngineSession& session, const std::vector<std::string>& macs,
                                         const Credentials& credentials,
                                         std::map<std::string, std::string>& results) {
    const std::map<std::string, int> verified = session.Verify(macs, credentials);
    std::vector<std::string> upgradable;
    for (const std::string& mac : macs) {
        auto it = verified.find(mac);
        const int v = it == verified.end() ? -1 : it->second;
        if (v == 1) {
            upgradable.push_back(mac);
            continue;
        }
        results[mac] = v == 0 ? "refused" : "no answer";
        PrintError(mac + (v == 0 ? ": the camera refused the user name or password"
                                 : ": the camera did not answer the verification"));
    }
    return upgradable;
}

// The extension the camera is told of: "dat" for conf.dat, anything else for conf.tar.
std::string FirmwareExtension(const std::string& firmware) {
    const size_t dot = firmware.find_last_of('.');
    const size_t slash = firmware.find_last_of('/');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash)
               ? ""
               : firmware.substr(dot + 1);
}

UpgradeItem ItemOf(const CameraView& view, const Credentials& credentials) {
    UpgradeItem item;
    std::memset(&item, 0, sizeof item);
    CopyTruncated(item.name, view.name.c_str());
    CopyTruncated(item.mac, view.mac.c_str());
    CopyTruncated(item.serial, view.serial.c_str());
    CopyTruncated(item.ip, view.ip.c_str());
    CopyTruncated(item.mask, view.mask.c_str());
    CopyTruncated(item.gateway, view.gateway.c_str());
    CopyTruncated(item.fwVersion, view.fwVersion.c_str());
    CopyTruncated(item.mode, view.mode.c_str());
    CopyTruncated(item.model, view.model.c_str());
    CopyTruncated(item.httpPort, std::to_string(view.httpPort).c_str());
    CopyTruncated(item.user, credentials.user.c_str());
    CopyTruncated(item.password, credentials.password.c_str());
    CopyTruncated(item.company, view.company.c_str());
    item.viaHttp = view.viaHttp ? 1 : 0;
    item.state = UPGRADE_QUEUED;
    return item;
}

// Upgrades the cameras, at most five at once, with the progress board; the result word of
// each in results.
void UpgradeCameras(EngineSession& session, const UpgradeRequest& request,
                    const std::vector<std::string>& upgradable,
                    std::map<std::string, std::string>& results) {
    UpgradeBoard board(upgradable);
    std::vector<UpgradeItem> items(upgradable.size());
    UpgradeContext context{&session, &board, nullptr, &items, {}, {}};
    {
        UpgradeProc proc;
        context.proc = &proc;
        proc.context = &context;
        proc.onProgress = OnProgress;
        proc.lookupCamera = LookupCamera;
        proc.SetFirmware(request.firmware.c_str(), FirmwareExtension(request.firmware).c_str());
        for (size_t i = 0; i < upgradable.size(); ++i) {
            items[i] = ItemOf(session.View(upgradable[i]), request.credentials);
            proc.StartUpgrade(&items[i]);
        }
        proc.WaitForWorkers();
    }
    board.Finish();
    session.FlushSends();
    for (const UpgradeItem& item : items)
        results[item.mac] = item.failure == UPGRADE_FAIL_NONE && context.lastPercent[item.mac] == 100
                                ? "upgraded"
                                : FailureWord(item.failure);
}

int PrintUpgradeResults(EngineSession& session, Format format, const std::vector<std::string>& macs,
                        const std::map<std::string, std::string>& results) {
    int failed = 0;
    std::vector<Row> rows;
    for (const std::string& mac : macs) {
        const auto found = results.find(mac);
        const std::string result = found != results.end() ? found->second : "";
        if (result != "upgraded") ++failed;
        rows.push_back({mac, session.View(mac).ip, result});
    }
    PrintRows(stdout, format, {{"mac", "MAC"}, {"ip", "IP"}, {"result", "Result"}}, rows);
    if (failed > 0) {
        PrintError(std::to_string(failed) + " of " + std::to_string(macs.size()) +
                   " camera(s) not upgraded");
        return kExitPartial;
    }
    PrintNote(std::to_string(macs.size()) + " camera(s) upgraded");
    return kExitOk;
}

int RunUpgrade(const Invocation& invocation) {
    UpgradeRequest request;
    if (int code = ParseUpgrade(invocation, request); code != kExitOk) return code;
    EngineSession session;
    std::vector<std::string> macs;
    if (int code = FindNamedCameras(session, request.cameraArgs, request.credentials, true, macs,
                                    Targets::OurFamily);
        code != kExitOk)
        return code;
    std::map<std::string, std::string> results;
    const std::vector<std::string> upgradable =
        VerifiedCameras(session, macs, request.credentials, results);
    if (upgradable.empty()) return kExitCredentials;
    UpgradeCameras(session, request, upgradable, results);
    return PrintUpgradeResults(session, request.format, macs, results);
}

}  // namespace

TARSEL_CLI_COMMAND(upgrade, "upgrade", "upgrade the firmware of cameras", kUsage, RunUpgrade);

}  // namespace cli
