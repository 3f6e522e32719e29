// Saves pictures of the windows, dialogs and camera list in every language, so that a
// person can look over layouts and translations at a glance. Nothing is checked here.
//
//   tarsel-screenshots [OUTPUT_FOLDER]      (default: ./screenshots)

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/AutoSetIPDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CameraTableModel.h"
#include "app/CombineDlg.h"
#include "app/UnauthDlg.h"
#include "common/WindowTextIds.h"
#include "app/DefaultDlg.h"
#include "app/FunctionDlg.h"
#include "app/IPSearchDlg.h"
#include "app/InfoDlg.h"
#include "app/ListDlg.h"
#include "app/LngDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/SelCameraDlg.h"
#include "app/Tarsel_NextGenerateApp.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UpgradeDlg.h"
#include "common/Config.h"
#include "common/Language.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "engine/LiveEnginePorts.h"
#include "engine/SiteReport.h"
#include "controls/UiText.h"
#include "engine/CommandChecks.h"
#include "engine/LiveEnginePorts.h"

namespace {

QString g_folder;
int g_saved = 0;

QImage Save(QWidget* widget, const QString& name) {
    const QImage image = widget->grab().toImage();
    if (image.save(g_folder + QLatin1Char('/') + name + QStringLiteral(".png")))
        ++g_saved;
    else
        std::fprintf(stderr, "tarsel-screenshots: cannot save %s\n", qPrintable(name));
    return image;
}

// Stacks pictures one below the other on a grey ground.
void SaveSheet(const QList<QImage>& images, const QString& name) {
    int width = 0, height = 8;
    for (const QImage& image : images) {
        width = qMax(width, image.width());
        height += image.height() + 8;
    }
    QImage sheet(width + 16, height, QImage::Format_RGB32);
    sheet.fill(QColor(90, 90, 90));
    QPainter painter(&sheet);
    int top = 8;
    for (const QImage& image : images) {
        painter.drawImage(8, top, image);
        top += image.height() + 8;
    }
    painter.end();
    if (sheet.save(g_folder + QLatin1Char('/') + name + QStringLiteral(".png"))) ++g_saved;
}

void UseLanguage(int index) {
    currentLanguage.store(index);
    SetThreadLanguage(index);
}

QString Tag(int language) {
    switch (language) {
        case LANGUAGE_CHINESE_TRADITIONAL: return QStringLiteral("zh_TW");
        case LANGUAGE_POLISH: return QStringLiteral("pl");
        default: return QStringLiteral("en");
    }
}

void CameraList(const QString& tag) {
    QWidget dialog;
    dialog.resize(1040, 200);
    auto* list = new CTvListCtrl(&dialog);
    const char* titles[] = {"Name", "MAC", "IP", "Mask", "Gateway", "Port", "Mode", "FW", "Model", "Status"};
    const int widths[] = {120, 130, 110, 110, 110, 60, 70, 90, 100, 110};
    for (int i = 0; i < 10; ++i) list->InsertColumn(i, QString::fromLatin1(titles[i]), widths[i]);
    list->SetCheckBoxes(true);
    list->setGeometry(0, 0, 1040, 200);
    list->SetRowHeight(25);
    list->SetProgressColumn(9, QColor(0, 0, 255));
    const int statuses[] = {0, 1, 2, 3, 5, 7, 11, 15};
    for (int i = 0; i < 8; ++i) {
        const QString mac = QStringLiteral("00:1A:2B:3C:4D:%1").arg(i, 2, 10, QLatin1Char('0'));
        const int row = list->InsertItem(i, QStringLiteral("Camera-%1").arg(i), mac);
        list->SetItemText(row, 1, mac);
        list->SetItemText(row, 2, QStringLiteral("192.168.1.%1").arg(20 + i));
        list->SetItemText(row, 3, QStringLiteral("255.255.255.0"));
        list->SetItemText(row, 5, QStringLiteral("80"));
        list->SetRowProgress(row, 37);
        list->SetRowStatus(row, statuses[i], QStringLiteral("37%"));
        list->SetCheck(row, i % 3 == 0 ? 1 : (i == 4 ? -1 : 0));
    }
    list->SetSelectedRow(2);
    dialog.show();
    (void)QTest::qWaitForWindowExposed(&dialog);
    Save(&dialog, QStringLiteral("list_") + tag);
}

void Dialogs(const QString& tag) {
    QWidget owner;
    owner.resize(900, 600);
    owner.show();
    QList<QImage> sheet;
    CAlartDlg alert(&owner);
    alert.ShowReboot();
    sheet << Save(&alert, QStringLiteral("alert_reboot_") + tag);
    alert.ShowSoftwareDefault();
    sheet << Save(&alert, QStringLiteral("alert_sw_default_") + tag);
    alert.ShowHardwareDefault();
    sheet << Save(&alert, QStringLiteral("alert_hw_default_") + tag);
    // The confirmations name the cameras they go to.
    alert.ShowReboot(QString::fromStdString(CommandTargetsText({"Reception"})));
    sheet << Save(&alert, QStringLiteral("alert_reboot_one_") + tag);
    alert.ShowHardwareDefault(QString::fromStdString(CommandTargetsText(
        {"Reception", "Yard", "Gate East", "Parking level -2", "Warehouse", "Lobby", "Stairs"})));
    sheet << Save(&alert, QStringLiteral("alert_hw_default_seven_") + tag);

    CMessageDlg message(&owner);
    message.SetLines(20002, 20003, 0);
    message.ShowUntilClosed();
    sheet << Save(&message, QStringLiteral("message_fixed_") + tag);
    message.ShowCommandProgress("SW_DEFAULT");
    sheet << Save(&message, QStringLiteral("message_progress_") + tag);
    message.SetLines(0, 20009, 0);
    message.ShowUntilClosed();
    sheet << Save(&message, QStringLiteral("message_busy_") + tag);
    message.SetLines(0, 20130, 0);
    message.ShowUntilClosed();
    sheet << Save(&message, QStringLiteral("message_no_answer_") + tag);

    CMessageOKDlg result(&owner);
    const QStringList texts = {UiText(20109), UiText(20091), QStringLiteral("192.168.1.10 - 192.168.1.1")};
    result.ShowResult(1, &texts);
    sheet << Save(&result, QStringLiteral("result_") + tag);
    const QStringList history = {UiText(20122), UiText(20123), UiText(20124)};
    result.ShowResult(1, &history);
    sheet << Save(&result, QStringLiteral("result_history_unsaved_") + tag);
    const QStringList exportFailed = {UiText(20126), QStringLiteral("/media/usb/cameras.csv"), UiText(20127)};
    result.ShowResult(1, &exportFailed);
    sheet << Save(&result, QStringLiteral("result_export_failed_") + tag);
    const QStringList reportFailed = {UiText(TEXT_REPORT_NOT_WRITTEN), QStringLiteral("/media/usb/site-report.html"),
                                      UiText(20127)};
    result.ShowResult(1, &reportFailed);
    sheet << Save(&result, QStringLiteral("result_report_failed_") + tag);
    const QStringList tooLarge = {QString(), UiText(20139),
                                  QStringLiteral("10.0.0.0 - 10.255.255.255")};
    result.ShowResult(1, &tooLarge);
    sheet << Save(&result, QStringLiteral("result_range_too_large_") + tag);
    const QStringList silent = {QStringLiteral("Gate (00:1B:2C:00:00:0B)"), UiText(20130), QString()};
    result.ShowResult(1, &silent);
    sheet << Save(&result, QStringLiteral("result_verify_no_answer_") + tag);
    const QStringList batch = {UiText(20067) + QStringLiteral(": 13"),
                               QStringLiteral("%1: 11   %2: 1   %3: 1").arg(UiText(20068), UiText(kTextRefused), UiText(kTextNoAnswer)),
                               UiText(kTextNotPassed).arg(QStringLiteral("Gate (00:1B:2C:00:00:0B), Yard (00:1B:2C:00:00:0C)"))};
    result.ShowResult(1, &batch);
    sheet << Save(&result, QStringLiteral("result_verify_all_") + tag);
    const QStringList assigned = {UiText(20006), UiText(kTextAssignedOf).arg(412).arg(1000), QString()};
    result.ShowResult(1, &assigned);
    sheet << Save(&result, QStringLiteral("result_auto_ip_count_") + tag);
    MessageOKCancelDlg unreachable(&owner, kTextUnreachable, kTextNoAdapterSubnet, kTextSendAnyway);
    sheet << Save(&unreachable, QStringLiteral("question_unreachable_") + tag);
    MessageOKCancelDlg question(&owner, 0, 20081, 0);
    sheet << Save(&question, QStringLiteral("question_") + tag);
    MessageOKCancelDlg closeUpgrading(&owner, 20132, 20134, 0);
    sheet << Save(&closeUpgrading, QStringLiteral("question_close_upgrading_") + tag);
    MessageOKCancelDlg closeBoth(&owner, 20132, 20133, 20134);
    sheet << Save(&closeBoth, QStringLiteral("question_close_both_") + tag);

    CLngDlg chooser(&owner);
    chooser.ShowAt(QPoint(0, 0));
    sheet << Save(&chooser, QStringLiteral("language_chooser_") + tag);
    CFunctionDlg menu(&owner);
    menu.ShowAt(QPoint(0, 0));
    sheet << Save(&menu, QStringLiteral("function_menu_") + tag);
    CRmListDlg remove(&owner);
    remove.ShowAt(QPoint(0, 0));
    sheet << Save(&remove, QStringLiteral("remove_menu_") + tag);
    CAboutDlg about(&owner);
    sheet << Save(&about, QStringLiteral("about_") + tag);
    SaveSheet(sheet, QStringLiteral("dialogs_sheet_") + tag);
}

// The camera panel: a verified camera with the mode chooser and the initialise chooser
// open and an address typed wrong, a camera not yet verified, and Save's refusal.
void CameraPanel(const QString& tag) {
    QWidget host;
    host.resize(820, 330);
    host.show();
    CameraRecord record{};
    CopyTruncated(record.name, "Lobby");
    CopyTruncated(record.mac, "00:1A:2B:3C:4D:01");
    CopyTruncated(record.ip, "192.168.1.20");
    CopyTruncated(record.mask, "255.255.255.0");
    CopyTruncated(record.gateway, "192.168.1.1");
    CopyTruncated(record.httpPort, "80");
    CopyTruncated(record.mode, "manual");
    CopyTruncated(record.user, "admin");
    QList<QImage> sheet;
    CCombineDlg panel(&host, &host);
    panel.setGeometry(0, 0, 810, 310);
    panel.show();
    panel.ShowCamera(record, true);
    panel.Info()->IpEdit()->setText(QStringLiteral("192.168.1.300"));
    panel.Info()->ToggleModeChooser();
    CDefaultDlg chooser(&host);
    chooser.Toggle(QRect(500, 0, 40, 36));
    sheet << Save(&host, QStringLiteral("camera_panel_verified_") + tag);
    chooser.hide();
    panel.Info()->ToggleModeChooser();
    panel.ShowCamera(record, false);
    sheet << Save(&host, QStringLiteral("camera_panel_login_") + tag);
    panel.Login()->SetBusy(true);
    sheet << Save(&host, QStringLiteral("camera_panel_verifying_") + tag);
    panel.Login()->SetBusy(false);
    CMessageDlg message(&host);
    message.SetLines(20113, 20121, 0);
    message.ShowUntilClosed();
    sheet << Save(&message, QStringLiteral("message_save_refused_") + tag);
    SaveSheet(sheet, QStringLiteral("camera_panel_sheet_") + tag);
}

// An ONVIF device of another maker beside a camera of this family: the list with its kind
// mark and maker, and the device's read-only panel.
void OnvifDevice(const QString& tag) {
    auto onvif = std::make_shared<OnvifEntry>();
    onvif->endpoint = "urn:uuid:6b3e2c1a-0000-4000-8000-00408c1a2b3c";
    onvif->address = "192.168.1.60";
    onvif->xaddrs = {"http://192.168.1.60/onvif/device_service", "http://[fe80::240:8cff:fe1a:2b3c]/onvif/device_service"};
    onvif->xaddr = onvif->xaddrs[0];
    onvif->name = "Gate East";
    onvif->hardware = "KV-360F";
    onvif->location = "Parking level -2";
    onvif->facts.info = {"Kestrel Vision", "KV-360F", "10.12.182", "KV360F0A2B3C", "KV-360"};
    onvif->facts.network.mac = "02:5e:10:1a:2b:3c";
    onvif->facts.clockKnown = true;
    onvif->facts.clockOffset = std::chrono::milliseconds(-7203400);
    CameraEntry device;
    device.key = OnvifKey(onvif->endpoint);
    device.kind = DeviceKind::Onvif;
    device.onvif = onvif;
    CopyTruncated(device.record.name, "Gate East");
    CopyTruncated(device.record.ip, "192.168.1.60");
    CopyTruncated(device.record.mask, "255.255.255.0");
    CopyTruncated(device.record.httpPort, "80");
    CopyTruncated(device.record.mode, "manual");
    CopyTruncated(device.record.fwVersion, "10.12.182");
    CopyTruncated(device.record.model, "KV-360F");
    CopyTruncated(device.record.company, "Kestrel Vision");
    device.verified = true;
    device.statusIndex = STATUS_INDEX_VERIFIED;
    CameraEntry camera;
    CopyTruncated(camera.record.name, "Lobby");
    CopyTruncated(camera.record.mac, "00:1A:2B:3C:4D:01");
    CopyTruncated(camera.record.ip, "192.168.1.20");
    CopyTruncated(camera.record.mask, "255.255.255.0");
    CopyTruncated(camera.record.gateway, "192.168.1.1");
    CopyTruncated(camera.record.httpPort, "80");
    CopyTruncated(camera.record.mode, "dhcp");
    CopyTruncated(camera.record.fwVersion, "2.1.11.0");
    CopyTruncated(camera.record.model, "TS-2100");
    CopyTruncated(camera.record.company, "Tarsel");
    camera.key = "00:1A:2B:3C:4D:01";
    QWidget host;
    host.resize(CTarsel_NextGenerateDlg::kWidth, 520);
    CListDlg list(&host, &host);
    list.setGeometry(0, 0, host.width(), 200);
    list.Model()->Apply({camera, device});
    CCombineDlg panel(&host, &host);
    panel.setGeometry(10, 205, 810, 310);
    panel.ShowOnvif(device, true, "admin");
    host.show();
    (void)QTest::qWaitForWindowExposed(&host);
    Save(&host, QStringLiteral("onvif_device_") + tag);
}

// The main window as it starts (searching), with an alert, and with the language chooser.
// Its engine reaches cameras over HTTP only, so the search sends no discovery; the script
// still runs this inside a lab namespace, so that nothing can leave the machine.
void MainWindow(int language, const QString& tag) {
    QTemporaryDir folder;
    const QString ini = folder.filePath(QStringLiteral("tarsel.ini"));
    QFile file(ini);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray("[SYSTEM]\nLanguage=") + LanguageName(language) + "\n");
    file.close();
    SetConfigPath(ini.toUtf8().constData());
    currentLanguage.store(-1);
    {
        HttpOnlyEnginePorts ports;
        CTarsel_NextGenerateDlg window(ports);
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        for (int i = 0; i < 200 && !window.messageDialog()->isVisible(); ++i) QTest::qWait(5);
        Save(&window, QStringLiteral("main_window_searching_") + tag);
        window.messageDialog()->Close();
        window.alertDialog()->ShowHardwareDefault();
        Save(&window, QStringLiteral("main_window_alert_") + tag);
        window.alertDialog()->hide();
        window.EnableAll();
        window.commandBar()->ToggleLanguageChooser();
        Save(&window, QStringLiteral("main_window_") + tag);
        window.commandBar()->ToggleLanguageChooser();
        // The window's own menu (a right click on the title bar).
        QMenu menu(&window);
        window.FillSystemMenu(&menu);
        menu.popup(window.mapToGlobal(QPoint(40, 20)));
        (void)QTest::qWaitForWindowExposed(&menu);
        Save(&menu, QStringLiteral("system_menu_") + tag);
        menu.hide();
        // The tools: the automatic IP page, the range search, the upgrade page and its
        // camera selection.
        window.ShowAutoIpLayout();
        window.ipSearch()->ShowCentred();
        QTest::qWait(50);
        Save(&window, QStringLiteral("main_window_tools_") + tag);
        // A range search over three addresses, none listening (the probe stands in: no
        // address is reached), shows its count.
        window.ipSearch()->Search().probe = [](const char*, int) { return 0; };
        window.ipSearch()->StartEdit()->setText(QStringLiteral("10.0.0.1"));
        window.ipSearch()->EndEdit()->setText(QStringLiteral("10.0.0.3"));
        window.ipSearch()->StartSearch();
        for (int i = 0; i < 400 && !window.ipSearch()->SearchButton()->isEnabled(); ++i)
            QTest::qWait(5);
        QTest::qWait(20);
        Save(&window, QStringLiteral("main_window_range_counted_") + tag);
        window.ipSearch()->hide();
        window.ShowUpgradeLayout();
        window.upgradeDialog()->ChooseFirmware(QStringLiteral("/firmware/tarsel.fw.2.1.11.0.tar"));
        window.upgradeDialog()->ToggleCameraSelection();
        QTest::qWait(50);  // the lists lay out their scroll bars once shown
        Save(&window, QStringLiteral("main_window_upgrade_") + tag);
        // Rows under way, failed and waiting: the percentage on its bar, the statuses whole.
        window.upgradeDialog()->ToggleCameraSelection();
        CTvListCtrl* rows = window.upgradeDialog()->List();
        const int upgradeStatuses[] = {5, 8, 6};
        for (int i = 0; i < 3; ++i) {
            const int row = rows->InsertItem(i, QStringLiteral("Camera-%1").arg(i), QStringLiteral("00:1A:2B:3C:4E:0%1").arg(i));
            rows->SetRowProgress(row, 37);
            rows->SetRowStatus(row, upgradeStatuses[i], QStringLiteral("37%"));
        }
        QTest::qWait(50);
        Save(&window, QStringLiteral("main_window_upgrading_") + tag);
    }
    SetConfigPath(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    PrepareTarselUi();
    QApplication app(argc, argv);
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (!QDir().mkpath(g_folder)) {
        std::fprintf(stderr, "tarsel-screenshots: cannot create %s\n", qPrintable(g_folder));
        return 1;
    }
    for (int language : {LANGUAGE_ENGLISH, LANGUAGE_POLISH, LANGUAGE_CHINESE_TRADITIONAL}) {
        UseLanguage(language);
        const QString tag = Tag(language);
        CameraList(tag);
        Dialogs(tag);
        CameraPanel(tag);
        OnvifDevice(tag);
        MainWindow(language, tag);
    }
    std::printf("tarsel-screenshots: %d pictures in %s\n", g_saved, qPrintable(g_folder));
    return 0;
}
