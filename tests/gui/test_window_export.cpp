// The window's list as data: rows of cameras that share an address or sit outside their
// adapter's subnet carry a mark and a tooltip without touching their status, the warnings
// follow the list as it changes, and "Export list..." writes the rows in the command line's
// CSV columns, or says why not and leaves nothing behind.

#include <QFile>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraCsv.h"
#include "engine/TSmain.h"

class WindowExportTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void warningsMarkRowsAndTheExportWritesThem() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        FakePorts& ports = f.ports;
        CTarsel_NextGenerateDlg* window = f.window.get();
        ports.Locked([&] { ports.subnets["lab0"] = {{"10.9.0.1", "255.255.0.0"}}; });
        // Answers through lab0 (10.9.0.0/16): A and B share an address, C lies outside the
        // adapter's subnet, D is fine.
        const char* macs[] = {"00:1B:2C:00:00:0A", "00:1B:2C:00:00:0B", "00:1B:2C:00:00:0C", "00:1B:2C:00:00:0D"};
        const char* ips[] = {"10.9.0.20", "10.9.0.20", "10.1.2.3", "10.9.0.21"};
        for (int i = 0; i < 4; ++i) ports.Deliver(MakeReply(HEADER_IP_QUERY, macs[i], ips[i], "manual", "lab0"));
        CListDlg* list = window->cameraList();
        CTvListCtrl* rows = list->List();
        QVERIFY(guitest::WaitUntil([&] { return rows->GetItemCount() == 4; }, 3000));

        const QImage shown = rows->viewport()->grab().toImage();
        const QString expected[] = {UiText(20128), UiText(20128), UiText(20129), QString()};
        for (int i = 0; i < 4; ++i) {
            const int row = list->RowOfMac(macs[i]);
            const bool warned = !expected[i].isEmpty();
            QCOMPARE(guitest::CountColour(shown, rows->CellRect(row, 0), QColor(235, 150, 0), 30) > 20, warned);
            QCOMPARE(rows->GetItemText(row, CTvListCtrl::kStatusColumn), UiText(20036));
            const QPoint at = rows->CellRect(row, 4).center();
            QHelpEvent help(QEvent::ToolTip, at, rows->viewport()->mapToGlobal(at));
            QApplication::sendEvent(rows->viewport(), &help);
            // A note of a few sentences reads as a short paragraph, not a tall column.
            if (warned) QVERIFY(QToolTip::text().replace(QLatin1Char('\n'), QLatin1Char(' ')).contains(expected[i]));
            const QWidget* tip = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible()) tip = w;
            if (warned) QVERIFY(tip != nullptr && tip->width() > 2 * tip->height());
        }

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cameras.csv"));
        QVERIFY(window->ExportListTo(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::string text =
            "name,mac,ip,mask,gateway,httpPort,mode,fwVersion,model,company,serial,adapter,adapterName,viaHttp,"
            "status,warnings,protocol,maker,endpoint,xaddr\r\n";
        const std::vector<std::string> warnings[] = {{"duplicate-ip"}, {"duplicate-ip"}, {"foreign-subnet"}, {}};
        for (int i = 0; i < 4; ++i) {
            CameraRecord record{};
            QVERIFY(window->engine().CopyCamera(macs[i], &record));
            CameraListing camera = ListingOfRecord(record);
            camera.status = "View";
            camera.warnings = warnings[i];
            text += CameraCsvLine(camera);
        }
        QCOMPARE(file.readAll().toStdString(), text);

        // B moves away: A's warning goes with the next update of the list.
        ports.Deliver(MakeReply(HEADER_IP_QUERY, macs[1], "10.9.0.22", "manual", "lab0"));
        QVERIFY(guitest::WaitUntil([&] { return rows->GetRowNote(list->RowOfMac(macs[0])).isEmpty(); }, 3000));
        QCOMPARE(rows->GetRowNote(list->RowOfMac(macs[2])), UiText(20129));

        // A folder that cannot exist: the window says so and no file is left.
        QFile blocker(dir.filePath(QStringLiteral("plain")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString impossible = dir.filePath(QStringLiteral("plain/cameras.csv"));
        QVERIFY(!window->ExportListTo(impossible));
        QVERIFY(window->resultBox()->isVisible());
        QCOMPARE(window->resultBox()->Line(0)->text(), UiText(20126));
        QVERIFY(!QFile::exists(impossible));
    }
};

QTEST_MAIN(WindowExportTest)
#include "test_window_export.moc"
