#include "app/Tarsel_NextGenerateDlg.h"

#include <curl/curl.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "app/AboutDlg.h"
#include "app/AlartDlg.h"
#include "app/BehaviorDlg.h"
#include "app/Icons.h"
#include "app/LngDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/PopupPanel.h"
#include "app/TitleDlg.h"
#include "common/Config.h"
#include "common/Language.h"
#include "common/stdafx.h"
#include "controls/UiText.h"

namespace {
const char kWindowTitle[] = "Gantrel";

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

CTarsel_NextGenerateDlg::CTarsel_NextGenerateDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint) {
    m_appIcon = ResourceIcon(185);
    curl_global_init(CURL_GLOBAL_ALL);
    acceptUpdates = 1;
    OnInitDialog();
}

void CTarsel_NextGenerateDlg::OnInitDialog() {
    setWindowIcon(m_appIcon);
    setFixedSize(kWidth, kHeight);
    GetConfigPath();  // computed once, kept for the process
    for (auto& slot : authenticatedMacs) slot[0] = '\0';
    currentMac[0] = '\0';
    CreateChildren();
    WireCallbacks();
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
    m_cameraList = new CPanelPlaceholder(QStringLiteral("cameraList"), this);
    m_cameraList->setGeometry(0, listTop, kWidth, 300);
    const QRect panel(kWidth / 100, listTop + 300 + 2, kWidth * 70 / 100, 310);
    m_cameraPanel = new CPanelPlaceholder(QStringLiteral("cameraPanel"), this);
    m_cameraPanel->setGeometry(panel);
    m_snapshotView = new CPanelPlaceholder(QStringLiteral("snapshotView"), this);
    m_snapshotView->setGeometry(panel.right() + 1 + 10, panel.top(), 310, 310);
    m_messageDialog = new CMessageDlg(this);
    m_resultBox = new CMessageOKDlg(this);
    m_alertDialog = new CAlartDlg(this);
    m_alertDialog->CentreOn(rect());
    m_upgradeDialog = new CPanelPlaceholder(QStringLiteral("upgradeDialog"), this);
    m_upgradeDialog->setGeometry(0, listTop, kWidth, kHeight - listTop);
    m_upgradeDialog->hide();
    m_autoIpDialog = new CPanelPlaceholder(QStringLiteral("autoIpDialog"), this);
    m_autoIpDialog->setGeometry(panel);
    m_autoIpDialog->hide();
    // The pop-ups stay above every panel.
    m_commandBar->LanguageChooser()->raise();
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
        if (about != nullptr && menu.exec(globalPos) == about) self->OpenAboutBox();
    };

    m_commandBar->m_context = this;
    m_commandBar->onRefresh = [](void* context) { Owner(context)->Refresh(); };
    m_commandBar->onAutoIp = [](void* context) { Owner(context)->ShowAutoIpLayout(); };
    m_commandBar->onUpgrade = [](void* context) { Owner(context)->ShowUpgradeLayout(); };
    m_commandBar->onLanguage = [](void* context, int language) {
        TarselLog("Receive Language\n");
        Owner(context)->ApplyLanguage(language);
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
}

CTarsel_NextGenerateDlg::~CTarsel_NextGenerateDlg() {
    acceptUpdates = 0;
    // The snapshot view first (its worker may still deliver a picture), then the engine,
    // then the remaining children.
    for (QWidget* child : std::initializer_list<QWidget*>{
             m_snapshotView, m_titleBar, m_commandBar, m_cameraList, m_cameraPanel, m_messageDialog,
             m_resultBox, m_alertDialog, m_upgradeDialog, m_autoIpDialog})
        delete child;
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
    m_cameraList->ReloadTexts();
    m_messageDialog->ReloadTexts();
    m_titleBar->ReloadTexts();
    m_commandBar->LanguageChooser()->ReloadTexts();
    m_autoIpDialog->ReloadTexts();
    m_resultBox->ReloadTexts();
    m_upgradeDialog->ReloadTexts();
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
}

// ---------------------------------------------------------------------------------------
// Layouts and search

void CTarsel_NextGenerateDlg::Reset(bool showSearching) {
    for (auto& slot : authenticatedMacs) slot[0] = '\0';
    UpdateCommandBar();
    if (showSearching) ShowFixedMessage(2);
}

void CTarsel_NextGenerateDlg::Refresh() {
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
}

void CTarsel_NextGenerateDlg::UpdateCommandBar() {
    // With no camera rows nothing is checked or selected: both stay disabled.
    m_commandBar->EnableButton(CBehaviorDlg::kInitialize, false);
    m_commandBar->EnableButton(CBehaviorDlg::kView, false);
}

bool CTarsel_NextGenerateDlg::IsCameraVerified(const char* mac) const {
    if (mac == nullptr || mac[0] == '\0') return false;
    for (const auto& slot : authenticatedMacs)
        if (std::strcmp(slot, mac) == 0) return true;
    return false;
}

void CTarsel_NextGenerateDlg::RememberAuthenticated(const char* mac) {
    if (mac == nullptr || mac[0] == '\0' || IsCameraVerified(mac)) return;
    for (auto& slot : authenticatedMacs) {
        if (slot[0] == '\0') {
            BoundedCopy(slot, mac, __func__, __LINE__);
            return;
        }
    }
}

// The window's own menu, opened by a right click on the title bar (a frameless window has
// no menu of the platform's): a separator and the about item, when its text is not empty.
QAction* CTarsel_NextGenerateDlg::FillSystemMenu(QMenu* menu) {
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
    if (event->type() == WM_CAMERA_EVENT) {
        OnCameraEvent(*static_cast<CCameraEvent*>(event));
        return true;
    }
    return QDialog::event(event);
}

void CTarsel_NextGenerateDlg::OnCameraEvent(const CCameraEvent& event) {
    switch (event.m_code) {
        case EVT_START_SEARCH: Reset(true); break;
        case EVT_SELECTION_CHANGED: UpdateCommandBar(); break;
        case EVT_AUTO_IP_DONE: m_messageDialog->Close(); break;
        case EVT_SHOW_RESULT: m_resultBox->ShowResult(1, &event.m_texts); break;
        default: break;  // EVT_CHECK_CHANGED belongs to the list's own dialog; others are ignored
    }
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
