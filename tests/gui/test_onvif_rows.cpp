// ONVIF devices of other makers in the window, built as the table hands them over (no
// network): rows of the same list, keyed by their entry key and marked "ONVIF" in the maker
// column, never checked, sorted and filtered by kind and maker, gone when they turn out to be
// a camera of this family; their panel says they are read-only and offers nothing to save,
// in every language, to the keyboard and to a screen reader.

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "FakeWindow.h"
#include "GuiTestSupport.h"
#include "app/AuthDlg.h"
#include "app/CameraTableModel.h"
#include "app/CombineDlg.h"
#include "app/BehaviorDlg.h"
#include "app/InfoDlg.h"
#include "app/MessageOKDlg.h"
#include "app/UpgradeDlg.h"
#include "app/ListDlg.h"
#include "app/OnvifInfoDlg.h"
#include "app/UnauthDlg.h"
#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"
#include "engine/MacText.h"
#include "engine/TSmain.h"
#include "onvif/OnvifDeviceList.h"

namespace {
CameraEntry Native(const char* mac, const char* company) {
    CameraEntry entry;
    CopyTruncated(entry.record.mac, mac);
    CopyTruncated(entry.record.company, company);
    entry.key = MacKey(mac);
    entry.verified = true;
    entry.statusIndex = STATUS_INDEX_VERIFIED;
    return entry;
}

CameraEntry Onvif(const char* uuid, const char* maker, bool verified) {
    auto onvif = std::make_shared<OnvifEntry>();
    onvif->endpoint = std::string("urn:uuid:") + uuid;
    onvif->address = "192.168.1.60";
    onvif->xaddrs = {"http://192.168.1.60:8080/onvif/device_service", "http://[fe80::1]/onvif/device_service"};
    onvif->xaddr = onvif->xaddrs[0];
    onvif->name = "Gate East";
    onvif->location = "Yard";
    onvif->facts.info.manufacturer = maker;
    onvif->facts.info.serial = "SN-4711";
    onvif->facts.network.mac = "02:5e:10:01:02:03";
    onvif->facts.clockKnown = verified;
    onvif->facts.clockOffset = std::chrono::milliseconds(7200000);
    CameraEntry entry;
    entry.key = OnvifKey(onvif->endpoint);
    entry.kind = DeviceKind::Onvif;
    entry.onvif = onvif;
    CopyTruncated(entry.record.company, maker);
    entry.verified = verified;
    entry.statusIndex = verified ? STATUS_INDEX_VERIFIED : STATUS_INDEX_VIEW;
    return entry;
}

QStringList MakersShown(CListDlg& list) {
    QStringList makers;
    for (int row = 0; row < list.Proxy()->rowCount(); ++row)
        makers << list.Proxy()->index(row, CameraTableModel::kMakerColumn).data().toString();
    return makers;
}
}  // namespace

class OnvifRowsTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { PrepareTarselUi(); }

