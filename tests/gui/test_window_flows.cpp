// The window's command flows against a stand-in for the network: a verification's answer
// belongs to the camera asked about and silence is reported as silence, Save refuses what
// would split the settings, a command with nothing to command sends nothing and its
// question names the cameras it goes to, a camera's page opens only for a dotted address
// and a port, and the range search counts as it goes and refuses a range too large.

#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <memory>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/AlartDlg.h"
#include "app/AuthDlg.h"
#include "app/CombineDlg.h"
#include "app/IPSearchDlg.h"
#include "app/InfoDlg.h"
#include "app/ListDlg.h"
#include "app/LoginVerifier.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UnauthDlg.h"
#include "common/WindowTextIds.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"

namespace {
size_t AuthRequests(const std::vector<SentPacket>& sent) {
    return static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [](auto& p) { return p.type == HEADER_IP_AUTHENTICATE; }));
}
const char kA[] = "00:1B:2C:00:00:0A";
const char kB[] = "00:1B:2C:00:00:0B";

struct Fixture : guitest::FakeWindow {
    QStringList opened;
    Fixture() {
        window->openUrl = [this](const QUrl& url) {
            opened << url.toString();
            return true;
        };
        ports.Deliver(MakeReply(HEADER_IP_QUERY, kA, "192.168.1.10", "manual"));
        ports.Deliver(MakeReply(HEADER_IP_QUERY, kB, "192.168.1.11", "manual"));
        guitest::WaitUntil([&] { return window->cameraList()->Model()->rowCount() == 2; }, 5000);
        Dismiss();
    }
    void Dismiss() {
        window->messageDialog()->Close();
        if (window->resultBox()->isVisible()) window->resultBox()->OkButton()->click();
    }
    // A failure stays on screen until OK: its lines, one per line.
    QString Message() const {
        CMessageOKDlg* box = window->resultBox();
        QStringList lines;
        for (int i = 0; i < 3 && box->isVisible(); ++i)
            if (!box->Line(i)->text().isEmpty()) lines << box->Line(i)->text();
        return lines.join(QLatin1Char('\n'));
    }
    void Verify(const char* mac, const char* password) {
        window->OnCameraSelected(mac);
        UnauthDlg* login = window->cameraPanel()->Login();
        login->UserEdit()->setText(QStringLiteral("admin"));
        login->PasswordEdit()->setText(QString::fromLatin1(password));
        QTest::mouseClick(login->VerifyButton(), Qt::LeftButton);
    }
};
}  // namespace

class WindowFlowsTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void verificationAnswersTheCameraAskedAbout() {
        guitest::PrivateConfig config("");
        Fixture f;
        f.Verify(kA, "admin");
        // The work shows at once: Verify off and the prompt says so, Cancel stays on.
        UnauthDlg* login = f.window->cameraPanel()->Login();
        QVERIFY(login->Busy() && !login->VerifyButton()->isEnabled() && login->CancelButton()->isEnabled());
        QVERIFY(f.ports.WaitSent([](auto& s) { return !s.empty() && s.back().type == HEADER_IP_AUTHENTICATE; }));
        // The user moves on to another camera before A answers: B's panel is not busy.
        f.window->OnCameraSelected(kB);
        QVERIFY(!login->Busy() && login->VerifyButton()->isEnabled());
        f.ports.Deliver(MakeAuthReply(kA, "admin", "admin"));
        QVERIFY(guitest::WaitUntil([&] { return f.window->IsCameraVerified(kA); }, 5000));
        QCOMPARE(f.window->cameraList()->StatusOf(kA), 1);
        QCOMPARE(f.window->cameraPanel()->Info()->Mac(), std::string(kB));
        QVERIFY(f.window->cameraPanel()->Login()->isVisible());

