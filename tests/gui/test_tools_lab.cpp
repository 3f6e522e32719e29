// The window's tools against simulated cameras in a lab: the IP range search, the snapshot
// view and the firmware upgrade of six cameras (one failing) with a language switch in the
// middle, then the automatic IP assignment run twice.

#include <QListWidget>
#include <QRegularExpression>
#include <QTest>
#include <fstream>
#include <memory>
#include <set>

#include "GuiTestSupport.h"
#include "app/AutoSetIPDlg.h"
#include "app/BehaviorDlg.h"
#include "app/IPSearchDlg.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/SelCameraDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UpgradeDlg.h"
#include "app/ViewDlg.h"
#include "common/WindowTextIds.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/LiveEnginePorts.h"
#include "engine/CameraFilter.h"
#include "engine/TSmain.h"
#include "finder/LibIP.h"
#include "lab/LabSupport.h"

namespace {
using Window = CTarsel_NextGenerateDlg;
using guitest::WaitUntil;

constexpr int kLongWait = 180000;  // failure guard only

const char kToolsLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.62.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "U1", "mac": "02:1B:2C:62:00:01", "model": "TRL-D512", "ip": "10.62.0.11",
     "mask": "255.255.255.0", "rebootSilentMs": 2000,
     "web": {"stageMs": 1500, "rebootMs": 500, "uploadDelayMs": 1500}},
    {"lan": "a", "name": "U2", "mac": "02:1B:2C:62:00:02", "model": "TRL-D512", "ip": "10.62.0.12",
     "mask": "255.255.255.0", "rebootSilentMs": 2000,
     "web": {"stageMs": 1500, "rebootMs": 500, "uploadDelayMs": 1500}},
    {"lan": "a", "name": "U3", "mac": "02:1B:2C:62:00:03", "model": "TRL-D512", "ip": "10.62.0.13",
     "mask": "255.255.255.0", "rebootSilentMs": 2000,
     "web": {"stageMs": 1500, "rebootMs": 500, "uploadDelayMs": 1500}},
    {"lan": "a", "name": "U4", "mac": "02:1B:2C:62:00:04", "model": "TRL-D512", "ip": "10.62.0.14",
     "mask": "255.255.255.0", "rebootSilentMs": 2000,
     "web": {"stageMs": 1500, "rebootMs": 500, "uploadDelayMs": 1500}},
    {"lan": "a", "name": "U5", "mac": "02:1B:2C:62:00:05", "model": "TRL-D512", "ip": "10.62.0.15",
     "mask": "255.255.255.0", "rebootSilentMs": 2000,
     "web": {"stageMs": 1500, "rebootMs": 500, "uploadDelayMs": 1500}},
    {"lan": "a", "name": "Bad", "mac": "02:1B:2C:62:00:06", "model": "TRL-D512", "ip": "10.62.0.16",
     "mask": "255.255.255.0", "web": {"stageMs": 1500, "uploadDelayMs": 1500, "upgradeFails": true}},
    {"lan": "a", "name": "Quiet", "mac": "02:1B:2C:62:00:07", "model": "TRL-D512", "ip": "10.62.0.31",
     "mask": "255.255.255.0", "faults": {"neverAnswer": true}},
    {"lan": "a", "name": "Locked", "mac": "02:1B:2C:62:00:08", "model": "TRL-D512", "ip": "10.62.0.32",
     "mask": "255.255.255.0", "password": "other", "faults": {"neverAnswer": true}}
  ]
})";

const char kAutoIpLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.63.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "D1", "mac": "02:1B:2C:63:00:01", "ip": "10.63.0.31", "mode": "dhcp"},
    {"lan": "a", "name": "D2", "mac": "02:1B:2C:63:00:02", "ip": "10.63.0.32", "mode": "dhcp"},
    {"lan": "a", "name": "D3", "mac": "02:1B:2C:63:00:03", "ip": "10.63.0.33", "mode": "dhcp"},
    {"lan": "a", "name": "D4", "mac": "02:1B:2C:63:00:04", "ip": "10.63.0.34", "mode": "dhcp"}
  ]
})";

QString StatusOf(CTvListCtrl* list, const QString& mac) {
    const int row = list->FindRowByKey(mac);
    return row < 0 ? QString() : list->GetItemText(row, CTvListCtrl::kStatusColumn);
}

bool HasRow(CTvListCtrl* list, const QString& mac) { return list->FindRowByKey(mac) >= 0; }

// One main window inside the lab's host namespace, on the live network seam.
struct LabWindow {
    explicit LabWindow(const tarsel::lab::Lab& lab) : inHost(lab.Namespace("host")) {
        window = std::make_unique<Window>(ports);
        window->show();
    }
    // The search has found `cameras` and its message is gone (the window is usable again).
    bool Ready(int cameras) {
        return WaitUntil([&] { return MainList()->GetItemCount() == cameras && !window->messageDialog()->isVisible(); },
                         30000);
    }
    ~LabWindow() { window.reset(); }
    CTvListCtrl* MainList() const { return window->cameraList()->List(); }
    tarsel::lab::ScopedNamespace inHost;
    LiveEnginePorts ports;
    std::unique_ptr<Window> window;
};
}  // namespace

class ToolsLabTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void init() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    void RangeSearchSnapshotAndUpgrade();
    void AutomaticIpKeepsAddressesAcrossRuns();
};

void ToolsLabTest::RangeSearchSnapshotAndUpgrade() {
    guitest::PrivateConfig config("[SYSTEM]\nLanguage=ENGLISH\n");
    tarsel::lab::Lab lab(kToolsLab);
    QVERIFY2(lab.Ok(), lab.Error().c_str());
    LabWindow w(lab);
    Window* window = w.window.get();
    QVERIFY(w.Ready(6));

    // Range search: the camera that does not answer discovery joins the list as an HTTP
    // camera; the one refusing the password is listed as a failure only.
    CIPSearchDlg* search = window->ipSearch();
    window->commandBar()->onIpSearch(window);
    QVERIFY(search->isVisible());
    search->UserEdit()->setText("admin");
    search->PasswordEdit()->setText("admin");
    search->StartEdit()->setText("10.62.0.30");
    search->EndEdit()->setText("10.62.0.33");
    search->SearchButton()->click();
    QVERIFY(!search->SearchButton()->isEnabled() && search->StopButton()->isEnabled());
    QVERIFY(WaitUntil([&] { return search->SearchButton()->isEnabled(); }, kLongWait));
    QCOMPARE(search->StatusLabel()->text(), UiText(20112));
    QCOMPARE(search->FailureList()->count(), 1);
    QCOMPARE(search->FailureList()->item(0)->text(), QStringLiteral("10.62.0.32"));
    QVERIFY(WaitUntil([&] { return HasRow(w.MainList(), "02:1B:2C:62:00:07"); }, 5000));
    QVERIFY(!HasRow(w.MainList(), "02:1B:2C:62:00:08"));
    CameraRecord quiet{};
    QVERIFY(window->engine().CopyCamera("02:1B:2C:62:00:07", &quiet));
    QCOMPARE(quiet.viaHttp, 1u);
    search->CloseButton()->click();
    QVERIFY(!search->isVisible() && search->FailureList()->count() == 0);

    // Verification from the upgrade page stores the credentials of every camera.
    window->ShowUpgradeLayout();
    CUpgradeDlg* upgrade = window->upgradeDialog();
    upgrade->UserEdit()->setText("admin");
    upgrade->PasswordEdit()->setText("admin");
    upgrade->VerifyButton()->click();
    QVERIFY(WaitUntil([&] {
        for (const CameraRecord& r : window->engine().CopyCameras())
            if (r.credentialsStored == 0 && r.viaHttp == 0) return false;
        return true;
    }, 60000));

    // Snapshot view: the selected verified camera's picture; cleared on another selection.
    window->ShowListLayout();
    window->OnCameraSelected("02:1B:2C:62:00:01");
    CViewDlg* view = window->snapshotView();
    QVERIFY(WaitUntil([&] { return !view->Picture().isNull(); }, 30000));
    QCOMPARE(view->Picture().size(), QSize(300, 225));
    window->ResetPanels();
    QVERIFY(!view->Active() && view->Picture().isNull());

    // Six cameras at once: at most five uploading, progress in both lists, a language
    // switch under way, Remove refused while running, the failing camera "FW Upgrade Fail".
    window->ShowUpgradeLayout();
    const QString firmware = QStringLiteral(TARSEL_BINARY_DIR "/tarsel.fw.2.1.11.0.tar");
    std::ofstream(firmware.toStdString(), std::ios::binary) << std::string(300000, 'F');
    QVERIFY(upgrade->ChooseFirmware(firmware));
    upgrade->ToggleCameraSelection();
    CSelCameraDlg* selection = upgrade->Selection();
    QVERIFY(selection->isVisible());
    QCOMPARE(selection->List()->GetItemCount(), 7);  // Quiet, verified over HTTP, too
    SetAskOkCancelObserver([](MessageOKCancelDlg* dialog) { dialog->OkButton()->click(); });
    for (int row = 0; row < selection->List()->GetItemCount(); ++row)
        selection->List()->SetCheck(row, selection->List()->GetItemText(row, 1) != "02:1B:2C:62:00:07");
    selection->UpgradeButton()->click();
    SetAskOkCancelObserver(nullptr);
    QVERIFY(!selection->isVisible());
    QCOMPARE(upgrade->List()->GetItemCount(), 6);

    int most = 0;
    bool mirrored = false, switched = false, refused = false;
    QVERIFY(WaitUntil([&] {
        most = std::max(most, upgrade->Proc().ActiveUploads());
        const QString page = StatusOf(upgrade->List(), "02:1B:2C:62:00:01");
        if (page.endsWith('%') && page == StatusOf(w.MainList(), "02:1B:2C:62:00:01")) mirrored = true;
        if (!refused && upgrade->AnyRunning()) {
            upgrade->List()->SetCheck(0, 1);
            upgrade->RemoveTicked();
            refused = upgrade->ItemCount() == 6 && window->resultBox()->isVisible();
            if (refused) window->resultBox()->OkButton()->click();
            upgrade->List()->SetCheck(0, 0);
        }
        if (!switched && page.endsWith('%') && page.chopped(1).toInt() >= 10) {
            window->ApplyLanguage(LANGUAGE_POLISH);
            switched = true;
        }
        return !upgrade->AnyRunning();
    }, kLongWait));
    QCOMPARE(most, CUpgradeDlg::kMaxUploads);
    QVERIFY(mirrored);
    QVERIFY(switched);
    QVERIFY(refused);
    QCOMPARE(currentLanguage.load(), LANGUAGE_POLISH);
    // Both lists end alike (the last reports reach the window after the workers ended): in
    // words, the page with the new firmware, and the page counts.
    QVERIFY(WaitUntil([&] {
        for (CTvListCtrl* list : {upgrade->List(), w.MainList()}) {
            for (int i = 1; i <= 5; ++i)
                if (!StatusOf(list, QStringLiteral("02:1B:2C:62:00:0%1").arg(i)).startsWith(UiText(kTextUpgraded))) return false;
            if (StatusOf(list, "02:1B:2C:62:00:06") != UiText(20084)) return false;  // in Polish
        }
        return true;
    }, 10000));
    QCOMPARE(upgrade->List()->GetColumnTitle(0), UiText(20040));
    QCOMPARE(upgrade->SummaryLabel()->text(), UiText(kTextUpgradeSummary).arg(5).arg(1).arg(0));

    // Finished rows go once their workers returned (under ASan this frees the items).
    QVERIFY(WaitUntil([&] {
        if (window->resultBox()->isVisible()) window->resultBox()->OkButton()->click();  // "busy" stays until OK
        upgrade->SelectAllBox()->click();
        if (!upgrade->SelectAllBox()->isChecked()) upgrade->SelectAllBox()->click();
        upgrade->RemoveTicked();
        return upgrade->ItemCount() == 0;
    }, 30000));
    QCOMPARE(upgrade->List()->GetItemCount(), 0);
}

