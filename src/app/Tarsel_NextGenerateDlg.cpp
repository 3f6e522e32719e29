#include "app/Tarsel_NextGenerateDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/AutoSetIPDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CameraTableModel.h"
#include "app/CombineDlg.h"
#include "app/DefaultDlg.h"
#include "app/DhcpDlg.h"
#include "app/InfoDlg.h"
#include "app/LoginVerifier.h"
#include "app/EngineBridge.h"
#include "app/FilterDlg.h"
#include "app/FunctionDlg.h"
#include "app/IPSearchDlg.h"
#include "app/Icons.h"
#include "app/ListDlg.h"
#include "app/LngDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/PopupPanel.h"
#include "app/SiteReportFlow.h"
#include "app/TitleDlg.h"
#include "app/UpgradeDlg.h"
#include "app/ViewDlg.h"
#include "common/Config.h"
#include "common/Language.h"
#include "common/stdafx.h"
#include "controls/Accessibility.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"
#include "engine/TSmain.h"
#include "finder/LibIP.h"
#include "web/LibCurl.h"

namespace {
const char kWindowTitle[] = "Gantrel";

constexpr int kBusyWaitRounds = 61;
constexpr int kBusyWatchMs = 2000;

// Lines 1 and 2 of the fixed messages, by code; 0 leaves a line empty.
struct FixedMessage {
    int line1;
    int line2;
};
constexpr FixedMessage kFixedMessages[] = {
    {20002, 20003}, {0, 20004}, {0, 20005}, {0, 20006}, {0, 20007}, {0, 20032},
    {0, 20031},     {0, 20031}, {0, 20008}, {0, 20009}, {0, 20010},
};

CTarsel_NextGenerateDlg* Owner(void* context) { return static_cast<CTarsel_NextGenerateDlg*>(context); }
void DisableAllSlot(void* context) { Owner(context)->DisableAll(); }
void EnableAllSlot(void* context) { Owner(context)->EnableAll(); }
void OwnerRectSlot(void* context, QRect* rect) { *rect = Owner(context)->rect(); }
}  // namespace

// ---------------------------------------------------------------------------------------
// Construction, initialisation, destruction

