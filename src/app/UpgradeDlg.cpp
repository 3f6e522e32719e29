#include "app/UpgradeDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <cstring>

#include "app/FormBuild.h"
#include "app/Icons.h"
#include "app/PopupPanel.h"
#include "app/SelCameraDlg.h"
#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/Accessibility.h"
#include "controls/CameraEvent.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraCommands.h"

namespace {
constexpr int kColumnWidths[10] = {155, 120, 105, 110, 120, 60, 100, 110, 140, 118};  // Status fits the longer translations
// Why an upgrade failed, as the failed row's note says it.
constexpr int kTextUpgradeRefused = 20181;      // "The camera refused the upgrade."
constexpr int kTextUpgradeNoAnswer = 20182;     // "No answer from the camera."
constexpr int kTextUpgradeNotAccepted = 20183;  // "Not accepted by this model: ..."
constexpr int kTextUpgradeUnfinished = 20184;   // "The camera did not report the firmware..."
constexpr int kTextUpgradeNoImage = 20185;      // "The firmware file could not be read."
// Names a screen reader gives the controls without a caption of their own.
constexpr int kBrowseName = 20148;      // "Choose firmware file"
constexpr int kSelectName = 20062;      // "Select Camera"
constexpr int kRemoveName = 20149;      // "Remove checked cameras"
constexpr int kUpgradeListName = 20150; // "Cameras to upgrade"
constexpr int kRowMenuName = 20151;     // "Camera actions": the right-click menu of a row

// The note's text id for a failure; 0 for none (a stopped upgrade is not the camera's doing).
int FailureTextId(uint32_t failure) {
    switch (failure) {
        case UPGRADE_FAIL_REFUSED: return kTextUpgradeRefused;
        case UPGRADE_FAIL_NO_ANSWER: return kTextUpgradeNoAnswer;
        case UPGRADE_FAIL_NOT_ACCEPTED: return kTextUpgradeNotAccepted;
        case UPGRADE_FAIL_UNFINISHED: return kTextUpgradeUnfinished;
        case UPGRADE_FAIL_NO_IMAGE: return kTextUpgradeNoImage;
        default: return 0;
    }
}

void CopyRecord(UpgradeItem* item, const CameraRecord& r) {
    CopyTruncated(item->name, r.name);
    CopyTruncated(item->mac, r.mac);
    CopyTruncated(item->serial, r.serial);
    CopyTruncated(item->ip, r.ip);
    CopyTruncated(item->mask, r.mask);
    CopyTruncated(item->gateway, r.gateway);
    CopyTruncated(item->fwVersion, r.fwVersion);
    CopyTruncated(item->mode, r.mode);
    CopyTruncated(item->model, r.model);
    CopyTruncated(item->httpPort, r.httpPort);
    CopyTruncated(item->user, r.user);
    CopyTruncated(item->company, r.company);
    item->viaHttp = r.viaHttp;
}
}  // namespace

