// The upgrade page on its own, with a camera that does not answer: the failed row says why
// in its note, in the chosen language, and its bar stops where the upgrade failed instead
// of climbing towards 100 before "FW Upgrade Fail".

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <cstdio>

#include "GuiTestSupport.h"
#include "app/UpgradeDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"

namespace {

// A verified camera found over HTTP on 127.0.0.1:port.
CameraRecord Camera(const QByteArray& port) {
    CameraRecord record{};
    std::snprintf(record.mac, sizeof record.mac, "00:1B:2C:00:00:02");
    std::snprintf(record.ip, sizeof record.ip, "127.0.0.1");
    std::snprintf(record.httpPort, sizeof record.httpPort, "%s", port.constData());
    record.credentialsStored = 1;
    record.viaHttp = 1;
    return record;
}

// A loopback port with nothing listening on it: one the system just gave out and took back.
QByteArray ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return QByteArray::number(ntohs(address.sin_port));
}

}  // namespace

class UpgradeFailureTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void failedRowsSayWhyAndTheirBarStops() {
        guitest::UseLanguage(LANGUAGE_ENGLISH);
        CUpgradeDlg page;
        page.resize(1120, 620);
        QVERIFY(page.ChooseFirmware(QCoreApplication::applicationFilePath()));  // any readable file
        page.AddAndStart(Camera(ClosedPort()));
        CTvListCtrl* rows = page.List();
        QVERIFY(guitest::WaitUntil([&] { return rows->GetRowStatus(0) == 8; }, 20000));
        QCOMPARE(rows->GetRowNote(0), QStringLiteral("No answer from the camera."));
        // It failed at the begin request: its bar stays there through the final wait.
        QTest::qWait(1500);
        QVERIFY(rows->GetRowProgress(0) <= 1);
        CameraRecord unverified = Camera(ClosedPort());  // counted as skipped
        std::snprintf(unverified.mac, sizeof unverified.mac, "00:1B:2C:00:00:03");
        unverified.credentialsStored = 0;
        page.AddAndStart(unverified);
        QCOMPARE(page.SummaryLabel()->text(), QStringLiteral("0 upgraded, 1 failed, 1 skipped"));
        guitest::SaveScreenshot(&page, QStringLiteral("upgrade_page_failed_en"));

        // The note follows the language.
        guitest::UseLanguage(LANGUAGE_POLISH);
        page.ReloadTexts();
        QCOMPARE(rows->GetRowNote(0), UiText(20182));
        QVERIFY(rows->GetRowNote(0) != QStringLiteral("No answer from the camera."));
        guitest::UseLanguage(LANGUAGE_ENGLISH);
    }
};

QTEST_MAIN(UpgradeFailureTest)
#include "test_upgrade_failure.moc"
