// tarsel search: one discovery round on every adapter; lists every camera that answered.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CliCamera.h"
#include "CliCommand.h"
#include "CliOutput.h"
#include "common/Language.h"
#include "finder/LIbFinder.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel search [--wait S] [--json|--csv]\n"
    "\n"
    "Sends one search (a query and a wireless query, by broadcast and multicast on every\n"
    "adapter) and lists every camera that answered within S seconds (default 3), each once,\n"
    "with the adapter it answered through.\n"
    "\n"
    "  --wait S   seconds to collect answers (0.1 to 3600)\n"
    "  --json     one JSON array of camera objects\n"
    "  --csv      CSV with a header row\n"
    "exit codes: 0 cameras found, 2 none answered, 6 no usable adapter.\n";

// Replies arrive on the finder's dispatch thread; the command's thread reads them after.
class Collector {
public:
    static void OnReply(void* context, const CameraReply& reply) {
        static_cast<Collector*>(context)->Add(reply);
    }

    void Add(const CameraReply& reply) {
        // Only query answers describe a camera; without a full MAC text there is no camera
        // to name (the engine drops such replies too).
        if (reply.type != HEADER_IP_QUERY && reply.type != HEADER_WIRELESS_IP_QUERY) return;
        std::string mac(reply.mac);
        if (mac.size() != 17) return;
        std::lock_guard lock(mutex_);
        for (const CameraView& seen : cameras_) {
            if (SameMac(seen.mac, mac)) return;  // first answer wins, with its adapter
        }
        cameras_.push_back(CameraFromReply(reply, status_));
    }

    std::vector<CameraView> Cameras() {
        std::lock_guard lock(mutex_);
        return cameras_;
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return cameras_.size();
    }

private:
    std::mutex mutex_;
    std::vector<CameraView> cameras_;
    // A camera just found is shown as "View", in English whatever the table's language.
    std::string status_ = "View";
};

int RunSearch(const Invocation& invocation) {
    ParsedArgs args;
    std::string error;
    if (!args.Parse(invocation.args, Specs({SpecList(kOutputOptions), {{"--wait", true}}}), error)) {
        PrintError(error + " (see tarsel search --help)");
        return kExitUsage;
    }
    Format format;
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (!args.Positionals().empty()) {
        PrintError("search takes no arguments, got '" + args.Positionals()[0] + "'");
        return kExitUsage;
    }
    double waitSeconds = 3;
    if (args.Has("--wait") && !ParseSeconds(args.Get("--wait"), 0.1, 3600, waitSeconds)) {
        PrintError("--wait needs a number of seconds from 0.1 to 3600, got '" + args.Get("--wait") + "'");
        return kExitUsage;
    }

    Collector collector;
    EngineCallback callback{&Collector::OnReply, &collector};
    CreateRecvPacket(&callback);
    AdapterEntry adapters[32];
    if (GetFinderAdapters(adapters, 32) <= 0) {
        DestroyRecvPacket();
        PrintError("no usable network adapter (none is up with an IPv4 address)");
        return kExitSystem;
    }
    if (SendPacketData(HEADER_IP_QUERY, "", "", "", "") != 0 ||
        SendPacketData(HEADER_WIRELESS_IP_QUERY, "", "", "", "") != 0) {
        DestroyRecvPacket();
        PrintError("could not queue the search queries (out of memory)");
        return kExitSystem;
    }

    Progress progress("Searching");
    const auto start = std::chrono::steady_clock::now();
    const auto wait = std::chrono::duration<double>(waitSeconds);
    for (;;) {
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed >= wait) break;
        progress.Update(std::chrono::duration<double>(elapsed) / wait,
                        std::to_string(collector.Count()) + " found");
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(100),
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait - elapsed)));
    }
    progress.Finish();
    // After this no reply callback runs any more: the list is final.
    DestroyRecvPacket();

    std::vector<CameraView> cameras = collector.Cameras();
    SortCameras(cameras);
    std::vector<Row> rows;
    for (const CameraView& camera : cameras) rows.push_back(CameraRow(camera));
    if (cameras.empty() && format == Format::Table) {
        PrintError("no camera answered within " + args.Get("--wait", "3") + " s");
        return kExitNotFound;
    }
    PrintRows(stdout, format, CameraColumns(), rows);
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