private slots:
    void init() { guitest::UseLanguage(LANGUAGE_ENGLISH); }

    void onvifDevicesAreRowsOfTheList() {
        QWidget host;
        host.resize(1160, 400);
        CListDlg list(&host, &host);
        list.setGeometry(0, 0, 1160, 400);
        host.show();
        CameraTableModel* model = list.Model();
        QAbstractItemModelTester modelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester proxyTester(list.Proxy(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const CameraEntry kestrel = Onvif("0001", "Kestrel", true), unknown = Onvif("0002", "", false);
        model->Apply({Native("00:1b:2c:00:00:01", "Tarsel"), kestrel, unknown});
        QCOMPARE(model->rowCount(), 3);

        // Found by the entry's key, handed out in a MAC's place; marked in the maker column.
        const int row = list.RowOfMac(kestrel.key.c_str());
        QVERIFY(row >= 0);
        QCOMPARE(list.MacOfRow(row).toStdString(), kestrel.key);
        const QModelIndex maker = list.Proxy()->index(row, CameraTableModel::kMakerColumn);
        QCOMPARE(maker.data(ListRole::Badge).toString(), QStringLiteral("ONVIF"));
        QCOMPARE(list.Proxy()->index(row, 1).data().toString(), QStringLiteral("02:5e:10:01:02:03"));
        // A screen reader reads the mark in the cell, under the column's title.
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list.List());
        QVERIFY(table != nullptr && table->tableInterface() != nullptr);
        QAccessibleInterface* cell = table->tableInterface()->cellAt(row, CameraTableModel::kMakerColumn);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("ONVIF Kestrel"));
        QCOMPARE(table->tableInterface()->columnDescription(CameraTableModel::kMakerColumn), UiText(kTextMaker));

        // Never checked, by the user or by "Select all authorized cameras".
        QVERIFY(!(maker.siblingAtColumn(0).flags() & Qt::ItemIsUserCheckable));
        QVERIFY(!list.Proxy()->setData(maker.siblingAtColumn(0), Qt::Checked, Qt::CheckStateRole));
        list.SelectAllBox()->click();
        QCOMPARE(list.CheckedMacs(), QStringList{QStringLiteral("00:1b:2c:00:00:01")});

        // Filtered by kind and maker; ordered with the kind mark first.
        list.ApplyFilter(FILTER_MAKER, QStringLiteral("onvif"), false);
        QCOMPARE(list.Proxy()->rowCount(), 2);
        list.ApplyFilter(FILTER_MAKER, QStringLiteral("onvif"), true);
        QCOMPARE(MakersShown(list), QStringList{QStringLiteral("Tarsel")});
        list.ApplyFilter(FILTER_MAKER, QStringLiteral("KESTREL"), false);
        QCOMPARE(MakersShown(list), QStringList{QStringLiteral("ONVIF Kestrel")});
        list.ApplyFilter(FILTER_MAKER, QString(), false);
        list.List()->SortByColumn(CameraTableModel::kMakerColumn);
        QCOMPARE(MakersShown(list), (QStringList{QStringLiteral("ONVIF"), QStringLiteral("ONVIF Kestrel"), QStringLiteral("Tarsel")}));

        // A device found to be a camera of this family leaves; the others stay as they were.
        CameraEntry gone = unknown;
        gone.removed = true;
        model->Apply({gone});
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(list.RowOfMac(unknown.key.c_str()), -1);
        QCOMPARE(MakersShown(list), (QStringList{QStringLiteral("ONVIF Kestrel"), QStringLiteral("Tarsel")}));
    }

    void onvifPanelIsReadOnlyInEveryLanguage() {
        for (int language : guitest::kScreenshotLanguages) {
            guitest::UseLanguage(language);
            QWidget host;
            host.resize(820, 330);
            CCombineDlg panel(&host, &host);
            panel.setGeometry(0, 0, 810, 310);
            QStringList asked;
            panel.m_context = &asked;
            panel.onVerify = [](void* context, const char* mac, const char*, const char*) {
                static_cast<QStringList*>(context)->append(QString::fromUtf8(mac));
            };
            host.show();
            const CameraEntry device = Onvif("0003", "Kestrel", true);

            // Not verified: its facts beside the login panel, whose Verify asks about its key.
            panel.ShowOnvif(Onvif("0003", "", false), false, "");
            QVERIFY(panel.OnvifInfo()->isVisible() && !panel.Info()->isVisible());
            panel.VerifyEvent("admin", "secret");
            QCOMPARE(asked, QStringList{QString::fromStdString(device.key)});

            // Verified: nothing to save, and the reason says why, shown and spoken.
            panel.ShowOnvif(device, true, "admin");
            const QString reason = UiText(kTextOnvifReadOnly);
            QVERIFY(panel.Auth()->isVisible());
            QVERIFY(!panel.Auth()->SaveButton()->isEnabled());
            QCOMPARE(panel.OnvifInfo()->Reason()->text(), reason);
            QCOMPARE(panel.Auth()->SaveButton()->accessibleDescription(), reason);
            QAccessibleInterface* facts = QAccessible::queryAccessibleInterface(panel.OnvifInfo()->Facts());
            QVERIFY(facts != nullptr);
            QCOMPARE(facts->text(QAccessible::Name), UiText(kTextDeviceFacts));
            QCOMPARE(facts->text(QAccessible::Description), reason);
            QAccessibleInterface* label = QAccessible::queryAccessibleInterface(panel.OnvifInfo()->Reason());
            QCOMPARE(label->text(QAccessible::Name), reason);
            // Every fact known: both service addresses, the scopes, the clock's offset.
            QStringList shown;
            for (int row = 0; row < panel.OnvifInfo()->Facts()->rowCount(); ++row)
                shown << panel.OnvifInfo()->FactText(row, 0) + QLatin1Char('=') + panel.OnvifInfo()->FactText(row, 1);
            for (const QString& fact :
                 {UiText(kTextKind) + QStringLiteral("=ONVIF"), UiText(kTextMaker) + QStringLiteral("=Kestrel"),
                  UiText(kTextSerialNumber) + QStringLiteral("=SN-4711"),
                  UiText(kTextServiceAddress) + QStringLiteral("=http://[fe80::1]/onvif/device_service"),
                  UiText(kTextLocation) + QStringLiteral("=Yard"), UiText(kTextClockOffset) + QStringLiteral("=+7200.0 s")})
                QVERIFY2(shown.contains(fact), qPrintable(fact));
            // The keyboard reaches the facts, and the panel's first field is theirs.
            panel.FocusFirstField();
            QCOMPARE(host.focusWidget(), panel.OnvifInfo()->Facts());

            // A camera of this family gets its own panel back, Save with it.
            CameraRecord camera = Native("00:1b:2c:00:00:01", "Tarsel").record;
            panel.ShowCamera(camera, true);
            QVERIFY(panel.Info()->isVisible() && !panel.OnvifInfo()->isVisible());
            QVERIFY(panel.Auth()->SaveButton()->isEnabled());
            QVERIFY(panel.Auth()->SaveButton()->accessibleDescription().isEmpty());
        }
    }

    // The window addresses the device by its key: the panel shows it, its page opens at its
    // service address's host, and the commands that change cameras never reach it.
    void onvifDeviceInTheWindowIsOnlyRead() {
        guitest::PrivateConfig config("");
        guitest::FakeWindow f;
        QVERIFY(f.started);
        CListDlg* list = f.window->cameraList();
        CameraTable& table = f.window->engine().Table();
        f.ports.Deliver(MakeReply(HEADER_IP_QUERY, "00:1B:2C:00:00:01", "192.168.1.20", "manual"));
        tarsel::onvif::OnvifDevice device;
        device.match.endpoint = "urn:uuid:6b3e2c1a-0000-4000-8000-00408c1a2b3c";
        device.match.types = {"NetworkVideoTransmitter"};
        device.match.xaddrs = {"http://192.168.1.60:8080/onvif/device_service"};
        device.match.xaddr = device.match.xaddrs[0];
        device.match.address = "192.168.1.60";
        device.sourceAddress = 0xC0A8013C;
        device.adapters = {"eth0"};
        QVERIFY(table.MergeOnvif(device, f.ports.Now()));
        tarsel::onvif::OnvifFacts facts;
        facts.info.manufacturer = "Kestrel";
        table.SetOnvifFacts(OnvifKey(device.match.endpoint), tarsel::onvif::OnvifOutcome::Verified, facts);
        table.NotifyIfPending();
        const std::string key = OnvifKey(device.match.endpoint);
        QVERIFY(guitest::WaitUntil([&] { return list->RowOfMac(key.c_str()) >= 0 && list->Model()->rowCount() == 2; }, 5000));

        list->List()->SetSelectedRow(list->RowOfMac(key.c_str()));
        f.window->OnCameraSelected(key.c_str());
        QCOMPARE(f.window->currentMac, key);
        QToolButton* initialise = f.window->commandBar()->Button(CBehaviorDlg::kInitialize);
        QVERIFY(!initialise->isEnabled());
        QCOMPARE(initialise->accessibleDescription(), UiText(kTextOnvifReadOnly));
        QVERIFY(f.window->commandBar()->Button(CBehaviorDlg::kView)->isEnabled());
        QStringList opened;
        f.window->openUrl = [&opened](const QUrl& url) {
            opened << url.toString();
            return true;
        };
        f.window->OpenWebsite();
        QCOMPARE(opened, QStringList{QStringLiteral("http://192.168.1.60:8080/")});

        // Reboot or default with it selected: refused with the reason; no upgrade takes it.
        f.window->PrepareCommand("REBOOT");
        QVERIFY(f.window->resultBox()->isVisible());
        QCOMPARE(f.window->resultBox()->Line(1)->text(), UiText(kTextOnvifReadOnly));
        std::vector<CameraRecord> offered;
        f.window->upgradeDialog()->getCameras(f.window.get(), &offered);
        QCOMPARE(offered.size(), size_t{1});
        QCOMPARE(QByteArray(offered[0].mac), QByteArray("00:1B:2C:00:00:01"));
        f.window->OnUpgradeCamera(key.c_str());
        QCOMPARE(f.window->upgradeDialog()->List()->GetItemCount(), 0);
    }
};

QTEST_MAIN(OnvifRowsTest)
#include "test_onvif_rows.moc"