CTarsel_NextGenerateDlg::CTarsel_NextGenerateDlg(EnginePorts& ports, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_ports(ports) {
    m_appIcon = ResourceIcon(185);
    HttpGlobalInit();
    OnInitDialog();
}

void CTarsel_NextGenerateDlg::OnInitDialog() {
    setWindowIcon(m_appIcon);
    // At least the size its panels need; larger (or maximised), the list takes the room.
    setMinimumSize(kWidth, kHeight);
    resize(kWidth, kHeight);
    GetConfigPath();  // computed once, kept for the process
    currentMac.clear();
    CreateChildren();
    WireCallbacks();
    SetUpKeyboard();
    PostCameraEvent(this, EVT_START_SEARCH);
    char language[1024];
    ReadConfigString("SYSTEM", "Language", "ENGLISH", language, sizeof(language));
    ApplyLanguage(LanguageFromName(language));
    setWindowTitle(QString::fromLatin1(kWindowTitle));
}

void CTarsel_NextGenerateDlg::CreateChildren() {
    const int listTop = CTitleDlg::kHeight + CBehaviorDlg::kHeight;
    m_titleBar = new CTitleDlg(this);
    m_titleBar->setGeometry(0, 0, kWidth, CTitleDlg::kHeight);
    m_commandBar = new CBehaviorDlg(this, this);
    m_commandBar->setGeometry(0, CTitleDlg::kHeight, kWidth, CBehaviorDlg::kHeight);
    m_cameraList = new CListDlg(this, this);
    m_cameraList->setGeometry(0, listTop, kWidth, 300);
    const QRect panel(kWidth / 100, listTop + 300 + 2, kWidth * 70 / 100, 310);
    m_cameraPanel = new CCombineDlg(this, this);
    m_cameraPanel->setGeometry(panel);
    // The engine reports to the bridge, which exists before it and outlives it.
    m_bridge = new CEngineBridge(this);
    m_engine = std::make_unique<CTSmainDlg>(m_ports, m_bridge->Slots());
    m_bridge->SetEngine(m_engine.get());
    // The table's batches go straight to the list's model.
    connect(m_bridge, &CEngineBridge::camerasChanged, m_cameraList->Model(), &CameraTableModel::Apply);
    // A camera saved from the panel stays in it; once its setting is confirmed (or has
    // failed) the panel shows what the camera now reports.
    connect(m_bridge, &CEngineBridge::camerasChanged, this, [this] {
        if (m_savedMac.empty() || m_savedMac != currentMac) return;
        if (m_engine->Table().StatusOf(currentMac.c_str()) == STATUS_INDEX_SETTING) return;
        m_savedMac.clear();
        OnCameraSelected(currentMac.c_str());
    });
    m_busyWait.setInterval(1000);
    connect(&m_busyWait, &QTimer::timeout, this, &CTarsel_NextGenerateDlg::BusyWaitRound);
    m_busyWatch.setInterval(kBusyWatchMs);
    connect(&m_busyWatch, &QTimer::timeout, this, [this] { WatchBusyCameras(m_ports.Now()); });
    m_busyWatch.start();
    m_messageDialog = new CMessageDlg(this);
    m_resultBox = new CMessageOKDlg(this);
    m_alertDialog = new CAlartDlg(this);
    m_alertDialog->CentreOn(rect());
    CreateTools(panel, listTop);
    m_defaultChooser = new CDefaultDlg(this);
    // The pop-ups stay above every panel.
    m_commandBar->LanguageChooser()->raise();
    m_cameraList->FilterChooser()->raise();
    m_cameraList->FunctionMenu()->raise();
    m_cameraPanel->Info()->ModeChooser()->raise();
}

void CTarsel_NextGenerateDlg::WireCallbacks() {
    m_titleBar->m_context = this;
    m_titleBar->onMove = [](void* context, int x, int y) { Owner(context)->move(x, y); };
    m_titleBar->onMinimise = [](void* context) { Owner(context)->showMinimized(); };
    m_titleBar->onMaximise = [](void* context) { Owner(context)->ToggleMaximised(); };
    m_titleBar->onClose = [](void* context) {
        QMetaObject::invokeMethod(Owner(context), &QWidget::close, Qt::QueuedConnection);
    };
    m_titleBar->systemMenu = [](void* context, const QPoint& globalPos) { Owner(context)->OpenSystemMenu(globalPos); };

    m_commandBar->m_context = this;
    m_commandBar->onRefresh = [](void* context) { Owner(context)->Refresh(); };
    m_commandBar->onAutoIp = [](void* context) { Owner(context)->ShowAutoIpLayout(); };
    m_commandBar->onUpgrade = [](void* context) { Owner(context)->ShowUpgradeLayout(); };
    m_commandBar->onLanguage = [](void* context, int language) {
        TarselLog("Receive Language\n");
        Owner(context)->ApplyLanguage(language);
    };

    connect(m_cameraList, &CListDlg::cameraSelected, this,
            [this](const QString& mac) { OnCameraSelected(mac.toUtf8().constData()); });
    connect(m_cameraList, &CListDlg::cameraActivated, m_cameraPanel, &CCombineDlg::FocusFirstField);
    connect(m_cameraList, &CListDlg::showMessage, this, &CTarsel_NextGenerateDlg::ShowFixedMessage);
    connect(m_cameraList, &CListDlg::openWebsite, this, [this](const QString& ip, const QString& port, const QString& mac) {
        OnOpenWebsite(ip.toUtf8().constData(), port.toUtf8().constData(), mac.toUtf8().constData());
    });
    connect(m_cameraList, &CListDlg::upgradeCamera, this,
            [this](const QString& mac) { OnUpgradeCamera(mac.toUtf8().constData()); });

    m_messageDialog->m_context = this;
    m_messageDialog->onShow = &DisableAllSlot;
    m_messageDialog->onClose = &EnableAllSlot;
    m_messageDialog->getOwnerRect = &OwnerRectSlot;
    m_resultBox->m_context = this;
    m_resultBox->onShow = &DisableAllSlot;
    m_resultBox->onClose = &EnableAllSlot;
    m_resultBox->getOwnerRect = &OwnerRectSlot;
    m_alertDialog->m_context = this;
    m_alertDialog->onShow = &DisableAllSlot;
    m_alertDialog->getOwnerRect = &OwnerRectSlot;
    WireTools();
    WireFlows();
}

CTarsel_NextGenerateDlg::~CTarsel_NextGenerateDlg() {
    // From here the engine's notifications and batches are ignored.
    m_bridge->SetAccepting(false);
    m_busyWait.stop();
    m_busyWatch.stop();
    StopFlows();
    // The snapshot view first (its worker may still deliver a picture), then the engine
    // (its threads end with it), then the remaining children; the bridge goes last, with
    // any flush still queued for it.
    DestroyTools();
    m_engine.reset();
    for (QWidget* child : std::initializer_list<QWidget*>{m_titleBar, m_commandBar, m_cameraList, m_cameraPanel,
                                                         m_messageDialog, m_resultBox, m_alertDialog,
                                                         m_upgradeDialog, m_autoIpDialog})
        delete child;
    delete m_bridge;
}

// ---------------------------------------------------------------------------------------
// Language

void CTarsel_NextGenerateDlg::ApplyLanguage(int index) {
    if (index == currentLanguage.load()) return;
    currentLanguage.store(index);
    WriteConfigString("SYSTEM", "Language", LanguageName(index));
    EnsureThreadLanguage(index);
    UiUseQtTranslations(index);
    m_alertDialog->ReloadTexts();
    m_commandBar->ReloadTexts();
    m_cameraPanel->ReloadTexts();  // authenticated, information and login panels
    m_cameraList->SetLanguage();
    m_messageDialog->ReloadTexts();
    m_titleBar->ReloadTexts();
    m_commandBar->LanguageChooser()->ReloadTexts();
    m_defaultChooser->ReloadTexts();
    m_autoIpDialog->ReloadTexts();
    m_resultBox->ReloadTexts();
    m_upgradeDialog->ReloadTexts();
    m_ipSearch->ReloadTexts();
    ReloadNames(this);  // what a screen reader calls each control, in the new language
    UpdateCommandBar();  // the read-only reason, in the new language
    update();
}

// ---------------------------------------------------------------------------------------
// Messages and the modal overlay

void CTarsel_NextGenerateDlg::ShowFixedMessage(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kFixedMessages))) return;
    // Searching, setting, rebooting and defaulting say what goes on and go by themselves;
    // every other message says what went wrong and stays until OK.
    if (code != 2 && code != 3 && code != 5 && code != 6 && code != 7) {
        ShowFailure(kFixedMessages[code].line1, kFixedMessages[code].line2);
        return;
    }
    m_messageDialog->SetDisplaySeconds(3);
    m_messageDialog->SetLines(kFixedMessages[code].line1, kFixedMessages[code].line2, 0);
    m_messageDialog->ShowTimed();
}

