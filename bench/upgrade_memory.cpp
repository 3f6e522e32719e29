// Peak memory of a batch firmware upgrade: 20 simulated cameras on 127.0.0.1 upgraded at
// once with one image (64 MiB by default). Every upload streams the one shared image, so
// the tool's peak resident size must stay under twice the image size. Waits between polls
// are shortened; the uploads and the slot limit are real.
//
//   build/bench/bench_upgrade_memory [CAMERAS] [IMAGE_MIB]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "WebServer.h"
#include "web/UpgradeProc.h"

namespace {

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int cameras = argc > 1 ? std::atoi(argv[1]) : 20;
    const long imageMiB = argc > 2 ? std::atol(argv[2]) : 64;
    const std::string path = "/tmp/tarsel-bench-firmware.tar";
    {
        std::ofstream out(path, std::ios::binary);
        std::vector<char> block(1 << 20);
        for (long i = 0; i < imageMiB; ++i) {
            for (size_t k = 0; k < block.size(); ++k) block[k] = static_cast<char>(k * 31 + i);
            out.write(block.data(), static_cast<long>(block.size()));
        }
    }

    WebServerOptions options;
    options.stageMs = 100;
    options.rebootMs = 100;
    options.keepImages = false;  // the cameras keep only the form's edges
    std::vector<std::unique_ptr<CamsimWebServer>> servers;
    std::vector<UpgradeItem> items(static_cast<size_t>(cameras));
    for (int i = 0; i < cameras; ++i) {
        servers.push_back(std::make_unique<CamsimWebServer>(
            std::make_shared<MapWebCamera>("admin", "bench:p@ss"), options));
        if (!servers.back()->Start()) {
            std::fprintf(stderr, "cannot start camera %d\n", i);
            return 1;
        }
        UpgradeItem& item = items[static_cast<size_t>(i)];
        std::memset(&item, 0, sizeof item);
        std::snprintf(item.mac, sizeof item.mac, "00:1B:2C:BE:00:%02X", i);
        std::snprintf(item.ip, sizeof item.ip, "127.0.0.1");
        std::snprintf(item.httpPort, sizeof item.httpPort, "%u", servers.back()->Port());
        std::snprintf(item.user, sizeof item.user, "admin");
        std::snprintf(item.password, sizeof item.password, "bench:p@ss");
        item.state = UPGRADE_QUEUED;
        item.viaHttp = 1;
    }

    const long baseline = CurrentRssKiB();
    std::mutex mutex;
    int failed = 0, succeeded = 0;
    struct Counts {
        std::mutex* mutex;
        int* failed;
        int* succeeded;
    } counts{&mutex, &failed, &succeeded};
    const auto start = std::chrono::steady_clock::now();
    {
        UpgradeProc proc;
        proc.context = &counts;
        proc.onProgress = [](void* c, const char*, int percent) {
            auto* k = static_cast<Counts*>(c);
            std::lock_guard<std::mutex> lock(*k->mutex);
            if (percent == -1) ++*k->failed;
            if (percent == 100) ++*k->succeeded;
        };
        proc.SetSleep([](UpgradeWait why, int ms) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(why == UpgradeWait::Slot ? ms : ms / 20));
        });
        proc.SetFirmware(path.c_str(), "tar");
        for (auto& item : items) proc.StartUpgrade(&item);
        proc.WaitForWorkers();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = PeakRssKiB();
    const long image = imageMiB * 1024;
    uint64_t received = 0;
    for (auto& s : servers)
        for (auto& u : s->Uploads()) received += u.accepted ? u.imageSize : 0;
    std::printf("cameras %d, image %ld MiB, %d succeeded, %d failed, %.1f s\n", cameras, imageMiB,
                succeeded - failed, failed, seconds);
    std::printf("image bytes received by the cameras: %.1f MiB\n", received / 1048576.0);
    std::printf("RSS before %ld KiB, peak %ld KiB (%.2f x image); limit 2 x image = %ld KiB: %s\n",
                baseline, peak, static_cast<double>(peak) / static_cast<double>(image), 2 * image,
                peak < 2 * image ? "PASS" : "FAIL");
    std::remove(path.c_str());
    return peak < 2 * image && failed == 0 ? 0 : 1;
}
