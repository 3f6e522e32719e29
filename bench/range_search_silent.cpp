// How long the window's IP range search takes over a /24 where nothing listens: with
// kWindowRangeJobs addresses probed at once, each costing at most the TCP probe's 200 ms,
// the goal is 3 s (one address at a time took about 51 s).
// Builds a network namespace of its own (needs root) holding a veth pair whose one end has
// 10.77.0.1/24 and whose other end answers nothing; no packet reaches a real LAN.
//
//   sudo build/bench/bench_range_search_silent

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "web/IpRangeSearch.h"

namespace {

int Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

}  // namespace

int main() {
    const std::string ns = "tarsel-bench-range-" + std::to_string(getpid());
    if (Shell("ip netns add " + ns) != 0 ||
        Shell("ip -n " + ns + " link add v0 type veth peer name v1") != 0 ||
        Shell("ip -n " + ns + " addr add 10.77.0.1/24 dev v0") != 0 ||
        Shell("ip -n " + ns + " link set v0 up") != 0 ||
        Shell("ip -n " + ns + " link set v1 up") != 0 || Shell("ip -n " + ns + " link set lo up") != 0) {
        std::fprintf(stderr, "cannot build the namespace (root and iproute2 needed)\n");
        Shell("ip netns del " + ns);
        return 1;
    }
    int target = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (target < 0 || setns(target, CLONE_NEWNET) != 0) {
        std::fprintf(stderr, "cannot enter the namespace\n");
        Shell("ip netns del " + ns);
        return 1;
    }
    close(target);

    CIpRangeSearch search;
    search.jobs = kWindowRangeJobs;
    search.checkCgi = [](const char*, const char*, const char*, const char*, CameraReply*) {
        return HttpOutcome::Of(HttpResult::NotCamera, 200);
    };
    int probes = 0;
    search.context = &probes;
    search.onStatus = [](void* c, const char* text) {
        if (std::string(text).rfind("Check ", 0) == 0) ++*static_cast<int*>(c);
    };
    const auto start = std::chrono::steady_clock::now();
    // 10.77.0.1 is this host itself (refused at once); the other 253 hold nobody.
    if (search.Start("admin", "admin", "10.77.0.1", "10.77.0.254", "80") != 0) {
        std::fprintf(stderr, "search refused to start\n");
        return 1;
    }
    search.Wait();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Shell("ip netns del " + ns);
    const double limit = 3.0;
    std::printf("%d addresses, %d at once, in %.2f s; goal %.2f s: %s\n", probes, kWindowRangeJobs, seconds,
                limit, seconds <= limit ? "PASS" : "FAIL");
    return seconds <= limit ? 0 : 1;
}