// The title bar is not among them: closing or minimising the window is never taken away,
// whatever runs (a close while jobs run asks first).
QList<QWidget*> CTarsel_NextGenerateDlg::GuardedChildren() const {
    return {m_commandBar, m_cameraPanel, m_cameraList, m_snapshotView, m_autoIpDialog, m_upgradeDialog};
}

void CTarsel_NextGenerateDlg::DisableAll() {
    for (QWidget* child : GuardedChildren()) child->setEnabled(false);
}

void CTarsel_NextGenerateDlg::EnableAll() {
    for (QWidget* child : GuardedChildren()) child->setEnabled(true);
    FocusHomeWhenLost();
}

// ---------------------------------------------------------------------------------------
// Layouts and search

void CTarsel_NextGenerateDlg::Reset(bool showSearching) {
    m_cameraList->ClearList();
    currentMac.clear();
    ResetPanels();
    m_engine->StartSearch();
    if (showSearching) ShowFixedMessage(2);
}

void CTarsel_NextGenerateDlg::Refresh() {
    m_engine->SetMode(MODE_SEARCH);
    // From a tool page too: Refresh means a new search wherever it is pressed.
    Reset(true);
    ShowListLayout();
}

void CTarsel_NextGenerateDlg::ShowListLayout() {
    m_cameraList->show();
    m_upgradeDialog->hide();
    m_cameraPanel->show();
    m_snapshotView->show();
    m_autoIpDialog->hide();
}

