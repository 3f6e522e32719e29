// The main window with its engine, answered by a stand-in for the network: replies become
// one row per MAC through one coalesced update, Refresh pressed while replies arrive
// never duplicates a row, clicks and keys report the camera, the filter hides rows without
// changing them (and a hidden camera's changes show when it shows again), and the busy
// watch gives up on a camera that never answers.

#include <QTest>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/BehaviorDlg.h"
#include "app/EngineBridge.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "engine/CameraFilter.h"

#include <QToolButton>

namespace {

QByteArray Mac(int i) { return QStringLiteral("00:1B:2C:00:%1:%2").arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')).toUpper().toLatin1(); }

CameraReply Reply(int i, const char* ip = nullptr) {
    const QByteArray mac = Mac(i);
    const QByteArray address = ip != nullptr ? QByteArray(ip) : QStringLiteral("192.168.1.%1").arg(10 + i % 200).toLatin1();
    return MakeReply(HEADER_IP_QUERY, mac.constData(), address.constData(), "manual");
}

struct Fixture : guitest::FakeWindow {
    CListDlg* list() const { return window->cameraList(); }
    CameraTable& table() const { return window->engine().Table(); }
    int Rows() const { return list()->List()->GetItemCount(); }
};
}  // namespace

class WindowCamerasTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void repliesBecomeOneRowPerMacInOneUpdate() {
        guitest::PrivateConfig config("");
        Fixture f;
        QVERIFY(f.ports.receiversCreated >= 2);
        const uint64_t flushesBefore = f.window->bridge()->FlushCount();
        // 40 cameras answer three times each, all before the window's thread runs again.
        for (int round = 0; round < 3; ++round)
            for (int i = 0; i < 40; ++i) f.ports.Deliver(Reply(i));
        QVERIFY(f.table().IsMacListed(Mac(7).constData()));  // on its way: already listed
        QVERIFY(guitest::WaitUntil([&] { return f.Rows() == 40; }, 3000));
        QCOMPARE(f.window->bridge()->FlushCount(), flushesBefore + 1);
        QCOMPARE(f.list()->CounterValue()->text(), QStringLiteral(" 40"));
        for (int i = 0; i < 40; ++i) QCOMPARE(f.list()->RowOfMac(Mac(i).constData()), i);
        QCOMPARE(f.list()->List()->GetItemText(3, 2), QStringLiteral("192.168.1.13"));

        // A verified camera's next reply shows it as verified; the others stay "View" (0).
        f.window->engine().WithCamera(Mac(3).constData(), [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_OK); });
        f.ports.Deliver(Reply(3, "192.168.1.99"));
        QVERIFY(guitest::WaitUntil([&] { return f.list()->StatusOf(Mac(3).constData()) == 1; }, 3000));
        QVERIFY(f.window->IsCameraVerified(Mac(3).constData()));
        QCOMPARE(f.list()->List()->GetItemText(3, 2), QStringLiteral("192.168.1.99"));
        QCOMPARE(f.list()->StatusOf(Mac(4).constData()), 0);

