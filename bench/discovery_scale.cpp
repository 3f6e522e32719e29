// Scale run of one search: run inside a lab's host namespace (bench/discovery_scale.sh).
// Creates the finder hub, sends the search's two queries on every adapter and reports how
// long it took until every expected camera was seen and every reply was handed over, next
// to what sending the queries alone takes, and the peak memory of this process.
//   bench_discovery_scale --expect N [--timeout S]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "finder/LIbFinder.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Seen {
    std::mutex mutex;
    std::set<std::string> macs;
    long replies = 0;
    Clock::time_point start, lastNew, lastReply;
};

void OnReply(void* context, const CameraReply& reply) {
    auto* seen = static_cast<Seen*>(context);
    std::lock_guard lock(seen->mutex);
    ++seen->replies;
    seen->lastReply = Clock::now();
    if (std::strlen(reply.mac) == 17 && seen->macs.insert(reply.mac).second)
        seen->lastNew = seen->lastReply;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    size_t expect = 0;
    double timeoutSeconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--expect") == 0) expect = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--timeout") == 0) timeoutSeconds = std::atof(argv[i + 1]);
    }
    if (expect == 0) {
        std::fprintf(stderr, "usage: bench_discovery_scale --expect N [--timeout S]\n");
        return 1;
    }
    Seen seen;
    EngineCallback callback{&OnReply, &seen};
    CreateRecvPacket(&callback);
    AdapterEntry adapters[32];
    const int adapterCount = GetFinderAdapters(adapters, 32);
    seen.start = Clock::now();
    SendPacketData(HEADER_IP_QUERY, "", "", "", "");
    SendPacketData(HEADER_WIRELESS_IP_QUERY, "", "", "", "");

    const auto deadline = seen.start + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeoutSeconds));
    const long allReplies = static_cast<long>(expect) * 2 * 2;  // 2 queries x 2 transports
    for (;;) {
        {
            std::lock_guard lock(seen.mutex);
            if (seen.replies >= allReplies) break;
        }
        if (Clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    DestroyRecvPacket();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::lock_guard lock(seen.mutex);
    const double sendFloor = 2.0 * 2 * 30 * adapterCount;  // 2 queries x 2 transports x 30 ms
    std::printf("adapters              %d\n", adapterCount);
    std::printf("cameras found         %zu of %zu\n", seen.macs.size(), expect);
    std::printf("replies dispatched    %ld of %ld\n", seen.replies, allReplies);
    std::printf("all found after       %.0f ms\n", Ms(seen.lastNew - seen.start));
    std::printf("all dispatched after  %.0f ms (sending the queries takes %.0f ms)\n",
                Ms(seen.lastReply - seen.start), sendFloor);
    std::printf("peak RSS              %ld KiB\n", usage.ru_maxrss);
    return seen.macs.size() == expect ? 0 : 2;
}
