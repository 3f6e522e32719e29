#include "app/Tarsel_NextGenerateDlg.h"

#include <curl/curl.h>

#include <QCloseEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/AutoSetIPDlg.h"
#include "app/BehaviorDlg.h"
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

namespace {
const char kWindowTitle[] = "Gantrel";

// Statuses of a command under way, which no reply of the camera reports.
bool IsBusyStatus(int index) {
    return index == STATUS_INDEX_SETTING || index == STATUS_INDEX_REBOOTING || index == STATUS_INDEX_PROGRESS ||
           index == 6;
}

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
// Placeholder panel

CPanelPlaceholder::CPanelPlaceholder(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
}

void CPanelPlaceholder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(250, 250, 252));
    painter.setPen(QColor(225, 228, 235));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// ---------------------------------------------------------------------------------------
// Construction, initialisation, destruction

CTarsel_NextGenerateDlg::CTarsel_NextGenerateDlg(EnginePorts& ports, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_ports(ports) {
    m_appIcon = ResourceIcon(185);
    curl_global_init(CURL_GLOBAL_ALL);
    acceptUpdates = 1;
    OnInitDialog();
}

void CTarsel_NextGenerateDlg::OnInitDialog() {
    setWindowIcon(m_appIcon);
    setFixedSize(kWidth, kHeight);
    GetConfigPath();  // computed once, kept for the process
    m_verified.Clear();
    currentMac[0] = '\0';
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
    connect(m_bridge, &CEngineBridge::camerasChanged, this, &CTarsel_NextGenerateDlg::OnCamerasChanged);
    m_cameraList->SetClock([this] { return m_ports.Now(); });
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
    m_titleBar->onClose = [](void* context) {
        QMetaObject::invokeMethod(Owner(context), &QWidget::close, Qt::QueuedConnection);
    };
    m_titleBar->systemMenu = [](void* context, const QPoint& globalPos) {
        auto* self = Owner(context);
        QMenu menu(self);
        QAction* about = self->FillSystemMenu(&menu);
        QAction* chosen = menu.exec(globalPos);
        if (chosen == nullptr) return;
        if (chosen == about) self->OpenAboutBox();
        else if (chosen->data().toInt() == kExportListItem) self->ExportList();
    };

    m_commandBar->m_context = this;
    m_commandBar->onRefresh = [](void* context) { Owner(context)->Refresh(); };
    m_commandBar->onAutoIp = [](void* context) { Owner(context)->ShowAutoIpLayout(); };
    m_commandBar->onUpgrade = [](void* context) { Owner(context)->ShowUpgradeLayout(); };
    m_commandBar->onLanguage = [](void* context, int language) {
        TarselLog("Receive Language\n");
        Owner(context)->ApplyLanguage(language);
    };

    m_cameraList->m_context = this;
    m_cameraList->OnCameraSelected = [](void* context, const char* mac) { Owner(context)->OnCameraSelected(mac); };
    m_cameraList->IsCameraVerified = [](void* context, const char* mac) {
        return Owner(context)->IsCameraVerified(mac);
    };
    m_cameraList->OnShowMessage = [](void* context, int number) { Owner(context)->ShowFixedMessage(number); };
    m_cameraList->OnApplyFilter = [](void* context, int field, const char* text) {
        auto* self = Owner(context);
        self->ApplyListFilter(field, QString::fromUtf8(text), self->cameraList()->FilterInverted());
    };
    m_cameraList->OnRequeryCamera = [](void* context, const char* mac) {
        Owner(context)->engine().Ports().SendPacketData(HEADER_IP_QUERY, mac, "", "", "");
    };

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
    acceptUpdates = 0;
    m_bridge->SetAccepting(false);
    StopBusyWait();
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
    curl_global_cleanup();
}

// ---------------------------------------------------------------------------------------
// Language

void CTarsel_NextGenerateDlg::ApplyLanguage(int index) {
    if (index == currentLanguage.load()) return;
    currentLanguage.store(index);
    WriteConfigString("SYSTEM", "Language", LanguageName(index));
    EnsureThreadLanguage(index);
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
    RefreshWarnings();
    update();
}

// ---------------------------------------------------------------------------------------
// Messages and the modal overlay

void CTarsel_NextGenerateDlg::ShowFixedMessage(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kFixedMessages))) return;
    m_messageDialog->SetDisplaySeconds(3);
    m_messageDialog->SetLines(kFixedMessages[code].line1, kFixedMessages[code].line2, 0);
    m_messageDialog->ShowTimed();
}

