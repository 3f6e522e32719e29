// The main window on a real network, run inside a lab's host namespace by
// bench/window_scale.sh (QT_QPA_PLATFORM=offscreen). Two measurements:
//   bench_gui_lab_scale --expect N
//     the window's first search of N cameras: when the counter shows N, counted from the
//     program's start; the last new camera's reply -> its row shown; the longest stall of
//     the window's thread meanwhile (a 5 ms timer's longest gap); filter, inverted filter
//     and sort of the N rows; peak RSS.
//   bench_gui_lab_scale --watch S
//     S seconds of clicks while others flood the LAN: every 50 ms a click on the list is
//     posted to the window's thread; how long until it was handled (worst per second, and
//     overall), the longest stall, rows listed, replies seen, RSS each second.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/Tarsel_NextGenerateApp.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/Config.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "engine/CameraFilter.h"
#include "engine/LiveEnginePorts.h"
#include "platform/Log.h"

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

long CurrentRssKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Replies lost before the engine saw them: by the kernel, for a full socket buffer (this
// namespace's UDP counter), or by the receiver, for a full queue (its log lines).
long KernelDrops() {
    long drops = 0;
    if (FILE* f = std::fopen("/proc/net/snmp", "r")) {
        char header[512], values[512];
        while (std::fgets(header, sizeof header, f) && std::fgets(values, sizeof values, f)) {
            if (std::strncmp(header, "Udp:", 4) != 0) continue;
            long v[6] = {};
            if (std::sscanf(values, "Udp: %ld %ld %ld %ld %ld %ld", &v[0], &v[1], &v[2], &v[3],
                            &v[4], &v[5]) == 6)
                drops = v[4];  // RcvbufErrors
            break;
        }
        std::fclose(f);
    }
    return drops;
}

class QueueDrops {
public:
    QueueDrops() {
        tarsel::SetLogSink([this](std::string_view line) {
            const size_t at = line.find("dropped ");
            if (line.find("Receive queue full") != std::string_view::npos && at != line.npos)
                m_dropped += std::atol(std::string(line.substr(at + 8, 20)).c_str());
        });
    }
    ~QueueDrops() { tarsel::SetLogSink(nullptr); }
    long Dropped() const { return m_dropped.load(); }

private:
    std::atomic<long> m_dropped{0};
};

long g_kernelDropsAtStart = 0;
QueueDrops* g_queueDrops = nullptr;

void PrintDrops() {
    std::printf("replies lost: socket buffer %ld, receive queue %ld\n",
                KernelDrops() - g_kernelDropsAtStart, g_queueDrops->Dropped());
}

// The real finder, with every reply noted on its way to the engine: how many, how many
// cameras, and when the last new one came.
class TapPorts : public LiveEnginePorts {
public:
    int CreateRecvPacket(const EngineCallback* hook) override {
        {
            std::lock_guard lock(m_lock);
            m_engine = *hook;
        }
        const EngineCallback tap{&TapPorts::Tap, this};
        return LiveEnginePorts::CreateRecvPacket(&tap);
    }
    long Replies() {
        std::lock_guard lock(m_lock);
        return m_replies;
    }
    size_t Cameras() {
        std::lock_guard lock(m_lock);
        return m_macs.size();
    }
    Clock::time_point LastNew() {
        std::lock_guard lock(m_lock);
        return m_lastNew;
    }

private:
    static void Tap(void* context, const CameraReply& reply) {
        auto* self = static_cast<TapPorts*>(context);
        EngineCallback engine;
        {
            std::lock_guard lock(self->m_lock);
            ++self->m_replies;
            if (self->m_macs.insert(reply.mac).second) self->m_lastNew = Clock::now();
            engine = self->m_engine;
        }
        if (engine.function != nullptr) engine.function(engine.context, reply);
    }

    std::mutex m_lock;
    EngineCallback m_engine{};
    long m_replies = 0;
    std::unordered_set<std::string> m_macs;
    Clock::time_point m_lastNew;
};

// The longest gap between the ticks of a 5 ms timer on the window's thread.
class Watchdog {
public:
    Watchdog() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_longest = std::max(m_longest, Ms(m_last, now));
            m_last = now;
        });
        m_last = Clock::now();
        m_timer.start();
    }
    // Includes the gap still open: the thread may have only just come back.
    double TakeLongest() {
        const double longest = std::max(m_longest, Ms(m_last, Clock::now()));
        m_longest = 0;
        return longest;
    }

private:
    QTimer m_timer;
    Clock::time_point m_last;
    double m_longest = 0;
};

int CounterValue(CTarsel_NextGenerateDlg& window) {
    return window.cameraList()->CounterValue()->text().trimmed().toInt();
}