CUpgradeDlg::CUpgradeDlg(QWidget* parent) : QWidget(parent), m_proc(std::make_unique<UpgradeProc>()) {
    m_proc->maxUploads = kMaxUploads;
    m_proc->context = this;
    m_proc->onProgress = &CUpgradeDlg::ProgressFromWorker;
    m_proc->lookupCamera = &CUpgradeDlg::LookupFromWorker;

    CustStatic* heading = MakeLabel(this, 20065, QRect(20, 8, 400, 24), 18, 700);
    m_path = MakeEdit(this, QRect(20, 38, 640, 28), 0);  // 2200
    m_path->setAlignment(Qt::AlignCenter);
    m_path->setReadOnly(true);
    m_path->setFocusPolicy(Qt::NoFocus);
    heading->SetBuddy(m_path);
    auto* browse = MakeButton(this, 0, QRect(668, 38, 44, 28));  // 2202
    browse->setText(QStringLiteral("..."));
    SetNameById(browse, kBrowseName);
    connect(browse, &QPushButton::clicked, this, &CUpgradeDlg::OnBrowse);
    m_select = new CImageButton(this);  // 2204
    m_remove = new CImageButton(this);  // 2205
    SetNameById(m_select, kSelectName);
    SetNameById(m_remove, kRemoveName);
    const QIcon icons[2] = {NamedIcon(QStringLiteral("add_camera")), NamedIcon(QStringLiteral("remove_rows"))};
    QToolButton* pictures[2] = {m_select, m_remove};
    for (int i = 0; i < 2; ++i) {
        pictures[i]->setIcon(icons[i]);
        pictures[i]->setIconSize(QSize(28, 28));
        pictures[i]->setAutoRaise(true);
        pictures[i]->setGeometry(730 + i * 42, 36, 34, 34);
    }
    connect(m_select, &QToolButton::clicked, this, &CUpgradeDlg::ToggleCameraSelection);
    connect(m_remove, &QToolButton::clicked, this, &CUpgradeDlg::RemoveTicked);
    m_selectAll = new CustCheckBox(this);  // 2209
    m_selectAll->setGeometry(20, 80, 300, 22);
    SetTextById(m_selectAll, 20063);
    m_summary = MakeLabel(this, 0, QRect(330, 80, 770, 22));
    m_summary->SetFormat(Qt::AlignRight | Qt::AlignVCenter);
    connect(m_selectAll, &QCheckBox::clicked, this, [this](bool on) { m_list->SetAllChecks(on ? 1 : 0); });

    m_list = new CTvListCtrl(this);
    m_list->setGeometry(10, 106, 1100, 400);
    m_list->SetCheckBoxes(true);
    // Rows as high as the camera list's: the percentage stands on its bar, not below it.
    m_list->SetRowHeight(25);
    m_list->SetProgressColumn(CTvListCtrl::kStatusColumn, QColor(0, 0, 255));
    for (int c = 0; c < 10; ++c) m_list->InsertColumn(c, UiText(kUpgradeColumnIds[c]), kColumnWidths[c]);
    m_list->SetCallback(&CUpgradeDlg::OnRow, this);
    SetNameById(m_list, kUpgradeListName);

    MakeLabel(this, 20014, QRect(20, 520, 400, 22));
    CustStatic* userLabel = MakeLabel(this, 20019, QRect(20, 552, 150, 26));
    m_user = MakeEdit(this, QRect(175, 552, 200, 26), 40);         // 2206
    CustStatic* passwordLabel = MakeLabel(this, 20020, QRect(395, 552, 110, 26));
    m_password = MakeEdit(this, QRect(510, 552, 200, 26), 40, true);  // 2207
    userLabel->SetBuddy(m_user);
    passwordLabel->SetBuddy(m_password);
    m_verify = MakeButton(this, 20022, QRect(730, 550, 130, 30));  // 2208
    connect(m_verify, &QPushButton::clicked, this, [this] {
        const QByteArray user = m_user->text().left(40).toUtf8();
        const QByteArray password = m_password->text().left(40).toUtf8();
        if (verify != nullptr) verify(m_context, user.constData(), password.constData());
    });
    // Enter in the password field verifies, as in the login panel (not in the user name).
    connect(m_password, &QLineEdit::returnPressed, m_verify, &QPushButton::click);

    QWidget* popupParent = parent != nullptr ? parent->window() : this;
    m_selection = new CSelCameraDlg(popupParent);
    m_selection->m_context = this;
    m_selection->onClose = [](void* context) { static_cast<CUpgradeDlg*>(context)->ToggleCameraSelection(); };
    m_selection->onUpgrade = [](void* context, const char* mac) {
        auto* self = static_cast<CUpgradeDlg*>(context);
        CameraRecord record{};
        // A camera no longer listed (a search ran meanwhile) is skipped.
        if (self->findCamera != nullptr && self->findCamera(self->m_context, mac, &record))
            self->AddAndStart(record);
    };
    m_removeMenu = new CRmListDlg(popupParent);
    m_removeMenu->m_context = this;
    // The menu acts on the row it was opened on, whatever else is ticked.
    m_removeMenu->onRemove = [](void* context) {
        auto* self = static_cast<CUpgradeDlg*>(context);
        self->RemoveRow(self->m_menuRowMac);
    };
    SetNameById(m_removeMenu->List(), kRowMenuName);
}

CUpgradeDlg::~CUpgradeDlg() {
    // Workers end (their transfers broken off) before the items they point at go.
    m_proc.reset();
}

