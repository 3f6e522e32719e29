// The upgrade page on its own, with cameras that fail before any camera could answer: a
// failed row says why in its note, in the chosen language, and its bar stops where the
// upgrade failed instead of climbing towards 100 before "FW Upgrade Fail".

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <cstdio>

#include "GuiTestSupport.h"
#include "app/UpgradeDlg.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"

namespace {

CameraRecord Camera(const char* mac, const char* port) {
    CameraRecord record{};
    std::snprintf(record.name, sizeof record.name, "Yard");
    std::snprintf(record.mac, sizeof record.mac, "%s", mac);
    std::snprintf(record.ip, sizeof record.ip, "127.0.0.1");
    std::snprintf(record.httpPort, sizeof record.httpPort, "%s", port);
    std::snprintf(record.user, sizeof record.user, "admin");
    std::snprintf(record.password, sizeof record.password, "admin");
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

class UpgradePageTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void failedRowsSayWhyAndTheirBarStops() {
        guitest::UseLanguage(LANGUAGE_ENGLISH);
        CUpgradeDlg page;
        page.resize(1120, 620);
        page.show();
        QVERIFY(page.ChooseFirmware(QStringLiteral("/nonexistent/fw.1.2.3.4.11.tar")));
        // No firmware to read, and a camera whose begin request finds no listener.
        page.AddAndStart(Camera("00:1B:2C:00:00:01", "80"));
        QVERIFY(guitest::WaitUntil([&] { return page.List()->GetRowStatus(0) == 8; }, 20000));
        QCOMPARE(page.List()->GetRowNote(0), QStringLiteral("The firmware file could not be read."));

        CUpgradeDlg other;
        const QString firmware = QDir::temp().filePath(QStringLiteral("tarsel-page-fw.tar"));
        QFile file(firmware);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
        file.close();
        QVERIFY(other.ChooseFirmware(firmware));
        other.AddAndStart(Camera("00:1B:2C:00:00:02", ClosedPort().constData()));
        CTvListCtrl* rows = other.List();
        QVERIFY(guitest::WaitUntil([&] { return rows->GetRowStatus(0) == 8; }, 20000));
        QCOMPARE(rows->GetRowNote(0), QStringLiteral("No answer from the camera."));
        // The row failed at the begin request: its bar never moved past it, and stays there
        // through the camera's final wait.
        QVERIFY(rows->GetRowProgress(0) <= 1);
        QTest::qWait(1500);
        QVERIFY(rows->GetRowProgress(0) <= 1);
        QCOMPARE(rows->GetRowStatus(0), 8);
        other.resize(1120, 620);
        guitest::SaveScreenshot(&other, QStringLiteral("upgrade_page_failed_en"));

        // The note follows the language.
        guitest::UseLanguage(LANGUAGE_POLISH);
        other.ReloadTexts();
        QCOMPARE(rows->GetRowNote(0), UiText(20211));
        QVERIFY(rows->GetRowNote(0) != QStringLiteral("No answer from the camera."));
        guitest::SaveScreenshot(&other, QStringLiteral("upgrade_page_failed_pl"));
        guitest::UseLanguage(LANGUAGE_ENGLISH);
        QFile::remove(firmware);
    }
};

QTEST_MAIN(UpgradePageTest)
#include "test_upgrade_page.moc"