int FirstSearch(CTarsel_NextGenerateDlg& window, TapPorts& ports, int expect,
                Clock::time_point start) {
    Watchdog watchdog;
    // Until the counter shows them all, or has shown every camera that answered for 3 s
    // (replies lost on the way never make it to the window).
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    int counted = 0;
    auto shown = Clock::now();
    for (;;) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const auto now = Clock::now();
        if (CounterValue(window) != counted) {
            counted = CounterValue(window);
            shown = now;
        }
        if (counted >= expect || now > deadline) break;
        if (counted == static_cast<int>(ports.Cameras()) && now - shown > std::chrono::seconds(3))
            break;
    }
    const double stall = watchdog.TakeLongest();
    std::printf("cameras answering                 %zu (%ld replies)\n", ports.Cameras(),
                ports.Replies());
    std::printf("\"Total: %d\" after                  %.0f ms from the start\n", counted,
                Ms(start, shown));
    std::printf("last new reply -> counter shows it %.1f ms\n", Ms(ports.LastNew(), shown));
    std::printf("longest stall of the window       %.1f ms\n", stall);
    PrintDrops();
    if (counted < expect) return 2;

    window.messageDialog()->Close();
    CTvListCtrl* list = window.cameraList()->List();
    QElapsedTimer timer;
    timer.start();
    window.cameraList()->ApplyFilter(FILTER_IP, QStringLiteral("192.168.1."), false);
    const int kept = list->GetItemCount();
    window.cameraList()->ApplyFilter(FILTER_IP, QString(), false);
    const double filter = timer.nsecsElapsed() / 1e6 / 2;
    timer.restart();
    window.cameraList()->ApplyFilter(FILTER_IP, QStringLiteral("192.168.1."), true);
    const double invert = timer.nsecsElapsed() / 1e6;
    const int inverted = list->GetItemCount();
    window.cameraList()->ApplyFilter(FILTER_IP, QString(), false);
    timer.restart();
    list->SortByColumn(2);
    const double sort = timer.nsecsElapsed() / 1e6;
    std::printf("filter %d rows (%d kept), cleared  %.1f ms each\n", counted, kept, filter);
    std::printf("filter inverted (%d kept)         %.1f ms\n", inverted, invert);
    std::printf("sort by the IP column             %.1f ms\n", sort);
    std::printf("RSS                               %ld KiB (peak %ld KiB)\n", CurrentRssKiB(),
                PeakRssKiB());
    return kept + inverted == counted ? 0 : 3;
}

int WatchClicks(CTarsel_NextGenerateDlg& window, TapPorts& ports, double seconds) {
    CTvListCtrl* list = window.cameraList()->List();
    Watchdog watchdog;
    std::mutex lock;
    std::vector<double> latencies;  // since the last report
    std::vector<double> all;
    std::atomic<long> posted{0}, handled{0};
    std::atomic<bool> stop{false};
    // Posted like the window system's own input: the click waits behind whatever the
    // window's thread is doing, then runs the list's own mouse handling.
    std::thread prober([&] {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (!stop.load() && Clock::now() < until) {
            const auto at = Clock::now();
            ++posted;
            QMetaObject::invokeMethod(
                list,
                [&, at] {
                    const QPointF where(list->viewport()->width() / 2.0, 8);
                    const QPointF global = list->viewport()->mapToGlobal(where);
                    QMouseEvent press(QEvent::MouseButtonPress, where, global, Qt::LeftButton,
                                      Qt::LeftButton, Qt::NoModifier);
                    QApplication::sendEvent(list->viewport(), &press);
                    QMouseEvent release(QEvent::MouseButtonRelease, where, global,
                                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
                    QApplication::sendEvent(list->viewport(), &release);
                    std::lock_guard guard(lock);
                    latencies.push_back(Ms(at, Clock::now()));
                    ++handled;
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    // Reports about once a second, for as long as clicks are posted and then until the
    // last of them was handled (at most two minutes more).
    const auto start = Clock::now();
    const auto cap = start + std::chrono::duration<double>(seconds + 120);
    auto lastReport = start;
    double worstStall = 0;
    for (;;) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const auto now = Clock::now();
        const bool done = Ms(start, now) >= seconds * 1000 && handled.load() == posted.load();
        if (now - lastReport < std::chrono::seconds(1) && !done && now < cap) continue;
        lastReport = now;
        std::vector<double> period;
        {
            std::lock_guard guard(lock);
            period.swap(latencies);
        }
        const double stall = watchdog.TakeLongest();
        worstStall = std::max(worstStall, stall);
        const double worst = period.empty() ? 0 : *std::max_element(period.begin(), period.end());
        all.insert(all.end(), period.begin(), period.end());
        std::printf("%6.1f s  clicks %3zu worst %8.1f ms  stall %8.1f ms  rows %6d  cameras "
                    "%7zu  replies %8ld  RSS %7ld KiB\n",
                    Ms(start, now) / 1000, period.size(), worst, stall, list->GetItemCount(),
                    ports.Cameras(), ports.Replies(), CurrentRssKiB());
        std::fflush(stdout);
        if (done || now >= cap) break;
    }
    stop = true;
    prober.join();
    QCoreApplication::removePostedEvents(list, QEvent::MetaCall);  // clicks never handled
    std::sort(all.begin(), all.end());
    if (all.empty()) {
        std::printf("no click was handled\n");
        return 2;
    }
    std::printf("clicks handled %zu of %ld: median %.1f ms, 99th %.1f ms, worst %.1f ms; longest "
                "stall %.1f ms; the last handled %.1f s after the start; peak RSS %ld KiB\n",
                all.size(), posted.load(), all[all.size() / 2], all[all.size() * 99 / 100],
                all.back(), worstStall, Ms(start, lastReport) / 1000, PeakRssKiB());
    PrintDrops();
    return handled.load() == posted.load() ? 0 : 3;
}
}  // namespace

int main(int argc, char** argv) {
    const auto start = Clock::now();
    int expect = 0;
    double watch = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--expect") == 0) expect = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--watch") == 0) watch = std::atof(argv[i + 1]);
    }
    if (expect <= 0 && watch <= 0) {
        std::fprintf(stderr, "usage: bench_gui_lab_scale --expect N | --watch SECONDS\n");
        return 1;
    }
    QueueDrops queueDrops;
    g_queueDrops = &queueDrops;
    g_kernelDropsAtStart = KernelDrops();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareTarselUi();
    QApplication app(argc, argv);
    SetConfigPath("/nonexistent-tarsel-bench/tarsel.ini");
    TapPorts ports;
    CTarsel_NextGenerateDlg window(ports);
    window.show();
    return expect > 0 ? FirstSearch(window, ports, expect, start)
                      : WatchClicks(window, ports, watch);
}