void CUpgradeDlg::Message(int code) {
    if (showMessage != nullptr) showMessage(m_context, code);
}

// ---------------------------------------------------------------------------------------
// Items and rows

UpgradeItem* CUpgradeDlg::FindItem(const QString& mac) {
    const QByteArray key = mac.toUtf8();
    for (auto& item : m_items)
        if (std::strcmp(item->mac, key.constData()) == 0) return item.get();
    return nullptr;
}

bool CUpgradeDlg::IsDone(UpgradeItem* item) {
    std::lock_guard<std::mutex> lock(m_proc->itemLock);
    return item->state == UPGRADE_DONE;
}

bool CUpgradeDlg::AnyRunning() {
    for (auto& item : m_items)
        if (!IsDone(item.get())) return true;
    return false;
}

void CUpgradeDlg::AddAndStart(const CameraRecord& record) {
    if (record.credentialsStored == 0) {
        m_skipped.insert(QString::fromUtf8(record.mac));
        ShowOutcomes();
        return Message(0);
    }
    if (m_path->text().isEmpty()) return Message(10);
    UpgradeItem* item = FindItem(QString::fromUtf8(record.mac));
    if (item != nullptr && !IsDone(item)) {
        TLOG_NOTICE("(%s:%d)%s Camera repeated updates, and busy.", record.mac);
        return;
    }
    if (item == nullptr) {
        m_items.push_back(std::make_unique<UpgradeItem>());
        item = m_items.back().get();
        std::memset(item, 0, sizeof *item);
    }
    {
        std::lock_guard<std::mutex> lock(m_proc->itemLock);
        CopyRecord(item, record);
        std::string user, password;
        if (findCredentials != nullptr && findCredentials(m_context, record.mac, &user, &password)) {
            CopyTruncated(item->user, user.c_str());
            CopyTruncated(item->password, password.c_str());
        }
        item->state = UPGRADE_QUEUED;
        item->failure = UPGRADE_FAIL_NONE;
    }
    if (m_failures.remove(QString::fromUtf8(item->mac)) > 0) ShowFailureNotes();
    m_upgraded.remove(QString::fromUtf8(item->mac));
    m_skipped.remove(QString::fromUtf8(item->mac));
    ShowRow(item);
    ShowOutcomes();
    if (onQueued != nullptr) onQueued(m_context, record.mac);
    m_proc->StartUpgrade(item);
}

void CUpgradeDlg::ShowRow(UpgradeItem* item) {
    const QString mac = QString::fromUtf8(item->mac);
    int row = m_list->FindRowByKey(mac);
    if (row < 0) row = m_list->InsertItem(m_list->GetItemCount(), QString(), mac);
    std::lock_guard<std::mutex> lock(m_proc->itemLock);
    const char* cells[9] = {item->name, item->mac, item->ip, item->mask, item->gateway,
                            item->httpPort, item->mode, item->fwVersion, item->model};
    // The MAC stays as sent: it is the row's key.
    for (int c = 0; c < 9; ++c)
        m_list->SetItemText(row, c, c == 1 ? mac : UiCameraText(cells[c]));
    m_list->SetRowProgress(row, 0);
    m_list->SetRowStatus(row, STATUS_INDEX_WAIT_UPGRADE);
    if (m_selectAll->isChecked()) m_list->SetCheck(row, 1);
}

bool CUpgradeDlg::Removable(UpgradeItem* item) {
    // Finished but its worker not yet returned counts as running: it still holds the item.
    return item == nullptr || (IsDone(item) && !m_proc->WorkerHolds(item));
}

void CUpgradeDlg::DeleteRow(int row) {
    const QString mac = m_list->GetItemText(row, 1);
    if (UpgradeItem* item = FindItem(mac)) {
        for (auto i = m_items.begin(); i != m_items.end(); ++i)
            if (i->get() == item) {
                m_items.erase(i);
                break;
            }
    }
    m_list->DeleteItem(row);
    m_failures.remove(mac);
    m_upgraded.remove(mac);
    ShowOutcomes();
}

void CUpgradeDlg::RemoveTicked() {
    m_removeMenu->hide();
    std::vector<int> ticked;
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (!m_list->IsChecked(row)) continue;
        if (!Removable(FindItem(m_list->GetItemText(row, 1))))
            return Message(9);
        ticked.push_back(row);
    }
    for (auto it = ticked.rbegin(); it != ticked.rend(); ++it)
        DeleteRow(*it);
}

