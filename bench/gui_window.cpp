// The main window receiving 1,000 cameras at the receiver's pace (5 ms of work, then 1 ms):
// the time from the last reply dispatched to the last row shown, the longest stall of the
// window's thread meanwhile (a 5 ms watchdog timer on that thread), how many list updates
// the replies cost, and filtering and sorting the 1,000 rows. Run with
// QT_QPA_PLATFORM=offscreen; nothing is sent on any network.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "app/EngineBridge.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/Tarsel_NextGenerateApp.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/Config.h"
#include "common/ModelList.h"
#include "controls/TvListCtrl.h"
#include "engine/CameraFilter.h"
#include "engine/LiveEnginePorts.h"
#include "engine/TSmain.h"

namespace {
constexpr int kCameras = 1000;
constexpr int kRounds = 5;
using Clock = std::chrono::steady_clock;

// The live seam without a network: the engine's receiver hook is kept so that replies can
// be handed to it as the dispatch thread would.
class BenchPorts : public HttpOnlyEnginePorts {
public:
    int CreateRecvPacket(const EngineCallback* hook) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hook = *hook;
        return 0;
    }
    int SendPacketData(uint32_t, const char*, const char*, const char*, const char*) override { return 0; }
    void Deliver(const CameraReply& reply) {
        EngineCallback hook;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            hook = m_hook;
        }
        if (hook.function != nullptr) hook.function(hook.context, reply);
    }

private:
    std::mutex m_lock;
    EngineCallback m_hook{};
};

CameraReply Reply(int i) {
    CameraReply r{};
    r.type = HEADER_IP_QUERY;
    std::snprintf(r.mac, sizeof r.mac, "00:1B:2C:%02X:%02X:%02X", (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF);
    std::snprintf(r.ip, sizeof r.ip, "10.%d.%d.%d", (i * 7) % 4, (i / 250) % 256, i % 250 + 1);
    std::snprintf(r.mask, sizeof r.mask, "255.0.0.0");
    std::snprintf(r.gateway, sizeof r.gateway, "10.0.0.1");
    std::snprintf(r.mode, sizeof r.mode, "%s", i % 3 == 0 ? "dhcp" : "manual");
    std::snprintf(r.deviceName, sizeof r.deviceName, "Camera-%04d", (i * 7919) % kCameras);
    std::snprintf(r.httpPort, sizeof r.httpPort, "80");
    std::snprintf(r.productName, sizeof r.productName, "%s", ModelList[i % 24]);
    std::snprintf(r.fwVersion, sizeof r.fwVersion, "5.%d.%d", i % 4, i % 10);
    std::snprintf(r.adapter.name, sizeof r.adapter.name, "eth0");
    return r;
}

struct Figure {
    const char* name;
    std::vector<double> values;
    const char* unit = "ms";
};

void Report(Figure& f) {
    std::sort(f.values.begin(), f.values.end());
    std::printf("%-52s median %8.2f %s   worst %8.2f %s   (%zu rounds)\n", f.name, f.values[f.values.size() / 2],
                f.unit, f.values.back(), f.unit, f.values.size());
}

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareTarselUi();
    QApplication app(argc, argv);
    SetConfigPath("/nonexistent-tarsel-bench/tarsel.ini");
    BenchPorts ports;
    CTarsel_NextGenerateDlg window(ports);
    window.show();
    CTvListCtrl* list = window.cameraList()->List();

    Figure lastRow{"last reply dispatched -> last row shown", {}};
    Figure stall{"longest stall of the window's thread while they arrive", {}};
    Figure updates{"list updates for 1,000 cameras x 2 replies", {}, "  "};
    Figure filter{"filter 1,000 rows (IP prefix, then cleared)", {}};
    Figure invert{"filter 1,000 rows inverted", {}};
    Figure sort{"sort 1,000 rows by the IP column", {}};

    for (int round = 0; round < kRounds; ++round) {
        window.Reset(false);
        QApplication::processEvents();
        window.messageDialog()->Close();
        const uint64_t flushesBefore = window.bridge()->FlushCount();

        // The watchdog: a 5 ms timer on the window's thread; its longest gap is the stall.
        Clock::time_point lastTick = Clock::now();
        double longest = 0;
        QTimer watchdog;
        watchdog.setInterval(5);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            longest = std::max(longest, Ms(lastTick, now));
            lastTick = now;
        });
        watchdog.start();

        std::atomic<bool> done{false};
        Clock::time_point lastDispatched;
        std::thread receiver([&] {
            // Every camera answers the broadcast and the multicast query: two replies each,
            // handed over as the dispatch thread does: 5 ms of work, then a 1 ms pause.
            auto passStart = Clock::now();
            for (int copy = 0; copy < 2; ++copy) {
                for (int i = 0; i < kCameras; ++i) {
                    ports.Deliver(Reply(i));
                    if (Clock::now() - passStart >= std::chrono::milliseconds(5)) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        passStart = Clock::now();
                    }
                }
            }
            lastDispatched = Clock::now();
            done.store(true);
        });
        lastTick = Clock::now();
        Clock::time_point shown;
        for (;;) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (done.load() && list->GetItemCount() == kCameras) {
                // Every reply is in once the flush that follows the last one has run.
                QApplication::processEvents();
                list->viewport()->repaint();
                shown = Clock::now();
                break;
            }
        }
        receiver.join();
        watchdog.stop();
        lastRow.values.push_back(Ms(lastDispatched, shown));
        stall.values.push_back(longest);
        updates.values.push_back(static_cast<double>(window.bridge()->FlushCount() - flushesBefore));

        QElapsedTimer timer;
        timer.start();
        window.cameraList()->ApplyFilter(FILTER_IP, QStringLiteral("10.1."), false);
        const int kept = list->GetItemCount();
        window.cameraList()->ApplyFilter(FILTER_IP, QString(), false);
        filter.values.push_back(timer.nsecsElapsed() / 1e6 / 2);
        timer.restart();
        window.cameraList()->ApplyFilter(FILTER_IP, QStringLiteral("10.1."), true);
        invert.values.push_back(timer.nsecsElapsed() / 1e6);
        if (kept + list->GetItemCount() != kCameras) std::printf("filter lost rows: %d + %d\n", kept, list->GetItemCount());
        window.cameraList()->ApplyFilter(FILTER_IP, QString(), false);
        timer.restart();
        list->SortByColumn(2);
        sort.values.push_back(timer.nsecsElapsed() / 1e6);
    }
    for (Figure* f : {&lastRow, &stall, &updates, &filter, &invert, &sort}) Report(*f);
    return 0;
}
