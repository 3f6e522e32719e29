#include "app/SelCameraDlg.h"

#include <QPainter>

#include "app/FormBuild.h"
#include "app/MessageOKDlg.h"
#include "common/WindowTextIds.h"
#include "common/ModelList.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"

const int kUpgradeColumnIds[10] = {20040, 20041, 20042, 20043, 20045,
                                   20059, 20093, 20053, 20054, 20055};

namespace {
constexpr int kSelectionWidths[9] = {170, 120, 110, 110, 120, 60, 100, 110, 140};
const QColor kTitleStrip(0, 80, 255);
constexpr int kNoCameraForFirmware = 20137;  // "No listed camera takes this firmware."
constexpr int kVerifyFirst = 20003;          // "Please do authentication first."
constexpr int kRemoveText = 20131;           // "Remove"
constexpr int kTitleText = 20062;  // "Select Camera": the pop-up's title, its name and its list's
constexpr int kCloseName = 20104;  // "Close", the "X" button
}  // namespace

CSelCameraDlg::CSelCameraDlg(QWidget* parent) : CPopupPanel(parent) {
    setFixedSize(kWidth, kHeight);
    SetAccessibleRole(this, QAccessible::Dialog);
    SetNameById(this, kTitleText);
    m_title = MakeLabel(this, kTitleText, QRect(0, 0, 1030, 30), 18, 700);  // 2300
    m_title->SetTextColour(Qt::white);
    m_title->SetBackgroundColour(kTitleStrip);
    m_title->SetFormat(Qt::AlignCenter);
    m_close = MakeButton(this, 0, QRect(1030, 0, 30, 30));  // 2301
    m_close->setText(QStringLiteral("X"));
    SetNameById(m_close, kCloseName);
    m_list = new CTvListCtrl(this);
    m_list->setGeometry(8, 38, kWidth - 16, 304);
    m_list->SetCheckBoxes(true);
    for (int c = 0; c < 9; ++c) m_list->InsertColumn(c, UiText(kUpgradeColumnIds[c]), kSelectionWidths[c]);
    // Says why the list is empty, over the list itself.
    m_emptyNote = MakeLabel(this, 0, QRect(40, 110, kWidth - 80, 90), 18, 700);
    m_emptyNote->SetFormat(Qt::AlignCenter);
    m_emptyNote->SetTextColour(QColor(0, 80, 255));
    m_emptyNote->hide();
    SetNameById(m_list, kTitleText);
    m_selectAll = MakeButton(this, 20063, QRect(30, 350, 170, 30));  // 2302
    m_upgrade = MakeButton(this, 20033, QRect(750, 350, 120, 30));   // 2303
    m_cancel = MakeButton(this, 20025, QRect(890, 350, 120, 30));    // 2304
    const auto close = [this] {
        if (onClose != nullptr) onClose(m_context);
        else hide();
    };
    connect(m_close, &QPushButton::clicked, this, close);
    connect(m_cancel, &QPushButton::clicked, this, close);
    connect(m_selectAll, &QPushButton::clicked, this, [this] {
        m_allSelected = !m_allSelected;
        m_list->SetAllChecks(m_allSelected ? 1 : 0);
    });
    connect(m_upgrade, &QPushButton::clicked, this, &CSelCameraDlg::OnUpgrade);
}

void CSelCameraDlg::Fill(const std::vector<CameraRecord>& cameras) {
    m_list->DeleteAllItems();
    // A new list starts with nothing ticked, so Select All ticks everything at its first click.
    m_allSelected = false;
    const QByteArray firmware = m_firmwareName.toUtf8();
    bool anyFits = false;
    for (const CameraRecord& r : cameras) {
        if (!IsModelForFirmware(r.model, firmware.constData()))
            continue;
        anyFits = true;
        if (r.credentialsStored == 0)
            continue;
        const QString mac = QString::fromUtf8(r.mac);
        const int row = m_list->InsertItem(m_list->GetItemCount(), UiCameraText(r.name), mac);
        const char* cells[9] = {r.name, r.mac, r.ip, r.mask, r.gateway, r.httpPort, r.mode, r.fwVersion, r.model};
        for (int c = 1; c < 9; ++c)
            m_list->SetItemText(row, c, c == 1 ? mac : UiCameraText(cells[c]));
    }
    // An empty list says why: no camera fits the file, or those that fit are not verified.
    m_emptyTextId = m_list->GetItemCount() > 0 ? 0 : anyFits ? kVerifyFirst : kNoCameraForFirmware;
    ShowEmptyNote();
}

void CSelCameraDlg::ShowEmptyNote() {
    QString note = m_emptyTextId != 0 ? UiText(m_emptyTextId) : QString();
    // What is matched is the file's name, not its contents: say so, or a renamed file
    // leaves the user guessing.
    if (m_emptyTextId == kNoCameraForFirmware) note += QLatin1Char('\n') + UiText(kTextFirmwareNameHint);
    m_emptyNote->setText(note);
    m_emptyNote->setVisible(m_emptyTextId != 0);
    m_emptyNote->raise();
}

QString CSelCameraDlg::EmptyNote() const {
    return m_emptyNote->isVisibleTo(this) ? m_emptyNote->text() : QString();
}

void CSelCameraDlg::OnUpgrade() {
    std::vector<QByteArray> ticked;
    for (int row = 0; row < m_list->GetItemCount(); ++row)
        if (m_list->IsChecked(row)) ticked.push_back(m_list->GetItemText(row, 1).toUtf8());
    if (!ticked.empty()) {
        if (AskOkCancel(window(), 0, 20081, 0) != 1) return;  // Cancel: stay open
        for (const QByteArray& mac : ticked)
            if (onUpgrade != nullptr) onUpgrade(m_context, mac.constData());
    }
    if (onClose != nullptr) onClose(m_context);
    else hide();
}

void CSelCameraDlg::ReloadTexts() {
    ReloadTextIds(this);
    for (int c = 0; c < 9; ++c) m_list->SetColumnTitle(c, UiText(kUpgradeColumnIds[c]));
    ShowEmptyNote();
    update();
}

QWidget* CSelCameraDlg::FirstFocus() { return m_list; }

void CSelCameraDlg::OnEscape() { m_cancel->click(); }

void CSelCameraDlg::paintEvent(QPaintEvent* event) {
    CPopupPanel::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 30), kTitleStrip);
}

// ---------------------------------------------------------------------------------------
// CRmListDlg

CRmListDlg::CRmListDlg(QWidget* parent) : CPopupPanel(parent) {
    setFixedSize(127, 35);
    m_list = new CTvListBox(this);
    m_list->SetItemHeight(25);
    m_list->AddString(UiText(kRemoveText));
    m_list->setGeometry(1, 5, 125, 25);
    m_list->SetMenu(true);
    m_list->SetCurSel(0);
    // The list takes the keyboard: Enter or Space removes, Escape closes the menu.
    setFocusProxy(m_list);
    setFocusPolicy(Qt::NoFocus);
    HideOnDeactivation();  // a click anywhere else closes the menu
    m_list->SetCallback([](void* context, int) {
        auto* self = static_cast<CRmListDlg*>(context);
        self->hide();
        if (self->onRemove != nullptr) self->onRemove(self->m_context);
    }, this);
}

void CRmListDlg::ShowAt(const QPoint& topLeft) {
    m_list->SetItemText(0, UiText(kRemoveText));  // in the language of the moment
    move(topLeft);
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}
