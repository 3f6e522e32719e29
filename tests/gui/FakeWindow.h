#pragma once
// The main window on a stand-in for the network: shown, its first search started and its
// start-up message closed.

#include <memory>

#include "GuiTestSupport.h"
#include "app/CameraTableModel.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "finder/LibIP.h"
#include "unit/engine_fake_ports.h"

namespace guitest {

struct FakeWindow {
    FakePorts ports;
    std::unique_ptr<CTarsel_NextGenerateDlg> window;
    bool started = false;  // the first search asked for its receiver in time

    // The engine's clock runs `speedup` times real time (1: an assignment runs for seconds).
    explicit FakeWindow(uint32_t speedup = 100) : ports(speedup) {
        currentLanguage.store(-1);
        window = std::make_unique<CTarsel_NextGenerateDlg>(ports);
        // This PC's adapters as the stand-in network has them, not the machine's own.
        window->enumerateAdapters = [](std::vector<NetworkAdapter>& list) {
            list = {{0, "eth0", "eth0", "0.0.0.0", "0.0.0.0", "0.0.0.0", {{"192.168.1.2", "255.255.255.0"}}}};
        };
        window->show();
        // The first search has started once the window asked for the receiver again.
        started = WaitUntil([&] { return ports.receiversCreated >= 2; }, 5000);
        window->messageDialog()->Close();
    }
};

}  // namespace guitest
