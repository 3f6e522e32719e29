// The main window against simulated cameras in a lab, inside the lab's host namespace: the
// first search lists every camera of two adapters, also one configured in a foreign
// subnet; Refresh pressed again and again while replies arrive keeps one row per MAC; the
// filter with Invert; a setting the camera ignores ends as "No Response", and so does one
// whose camera falls silent, once the busy watcher gives up on it. Screenshots of the list
// in three languages.

#include <QTest>
#include <QToolButton>
#include <memory>
#include <set>

#include "GuiTestSupport.h"
#include "app/BehaviorDlg.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraCommands.h"
#include "engine/CameraFilter.h"
#include "engine/LiveEnginePorts.h"
#include "engine/TSmain.h"
#include "lab/LabSupport.h"

namespace {
using Window = CTarsel_NextGenerateDlg;
using guitest::WaitUntil;

const char kLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.71.0.1/24"},
                        {"name": "eth1", "lan": "b", "address": "10.72.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Gate", "mac": "02:1B:2C:71:00:01", "ip": "10.71.0.11", "mask": "255.255.255.0"},
    {"lan": "a", "name": "Yard", "mac": "02:1B:2C:71:00:02", "ip": "10.71.0.12", "mask": "255.255.255.0", "mode": "dhcp"},
    {"lan": "a", "name": "Foreign", "mac": "02:1B:2C:71:00:03", "ip": "172.16.5.9", "mask": "255.255.0.0"},
    {"lan": "b", "name": "Dock", "mac": "02:1B:2C:72:00:01", "ip": "10.72.0.11", "mask": "255.255.255.0"},
    {"lan": "b", "name": "Stubborn", "mac": "02:1B:2C:72:00:02", "ip": "10.72.0.12", "mask": "255.255.255.0",
     "faults": {"ignoreSettings": true}},
    {"lan": "b", "name": "Fading", "mac": "02:1B:2C:72:00:03", "ip": "10.72.0.13", "mask": "255.255.255.0"}
  ]
})";
const char* const kMacs[] = {"02:1B:2C:71:00:01", "02:1B:2C:71:00:02", "02:1B:2C:71:00:03",
                             "02:1B:2C:72:00:01", "02:1B:2C:72:00:02", "02:1B:2C:72:00:03"};

// Every MAC of the lab shows in exactly one row, and no other row exists.
bool OneRowPerCamera(CListDlg* list) {
    std::set<QString> seen;
    for (int row = 0; row < list->List()->GetItemCount(); ++row)
        if (!seen.insert(list->MacOfRow(row)).second) return false;
    if (seen.size() != std::size(kMacs)) return false;
    for (const char* mac : kMacs)
        if (!seen.count(QString::fromLatin1(mac))) return false;
    return true;
}

void ApplySetting(Window* window, const char* mac, const char* name) {
    CameraRecord r{};
    QVERIFY(window->engine().CopyCamera(mac, &r));
    window->engine().SetCameraAuth(r.ip, mac, "admin", "admin");
    const CameraSettingsRequest request{name, r.ip, r.mask, r.gateway, r.mode, r.httpPort};
    QCOMPARE(ApplySettings(window->engine(), mac, request), 0);
    QCOMPARE(window->engine().Table().StatusOf(mac), STATUS_INDEX_SETTING);
}
}  // namespace

class WindowLabTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void searchRefreshFilterAndSettingsNobodyConfirms() {
        guitest::PrivateConfig config("[SYSTEM]\nLanguage=ENGLISH\n");
        tarsel::lab::Lab lab(kLab);
        QVERIFY2(lab.Ok(), lab.Error().c_str());
        tarsel::lab::ScopedNamespace inHost(lab.Namespace("host"));
        QVERIFY(inHost.Ok());
        LiveEnginePorts ports;
        currentLanguage.store(-1);
        auto window = std::make_unique<Window>(ports);
        window->show();
        CListDlg* list = window->cameraList();
        QVERIFY(WaitUntil([&] { return OneRowPerCamera(list); }, 20000));
        QCOMPARE(list->CounterValue()->text(), QStringLiteral(" 6"));
        QCOMPARE(list->List()->GetItemText(list->RowOfMac(kMacs[2]), 2), QStringLiteral("172.16.5.9"));
        for (const char* mac : kMacs) QCOMPARE(list->StatusOf(mac), 0);