void ToolsLabTest::AutomaticIpKeepsAddressesAcrossRuns() {
    guitest::PrivateConfig config("[SYSTEM]\nLanguage=CHINESE_TRADITIONAL\n");
    std::map<QString, QString> first;
    for (int run = 0; run < 2; ++run) {
        tarsel::lab::Lab lab(kAutoIpLab);
        QVERIFY2(lab.Ok(), lab.Error().c_str());
        LabWindow w(lab);
        Window* window = w.window.get();
        QVERIFY(w.Ready(4));
        window->ShowAutoIpLayout();
        CAutoSetIPDlg* page = window->autoIpDialog();
        // Opening chose the lab adapter's first address: the range is filled in already.
        QCOMPARE(page->StartEdit()->text(), QStringLiteral("10.63.0.1"));
        page->StartEdit()->setText("10.63.0.100");
        page->EndEdit()->setText("10.63.0.120");
        page->UserEdit()->setText("admin");
        page->PasswordEdit()->setText("admin");
        // The second run while a filter hides three of the cameras: the run ends all the same.
        if (run == 1) window->cameraList()->ApplyFilter(FILTER_NAME, QStringLiteral("D1"), false);
        QCOMPARE(page->SetIp(), 0);
        // The count shows with Stop while it runs, and the final count with OK: all assigned.
        CMessageOKDlg* count = window->resultBox();
        QVERIFY(count->isVisible() && window->engine().AutoIpRunning());
        QCOMPARE(count->OkButton()->text(), UiText(kTextStop));
        QVERIFY(WaitUntil([&] {
            return !window->engine().AutoIpRunning() && count->OkButton()->text() == UiText(20012);
        }, kLongWait));
        const QStringList numbers = count->Line(0)->text().split(QRegularExpression(QStringLiteral("\\D+")), Qt::SkipEmptyParts);
        QVERIFY(numbers.size() == 2 && numbers[0] == numbers[1] && numbers[0].toInt() > 0);
        count->OkButton()->click();
        if (run == 1) {
            QCOMPARE(w.MainList()->GetItemCount(), 1);
            window->cameraList()->ApplyFilter(FILTER_NAME, QString(), false);
        }
        std::set<QString> addresses;
        for (int row = 0; row < w.MainList()->GetItemCount(); ++row) {
            const QString mac = w.MainList()->GetItemText(row, 1);
            const QString ip = w.MainList()->GetItemText(row, 2);
            quint64 value = 0;
            QVERIFY(UiAddressValue(ip, &value));
            QVERIFY2(value >= IpTextToValue("10.63.0.100") && value <= IpTextToValue("10.63.0.120"),
                     qPrintable(mac + " " + ip));
            addresses.insert(ip);
            if (run == 0) first[mac] = ip;
            else QCOMPARE(ip, first[mac]);
        }
        QCOMPARE(addresses.size(), size_t{4});
    }
}

QTEST_MAIN(ToolsLabTest)
#include "test_tools_lab.moc"
