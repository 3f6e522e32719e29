// The main window's tools: the automatic IP page, the IP range search dialog, the snapshot
// view and the firmware upgrade page, their wiring and the operations behind their slots.

#include <QCoreApplication>
#include <QRect>
#include <QSizeGrip>

#include "app/AutoSetIPDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CombineDlg.h"
#include "app/TitleDlg.h"
#include "app/IPSearchDlg.h"
#include "app/ListDlg.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UpgradeDlg.h"
#include "app/ViewDlg.h"
#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"
#include "engine/TSmain.h"

namespace {
constexpr int kUpgradesRunning = 20132;  // "Firmware upgrades are running."
constexpr int kAutoIpRunning = 20133;    // "An automatic IP assignment is running."
constexpr int kCloseAnyway = 20134;      // "Close anyway?"

CTarsel_NextGenerateDlg* Self(void* context) { return static_cast<CTarsel_NextGenerateDlg*>(context); }
void MainRect(void* context, QRect* rect) { *rect = Self(context)->rect(); }
// Called on worker threads too: the engine copies the record under its own lock.
bool CopyCameraSlot(void* context, const char* mac, CameraRecord* record) {
    return Self(context)->engine().CopyCamera(mac, record);
}
bool CredentialsSlot(void* context, const char* mac, std::string* user, std::string* password) {
    return Self(context)->engine().CredentialsOf(mac, user, password);
}
}  // namespace

void CTarsel_NextGenerateDlg::CreateTools(const QRect& panel, int listTop) {
    m_snapshotView = new CViewDlg(this);
    m_snapshotView->setGeometry(panel.right() + 1 + 10, panel.top(), 310, 310);
    m_upgradeDialog = new CUpgradeDlg(this);
    m_upgradeDialog->setGeometry(0, listTop, kWidth, kHeight - listTop);
    m_upgradeDialog->hide();
    m_autoIpDialog = new CAutoSetIPDlg(this);
    m_autoIpDialog->setGeometry(panel);
    m_autoIpDialog->hide();
    m_ipSearch = new CIPSearchDlg(this);
    m_sizeGrip = new QSizeGrip(this);
    m_sizeGrip->resize(16, 16);
}

void CTarsel_NextGenerateDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_titleBar == nullptr || m_sizeGrip == nullptr) return;  // not built yet
    constexpr int kListHeight = 300;  // at the smallest size
    const int listTop = CTitleDlg::kHeight + CBehaviorDlg::kHeight;
    const int listHeight = kListHeight + qMax(0, height() - kHeight);
    m_titleBar->setGeometry(0, 0, width(), CTitleDlg::kHeight);
    m_commandBar->setGeometry(0, CTitleDlg::kHeight, width(), CBehaviorDlg::kHeight);
    m_cameraList->setGeometry(0, listTop, width(), listHeight);
    const QRect panel(kWidth / 100, listTop + listHeight + 2, kWidth * 70 / 100, 310);
    m_cameraPanel->setGeometry(panel);
    m_snapshotView->move(panel.right() + 1 + 10, panel.top());
    m_autoIpDialog->setGeometry(panel);
    m_upgradeDialog->setGeometry(0, listTop, width(), height() - listTop);
    m_sizeGrip->move(width() - m_sizeGrip->width(), height() - m_sizeGrip->height());
    m_sizeGrip->raise();
}