void CUpgradeDlg::RemoveRow(const QString& mac) {
    m_removeMenu->hide();
    const int row = mac.isEmpty() ? -1 : m_list->FindRowByKey(mac);
    if (row < 0)
        return;  // gone meanwhile
    if (!Removable(FindItem(mac)))
        return Message(9);
    DeleteRow(row);
}

void CUpgradeDlg::ShowFailureNotes() {
    QHash<QString, QString> notes;
    for (auto it = m_failures.constBegin(); it != m_failures.constEnd(); ++it)
        if (const int id = FailureTextId(it.value())) notes.insert(it.key(), UiText(id));
    m_list->SetRowNotes(notes);
}

void CUpgradeDlg::ShowOutcomes() {
    for (auto it = m_upgraded.constBegin(); it != m_upgraded.constEnd(); ++it) {
        const int row = m_list->FindRowByKey(it.key());
        if (row < 0) continue;
        const QString text = it.value().isEmpty() ? UiText(kTextUpgraded)
                                                  : UiText(kTextUpgradedTo).arg(it.value());
        m_list->SetRowStatus(row, STATUS_INDEX_PROGRESS, text);
    }
    int failed = 0, stopped = 0;
    for (uint32_t failure : m_failures) (failure == UPGRADE_FAIL_STOPPED ? stopped : failed)++;
    const int skipped = static_cast<int>(m_skipped.size()) + stopped;
    if (m_upgraded.isEmpty() && failed == 0 && skipped == 0) return m_summary->setText(QString());
    m_summary->setText(UiText(kTextUpgradeSummary).arg(m_upgraded.size()).arg(failed).arg(skipped));
}

// ---------------------------------------------------------------------------------------
// Progress: reported on the worker threads, shown on the window's thread

void CUpgradeDlg::ProgressFromWorker(void* context, const char* mac, int percent) {
    auto* self = static_cast<CUpgradeDlg*>(context);
    const QString key = QString::fromUtf8(mac);
    QMetaObject::invokeMethod(self, [self, key, percent] { self->OnProgress(key, percent); },
                              Qt::QueuedConnection);
}

bool CUpgradeDlg::LookupFromWorker(void* context, const char* mac, UpgradeCameraInfo* info) {
    // Asked on a worker thread: the owner's look-up copies the record under the engine's
    // lock and touches no widget.
    auto* self = static_cast<CUpgradeDlg*>(context);
    CameraRecord record{};
    if (self->findCamera == nullptr || !self->findCamera(self->m_context, mac, &record)) return false;
    CopyUpgradeInfo(record, info);
    return true;
}

void CUpgradeDlg::OnProgress(const QString& mac, int percent) {
    UpgradeItem* item = FindItem(mac);
    const int row = m_list->FindRowByKey(mac);
    if (item == nullptr || row < 0) return;
    {
        // The camera may have come back with another address.
        std::lock_guard<std::mutex> lock(m_proc->itemLock);
        m_list->SetItemText(row, 2, QString::fromUtf8(item->ip));
        m_list->SetItemText(row, 3, QString::fromUtf8(item->mask));
        m_list->SetItemText(row, 4, QString::fromUtf8(item->gateway));
    }
    if (percent == -1) {
        m_list->SetRowStatus(row, STATUS_INDEX_UPGRADE_FAIL);
        {
            std::lock_guard<std::mutex> lock(m_proc->itemLock);
            m_failures.insert(mac, item->failure);
        }
        ShowFailureNotes();
        ShowOutcomes();
    } else if (percent == 100) {
        // The last report of an upgrade that went through: the camera is back. Its row says
        // so with the firmware it now reports, instead of a bar left at 100 %.
        CameraRecord record{};
        const QByteArray key = mac.toUtf8();
        const bool listed = findCamera != nullptr && findCamera(m_context, key.constData(), &record);
        m_upgraded.insert(mac, listed ? UiCameraText(record.fwVersion) : QString());
        if (listed) m_list->SetItemText(row, 7, UiCameraText(record.fwVersion));
        m_list->SetRowProgress(row, 100);
        ShowOutcomes();
    } else {
        m_list->SetRowProgress(row, percent);
        m_list->SetRowStatus(row, STATUS_INDEX_PROGRESS, QStringLiteral("%1%").arg(percent));
    }
    const QByteArray key = mac.toUtf8();
    if (onProgress != nullptr) onProgress(m_context, key.constData(), percent);
}