QList<QWidget*> CTarsel_NextGenerateDlg::GuardedChildren() const {
    return {m_commandBar, m_cameraPanel, m_cameraList, m_titleBar, m_snapshotView, m_autoIpDialog,
            m_upgradeDialog};
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
    m_verified.Clear();
    m_hiddenRows.clear();
    m_places.clear();
    m_bridge->BeginSearch();
    m_cameraList->ClearList();
    currentMac[0] = '\0';
    ResetPanels();
    m_engine->StartSearch();
    if (showSearching) ShowFixedMessage(2);
}

void CTarsel_NextGenerateDlg::Refresh() {
    m_engine->SetMode(MODE_SEARCH);
    if (m_cameraPanel->isVisible()) Reset(true);
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
    // row shows "Setting" any more (at most about a minute).
    StopBusyWait();
    if (m_cameraList->AnyRowWithStatus(STATUS_INDEX_SETTING)) {
        m_messageDialog->SetLines(kFixedMessages[9].line1, kFixedMessages[9].line2, 0);
        m_messageDialog->ShowUntilClosed();
    }
    {
        std::lock_guard<std::mutex> guard(m_busyWaitLock);
        m_busyWaitStop = false;
    }
    m_busyWait = std::thread([this] { BusyWaitWorker(); });
}

void CTarsel_NextGenerateDlg::BusyWaitWorker() {
    m_ports.EnsureThreadLanguage();
    std::unique_lock<std::mutex> lock(m_busyWaitLock);
    for (int round = 0; round < 61 && m_cameraList->AnyRowWithStatus(STATUS_INDEX_SETTING); ++round) {
        if (m_busyWaitWake.wait_for(lock, std::chrono::milliseconds(1000), [this] { return m_busyWaitStop; })) return;
    }
    QMetaObject::invokeMethod(m_messageDialog, [dialog = m_messageDialog] { dialog->Close(); }, Qt::QueuedConnection);
}

void CTarsel_NextGenerateDlg::StopBusyWait() {
    {
        std::lock_guard<std::mutex> guard(m_busyWaitLock);
        m_busyWaitStop = true;
    }
    m_busyWaitWake.notify_all();
    if (m_busyWait.joinable()) m_busyWait.join();
}

void CTarsel_NextGenerateDlg::ResetPanels() {
    // A verification under way is dropped with the panel that asked for it.
    if (m_verifier != nullptr) m_verifier->Cancel();
    m_cameraPanel->ResetPanel();
    m_snapshotView->Clear();
    UpdateCommandBar();
}

void CTarsel_NextGenerateDlg::ReloadPanel() {
    CameraRecord record;
    if (m_engine->CopyCamera(currentMac, &record)) m_cameraPanel->ReloadCamera(record);
}

// ---------------------------------------------------------------------------------------
// Cameras

void CTarsel_NextGenerateDlg::OnCamerasChanged(const QStringList& macs) {
    if (acceptUpdates == 0) return;
    for (const QString& mac : macs) OnCameraChanged(mac);
    m_cameraList->UpdateCount();
    if (m_warningsStale || SubnetsExpired()) RefreshWarnings();
}

