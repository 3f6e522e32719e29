// The camera list as a model and a view: a burst of replies, changes, a filter, Invert, a
// sort and a new search keep the model and its filter consistent (QAbstractItemModelTester)
// and cost a handful of batched updates; the list reads as a table through the
// accessibility interface, and the keyboard checks, chooses and opens the menu of a row.
// What the list shows is not what the commands depend on: an automatic assignment ends
// while a filter hides its cameras, and a camera being upgraded refuses a reboot.

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/CameraTableModel.h"
#include "app/EngineBridge.h"
#include "app/FunctionDlg.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/AlartDlg.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"
#include "finder/LibIP.h"

namespace {
QByteArray Mac(int i) { return QStringLiteral("00:1B:2C:01:%1:%2").arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')).toLatin1(); }

CameraReply Reply(int i, int round = 0) {
    const QByteArray ip = QStringLiteral("10.%1.%2.%3").arg(round).arg(i / 250).arg(1 + i % 250).toLatin1();
    return MakeReply(HEADER_IP_QUERY, Mac(i).constData(), ip.constData(), "manual");
}
}  // namespace

class CameraModelTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void init() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    void modelAndFilterStayConsistentThroughABurst() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        CListDlg* list = f.window->cameraList();
        CameraTableModel* model = list->Model();
        QAbstractItemModelTester modelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester proxyTester(list->Proxy(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        const uint64_t flushes = f.window->bridge()->FlushCount();

        // 1,000 cameras answer twice from another thread while the user filters and sorts.
        constexpr int kCameras = 1000;
        std::atomic<bool> done{false};
        std::thread cameras([&] {
            for (int round = 0; round < 2; ++round)
                for (int i = 0; i < kCameras; ++i) f.ports.Deliver(Reply(i, round));
            done = true;
        });
        int step = 0;
        while (!done.load()) {
            switch (step++ % 4) {
                case 0: list->ApplyFilter(FILTER_IP, QStringLiteral("10.1.1"), false); break;
                case 1: list->ApplyFilter(FILTER_IP, QStringLiteral("10.1.1"), true); break;
                case 2: list->List()->SortByColumn(2); break;
                default: list->ApplyFilter(FILTER_IP, QString(), false); break;
            }
            QTest::qWait(2);
        }
        cameras.join();
        list->ApplyFilter(FILTER_IP, QString(), false);
        // The bridge hands batches over in order: once the last reply's change shows, every
        // earlier one has been handed over too.
        const auto lastShown = [&] {
            const int row = list->RowOfMac(Mac(kCameras - 1).constData());
            return row >= 0 && list->List()->GetItemText(row, 2) == QString::fromLatin1(Reply(kCameras - 1, 1).ip);
        };
        QVERIFY(guitest::WaitUntil([&] { return model->rowCount() == kCameras && list->Proxy()->rowCount() == kCameras && lastShown(); }, 5000));
        // Batched: a handful of flushes and insertions, not one per reply.
        const uint64_t used = f.window->bridge()->FlushCount() - flushes;
        QVERIFY2(used < 200, QByteArray::number(static_cast<qulonglong>(used)));
        QVERIFY(inserted.count() <= static_cast<int>(used));
        // Every camera once, with the values of its last answer.
        for (int i : {0, 499, 999}) {
            const int row = list->RowOfMac(Mac(i).constData());
            QVERIFY(row >= 0);
            QCOMPARE(list->List()->GetItemText(row, 2), QString::fromLatin1(Reply(i, 1).ip));
        }

        // A filter on the newest addresses, then its inverse, then an ascending sort by
        // address: the rows the filter lets through, in numeric order.
        list->ApplyFilter(FILTER_IP, QStringLiteral("10.1.1."), false);
        QCOMPARE(list->List()->GetItemCount(), 250);
        list->ApplyFilter(FILTER_IP, QStringLiteral("10.1.1."), true);
        QCOMPARE(list->List()->GetItemCount(), kCameras - 250);
        list->List()->SortBy(2, Qt::AscendingOrder);
        QCOMPARE(list->List()->GetItemText(0, 2), QStringLiteral("10.1.0.1"));
        QCOMPARE(list->List()->GetItemText(1, 2), QStringLiteral("10.1.0.2"));
        QCOMPARE(list->List()->GetItemText(250, 2), QStringLiteral("10.1.2.1"));
        // The sort holds for cameras that answer afterwards.
        f.ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:1B:2C:01:0F:00", "10.1.0.0", "manual"));
        QVERIFY(guitest::WaitUntil([&] { return list->List()->GetItemText(0, 2) == QStringLiteral("10.1.0.0"); }, 2000));

        // A new search empties the model and its filter; the user's sort order stays.
        f.window->Reset(false);
        QCOMPARE(model->rowCount(), 0);
        for (int i = 0; i < 20; ++i) f.ports.Deliver(Reply(19 - i));
        QVERIFY(guitest::WaitUntil([&] { return model->rowCount() == 20; }, 2000));
        QCOMPARE(list->List()->GetItemText(0, 2), QStringLiteral("10.0.0.1"));
    }

    // The model and its proxy alone: rows in the order the cameras first answered, kept
    // over a new search with the ticks of cameras that answer it verified, and a natural sort.
    void modelKeepsFirstAnswersAndTicksAndSortsNaturally() {
        CameraTableModel model;
        CameraListProxy proxy(&model);
        QAbstractItemModelTester modelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto entry = [](const char* name, int mac) {  // camera 2 is not verified
            CameraEntry e;
            std::snprintf(e.record.name, sizeof e.record.name, "%s", name);
            std::snprintf(e.record.mac, sizeof e.record.mac, "00:1B:2C:00:00:0%d", mac);
            e.verified = mac != 2;
            return e;
        };
        const auto names = [&] {
            QStringList texts;
            for (int row = 0; row < proxy.rowCount(); ++row) texts << proxy.index(row, 0).data().toString();
            return texts;
        };
        model.Apply({entry("Cam-1000", 1), entry("Cam-101", 2), entry("Cam-100", 3)});
        QVERIFY(!model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));  // not verified
        QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        model.Clear();
        model.Apply({entry("Cam-100", 3), entry("Cam-1000", 1)});
        model.Apply({entry("Cam-101", 2)});
        QCOMPARE(names(), QStringList({"Cam-1000", "Cam-101", "Cam-100"}));
        QCOMPARE(proxy.index(0, 0).data(ListRole::Check).toInt(), 1);
        QCOMPARE(proxy.index(2, 0).data(ListRole::Check).toInt(), 0);
        proxy.sort(0, Qt::AscendingOrder);
        QCOMPARE(names(), QStringList({"Cam-100", "Cam-101", "Cam-1000"}));
    }