// ---------------------------------------------------------------------------------------
// Commands

void CUpgradeDlg::OnBrowse() {
    if (AnyRunning()) return Message(9);
    // The chooser opens where the last firmware came from (for this run of the program).
    static QString lastFolder;
    const QString path = QFileDialog::getOpenFileName(this, QString(), lastFolder,
                                                      QStringLiteral("FW Files (*.tar *.dat)"));
    if (path.isEmpty()) return;
    lastFolder = QFileInfo(path).absolutePath();
    ChooseFirmware(path);
}

bool CUpgradeDlg::ChooseFirmware(const QString& path) {
    if (AnyRunning()) {
        Message(9);
        return false;
    }
    const QFileInfo file(path);
    m_selection->SetFirmwareName(file.fileName());
    m_path->setText(path);
    const QByteArray native = path.toLocal8Bit();
    const QByteArray extension = file.suffix().toLocal8Bit();
    m_proc->SetFirmware(native.constData(), extension.constData());
    return true;
}

void CUpgradeDlg::ToggleCameraSelection() {
    if (m_path->text().isEmpty()) return Message(10);
    if (m_selection->isVisible()) {
        m_selection->hide();
    } else {
        QRect main = m_selection->parentWidget()->rect();
        if (getMainRect != nullptr) getMainRect(m_context, &main);
        m_selection->move(main.left() + main.width() / 20, main.top() + main.height() / 10);
        m_selection->show();
        m_selection->raise();
    }
    std::vector<CameraRecord> cameras;
    if (getCameras != nullptr) getCameras(m_context, &cameras);
    m_selection->Fill(cameras);
}

bool CUpgradeDlg::OnRow(void* context, int row, int kind) {
    auto* self = static_cast<CUpgradeDlg*>(context);
    self->m_removeMenu->hide();
    const QString mac = self->m_list->GetItemText(row, 1);
    if (mac.isEmpty()) return false;
    if (kind == 0) return true;
    UpgradeItem* item = self->FindItem(mac);
    if (item != nullptr && !self->IsDone(item)) {
        self->Message(9);
        return false;
    }
    self->m_menuRowMac = mac;
    QWidget* parent = self->m_removeMenu->parentWidget();
    self->m_removeMenu->ShowAt(parent->mapFromGlobal(self->m_list->MenuPosition()));
    return true;
}

void CUpgradeDlg::ReloadTexts() {
    ReloadTextIds(this);
    for (int c = 0; c < 10; ++c) m_list->SetColumnTitle(c, UiText(kUpgradeColumnIds[c]));
    m_list->RefreshStatusTexts();
    ShowFailureNotes();
    ShowOutcomes();
    m_selection->ReloadTexts();
    update();
}

// ---------------------------------------------------------------------------------------
// Events

bool CUpgradeDlg::event(QEvent* event) {
    if (event->type() == WM_CAMERA_EVENT) {
        if (static_cast<CCameraEvent*>(event)->m_code == EVT_CHECK_CHANGED) {
            for (int row = 0; row < m_list->GetItemCount(); ++row)
                if (!m_list->IsChecked(row)) {
                    m_selectAll->setChecked(false);
                    break;
                }
        }
        return true;
    }
    return QWidget::event(event);
}

void CUpgradeDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key())) return event->accept();
    QWidget::keyPressEvent(event);
}

void CUpgradeDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_removeMenu->hide();
    QWidget::mouseReleaseEvent(event);
}

void CUpgradeDlg::hideEvent(QHideEvent* event) {
    // The pop-ups belong to the page: they go with it.
    m_removeMenu->hide();
    m_selection->hide();
    QWidget::hideEvent(event);
}

void CUpgradeDlg::resizeEvent(QResizeEvent* event) {
    m_list->setGeometry(10, 106, width() - 20, 400);
    QWidget::resizeEvent(event);
}

void CUpgradeDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