void CTarsel_NextGenerateDlg::OnCameraChanged(const QString& macText) {
    if (acceptUpdates == 0) return;
    const QByteArray mac = macText.toUtf8();
    const int current = m_cameraList->StatusOf(mac.constData());
    if (current < 0) {
        // A camera the filter in force hides gets no row.
        CameraRecord copy;
        if (!m_engine->CopyCamera(mac.constData(), &copy)) return;
        if (!FilterShowsCamera(copy, m_filterField, m_filterText.constData(), m_filterInvert)) {
            NotePlace(copy);  // hidden, yet still a party to duplicates
            return;
        }
    }
    CameraChange change;
    if (!ApplyCameraChange(*m_engine, m_verified, mac.constData(), current < 0 ? STATUS_INDEX_VIEW : current,
                           &change))
        return;
    NotePlace(change.record);
    bool added = false;
    const int row = m_cameraList->UpdateRow(change.record, &added);
    if (added) m_bridge->SetListed(macText);
    if (change.decision.index != current) m_cameraList->List()->SetRowStatus(row, change.decision.index);
    if (change.decision.confirmed) {
        m_cameraList->ClearBusy(mac.constData());
        if (!m_cameraList->AnyRowWithStatus(STATUS_INDEX_SETTING)) m_engine->SetKeepQueryRounds(0);
    }
    if (HasStatus(&change.record, STATUS_AUTH_OK)) m_cameraList->CheckIfSelectAll(mac.constData());
}

bool CTarsel_NextGenerateDlg::IsMacListed(const char* mac) const { return m_bridge->IsMacListed(mac); }

int CTarsel_NextGenerateDlg::ListCount() const { return m_cameraList->List()->GetItemCount(); }

void CTarsel_NextGenerateDlg::OnCameraSelected(const char* mac) {
    CameraRecord record;
    if (mac == nullptr || !m_engine->CopyCamera(mac, &record)) return;  // gone with a new search
    BoundedCopy(currentMac, mac, __func__, __LINE__);
    UpdateCommandBar();
    m_cameraPanel->ShowCamera(record, IsCameraVerified(mac));
    // The view keeps the MAC and reads the camera afresh on every picture.
    if (IsCameraVerified(mac)) m_snapshotView->Start(QString::fromUtf8(mac));
    else m_snapshotView->Clear();
}

void CTarsel_NextGenerateDlg::UpdateCommandBar() {
    const bool anyChecked = m_cameraList->CheckedCount() > 0;
    if (anyChecked) m_commandBar->EnableButton(CBehaviorDlg::kInitialize, true);
    const QString selected = m_cameraList->SelectedMac();
    if (selected.isEmpty()) {
        m_commandBar->EnableButton(CBehaviorDlg::kView, false);
        if (!anyChecked) m_commandBar->EnableButton(CBehaviorDlg::kInitialize, false);
        return;
    }
    const bool verified = IsCameraVerified(selected.toUtf8().constData());
    m_commandBar->EnableButton(CBehaviorDlg::kView, verified);
    if (!anyChecked) m_commandBar->EnableButton(CBehaviorDlg::kInitialize, verified);
}

bool CTarsel_NextGenerateDlg::IsCameraVerified(const char* mac) const { return m_verified.IsCameraVerified(mac); }

void CTarsel_NextGenerateDlg::RememberAuthenticated(const char* mac) { m_verified.RememberAuthenticated(mac); }

void CTarsel_NextGenerateDlg::ForgetAuthenticated(const char* mac) {
    if (!m_engine->WithCamera(mac, [&](CameraRecord& record) { m_verified.ForgetAuthenticated(&record); })) {
        CameraRecord gone{};
        CopyTruncated(gone.mac, mac);
        m_verified.ForgetAuthenticated(&gone);
    }
}

void CTarsel_NextGenerateDlg::SetCameraStatus(const QString& macText, int statusIndex) {
    const QByteArray mac = macText.toUtf8();
    m_cameraList->SetStatus(mac.constData(), statusIndex);
    if (statusIndex == STATUS_INDEX_NO_RESPONSE) {
        CameraRecord shown{};
        const bool found = m_engine->WithCamera(mac.constData(), [&](CameraRecord& r) {
            // The row showed the values asked for; no reply ever confirmed them, so it goes
            // back to what the camera last reported.
            if (r.settingSince != 0) {
                CopyTruncated(r.name, r.oldName);
                CopyTruncated(r.ip, r.oldIp);
                CopyTruncated(r.mask, r.oldMask);
                CopyTruncated(r.gateway, r.oldGateway);
                CopyTruncated(r.mode, r.oldMode);
                CopyTruncated(r.httpPort, r.oldPort);
                // Failed like a setting that timed out: a later reply keeps saying so.
                SetStatus(&r, STATUS_SETTING_TIMEOUT);
            }
            r.settingSince = 0;
            shown = r;
        });
        if (found && m_cameraList->RowOfMac(mac.constData()) >= 0) m_cameraList->UpdateRow(shown);
        m_cameraList->ClearBusy(mac.constData());
        RefreshWarnings();  // the address went back
    }
    UpdateCommandBar();
}

