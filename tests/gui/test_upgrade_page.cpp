// The upgrade page and the window around it, on a stand-in for the network: "Remove" acts
// on the row it was opened on, the camera selection starts afresh and says why it is
// empty, and closing while upgrades or an automatic assignment run asks first.

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "FakeWindow.h"
#include "app/MessageOKDlg.h"
#include "app/SelCameraDlg.h"
#include "app/UpgradeDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/TvListCtrl.h"
#include "common/WindowTextIds.h"
#include "controls/UiText.h"
#include "engine/TSmain.h"

namespace {
const char kFitting[] = "tarsel.fw.2.1.3.0.tar";  // the stand-in's model, "TRL-C100"

CameraRecord Verified(const char* name, const char* mac) {
    CameraRecord r{};
    CopyTruncated(r.name, name);
    CopyTruncated(r.mac, mac);
    CopyTruncated(r.ip, "127.0.0.1");
    r.credentialsStored = 1;
    return r;
}

QStringList g_asked;  // the last close question's lines
bool g_answerOk = false;
void Answer(MessageOKCancelDlg* d) {
    g_asked = {d->Line(0)->text(), d->Line(1)->text(), d->Line(2)->text()};
    (g_answerOk ? d->OkButton() : d->CancelButton())->click();
}
}  // namespace

class UpgradePageTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void removeMenuActsOnTheRowItWasOpenedOn() {
        guitest::FakeWindow f;
        CUpgradeDlg* page = f.window->upgradeDialog();
        f.window->ShowUpgradeLayout();
        // A file that cannot be read: both upgrades fail at once and their rows stay.
        QVERIFY(page->ChooseFirmware(QStringLiteral("/nonexistent/") + kFitting));
        page->AddAndStart(Verified("Reception", "00:1B:2C:00:00:21"));
        page->AddAndStart(Verified("Yard", "00:1B:2C:00:00:22"));
        page->Proc().WaitForWorkers();
        CTvListCtrl* rows = page->List();
        rows->SetCheck(0, 1);  // Reception ticked, the menu opened on Yard
        QTest::mouseClick(rows->viewport(), Qt::RightButton, {}, rows->CellRect(1, 0).center());
        CTvListBox* menu = page->RemoveMenu()->List();
        QCOMPARE(menu->GetText(0), UiText(20131));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->ItemRect(0).center());
        QCOMPARE(rows->GetItemCount(), 1);
        QCOMPARE(rows->GetItemText(0, 0), QStringLiteral("Reception"));
    }

    void selectionStartsAfreshAndSaysWhyItIsEmpty() {
        guitest::FakeWindow f;
        const char* macs[2] = {"00:1B:2C:00:00:31", "00:1B:2C:00:00:32"};
        for (const char* mac : macs) f.ports.Deliver(MakeReply(HEADER_IP_QUERY, mac, "10.0.0.9", "manual"));
        QVERIFY(guitest::WaitUntil([&] { return f.window->cameraList()->Model()->rowCount() == 2; }, 5000));
        CUpgradeDlg* page = f.window->upgradeDialog();
        CSelCameraDlg* selection = page->Selection();
        CTvListCtrl* rows = selection->List();
        QVERIFY(page->ChooseFirmware(kFitting));
        page->ToggleCameraSelection();
        QCOMPARE(selection->EmptyNote(), UiText(20003));  // they fit, but are not verified
        page->ToggleCameraSelection();
        for (const char* mac : macs) f.window->StoreCredentials("10.0.0.9", mac, "admin", "admin");
        // Select All, closed, opened again: one click ticks everything again.
        for (int round = 0; round < 2; ++round) {
            page->ToggleCameraSelection();
            QCOMPARE(rows->GetItemCount(), 2);
            QVERIFY(!rows->IsChecked(0));
            selection->SelectAllButton()->click();
            QVERIFY(rows->IsChecked(0) && rows->IsChecked(1));
            selection->CancelButton()->click();
        }
        QVERIFY(page->ChooseFirmware(QStringLiteral("tarsel.fw.2.1.11.0.tar")));
        page->ToggleCameraSelection();
        QCOMPARE(selection->EmptyNote(), UiText(20137) + QLatin1Char('\n') + UiText(kTextFirmwareNameHint));  // the name is what is matched
    }

    void closingWhileCamerasAreBusyAsksFirst() {
        SetAskOkCancelObserver(&Answer);
        auto f = std::make_unique<guitest::FakeWindow>(1);  // an assignment runs for seconds
        CTarsel_NextGenerateDlg* window = f->window.get();
        window->engine().GoAuotSetIPProc("admin", "admin", AutoIpSettings{});
        g_answerOk = false;
        QVERIFY(!window->close());
        QCOMPARE(g_asked, QStringList({UiText(20133), UiText(20134), QString()}));

        // An upgrade waiting for an upload slot (none ever comes free here) as well.
        QTemporaryDir folder;
        std::ofstream(folder.filePath(kFitting).toStdString()) << "image";
        CUpgradeDlg* page = window->upgradeDialog();
        QVERIFY(page->ChooseFirmware(folder.filePath(kFitting)));
        page->Proc().maxUploads = -1;
        page->AddAndStart(Verified("Reception", "00:1B:2C:00:00:41"));
        QVERIFY(!window->close());
        QCOMPARE(g_asked, QStringList({UiText(20132), UiText(20133), UiText(20134)}));

        g_answerOk = true;  // closing anyway ends everything promptly
        QVERIFY(window->close());
        QElapsedTimer ending;
        ending.start();
        f.reset();
        QVERIFY(ending.elapsed() < 5000);
        SetAskOkCancelObserver(nullptr);
    }
};

QTEST_MAIN(UpgradePageTest)
#include "test_upgrade_page.moc"