void CTarsel_NextGenerateDlg::ShowUpgradeLayout() {
    m_cameraList->hide();
    m_upgradeDialog->show();
    m_cameraPanel->hide();
    m_snapshotView->hide();
    m_autoIpDialog->hide();
}

void CTarsel_NextGenerateDlg::ShowAutoIpLayout() {
    m_cameraList->show();
    m_upgradeDialog->hide();
    m_cameraPanel->hide();
    m_snapshotView->show();
    m_autoIpDialog->show();
    // While a setting is under way the assignment must wait: the message says so until no
    // camera shows "Setting" any more (at most about a minute).
    if (m_engine->Table().AnyWithStatus(STATUS_INDEX_SETTING)) {
        m_messageDialog->SetLines(kFixedMessages[9].line1, kFixedMessages[9].line2, 0);
        m_messageDialog->ShowUntilClosed();
    }
    m_busyWaitRounds = 0;
    m_busyWait.start();
    BusyWaitRound();
}

void CTarsel_NextGenerateDlg::BusyWaitRound() {
    if (m_busyWaitRounds++ < kBusyWaitRounds && m_engine->Table().AnyWithStatus(STATUS_INDEX_SETTING)) return;
    m_busyWait.stop();
    m_messageDialog->Close();
}

void CTarsel_NextGenerateDlg::ResetPanels() {
    // A verification under way is dropped with the panel that asked for it.
    if (m_verifier != nullptr) m_verifier->Cancel();
    m_cameraPanel->ResetPanel();
    ShowVerifyBusy();
    m_snapshotView->Clear();
    UpdateCommandBar();
}

void CTarsel_NextGenerateDlg::ReloadPanel() {
    CameraRecord record;
    if (m_engine->CopyCamera(currentMac.c_str(), &record)) m_cameraPanel->ReloadCamera(record);
}

// ---------------------------------------------------------------------------------------
// Cameras


void CTarsel_NextGenerateDlg::OnCameraSelected(const char* mac) {
    CameraRecord record;
    CameraEntry entry;
    if (mac != nullptr && IsOnvifKey(mac) && m_engine->Table().Find(mac, &entry)) return ShowOnvifDevice(entry);
    if (mac == nullptr || !m_engine->CopyCamera(mac, &record)) return;  // gone with a new search
    if (m_savedMac != mac) m_savedMac.clear();
    currentMac = mac;
    UpdateCommandBar();
    m_cameraPanel->ShowCamera(record, IsCameraVerified(mac));
    ShowVerifyBusy();
    // The view keeps the MAC and reads the camera afresh on every picture.
    if (IsCameraVerified(mac)) m_snapshotView->Start(QString::fromUtf8(mac));
    else m_snapshotView->Clear();
}

void CTarsel_NextGenerateDlg::UpdateCommandBar() {
    const bool anyChecked = m_cameraList->CheckedCount() > 0;
    if (anyChecked) m_commandBar->EnableButton(CBehaviorDlg::kInitialize, true);
    const int selected = m_cameraList->List()->GetSelectedRow();
    if (selected < 0) {
        ShowReadOnlyReason(false);
        m_commandBar->EnableButton(CBehaviorDlg::kView, false);
        if (!anyChecked) m_commandBar->EnableButton(CBehaviorDlg::kInitialize, false);
        return;
    }
    // An ONVIF device's page asks for its own login: it opens without a verification. Only
    // checked cameras are rebooted or defaulted with one selected, and it is never checked.
    const bool onvif = IsOnvifKey(m_cameraList->MacOfRow(selected).toStdString());
    const bool verified = m_cameraList->VerifiedRow(selected);
    m_commandBar->EnableButton(CBehaviorDlg::kView, verified || onvif);
    if (!anyChecked) m_commandBar->EnableButton(CBehaviorDlg::kInitialize, verified && !onvif);
    ShowReadOnlyReason(onvif && !anyChecked);
}