void CTarsel_NextGenerateDlg::ApplyListFilter(int field, const QString& text, bool invert) {
    m_filterField = field;
    m_filterText = text.left(static_cast<int>(kFilterTextMax)).toUtf8();
    m_filterInvert = invert;
    // What the rows show now, and what hidden rows showed when they were hidden, is kept.
    CTvListCtrl* list = m_cameraList->List();
    QHash<QString, KeptRow> kept = m_hiddenRows;
    for (int row = 0; row < list->GetItemCount(); ++row)
        kept.insert(m_cameraList->MacOfRow(row), {list->GetRowStatus(row), list->GetCheck(row),
                                                  list->GetRowProgress(row), list->GetItemText(row, 9), false});
    for (auto it = m_hiddenRows.constBegin(); it != m_hiddenRows.constEnd(); ++it) kept[it.key()].hidden = true;
    const QString selected = m_cameraList->SelectedMac();
    const std::vector<CameraRecord> records = m_engine->CopyCameras();
    list->DeleteAllItems();
    QStringList listed;
    for (size_t position : FilterCameras(records, field, m_filterText.constData(), invert)) {
        const CameraRecord& record = records[position];
        const QString mac = QString::fromUtf8(record.mac);
        const int row = m_cameraList->AppendRow(record);
        listed << mac;
        const auto it = kept.constFind(mac);
        // A row hidden meanwhile keeps only what no reply can tell: its check mark and a
        // command under way; the rest its record decides now.
        const bool busy = it != kept.constEnd() && IsBusyStatus(it->status);
        if (it != kept.constEnd() && it->check != 0) list->SetCheck(row, it->check);
        if (it != kept.constEnd() && it->progress != 0) list->SetRowProgress(row, it->progress);
        if (it != kept.constEnd() && (!it->hidden || busy)) {
            list->SetRowStatus(row, it->status, it->statusText);
        } else {
            CameraChange change;
            if (ApplyCameraChange(*m_engine, m_verified, record.mac, STATUS_INDEX_VIEW, &change)) {
                const bool pending = change.record.settingSince != 0;
                list->SetRowStatus(row, pending ? STATUS_INDEX_SETTING : change.decision.index);
                if (change.decision.confirmed) m_cameraList->ClearBusy(record.mac);
            }
        }
        kept.remove(mac);
        if (mac == selected) list->SetSelectedRow(row);
    }
    m_cameraList->UpdateCount();
    // The rows are new; the warnings are not, unless something they depend on changed.
    if (m_warningsStale || SubnetsExpired()) RefreshWarnings();
    else list->SetRowNotes(m_notes);
    m_hiddenRows = kept;
    m_bridge->ReplaceListed(listed);
    UpdateCommandBar();
}

// The window's own menu, opened by a right click on the title bar (a frameless window has
// no menu of the platform's): the export, a separator and the about item, when its text is
// not empty.
QAction* CTarsel_NextGenerateDlg::FillSystemMenu(QMenu* menu) {
    menu->addAction(UiText(20125))->setData(kExportListItem);
    const QString about = UiText(20001);
    if (about.isEmpty()) return nullptr;
    menu->addSeparator();
    QAction* item = menu->addAction(about);
    item->setData(16);
    return item;
}

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
            ReportHistoryWriteFailure();
            break;
        case EVT_SHOW_RESULT: m_resultBox->ShowResult(1, &event.m_texts); break;
        case EVT_HTTP_UNREACHABLE: SetCameraStatus(event.m_mac, event.m_statusIndex); break;
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
    TLOG("(%s:%d)Close %s.", kWindowTitle);
    event->accept();
    done(0);
}