        // Refresh pressed again and again while the cameras answer: one row per MAC.
        QToolButton* refresh = window->commandBar()->Button(CBehaviorDlg::kRefresh);
        for (int press = 0; press < 8; ++press) {
            window->EnableAll();
            QTest::mouseClick(refresh, Qt::LeftButton);
            QTest::qWait(40 * (press % 4));
            QVERIFY(list->List()->GetItemCount() <= 6);
        }
        QVERIFY(WaitUntil([&] { return OneRowPerCamera(list); }, 20000));
        window->messageDialog()->Close();

        // Filter on the address, then inverted, then off again.
        list->SetFilterField(FILTER_IP);
        list->FilterEdit()->setText(QStringLiteral("10.71."));
        list->ApplyButton()->click();
        QCOMPARE(list->List()->GetItemCount(), 2);
        list->InvertBox()->setChecked(true);
        list->ApplyButton()->click();
        QCOMPARE(list->List()->GetItemCount(), 4);
        QVERIFY(list->RowOfMac(kMacs[2]) >= 0);
        for (int language : guitest::kScreenshotLanguages) {
            window->ApplyLanguage(language);
            guitest::SaveScreenshot(window.get(), QStringLiteral("window_lab_filtered_") + guitest::LanguageTag(language));
        }
        window->ApplyLanguage(LANGUAGE_ENGLISH);
        list->FilterEdit()->clear();
        list->ApplyButton()->click();
        QVERIFY(OneRowPerCamera(list));

        // Two settings nobody confirms: Stubborn ignores its own, Fading falls silent.
        ApplySetting(window.get(), kMacs[5], "Renamed-2");
        QCOMPARE(lab.Exec("cam6", "ip link set eth0 down"), 0);
        // The watcher gives up on a setting after 60 s: stepped here, not waited for.
        window->WatchBusyCameras(ports.Now() + 61000);
        QVERIFY(WaitUntil([&] { return list->StatusOf(kMacs[5]) == STATUS_INDEX_NO_RESPONSE; }, 2000));
        CameraRecord fading{};
        QVERIFY(window->engine().CopyCamera(kMacs[5], &fading));
        QCOMPARE(fading.settingSince, 0u);  // it takes commands again
        QCOMPARE(list->List()->GetItemText(list->RowOfMac(kMacs[5]), 0), QStringLiteral("Fading"));
        ApplySetting(window.get(), kMacs[4], "Renamed-1");
        // Stubborn keeps answering with its old name; 25 s after the setting that fails it.
        QVERIFY(WaitUntil([&] { return list->StatusOf(kMacs[4]) == STATUS_INDEX_SETTING; }, 2000));
        QVERIFY(WaitUntil([&] { return list->StatusOf(kMacs[4]) == STATUS_INDEX_NO_RESPONSE; }, 40000));
        QCOMPARE(list->List()->GetItemText(list->RowOfMac(kMacs[4]), 0), QStringLiteral("Stubborn"));
        QCOMPARE(list->List()->GetItemText(list->RowOfMac(kMacs[4]), 9), UiText(20102));
        QCOMPARE(list->StatusOf(kMacs[5]), STATUS_INDEX_NO_RESPONSE);  // also after any late reply
        for (int language : guitest::kScreenshotLanguages) {
            window->ApplyLanguage(language);
            guitest::SaveScreenshot(window.get(), QStringLiteral("window_lab_no_response_") + guitest::LanguageTag(language));
        }
        window.reset();
    }
};

QTEST_MAIN(WindowLabTest)
#include "test_window_lab.moc"