bool CTarsel_NextGenerateDlg::IsCameraVerified(const char* mac) const {
    return m_engine->Table().IsCameraVerified(mac);
}

void CTarsel_NextGenerateDlg::RememberAuthenticated(const char* mac) { m_engine->Table().RememberAuthenticated(mac); }

void CTarsel_NextGenerateDlg::ForgetAuthenticated(const char* mac) { m_engine->ForgetAuthenticated(mac); }

void CTarsel_NextGenerateDlg::WatchBusyCameras(uint32_t now) {
    CameraTable& table = m_engine->Table();
    for (const BusyDecision& d : table.ScanBusy(now)) {
        const int status = table.StatusOf(d.mac.c_str());
        switch (d.kind) {
            case BusyDecision::Requery:
                m_engine->Ports().SendPacketData(HEADER_IP_QUERY, d.mac.c_str(), "", "", "");
                break;
            case BusyDecision::SettingExpired:
                // Never answered: the row stops claiming "Setting" and the camera takes
                // commands again.
                TLOG("(%s:%d)%s, busy SETTING expired", d.mac.c_str());
                if (status == STATUS_INDEX_SETTING) m_engine->ShowNoResponse(d.mac.c_str());
                break;
            case BusyDecision::DefaultExpired:
                TLOG("(%s:%d)%s, busy DEFAULT expired", d.mac.c_str());
                if (d.viaHttp) table.SetStatus(d.mac.c_str(), STATUS_INDEX_VIEW);
                else if (status == STATUS_INDEX_REBOOTING || status == STATUS_INDEX_SETTING)
                    m_engine->ShowNoResponse(d.mac.c_str());
                break;
        }
    }
}

// The window's own menu, opened by a right click on the title bar (a frameless window has
// no menu of the platform's): the export, the site report, a separator and the about item,
// when its text is not empty.

void CTarsel_NextGenerateDlg::ToggleMaximised() { isMaximized() ? showNormal() : showMaximized(); }

void CTarsel_NextGenerateDlg::OpenAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

// ---------------------------------------------------------------------------------------
// Events

bool CTarsel_NextGenerateDlg::event(QEvent* event) {
    if (event->type() == CCameraEvent::kType) {
        OnCameraEvent(*static_cast<CCameraEvent*>(event));
        return true;
    }
    return QDialog::event(event);
}

void CTarsel_NextGenerateDlg::OnCameraEvent(const CCameraEvent& event) {
    switch (event.m_code) {
        case EVT_START_SEARCH: Reset(true); break;
        case EVT_SELECTION_CHANGED: UpdateCommandBar(); break;
        case EVT_AUTO_IP_DONE:
            m_messageDialog->Close();
            EndAutoIpCount();
            ReportHistoryWriteFailure();
            break;
        case EVT_SHOW_RESULT: m_resultBox->ShowResult(1, &event.m_texts); break;
        default: break;  // EVT_CHECK_CHANGED belongs to the list's own dialog; others are ignored
    }
}

// Addresses handed out while the history cannot be saved may be handed out again to
// other cameras later: the installer has to know, but once per session is enough.
void CTarsel_NextGenerateDlg::ReportHistoryWriteFailure() {
    if (!TakeIpHistoryWriteFailure() || m_historyFailureShown) return;
    m_historyFailureShown = true;
    const QStringList texts = {UiText(20122), UiText(20123), UiText(20124)};
    m_resultBox->ShowResult(1, &texts);
}

void CTarsel_NextGenerateDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTarsel_NextGenerateDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
    painter.setPen(QColor(200, 200, 200));
    painter.drawLine(5, 100, width() - 5, 100);
}

void CTarsel_NextGenerateDlg::closeEvent(QCloseEvent* event) {
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    TLOG("(%s:%d)Close %s.", kWindowTitle);
    event->accept();
    done(0);
}