void CTarsel_NextGenerateDlg::WireTools() {
    m_commandBar->onIpSearch = [](void* context) { Self(context)->m_ipSearch->Toggle(); };

    m_snapshotView->m_context = this;
    m_snapshotView->findCamera = &CopyCameraSlot;
    m_snapshotView->findCredentials = &CredentialsSlot;

    m_upgradeDialog->m_context = this;
    // The engine's records are its cameras': an ONVIF device of another maker is never
    // offered for an upgrade (a camera of this family that speaks ONVIF too still is).
    m_upgradeDialog->getCameras = [](void* context, std::vector<CameraRecord>* cameras) {
        *cameras = Self(context)->engine().CopyCameras();
    };
    m_upgradeDialog->findCamera = &CopyCameraSlot;
    m_upgradeDialog->findCredentials = &CredentialsSlot;
    m_upgradeDialog->showMessage = [](void* context, int code) { Self(context)->ShowFixedMessage(code); };
    m_upgradeDialog->getMainRect = &MainRect;
    m_upgradeDialog->onProgress = [](void* context, const char* mac, int percent) {
        Self(context)->SetUpgradeProgress(mac, percent);
    };
    // From the queue on, another command would cut the upgrade short.
    m_upgradeDialog->onQueued = [](void* context, const char* mac) {
        Self(context)->engine().Table().MarkBusy(mac, BusyAction::Upgrade, Self(context)->engine().Ports().Now());
    };
    m_upgradeDialog->verify = [](void* context, const char* user, const char* password) {
        Self(context)->VerifyAll(user, password);
    };

    m_autoIpCount.setInterval(500);
    connect(&m_autoIpCount, &QTimer::timeout, this, [this] {
        if (m_autoIpShown && m_resultBox->isVisible()) m_resultBox->Line(1)->setText(AutoIpCount());
    });
    // The result box's button stops the assignment while it counts.
    connect(m_resultBox->OkButton(), &QPushButton::clicked, this, [this] {
        if (m_autoIpShown && m_engine->AutoIpRunning()) m_engine->StopAutoIp();
    });
    m_autoIpDialog->m_context = this;
    m_autoIpDialog->onStart = [](void* context, const char* user, const char* password) {
        Self(context)->StartAutoIp(user, password);
    };
    CMessageDlg* box = m_autoIpDialog->MessageBox();
    box->m_context = this;
    box->onShow = [](void* context) { Self(context)->DisableAll(); };
    box->onClose = [](void* context) { Self(context)->EnableAll(); };
    box->getOwnerRect = &MainRect;

    m_ipSearch->m_context = this;
    m_ipSearch->getMainRect = &MainRect;
    m_ipSearch->showResult = [](void* context, const QStringList& lines) {
        auto* event = new CCameraEvent(EVT_SHOW_RESULT);
        event->m_texts = lines;
        QCoreApplication::postEvent(Self(context), event);
    };
    // A camera read over HTTP enters the list like a discovery reply (search thread).
    m_ipSearch->onCameraFound = [](void* context, const CameraReply& info) {
        Self(context)->engine().RecvCameraProcess(info);
    };
    m_ipSearch->Search().checkCgi = [this](const char* ip, const char* port, const char* user,
                                           const char* password, CameraReply* info) {
        return CheckCGI(m_ports, ip, port, user, password, info);
    };
    WireOnvif();
}

void CTarsel_NextGenerateDlg::DestroyTools() {
    // Their workers reach the engine: they go before it, the snapshot view first.
    delete m_snapshotView;
    m_snapshotView = nullptr;
    delete m_upgradeDialog;
    m_upgradeDialog = nullptr;
    delete m_ipSearch;
    m_ipSearch = nullptr;
}

void CTarsel_NextGenerateDlg::OnUpgradeCamera(const char* mac) {
    CameraRecord record;
    // A camera no longer listed (a search ran meanwhile) is skipped, and so is an ONVIF
    // device of another maker.
    if (mac == nullptr || IsOnvifKey(mac) || !m_engine->CopyCamera(mac, &record)) return;
    m_upgradeDialog->AddAndStart(record);
}

void CTarsel_NextGenerateDlg::SetUpgradeProgress(const char* mac, int percent) {
    m_engine->Table().SetProgress(mac, percent);
    // 100 is the end of an upgrade that went through (the camera is back): said in words.
    if (percent == 100) m_engine->Table().SetStatus(mac, STATUS_INDEX_PROGRESS, UiText(kTextUpgraded).toStdString());
}

void CTarsel_NextGenerateDlg::StartAutoIp(const char* user, const char* password) {
    // "Setting camera..." with the count so far and Stop, until the assignment is done; then
    // the final count with OK.
    m_autoIpShown = true;
    const QStringList lines = {UiText(20006), AutoIpCount(), QString()};
    m_resultBox->ShowResult(1, &lines);
    SetTextById(m_resultBox->OkButton(), kTextStop);
    m_engine->GoAuotSetIPProc(user, password, m_autoIpDialog->Settings());
    m_autoIpCount.start();
    Reset(false);
}

QString CTarsel_NextGenerateDlg::AutoIpCount() const {
    int assigned = 0, total = 0;
    m_engine->AutoIpProgress(&assigned, &total);
    return UiText(kTextAssignedOf).arg(assigned).arg(total);
}

void CTarsel_NextGenerateDlg::EndAutoIpCount() {
    m_autoIpCount.stop();
    if (!m_autoIpShown) return;
    m_autoIpShown = false;
    SetTextById(m_resultBox->OkButton(), 20012);
    const QStringList lines = {AutoIpCount(), QString(), QString()};
    m_resultBox->ShowResult(1, &lines);
}

bool CTarsel_NextGenerateDlg::ConfirmClose() {
    // Closing cuts off what cameras are in the middle of: a camera cut off mid-upload may
    // refuse the next upgrade, and an assignment leaves cameras half set. Ask first.
    const bool upgrading = m_upgradeDialog->AnyRunning();
    const bool assigning = m_engine->Mode() == MODE_AUTO_SET_IP;
    if (!upgrading && !assigning)
        return true;
    const int running = upgrading ? kUpgradesRunning : kAutoIpRunning;
    const bool both = upgrading && assigning;
    const bool close = both ? AskOkCancel(this, kUpgradesRunning, kAutoIpRunning, kCloseAnyway) == 1
                            : AskOkCancel(this, running, kCloseAnyway, 0) == 1;
    TLOG("(%s:%d)Close asked while busy (upgrades %d, assignment %d): %s", upgrading ? 1 : 0,
         assigning ? 1 : 0, close ? "closing" : "kept open");
    return close;
}
