// ONVIF discovery and reading at scale, run inside a lab's host namespace by
// bench/onvif_discovery.sh:
//   bench_onvif_discovery WAIT_MS IF=ADDRESS... [--read USER PASSWORD WORKERS]
// Prints how many devices one search listed and when the last one came, then (with --read)
// how long reading every device's facts took and how many were verified.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "onvif/OnvifClient.h"
#include "onvif/OnvifProbe.h"

int main(int argc, char** argv) {
    using namespace tarsel::onvif;
    using Clock = std::chrono::steady_clock;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s WAIT_MS IF=ADDRESS... [--read USER PASSWORD WORKERS]\n", argv[0]);
        return 2;
    }
    const int waitMs = std::atoi(argv[1]);
    std::vector<OnvifAdapter> adapters;
    int i = 2;
    for (; i < argc && std::strcmp(argv[i], "--read") != 0; ++i) {
        const std::string a = argv[i];
        const size_t eq = a.find('=');
        adapters.push_back({a.substr(0, eq), eq == std::string::npos ? "" : a.substr(eq + 1)});
    }
    ProbeSet probes;
    if (!probes.Make()) return 1;
    OnvifDeviceList list;
    const auto start = Clock::now();
    std::atomic<bool> done{false};
    std::atomic<long long> lastNewMs{0};
    std::thread watch([&] {
        size_t seen = 0;
        while (!done) {
            const size_t n = list.Size();
            if (n != seen) {
                seen = n;
                lastNewMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int used = SearchAdapters(adapters, probes, waitMs, list);
    done = true;
    watch.join();
    const auto devices = list.Devices();
    size_t multi = 0;
    for (const auto& d : devices) multi += d.adapters.size() > 1;
    std::printf("discovery: %zu devices (%zu through more than one adapter) on %d adapters, last new one at %lld ms, "
                "search %lld ms\n",
                devices.size(), multi, used, lastNewMs.load(),
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
    if (i + 3 < argc) {
        const std::string user = argv[i + 1], password = argv[i + 2];
        const int workers = std::max(1, std::atoi(argv[i + 3]));
        std::atomic<size_t> next{0}, verified{0};
        const auto readStart = Clock::now();
        std::vector<std::thread> pool;
        for (int w = 0; w < workers; ++w)
            pool.emplace_back([&] {
                for (size_t k; (k = next++) < devices.size();) {
                    OnvifFacts facts;
                    if (ReadOnvifFacts(devices[k].match.xaddr, devices[k].match.address, user, password, facts,
                                       nullptr) == OnvifOutcome::Verified)
                        ++verified;
                }
            });
        for (auto& t : pool) t.join();
        std::printf("facts: %zu of %zu verified in %lld ms with %d workers\n", verified.load(), devices.size(),
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - readStart).count()),
                    workers);
    }
    return 0;
}