    void listReadsAsATableAndWorksByKeyboard() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        for (int i = 0; i < 3; ++i) f.ports.Deliver(Reply(i));
        CListDlg* list = f.window->cameraList();
        CTvListCtrl* rows = list->List();
        QVERIFY(guitest::WaitUntil([&] { return rows->GetItemCount() == 3; }, 2000));
        f.window->engine().WithCamera(Mac(1).constData(), [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_OK); });
        f.ports.Deliver(Reply(1));
        QVERIFY(guitest::WaitUntil([&] { return list->StatusOf(Mac(1).constData()) == 1; }, 2000));

        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(rows);
        QVERIFY(table != nullptr);
        QCOMPARE(table->role(), QAccessible::Table);
        QAccessibleTableInterface* cells = table->tableInterface();
        QVERIFY(cells != nullptr);
        QCOMPARE(cells->rowCount(), 3);
        QCOMPARE(cells->columnCount(), CListDlg::kColumns);
        QCOMPARE(cells->columnDescription(1), UiText(20041));
        QCOMPARE(cells->cellAt(1, 1)->text(QAccessible::Name), QString::fromLatin1(Mac(1)));
        QCOMPARE(cells->cellAt(1, 9)->text(QAccessible::Name), UiText(20036));
        QVERIFY(cells->cellAt(1, 0)->state().checkable);

        // Keyboard: down to the verified camera, Space checks it, Enter chooses it.
        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_Down);
        QTest::keyClick(rows, Qt::Key_Down);
        QCOMPARE(QByteArray::fromStdString(f.window->currentMac), Mac(1));
        QTest::keyClick(rows, Qt::Key_Space);
        QVERIFY(rows->IsChecked(1));
        QVERIFY(cells->cellAt(1, 0)->state().checked);
        QTest::keyClick(rows, Qt::Key_Up);
        QTest::keyClick(rows, Qt::Key_Space);  // not verified: stays unchecked
        QVERIFY(!rows->IsChecked(0));
        f.window->currentMac.clear();
        QTest::keyClick(rows, Qt::Key_Return);
        QCOMPARE(QByteArray::fromStdString(f.window->currentMac), Mac(0));
        // Typing a camera's name chooses it as the arrows do.
        QTest::keyClicks(rows, rows->GetItemText(2, 0));
        QCOMPARE(QByteArray::fromStdString(f.window->currentMac), list->MacOfRow(2).toLatin1());
        QTest::keyClick(rows, Qt::Key_Home);
        // Shift+F10 on a verified camera opens its menu below the row.
        QTest::keyClick(rows, Qt::Key_Down);
        QTest::keyClick(rows, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(list->FunctionMenu()->isVisible());
        QVERIFY(rows->viewport()->rect().contains(rows->viewport()->mapFromGlobal(rows->MenuPosition())));
    }

    void autoIpEndsWhileAFilterHidesItsCameras() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        // Only the manual camera's name passes the filter; the two DHCP cameras are hidden.
        f.window->cameraList()->ApplyFilter(FILTER_NAME, QStringLiteral("Cam-00:02"), false);
        AutoIpSettings settings;
        settings.adapterName = "eth0";
        settings.adapterIp = IpTextToValue("192.168.1.2");
        settings.adapterMask = settings.setMask = IpTextToValue("255.255.255.0");
        settings.startIp = IpTextToValue("192.168.1.100");
        settings.endIp = IpTextToValue("192.168.1.110");
        f.window->messageDialog()->ShowUntilClosed();
        f.window->engine().GoAuotSetIPProc("admin", "secret", settings);
        f.window->Reset(false);
        // The cameras answer every query, the DHCP ones with their new address once set.
        std::atomic<bool> stop{false};
        std::thread cameras([&] {
            std::map<std::string, std::string> given;
            size_t seen = 0;
            while (!stop.load()) {
                const auto sent = f.ports.Sent();
                for (; seen < sent.size(); ++seen) {
                    const SentPacket& p = sent[seen];
                    if (p.type == HEADER_IP_SET) given[p.mac] = p.payload.substr(p.payload.find("address=192") + 8, 13);
                    if (p.type == HEADER_IP_AUTHENTICATE) f.ports.Deliver(MakeAuthReply(p.mac.c_str(), "admin", "secret"));
                    if (p.type == HEADER_IP_QUERY && given.count(p.mac))
                        f.ports.Deliver(MakeReply(HEADER_IP_QUERY, p.mac.c_str(), given[p.mac].c_str(), "manual"));
                }
                f.ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:1B:2C:00:00:02", "192.168.1.20", "manual"));
                for (const char* mac : {"00:1B:2C:00:00:01", "00:1B:2C:00:00:03"})
                    if (!given.count(mac)) f.ports.Deliver(MakeReply(HEADER_IP_QUERY, mac, "192.168.1.30", "dhcp"));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        // Every wait is bounded and the end does not wait for rows: the message goes, and
        // each DHCP camera is known to have come back with its address.
        const bool ended = guitest::WaitUntil([&] { return !f.window->messageDialog()->isVisible(); }, 20000);
        stop.store(true);
        cameras.join();
        QVERIFY(ended);
        for (const char* mac : {"00:1B:2C:00:00:01", "00:1B:2C:00:00:03"})
            QCOMPARE(f.window->engine().Table().StatusOf(mac), STATUS_INDEX_ASSIGN_IP);
        QCOMPARE(f.window->cameraList()->List()->GetItemCount(), 1);
    }

    void aCameraBeingUpgradedRefusesARebootAndSettings() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        f.ports.Deliver(Reply(0));
        f.window->engine().WithCamera(Mac(0).constData(), [](CameraRecord& r) { SetStatus(&r, STATUS_AUTH_OK); });
        f.ports.Deliver(Reply(0));
        CListDlg* list = f.window->cameraList();
        QVERIFY(guitest::WaitUntil([&] { return list->StatusOf(Mac(0).constData()) == 1; }, 2000));
        f.window->OnCameraSelected(Mac(0).constData());
        // The upgrade page queued it: busy before its first percent.
        f.window->engine().Table().MarkBusy(Mac(0).constData(), BusyAction::Upgrade, f.ports.Now());
        f.window->PrepareCommand("REBOOT");
        QCOMPARE(f.window->resultBox()->Line(0)->text(), UiText(20009));
        QVERIFY(!f.window->alertDialog()->isVisible());
        f.window->resultBox()->OkButton()->click();
        f.window->SetUpgradeProgress(Mac(0).constData(), 40);
        f.ports.Deliver(Reply(0));  // a reply does not undo the percentage
        QVERIFY(guitest::WaitUntil([&] { return list->StatusOf(Mac(0).constData()) == STATUS_INDEX_PROGRESS; }, 2000));
        list->SetChecked(Mac(0).constData(), true);
        f.window->PrepareCommand("SW_DEFAULT");
        QCOMPARE(f.window->resultBox()->Line(0)->text(), UiText(20009));
        f.window->resultBox()->OkButton()->click();
        // Done: it takes commands again.
        f.window->SetUpgradeProgress(Mac(0).constData(), 100);
        f.window->PrepareCommand("REBOOT");
        QVERIFY(f.window->alertDialog()->isVisible());
    }
};

QTEST_MAIN(CameraModelTest)
#include "test_camera_model.moc"