        // No answer at all: said so after the time-out (not "wrong password"), naming the
        // camera, until OK; what was typed stays for the next try, and an answer that comes
        // after it is not taken.
        f.window->verifier()->SetTimeoutMs(300);
        f.Verify(kB, "secret");
        const QString silentB = QStringLiteral("Cam-00:0B (%1)\n").arg(QLatin1String(kB)) + UiText(20130);
        QVERIFY(guitest::WaitUntil([&] { return f.Message() == silentB; }, 5000));
        QTest::qWait(200);
        QCOMPARE(f.Message(), silentB);
        QVERIFY(!login->Busy());
        QVERIFY(!f.window->verifier()->Pending());
        QCOMPARE(f.window->cameraPanel()->Login()->UserEdit()->text(), QStringLiteral("admin"));
        QCOMPARE(f.window->cameraPanel()->Login()->PasswordEdit()->text(),
                 QStringLiteral("secret"));
        f.ports.Deliver(MakeAuthReply(kB, "admin", "admin"));
        QTest::qWait(100);
        QVERIFY(!f.window->IsCameraVerified(kB));

        f.Dismiss();  // a late refusal for B names B and leaves A's panel as it is
        f.window->verifier()->SetTimeoutMs(5000);
        const size_t asked = f.ports.CountSent(HEADER_IP_AUTHENTICATE, kB);
        f.Verify(kB, "wrong");
        f.window->OnCameraSelected(kA);
        // The answer comes after the question has gone out, as a camera's would.
        QVERIFY(guitest::WaitUntil([&] { return f.ports.CountSent(HEADER_IP_AUTHENTICATE, kB) > asked; }, 5000));
        f.ports.Deliver(MakeAuthReply(kB, "admin", "right"));
        QVERIFY(guitest::WaitUntil([&] { return f.Message().startsWith(QStringLiteral("Cam-00:0B")); }, 5000));
        QCOMPARE(f.window->cameraPanel()->Info()->Mac(), std::string(kA));
        QVERIFY(f.window->cameraPanel()->Auth()->isVisible());  // A stays verified and shown
    }

    void verifyAllCountsNamesAndStops() {
        guitest::PrivateConfig config("");
        Fixture f;
        f.window->VerifyAll("admin", "admin");
        CMessageOKDlg* box = f.window->resultBox();
        QCOMPARE(box->OkButton()->text(), UiText(kTextStop));
        QVERIFY(f.ports.WaitSent([](auto& s) { return AuthRequests(s) == 2; }));
        f.ports.Deliver(MakeAuthReply(kA, "admin", "admin"));  // B stays silent
        QVERIFY(guitest::WaitUntil([&] { return box->OkButton()->text() == UiText(20012); }, 10000));
        QCOMPARE(box->Line(1)->text(), QStringLiteral("%1: 1   %2: 0   %3: 1")
                                           .arg(UiText(20068), UiText(kTextRefused), UiText(kTextNoAnswer)));
        QCOMPARE(box->Line(2)->text(), UiText(kTextNotPassed).replace(QStringLiteral("%1"),
                                                                     QStringLiteral("Cam-00:0B (%1)").arg(QLatin1String(kB))));
        box->OkButton()->click();  // then Stop ends a batch under way; the count comes back
        f.window->VerifyAll("admin", "other");
        box->OkButton()->click();
        QVERIFY(!box->isVisible());
        QVERIFY(guitest::WaitUntil([&] { return box->isVisible() && box->OkButton()->text() == UiText(20012); }, 3000));
        QCOMPARE(f.window->engine().Mode(), MODE_SEARCH);
    }

    void saveCommandsAndPagesRefuseWhatIsUnsound() {
        guitest::PrivateConfig config("");
        Fixture f;
        // Nothing checked or selected: no question, nothing sent, and a confirmation that
        // finds nothing says so instead of announcing a reboot.
        f.window->PrepareCommand("REBOOT");
        QCOMPARE(f.Message(), UiText(20007));
        QVERIFY(!f.window->alertDialog()->isVisible());
        f.Dismiss();
        f.window->ConfirmCommand("REBOOT");
        QCOMPARE(f.Message(), UiText(20007));
        QCOMPARE(f.ports.CountSent(HEADER_SYSTEM_COMMAND, kA), 0u);

        // Pages: only a dotted address and a port are opened.
        f.window->OnOpenWebsite("192.168.1.10", "8080", kA);
        f.window->OnOpenWebsite("192.168.1.10", "80 --new-window", kA);
        f.window->OnOpenWebsite("camera.example", "80", kA);
        QCOMPARE(f.opened, QStringList({QStringLiteral("http://192.168.1.10:8080")}));
        QCOMPARE(f.Message(), UiText(20120));

        // Save: a name that would split the settings is refused before anything goes out.
        f.Dismiss();
        f.window->OnCameraSelected(kA);
        f.window->StoreCredentials("192.168.1.10", kA, "admin", "admin");
        CInfoDlg* info = f.window->cameraPanel()->Info();
        QVERIFY(info->NameEdit()->isEnabled());
        info->NameEdit()->setText(QStringLiteral("Hall&network.web.http_port=1"));
        QTest::mouseClick(f.window->cameraPanel()->Auth()->SaveButton(), Qt::LeftButton);
        QCOMPARE(f.window->resultBox()->Line(0)->text(), UiText(20113));
        QCOMPARE(f.ports.CountSent(HEADER_IP_SET, kA), 0u);
        QVERIFY(guitest::WaitUntil([&] { return f.window->cameraList()->StatusOf(kA) == 1; }, 1000));
        f.Dismiss();
        info->NameEdit()->setText(QStringLiteral("Hall"));
        info->IpEdit()->setText(QStringLiteral("192.168.1.300"));
        QTest::mouseClick(f.window->cameraPanel()->Auth()->SaveButton(), Qt::LeftButton);
        QCOMPARE(f.window->resultBox()->Line(0)->text(), UiText(20115));
        QCOMPARE(f.ports.CountSent(HEADER_IP_SET, kA), 0u);

        // A gateway outside the new subnet is refused; an address outside every subnet of
        // this PC's adapters (192.168.1.0/24 here) is asked about first, and Cancel sends
        // nothing.
        f.Dismiss();
        info->IpEdit()->setText(QStringLiteral("192.168.2.31"));
        info->GatewayEdit()->setText(QStringLiteral("192.168.1.254"));
        QTest::mouseClick(f.window->cameraPanel()->Auth()->SaveButton(), Qt::LeftButton);
        QCOMPARE(f.window->resultBox()->Line(0)->text(), UiText(20092));
        f.Dismiss();
        info->GatewayEdit()->setText(QStringLiteral("0.0.0.0"));
        static QString asked;
        static QPoint askedCentre;
        SetAskOkCancelObserver([](MessageOKCancelDlg* question) {
            asked = question->Line(0)->text();
            askedCentre = question->geometry().center();
            question->CancelButton()->click();
        });
        QTest::mouseClick(f.window->cameraPanel()->Auth()->SaveButton(), Qt::LeftButton);
        SetAskOkCancelObserver(nullptr);
        QCOMPARE(asked, UiText(kTextUnreachable));
        QVERIFY((askedCentre - f.window->geometry().center()).manhattanLength() <= 2);  // on the window
        QCOMPARE(f.ports.CountSent(HEADER_IP_SET, kA), 0u);
        info->IpEdit()->setText(QStringLiteral("192.168.1.31"));  // reachable: sent without a question
        QTest::mouseClick(f.window->cameraPanel()->Auth()->SaveButton(), Qt::LeftButton);
        QVERIFY(guitest::WaitUntil([&] { return f.ports.CountSent(HEADER_IP_SET, kA) == 1; }, 3000));
        // The panel keeps the saved camera, and shows what it reports once confirmed.
        QCOMPARE(info->Mac(), std::string(kA));
        CameraReply confirmed = MakeReply(HEADER_IP_QUERY, kA, "192.168.1.31", "manual");
        std::snprintf(confirmed.gateway, sizeof confirmed.gateway, "0.0.0.0");
        std::snprintf(confirmed.deviceName, sizeof confirmed.deviceName, "Hall");
        f.ports.Deliver(confirmed);
        QVERIFY(guitest::WaitUntil([&] { return f.window->cameraList()->StatusOf(kA) != STATUS_INDEX_SETTING; }, 5000));
        QCOMPARE(info->IpEdit()->text(), QStringLiteral("192.168.1.31"));
    }

    void commandConfirmationNamesTheCamerasItGoesTo() {
        guitest::PrivateConfig config("");
        Fixture f;
        f.window->OnCameraSelected(kA);  // nothing checked: the selected camera
        f.window->StoreCredentials("192.168.1.10", kA, "admin", "admin");
        f.window->PrepareCommand("REBOOT");
        CustStatic* named = f.window->alertDialog()->TargetsLine();
        QCOMPARE(named->text(), QStringLiteral("Cameras (1): Cam-00:0A"));
        QCOMPARE(f.window->alertDialog()->Line1()->text(), UiText(kTextWillReboot));  // what will happen
        // Seven checked: five names in list order (one without a name by its MAC), then a count.
        for (int i = 1; i <= 7; ++i) {
            const QByteArray mac = QStringLiteral("00:1B:2C:00:00:5%1").arg(i).toLatin1();
            CameraReply reply = MakeReply(HEADER_IP_QUERY, mac.constData(), "192.168.1.50", "manual");
            if (i == 1) reply.deviceName[0] = '\0';
            f.ports.Deliver(reply);
            CListDlg* list = f.window->cameraList();
            QVERIFY(guitest::WaitUntil([&] { return list->RowOfMac(mac.constData()) >= 0; }, 5000));
            f.window->StoreCredentials("192.168.1.50", mac.constData(), "admin", "admin");
            list->List()->SetCheck(list->RowOfMac(mac.constData()), 1);
        }
        f.window->PrepareCommand("HW_DEFAULT");
        const QString unnamed = QStringLiteral("00:\u20601B:\u20602C:\u206000:\u206000:\u206051");
        QCOMPARE(named->text(), QStringLiteral("Cameras (7): %1, Cam-00:52, Cam-00:53, Cam-00:54, "
                                               "Cam-00:55 and 2 more").arg(unnamed));
        QVERIFY(named->TextFits());
    }

    void rangeSearchCountsAndRefusesTooLargeARange() {
        guitest::PrivateConfig config("");
        Fixture f;
        CIPSearchDlg* dialog = f.window->ipSearch();
        dialog->StartEdit()->setText(QStringLiteral("10.0.0.0"));
        dialog->EndEdit()->setText(QStringLiteral("10.1.0.0"));  // 65,537 addresses
        dialog->StartSearch();
        QVERIFY(guitest::WaitUntil([&] { return f.window->resultBox()->isVisible(); }, 3000));
        QCOMPARE(f.window->resultBox()->Line(1)->text(), UiText(20139));
        QVERIFY(!dialog->Search().Running());
        // Three addresses, one camera among them; the probe and the read stand in.
        dialog->Search().probe = [](const char* ip, int) { return std::strcmp(ip, "10.0.0.2") == 0 ? 1 : 0; };
        dialog->Search().checkCgi = [](const char*, const char*, const char*, const char*, CameraReply* info) {
            *info = MakeReply(HEADER_IP_QUERY, "00:1B:2C:00:00:77", "10.0.0.2", "manual");
            return HttpOutcome{};
        };
        dialog->StartEdit()->setText(QStringLiteral("10.0.0.1"));
        dialog->EndEdit()->setText(QStringLiteral("10.0.0.3"));
        dialog->StartSearch();
        QVERIFY(guitest::WaitUntil([&] { return dialog->SearchButton()->isEnabled(); }, 5000));
        QCOMPARE(dialog->ProgressLabel()->text(), QStringLiteral("3 of 3 addresses, 1 found"));
    }
};

QTEST_MAIN(WindowFlowsTest)
#include "test_window_flows.moc"
