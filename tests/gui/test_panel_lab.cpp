// The camera panel and the command flows against simulated cameras in a lab, driven as a
// user would: choosing a camera asks for its credentials, a wrong password is refused and
// the right one accepted, a renamed and re-addressed camera shows "Setting" until its
// answers carry the new values, a reboot of two checked cameras of which one is not
// verified is refused before anything is sent, and verifying all counts passes and fails.

#include <QTest>
#include <QToolButton>
#include <memory>

#include "GuiTestSupport.h"
#include "app/AlartDlg.h"
#include "app/AuthDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CombineDlg.h"
#include "app/DefaultDlg.h"
#include "app/InfoDlg.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UnauthDlg.h"
#include "common/WindowTextIds.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/LiveEnginePorts.h"
#include "lab/LabSupport.h"

namespace {
using guitest::WaitUntil;
constexpr int kLongWait = 60000;  // failure guard only

const char kLab[] = R"({
  "host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.64.0.1/24"}]},
  "cameras": [
    {"lan": "a", "name": "Lobby", "mac": "02:1B:2C:64:00:01", "ip": "10.64.0.11", "mode": "manual"},
    {"lan": "a", "name": "Door", "mac": "02:1B:2C:64:00:02", "ip": "10.64.0.12", "mode": "manual"},
    {"lan": "a", "name": "Yard", "mac": "02:1B:2C:64:00:03", "ip": "10.64.0.13", "password": "other"}]
})";
const char kLobby[] = "02:1B:2C:64:00:01";
const char kDoor[] = "02:1B:2C:64:00:02";
const char kYard[] = "02:1B:2C:64:00:03";
}  // namespace

class PanelLabTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void panelAndCommandsOnSimulatedCameras() {
        guitest::UseLanguage(LANGUAGE_ENGLISH);
        guitest::PrivateConfig config("[SYSTEM]\nLanguage=ENGLISH\n");
        tarsel::lab::Lab lab(kLab);
        QVERIFY2(lab.Ok(), lab.Error().c_str());
        tarsel::lab::ScopedNamespace inHost(lab.Namespace("host"));
        QVERIFY(inHost.Ok());
        LiveEnginePorts ports;
        auto window = std::make_unique<CTarsel_NextGenerateDlg>(ports);
        window->show();
        CListDlg* list = window->cameraList();
        CTvListCtrl* rows = list->List();
        CMessageDlg* message = window->messageDialog();
        QVERIFY(WaitUntil([&] { return rows->GetItemCount() == 3 && !message->isVisible(); }, kLongWait));
        CMessageOKDlg* failure = window->resultBox();
        auto shown = [&](int id) { return failure->isVisible() && failure->Line(1)->text() == UiText(id); };

        // Choosing a camera that is not verified asks for its credentials.
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->CellRect(list->RowOfMac(kLobby), 1).center());
        CCombineDlg* panel = window->cameraPanel();
        QCOMPARE(panel->Info()->Mac(), std::string(kLobby));
        QVERIFY(panel->Login()->isVisible() && !panel->Info()->NameEdit()->isEnabled());

        // A wrong password is refused; the right one opens the settings.
        QTest::keyClicks(panel->Login()->UserEdit(), QStringLiteral("admin"));
        QTest::keyClicks(panel->Login()->PasswordEdit(), QStringLiteral("wrong"));
        QTest::mouseClick(panel->Login()->VerifyButton(), Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return shown(20004); }, kLongWait));
        QVERIFY(failure->Line(0)->text().endsWith(QStringLiteral("(%1)").arg(QLatin1String(kLobby))));
        QVERIFY(!window->IsCameraVerified(kLobby));
        failure->OkButton()->click();
        panel->Login()->PasswordEdit()->setText(QStringLiteral("admin"));
        QTest::mouseClick(panel->Login()->VerifyButton(), Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return panel->Auth()->isVisible(); }, kLongWait));
        QVERIFY(window->IsCameraVerified(kLobby));
        QVERIFY(WaitUntil([&] { return list->StatusOf(kLobby) == 1; }, 1000));
        QVERIFY(panel->Info()->IpEdit()->isEnabled());

        // Rename and re-address: "Setting" until the camera answers with the new values.
        panel->Info()->NameEdit()->setText(QStringLiteral("Lobby East"));
        panel->Info()->IpEdit()->setText(QStringLiteral("10.64.0.21"));
        QTest::mouseClick(panel->Auth()->SaveButton(), Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return list->StatusOf(kLobby) == 2; }, 1000));
        QCOMPARE(rows->GetItemText(list->RowOfMac(kLobby), CTvListCtrl::kStatusColumn), QStringLiteral("Setting"));
        QVERIFY(WaitUntil([&] { return list->StatusOf(kLobby) == 1; }, kLongWait));
        const int lobby = list->RowOfMac(kLobby);
        QCOMPARE(rows->GetItemText(lobby, 0), QStringLiteral("Lobby East"));
        QCOMPARE(rows->GetItemText(lobby, 2), QStringLiteral("10.64.0.21"));
        QCOMPARE(rows->GetItemText(lobby, CTvListCtrl::kStatusColumn), QStringLiteral("View"));
        QVERIFY(WaitUntil([&] { return !message->isVisible(); }, kLongWait));

        // Reboot with two checked rows, one of them not verified: refused, nothing sent.
        rows->SetCheck(list->RowOfMac(kLobby), 1);
        rows->SetCheck(list->RowOfMac(kDoor), 1);
        window->UpdateCommandBar();
        QToolButton* initialize = window->commandBar()->Button(CBehaviorDlg::kInitialize);
        QVERIFY(initialize->isEnabled());
        QTest::mouseClick(initialize, Qt::LeftButton);
        CDefaultDlg* chooser = window->initialiseChooser();
        QVERIFY(chooser->isVisible());
        QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->ItemRect(0).center());
        QVERIFY(failure->isVisible());
        QCOMPARE(failure->Line(0)->text(), UiText(20002));
        QVERIFY(!window->alertDialog()->isVisible());
        QCOMPARE(list->StatusOf(kLobby), 1);
        QVERIFY(window->IsCameraVerified(kLobby));
        failure->OkButton()->click();
        rows->SetAllChecks(0);

        // Verify all: every listed camera not yet verified, counted in the result box.
        window->VerifyAll("admin", "admin");
        CMessageOKDlg* result = window->resultBox();
        QVERIFY(result->isVisible());
        QVERIFY(WaitUntil([&] { return result->OkButton()->text() == UiText(20012); }, kLongWait));
        QCOMPARE(result->Line(0)->text(), UiText(20067) + QStringLiteral(": 2"));
        QCOMPARE(result->Line(1)->text(), QStringLiteral("%1: 1   %2: 1   %3: 0")
                                              .arg(UiText(20068), UiText(kTextRefused), UiText(kTextNoAnswer)));
        QVERIFY(result->Line(2)->text().contains(QLatin1String(kYard)));
        QVERIFY(WaitUntil([&] { return list->StatusOf(kDoor) == 1 && list->StatusOf(kYard) == 7; }, kLongWait));
        QVERIFY(window->IsCameraVerified(kDoor) && !window->IsCameraVerified(kYard));
        QTest::mouseClick(result->OkButton(), Qt::LeftButton);
        QVERIFY(!result->isVisible() && window->cameraPanel()->isEnabled());
        window.reset();
    }
};

QTEST_MAIN(PanelLabTest)
#include "test_panel_lab.moc"