        // Clicks report the camera; View follows the selected camera's verification.
        QToolButton* view = f.window->commandBar()->Button(CBehaviorDlg::kView);
        CTvListCtrl* rows = f.list()->List();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->CellRect(3, 0).center() + QPoint(30, 0));
        QCOMPARE(QByteArray::fromStdString(f.window->currentMac), Mac(3));
        QVERIFY(guitest::WaitUntil([&] { return view->isEnabled(); }, 1000));
        QTest::keyClick(rows, Qt::Key_Down);
        QCOMPARE(QByteArray::fromStdString(f.window->currentMac), Mac(4));
        QVERIFY(guitest::WaitUntil([&] { return !view->isEnabled(); }, 1000));
        // Only verified rows can be checked.
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, QPoint(8, rows->CellRect(4, 0).center().y()));
        QVERIFY(!rows->IsChecked(4));
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, QPoint(8, rows->CellRect(3, 0).center().y()));
        QVERIFY(rows->IsChecked(3));

        // The status cell of a "View" row opens the camera's page; of a "Setting" row not.
        static QByteArray opened;
        opened.clear();
        QObject::connect(f.list(), &CListDlg::openWebsite, f.list(),
                         [](const QString& ip, const QString& port) { opened = (ip + QLatin1Char(':') + port).toLatin1(); });
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->CellRect(5, 9).center());
        QCOMPARE(opened, QByteArray("192.168.1.15:80"));
        opened.clear();
        f.table().SetStatus(Mac(6).constData(), 2);
        QVERIFY(guitest::WaitUntil([&] { return f.list()->StatusOf(Mac(6).constData()) == 2; }, 1000));
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->CellRect(6, 9).center());
        QVERIFY(opened.isEmpty());

        // Filter: a part of the address, then inverted; rows keep their state, and the
        // counter says that cameras are hidden.
        f.list()->ApplyFilter(FILTER_IP, QStringLiteral("168.1.1"), false);
        QCOMPARE(f.Rows(), 9);  // .10 to .19, but camera 3 moved to .99
        QCOMPARE(f.list()->CounterValue()->text(), QStringLiteral(" 9 of 40 shown"));
        QCOMPARE(f.list()->StatusOf(Mac(6).constData()), 2);
        QVERIFY(f.list()->RowOfMac(Mac(3).constData()) < 0);
        QVERIFY(f.table().IsMacListed(Mac(3).constData()));  // hidden, still listed
        f.list()->ApplyFilter(FILTER_IP, QStringLiteral("168.1.1"), true);
        QCOMPARE(f.Rows(), 31);
        QCOMPARE(f.list()->StatusOf(Mac(3).constData()), 1);
        QVERIFY(rows->IsChecked(f.list()->RowOfMac(Mac(3).constData())));
        // A camera the filter hides gets no row when it answers again, but its row shows
        // what it said once the filter lets it through.
        f.ports.Deliver(Reply(5, "192.168.1.150"));
        f.ports.Deliver(Reply(8, "192.168.7.8"));  // moves out of the filter's reach: shown
        QVERIFY(guitest::WaitUntil([&] { return f.list()->RowOfMac(Mac(8).constData()) >= 0; }, 1000));
        QVERIFY(f.list()->RowOfMac(Mac(5).constData()) < 0);
        f.list()->ApplyFilter(FILTER_IP, QString(), false);
        QCOMPARE(f.Rows(), 40);
        QCOMPARE(f.list()->CounterValue()->text(), QStringLiteral(" 40"));
        QCOMPARE(rows->GetItemText(f.list()->RowOfMac(Mac(5).constData()), 2), QStringLiteral("192.168.1.150"));
        QCOMPARE(f.list()->StatusOf(Mac(4).constData()), 0);  // never shown as verified
    }

    // The filter bar as an installer types: a name in any case, a MAC by its last digits in
    // lower case, a port typed whole (Invert: the others), a model.
    void filterBarFindsNamesMacsPortsAndModels() {
        guitest::PrivateConfig config("");
        Fixture f;
        for (int i = 0; i < 3; ++i) {
            CameraReply reply = Reply(10 + i);  // MACs ending 0A, 0B, 0C
            std::snprintf(reply.deviceName, sizeof reply.deviceName, "%s", i == 1 ? "Gate" : "Door");
            std::snprintf(reply.httpPort, sizeof reply.httpPort, "%s", i == 2 ? "8080" : "80");
            if (i == 2) std::snprintf(reply.productName, sizeof reply.productName, "TS-X9");
            f.ports.Deliver(reply);
        }
        QVERIFY(guitest::WaitUntil([&] { return f.Rows() == 3; }, 3000));
        const auto shown = [&](int field, const char* text, bool invert) {
            f.list()->SetFilterField(field);
            f.list()->FilterEdit()->setText(QString::fromLatin1(text));
            f.list()->InvertBox()->setChecked(invert);
            f.list()->ApplyButton()->click();
            QStringList macs;
            for (int row = 0; row < f.Rows(); ++row) macs << f.list()->MacOfRow(row).right(2);
            return macs.join(QLatin1Char(','));
        };
        QCOMPARE(shown(FILTER_NAME, "gate", false), QStringLiteral("0B"));
        QCOMPARE(shown(FILTER_MAC, "00:0c", false), QStringLiteral("0C"));
        QCOMPARE(shown(FILTER_PORT, "80", false), QStringLiteral("0A,0B"));
        QCOMPARE(shown(FILTER_PORT, "80", true), QStringLiteral("0C"));
        QCOMPARE(shown(FILTER_MODEL, "ts-x", false), QStringLiteral("0C"));
    }

    // A name sent with a right-to-left override ("evil" that would read "live") is drawn
    // in the order its characters came, the override shown as a mark.
    void namesAreShownWithoutTheirBidirectionalOverrides() {
        guitest::PrivateConfig config("");
        Fixture f;
        CameraReply reply = Reply(1);
        std::snprintf(reply.deviceName, sizeof reply.deviceName, "\xE2\x80\xAE" "evil");
        f.ports.Deliver(reply);
        QVERIFY(guitest::WaitUntil([&] { return f.Rows() == 1; }, 3000));
        QCOMPARE(f.list()->List()->GetItemText(0, 0), QString(QChar(0xFFFD)) + QStringLiteral("evil"));
    }

    void refreshPressedWhileRepliesArriveGivesOneRowPerMac() {
        guitest::PrivateConfig config("");
        Fixture f;
        std::atomic<bool> stop{false};
        std::thread cameras([&] {
            while (!stop.load())
                for (int i = 0; i < 30; ++i) f.ports.Deliver(Reply(i));
        });
        QToolButton* refresh = f.window->commandBar()->Button(CBehaviorDlg::kRefresh);
        for (int press = 0; press < 15; ++press) {
            f.window->EnableAll();
            QTest::mouseClick(refresh, Qt::LeftButton);
            QTest::qWait(press % 3);
        }
        QVERIFY(guitest::WaitUntil([&] { return f.Rows() == 30; }, 3000));
        stop.store(true);
        cameras.join();
        QTest::qWait(20);
        QCOMPARE(f.Rows(), 30);
        QCOMPARE(f.list()->CounterValue()->text(), QStringLiteral(" 30"));
    }

    void busyWatcherGivesUpOnCamerasThatNeverAnswer() {
        guitest::PrivateConfig config("");
        Fixture f;
        f.ports.Deliver(Reply(1));
        QVERIFY(guitest::WaitUntil([&] { return f.Rows() == 1; }, 3000));
        const uint32_t t0 = f.ports.Now();
        f.table().ShowRebooting(Mac(1).constData(), t0);
        f.ports.ClearSent();
        f.window->WatchBusyCameras(t0 + 5000);  // the defaulted camera is asked again
        QCOMPARE(f.ports.CountSent(HEADER_IP_QUERY, Mac(1).constData()), size_t{1});
        QVERIFY(guitest::WaitUntil([&] { return f.list()->StatusOf(Mac(1).constData()) == 4; }, 1000));
        f.window->WatchBusyCameras(t0 + 101000);
        QVERIFY(guitest::WaitUntil([&] { return f.list()->StatusOf(Mac(1).constData()) == 3; }, 1000));
        QCOMPARE(f.table().BusyOf(Mac(1).constData()), BusyAction::None);
    }
};

QTEST_MAIN(WindowCamerasTest)
#include "test_window_cameras.moc"
