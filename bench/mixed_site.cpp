// A mixed site through the engine, run inside a lab's host namespace by bench/mixed_site.sh:
//   bench_mixed_site WAIT_MS USER PASSWORD
// One search of WAIT_MS (this family's discovery and the ONVIF probes on every adapter),
// then the facts of every ONVIF device read with the credentials (VerifyOnvifAll, as the
// window's Verify all and the command line do). Prints the rows of each kind, how long the
// reads took with their tally, and this process's peak resident size.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/CameraTable.h"
#include "engine/LiveEnginePorts.h"
#include "engine/TSmain.h"
#include "finder/LIbFinder.h"

int main(int argc, char** argv) {
    using Clock = std::chrono::steady_clock;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WAIT_MS USER PASSWORD\n", argv[0]);
        return 2;
    }
    const int waitMs = std::atoi(argv[1]);
    LiveEnginePorts ports;
    int onvif = 0, native = 0, verified = 0;
    {
        CTSmainDlg engine(ports);
        engine.SetOnvifSearch(true, waitMs);
        const auto start = Clock::now();
        engine.StartSearch();
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        FinishFinderReceiving();
        for (const CameraEntry& e : engine.Table().Entries())
            ++(e.kind == DeviceKind::Onvif ? onvif : native);
        const auto listed = Clock::now();
        std::printf("search of %d ms: %d of this family, %d ONVIF devices of other makers (%lld ms)\n", waitMs,
                    native, onvif,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(listed - start).count()));
        const CTSmainDlg::OnvifTally tally = engine.VerifyOnvifAll(argv[2], argv[3]);
        const auto read = Clock::now();
        for (const CameraEntry& e : engine.Table().Entries())
            verified += e.onvif != nullptr && e.onvif->factsRead &&
                        e.onvif->outcome == tarsel::onvif::OnvifOutcome::Verified;
        std::printf("facts with credentials: %d verified, %d refused, %d no answer, %d other in %lld ms "
                    "(%d entries with facts)\n",
                    tally.verified, tally.refused, tally.noAnswer, tally.other,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(read - listed).count()),
                    verified);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS %ld KiB\n", usage.ru_maxrss);
    return onvif > 0 ? 0 : 1;
}
