// "Site report..." of the window's menu: the listed cameras in the list's order, a picture
// of each verified camera that gives one (from servers on 127.0.0.1), the reasons of those
// without, the browser offered on the saved file; Cancel in the progress box ends the flow
// at once with no file; a file that cannot be written is reported and left out.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QBuffer>
#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/MessageOKDlg.h"
#include "app/SiteReportFlow.h"
#include "controls/CustControls.h"
#include "common/WindowTextIds.h"
#include "controls/UiText.h"
#include "engine/TSmain.h"
#include "unit/LoopbackHttpServer.h"

using testsupport::HttpAnswer;
using testsupport::LoopbackHttpServer;

namespace {
std::string Jpeg() {
    QImage image(640, 480, QImage::Format_RGB888);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "JPG");
    return bytes.toStdString();
}

// A camera on 127.0.0.1:port, its credentials verified (or not) as the login panel leaves them.
void AddCamera(guitest::FakeWindow& f, const char* mac, const std::string& port, bool verified) {
    CameraReply reply = MakeReply(HEADER_IP_QUERY, mac, "127.0.0.1", "manual");
    std::snprintf(reply.httpPort, sizeof reply.httpPort, "%s", port.c_str());
    const int rows = f.window->cameraList()->Model()->rowCount();
    f.ports.Deliver(reply);
    QVERIFY(guitest::WaitUntil([&] { return f.window->cameraList()->Model()->rowCount() == rows + 1; }, 3000));
    if (!verified)
        return;
    f.window->engine().SetCameraAuth("127.0.0.1", mac, "admin", "pw");
    f.window->engine().WithCamera(mac, [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_OK); });
    f.window->RememberAuthenticated(mac);
}
}  // namespace

class WindowReportTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void reportOfTheListedCameras() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        const std::string jpeg = Jpeg();
        LoopbackHttpServer good(LoopbackHttpServer::Auth::Digest, "admin", "pw", [&](const auto&) {
            return HttpAnswer{200, jpeg};
        });
        LoopbackHttpServer changed(LoopbackHttpServer::Auth::Digest, "admin", "new",
                                   [&](const auto&) {
                                       return HttpAnswer{200, jpeg};
                                   });
        AddCamera(f, "00:1B:2C:00:00:0A", good.PortText(), true);
        AddCamera(f, "00:1B:2C:00:00:0B", changed.PortText(), true);
        AddCamera(f, "00:1B:2C:00:00:0C", good.PortText(), false);

        QMenu menu;
        f.window->FillSystemMenu(&menu);
        QAction* item = menu.actions().at(3);  // after maximise and a line
        QCOMPARE(item->text(), UiText(TEXT_SITE_REPORT_MENU));
        QCOMPARE(item->data().toInt(), CTarsel_NextGenerateDlg::kSiteReportItem);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.html"));
        QStringList opened;
        f.window->openUrl = [&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        };
        auto* flow = new CSiteReportFlow(f.window.get());
        flow->choosePath = [&] { return path; };
        flow->askOpen = [] { return true; };
        flow->askSite = [] { return QStringLiteral("Harbour Gate"); };
        QSignalSpy done(flow, &CSiteReportFlow::finished);
        CSiteReportFlow::Open(f.window.get());  // the menu's call finds this flow
        QVERIFY(flow->progressBox() != nullptr && flow->progressBox()->isVisible());
        QVERIFY(done.wait(15000));
        QCOMPARE(done.at(0).at(0).toBool(), true);
        QCOMPARE(opened, QStringList{path});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QCOMPARE(html.count(QStringLiteral("data:image/jpeg;base64,")), 1);
        QVERIFY(html.contains(QStringLiteral("Harbour Gate")));  // the site named in the window
        const qsizetype a = html.indexOf(QStringLiteral("<figcaption><b><bdi>Cam-00:0A"));
        const qsizetype b = html.indexOf(
            QStringLiteral("<b>no picture</b>%1</div><figcaption><b><bdi>Cam-00:0B").arg(UiText(kTextDuplicateAddress)));
        const qsizetype c = html.indexOf(
            QStringLiteral("<b>no picture</b>not verified</div><figcaption><b><bdi>Cam-00:0C"));
        QVERIFY(a > 0 && b > a && c > b);

        // A camera that takes the request and never answers: Cancel ends the flow at once.
        const int silent = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        QVERIFY(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                listen(silent, 4) == 0);
        getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
        AddCamera(f, "00:1B:2C:00:00:0D", std::to_string(ntohs(address.sin_port)), true);
        QFile::remove(path);
        CSiteReportFlow::Open(f.window.get());
        QVERIFY(flow->Busy() && flow->progressBox() != nullptr);
        QTest::qWait(300);
        guitest::SaveScreenshot(flow->progressBox(), QStringLiteral("site_report_progress_en"));
        QPushButton* cancel = flow->progressBox()->findChild<QPushButton*>();
        QCOMPARE(cancel->text(), UiText(20025));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(done.wait(8000));  // a fetch alone waits 10 s
        QCOMPARE(done.at(1).at(0).toBool(), false);
        QVERIFY(!QFile::exists(path));
        close(silent);

        // A folder that cannot exist: the window says so, nothing is left.
        const QString impossible = dir.filePath(QStringLiteral("site.html/report.html"));
        QFile(path).open(QIODevice::WriteOnly);
        QVERIFY(!flow->WriteTo(impossible));
        QVERIFY(f.window->resultBox()->isVisible());
        QCOMPARE(f.window->resultBox()->Line(0)->text(), UiText(TEXT_REPORT_NOT_WRITTEN));
        QVERIFY(!QFile::exists(impossible));
    }
};

QTEST_MAIN(WindowReportTest)
#include "test_window_report.moc"
