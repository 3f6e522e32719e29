// The upgrade page and the window around it, on a stand-in for the network: the "Remove"
// menu acts on the row it was opened on, the camera selection starts afresh each time it
// opens and says why it is empty, and closing the window while upgrades or an automatic
// assignment run asks first.

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/MessageOKDlg.h"
#include "app/SelCameraDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UpgradeDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/TSmain.h"

namespace {
// Fits the model of the stand-in's cameras (group of "TRL-C100"); the other fits none.
const char kFitting[] = "tarsel.fw.2.1.3.0.tar";
const char kFitsNone[] = "tarsel.fw.2.1.11.0.tar";

CameraRecord Verified(const char* name, const char* mac) {
    CameraRecord r{};
    CopyTruncated(r.name, name);
    CopyTruncated(r.mac, mac);
    CopyTruncated(r.ip, "127.0.0.1");
    CopyTruncated(r.httpPort, "9");
    CopyTruncated(r.user, "admin");
    CopyTruncated(r.password, "admin");
    r.credentialsStored = 1;
    return r;
}

// What the last close question showed, and how it is answered.
QStringList g_asked;
bool g_answerOk = false;
void AnswerQuestion(MessageOKCancelDlg* dialog) {
    g_asked = {dialog->Line(0)->text(), dialog->Line(1)->text(), dialog->Line(2)->text()};
    (g_answerOk ? dialog->OkButton() : dialog->CancelButton())->click();
}

// The window with a clock in real time: an automatic assignment then runs for seconds.
struct RealTimeWindow {
    FakePorts ports{1};
    std::unique_ptr<CTarsel_NextGenerateDlg> window;
    RealTimeWindow() {
        currentLanguage.store(-1);
        window = std::make_unique<CTarsel_NextGenerateDlg>(ports);
        window->show();
        guitest::WaitUntil([&] { return ports.receiversCreated >= 2; }, 5000);
        window->messageDialog()->Close();
    }
};
}  // namespace

class UpgradePageTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void removeMenuActsOnTheRowItWasOpenedOn() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        f.window->ShowUpgradeLayout();
        CUpgradeDlg* page = f.window->upgradeDialog();
        // A file that cannot be read: both upgrades end failed at once, their rows stay.
        QVERIFY(page->ChooseFirmware(QStringLiteral("/nonexistent/") + kFitting));
        page->AddAndStart(Verified("Reception", "00:1B:2C:00:00:21"));
        page->AddAndStart(Verified("Yard", "00:1B:2C:00:00:22"));
        page->Proc().WaitForWorkers();
        QVERIFY(guitest::WaitUntil([&] { return !page->AnyRunning(); }, 5000));
        CTvListCtrl* rows = page->List();
        QCOMPARE(rows->GetItemCount(), 2);

        // Reception ticked, the menu opened on Yard: Remove takes Yard only.
        rows->SetCheck(0, 1);
        QTest::mouseClick(rows->viewport(), Qt::RightButton, {}, rows->CellRect(1, 0).center());
        QVERIFY(page->RemoveMenu()->isVisible());
        QCOMPARE(page->MenuRowMac(), QStringLiteral("00:1B:2C:00:00:22"));
        CTvListBox* menu = page->RemoveMenu()->List();
        QCOMPARE(menu->GetText(0), UiText(20131));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->ItemRect(0).center());
        QCOMPARE(rows->GetItemCount(), 1);
        QCOMPARE(rows->GetItemText(0, 0), QStringLiteral("Reception"));
        QCOMPARE(page->ItemCount(), size_t{1});
    }

    void selectionStartsAfreshAndSaysWhyItIsEmpty() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        const char* macs[3] = {"00:1B:2C:00:00:31", "00:1B:2C:00:00:32", "00:1B:2C:00:00:33"};
        const char* ips[3] = {"192.168.1.31", "192.168.1.32", "192.168.1.33"};
        for (int i = 0; i < 3; ++i)
            f.ports.Deliver(MakeReply(HEADER_IP_QUERY, macs[i], ips[i], "manual"));
        QVERIFY(guitest::WaitUntil([&] { return f.window->ListCount() == 3; }, 5000));
        f.window->ShowUpgradeLayout();
        CUpgradeDlg* page = f.window->upgradeDialog();
        CSelCameraDlg* selection = page->Selection();
        QVERIFY(page->ChooseFirmware(kFitting));

        // Fitting cameras, none verified: the empty list asks for verification first.
        page->ToggleCameraSelection();
        QCOMPARE(selection->List()->GetItemCount(), 0);
        QCOMPARE(selection->EmptyNote(), UiText(20003));
        page->ToggleCameraSelection();

        for (int i = 0; i < 3; ++i)
            f.window->StoreCredentials(ips[i], macs[i], "admin", "admin");
        page->ToggleCameraSelection();
        QVERIFY(selection->EmptyNote().isEmpty());
        CTvListCtrl* rows = selection->List();
        QCOMPARE(rows->GetItemCount(), 3);
        const auto allChecked = [rows] {
            for (int row = 0; row < rows->GetItemCount(); ++row)
                if (!rows->IsChecked(row))
                    return false;
            return true;
        };
        selection->SelectAllButton()->click();
        QVERIFY(allChecked());
        // Closed and opened again: the list is new, and one click ticks it all again.
        selection->CancelButton()->click();
        QVERIFY(selection->isHidden());
        page->ToggleCameraSelection();
        QVERIFY(!rows->IsChecked(0));
        selection->SelectAllButton()->click();
        QVERIFY(allChecked());
        page->ToggleCameraSelection();

        // A firmware that no listed camera takes says so.
        QVERIFY(page->ChooseFirmware(kFitsNone));
        page->ToggleCameraSelection();
        QCOMPARE(rows->GetItemCount(), 0);
        QCOMPARE(selection->EmptyNote(), UiText(20137));
    }

    void closingWhileCamerasAreBusyAsksFirst() {
        guitest::PrivateConfig config("");
        SetAskOkCancelObserver(&AnswerQuestion);
        auto w = std::make_unique<RealTimeWindow>();
        CTarsel_NextGenerateDlg* window = w->window.get();

        // An automatic assignment under way (it runs for seconds on this clock).
        window->engine().GoAuotSetIPProc("admin", "admin", AutoIpSettings{});
        g_asked.clear();
        g_answerOk = false;
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(g_asked, QStringList({UiText(20133), UiText(20134), QString()}));

        // And an upgrade waiting for its upload: no slot ever comes free here.
        QTemporaryDir folder;
        const QString firmware = folder.filePath(kFitting);
        std::ofstream(firmware.toStdString()) << "image";
        CUpgradeDlg* page = window->upgradeDialog();
        QVERIFY(page->ChooseFirmware(firmware));
        page->Proc().maxUploads = -1;
        page->AddAndStart(Verified("Reception", "00:1B:2C:00:00:41"));
        QVERIFY(page->AnyRunning());
        g_asked.clear();
        QVERIFY(!window->close());
        QCOMPARE(g_asked, QStringList({UiText(20132), UiText(20133), UiText(20134)}));

        // Closing anyway ends everything promptly.
        g_answerOk = true;
        QVERIFY(window->close());
        QVERIFY(window->isHidden());
        QElapsedTimer ending;
        ending.start();
        w.reset();
        QVERIFY2(ending.elapsed() < 5000, qPrintable(QString::number(ending.elapsed())));
        SetAskOkCancelObserver(nullptr);
    }
};

QTEST_MAIN(UpgradePageTest)
#include "test_upgrade_page.moc"
