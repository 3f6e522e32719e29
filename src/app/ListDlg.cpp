#include "app/ListDlg.h"

#include <QPainter>
#include <QShortcut>
#include <QToolButton>

#include "app/CameraTableModel.h"
#include "app/FilterDlg.h"
#include "app/FunctionDlg.h"
#include "app/Icons.h"
#include "common/stdafx.h"
#include "controls/Accessibility.h"
#include "controls/CameraEvent.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"

namespace {
struct ColumnSpec {
    const char* initialTitle;
    int width;
    int titleId;
};
constexpr ColumnSpec kColumnSpecs[CListDlg::kColumns] = {
    {" Camera Name", 160, 20040}, {" MAC Address", 120, 20041}, {" IP Address", 110, 20042},
    {" Subnet Mask", 110, 20043},  {" Default Gateway", 120, 20045}, {" Port", 60, 20059},
    {" DHCP", 100, 20093},         {" FW Version", 110, 20053}, {" Model No.", 140, 20054},
    {" Status", 90, 20055},
};
constexpr int kStatusColumn = 9;
// " %1 of %2 shown": the counter while a filter hides cameras.
constexpr int kTextShownOfTotal = 20143;
// Names a screen reader gives the filter bar's controls without a caption of their own,
// and the row's menu.
constexpr int kFilterFieldName = 20146;  // "Filter field"
constexpr int kApplyFilterName = 20147;  // "Apply filter"
constexpr int kRowMenuName = 20151;      // "Camera actions"
constexpr int kListName = 20051;         // "Camera List"

}  // namespace

CListDlg::CListDlg(QWidget* parent, QWidget* popupParent) : QWidget(parent) {
    setAutoFillBackground(false);
    m_title = new CustStatic(this);
    m_title->SetFont(18, 700);
    m_title->SetTextColour(QColor(0x33, 0x33, 0x33));
    m_countLabel = new CustStatic(this);
    m_countLabel->SetFont(15, 400);
    m_countValue = new CustStatic(this);
    m_countValue->SetFont(15, 700);
    m_countValue->setText(QStringLiteral(" 0"));
    m_selectAll = new CustCheckBox(this);  // 2107
    m_selectAll->SetFont(15, 400);
    connect(m_selectAll, &QCheckBox::clicked, this, &CListDlg::OnSelectAll);

    m_filterLabel = new CustStatic(this);
    m_filterLabel->SetFont(15, 700);
    m_filterLabel->SetFormat(Qt::AlignRight | Qt::AlignVCenter);
    m_fieldDisplay = new CustEdit(this);  // 2101
    m_fieldDisplay->setReadOnly(true);
    m_fieldDisplay->setFocusPolicy(Qt::NoFocus);
    SetNameById(m_fieldDisplay, kFilterFieldName);
    m_dropDown = new CImageButton(this);  // 2102
    m_dropDown->setText(QString(QChar(0x25BC)));
    m_dropDown->setAutoRaise(false);
    SetNameById(m_dropDown, kFilterFieldName);
    connect(m_dropDown, &QToolButton::clicked, this, &CListDlg::ToggleFilterChooser);
    m_filterEdit = new CustEdit(this);  // 2100
    m_filterEdit->setMaxLength(static_cast<int>(kFilterTextMax));
    m_filterLabel->SetBuddy(m_filterEdit);
    connect(m_filterEdit, &QLineEdit::returnPressed, this, &CListDlg::ApplyFilter);
    // Ctrl+F puts the keyboard in the filter text, from anywhere in the window.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        if (!m_filterEdit->isVisible() || !m_filterEdit->isEnabled()) return;
        m_filterEdit->setFocus(Qt::ShortcutFocusReason);
        m_filterEdit->selectAll();
    });
    m_apply = new CImageButton(this);  // 2103
    m_apply->setIcon(NamedIcon(QStringLiteral("filter")));
    m_apply->setIconSize(QSize(18, 18));
    m_apply->setAutoRaise(false);
    SetNameById(m_apply, kApplyFilterName);
    connect(m_apply, &QToolButton::clicked, this, &CListDlg::ApplyFilter);
    m_invert = new CustCheckBox(this);  // 2108
    m_invert->SetFont(15, 400);

    m_list = new CTvListCtrl(this);
    m_list->setObjectName(QStringLiteral("cameraRows"));
    m_model = new CameraTableModel(this);
    m_proxy = new CameraListProxy(m_model, this);
    m_list->SetModel(m_proxy, m_model);
    SetNameById(m_list, kListName);
    for (int column = 0; column < kColumns; ++column)
        m_list->InsertColumn(column, QString::fromLatin1(kColumnSpecs[column].initialTitle),
                             kColumnSpecs[column].width);
    m_list->SetCheckBoxes(true);
    m_list->SetRowHeight(25);
    m_list->SetFont(15, 6, 500, QStringLiteral("Arial"), QColor(0, 0, 0), QColor(0, 0, 0));
    m_list->SetProgressColumn(kStatusColumn, QColor(0, 0, 255));
    m_list->SetCallback(&CListDlg::OnListCallback, this);
    connect(m_list, &CTvListCtrl::rowClicked, this, &CListDlg::OnRowClicked);
    connect(m_list, &CTvListCtrl::rowActivated, this, [this] {
        if (OnCameraActivated != nullptr) OnCameraActivated(m_context);
    });

    QWidget* popups = popupParent != nullptr ? popupParent : this;
    m_filterChooser = new CFilterDlg(popups);
    m_filterChooser->m_context = this;
    m_filterChooser->onChosen = &CListDlg::OnFieldChosen;
    m_menu = new CFunctionDlg(popups);
    m_menu->m_context = this;
    m_menu->onChosen = &CListDlg::OnMenuChosen;
    SetNameById(m_filterChooser->List(), kFilterFieldName);
    SetNameById(m_menu->List(), kRowMenuName);

    SetLanguage();
}

CListDlg::~CListDlg() = default;

void CListDlg::resizeEvent(QResizeEvent*) {
    const int w = width();
    m_title->setGeometry(10, 8, 120, 24);
    const int labelWidth = qMax(44, m_countLabel->sizeHint().width());
    m_countLabel->setGeometry(135, 8, labelWidth, 24);
    // Room for " 4096 of 8192 shown" in every language; "Select all" follows the counter.
    const int valueWidth = qMax(56, m_countValue->sizeHint().width() + 4);
    m_countValue->setGeometry(135 + labelWidth, 8, valueWidth, 24);
    m_selectAll->setGeometry(135 + labelWidth + valueWidth + 4, 8, 330, 24);
    // The filter bar, right-aligned: label, field display with its drop-down, text, apply,
    // Invert.
    int x = w - 10 - 110;
    m_invert->setGeometry(x, 8, 110, 24);
    x -= 6 + 34;
    m_apply->setGeometry(x, 7, 34, 26);
    x -= 6 + 170;
    m_filterEdit->setGeometry(x, 7, 170, 26);
    x -= 6 + 22;
    m_dropDown->setGeometry(x, 7, 22, 26);
    x -= 100;
    m_fieldDisplay->setGeometry(x, 7, 100, 26);
    x -= 6 + 70;
    m_filterLabel->setGeometry(x, 8, 70, 24);
    m_list->setGeometry(0, 40, w, height() - 40);
}

void CListDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xF2, 0xF2, 0xF2));
    painter.setPen(QPen(QColor(0x66, 0x66, 0x66), 2));
    const int left = qMax(0, (width() - kTopLineLength) / 2);
    painter.drawLine(left, 1, left + kTopLineLength, 1);
}

void CListDlg::SetLanguage() {
    SetTextById(m_title, 20051);
    SetTextById(m_countLabel, 20094);
    SetTextById(m_selectAll, 20095);
    SetTextById(m_filterLabel, 20052);
    SetTextById(m_invert, 20096);
    for (int column = 0; column < kColumns; ++column)
        m_list->SetColumnTitle(column, UiText(kColumnSpecs[column].titleId));
    m_fieldDisplay->setText(CFilterDlg::FieldName(m_eFilter));
    m_dropDown->setAccessibleDescription(m_fieldDisplay->text());
    const QString findKey = QKeySequence(QKeySequence::Find).toString(QKeySequence::NativeText);
    m_filterEdit->setToolTip(QStringLiteral("%1 (%2)").arg(m_filterLabel->text(), findKey));
    m_filterChooser->ReloadTexts();
    m_list->RefreshStatusTexts();
    ReloadNames(this);
    ReloadNames(m_filterChooser);
    ReloadNames(m_menu);
    UpdateCount();
    resizeEvent(nullptr);
    update();
}

// ---------------------------------------------------------------------------------------
// Rows

void CListDlg::ClearList() {
    m_model->Clear();
    m_selectAll->setChecked(false);
    UpdateCount();
}

void CListDlg::UpdateCount() {
    const int shown = m_proxy->rowCount(), total = m_model->rowCount();
    // A filter that hides cameras says so: "Total: 9" while 2 rows show would be a lie.
    if (m_proxy->Filtering() && shown != total) m_countValue->setText(UiText(kTextShownOfTotal).arg(shown).arg(total));
    else m_countValue->setText(QStringLiteral(" %1").arg(shown));
    // Read as one: "Total: 12".
    m_countValue->setAccessibleName(m_countLabel->text() + m_countValue->text());
    resizeEvent(nullptr);
}

void CListDlg::ApplyEntries(const std::vector<CameraEntry>& entries) {
    const QStringList verified = m_model->Apply(entries);
    if (m_selectAll->isChecked())
        for (const QString& mac : verified) CheckIfSelectAll(mac.toUtf8().constData());
    UpdateCount();
}

int CListDlg::RowOfMac(const char* mac) const { return m_list->FindRowByKey(QString::fromUtf8(mac)); }

QString CListDlg::MacOfRow(int row) const { return m_list->GetItemText(row, 1); }

int CListDlg::FindRow(int column, const QString& text) const {
    const int count = m_list->GetItemCount();
    for (int row = 0; row < count; ++row)
        if (m_list->GetItemText(row, column) == text) return row;
    return -1;
}

int CListDlg::StatusOf(const char* mac) const {
    const int row = RowOfMac(mac);
    return row < 0 ? -1 : m_list->GetRowStatus(row);
}

QString CListDlg::SelectedMac() const {
    const int row = m_list->GetSelectedRow();
    return row < 0 ? QString() : MacOfRow(row);
}

int CListDlg::CheckedCount() const { return static_cast<int>(CheckedMacs().size()); }

QStringList CListDlg::CheckedMacs() const {
    QStringList macs;
    const int count = m_list->GetItemCount();
    for (int row = 0; row < count; ++row)
        if (m_list->IsChecked(row)) macs << MacOfRow(row);
    return macs;
}

void CListDlg::SetChecked(const char* mac, bool checked) {
    const int row = RowOfMac(mac);
    if (row >= 0) m_list->SetCheck(row, checked ? 1 : 0);
}

void CListDlg::CheckIfSelectAll(const char* mac) {
    if (!m_selectAll->isChecked()) return;
    const int row = RowOfMac(mac);
    if (row < 0 || m_list->IsChecked(row)) return;
    m_list->SetCheck(row, 1);
    PostSelectionChanged();
}

bool CListDlg::Verified(const QString& mac) const {
    return IsCameraVerified != nullptr && IsCameraVerified(m_context, mac.toUtf8().constData());
}

void CListDlg::PostSelectionChanged() { PostCameraEvent(parentWidget(), EVT_SELECTION_CHANGED); }

// ---------------------------------------------------------------------------------------
// Clicks, check marks and the menu

void CListDlg::OnRowClicked(int row, int column) {
    const QString mac = MacOfRow(row);
    if (mac.isEmpty()) return;
    const QByteArray macBytes = mac.toUtf8();
    if (OnCameraSelected != nullptr) OnCameraSelected(m_context, macBytes.constData());
    if (column == kStatusColumn) {
        const int status = m_list->GetRowStatus(row);
        if ((status == STATUS_INDEX_VIEW || status == STATUS_INDEX_VERIFIED) && OnOpenWebsite != nullptr) {
            const QByteArray ip = m_list->GetItemText(row, 2).toUtf8();
            const QByteArray port = m_list->GetItemText(row, 5).toUtf8();
            OnOpenWebsite(m_context, ip.constData(), port.constData(), macBytes.constData());
        }
    }
    PostSelectionChanged();
}

bool CListDlg::OnListCallback(void* context, int row, int kind) {
    auto* self = static_cast<CListDlg*>(context);
    if (kind == 0) return self->Verified(self->MacOfRow(row));
    if (kind == 1 && row >= 0) self->OnRightClick(row);
    return false;
}

void CListDlg::OnRightClick(int row) {
    const QString mac = MacOfRow(row);
    // The row becomes the selected one either way, so the panel shows the camera the
    // highlighted row names.
    m_list->SetSelectedRow(row);
    if (OnCameraSelected != nullptr) OnCameraSelected(m_context, mac.toUtf8().constData());
    PostSelectionChanged();
    if (!Verified(mac)) {
        if (OnShowMessage != nullptr) OnShowMessage(m_context, 0);
        return;
    }
    QWidget* host = m_menu->parentWidget();
    m_menu->ShowAt(host->mapFromGlobal(m_list->MenuPosition()), CheckedCount() >= 2);
}

void CListDlg::OnMenuChosen(void* context, int index) {
    auto* self = static_cast<CListDlg*>(context);
    const int row = self->m_list->GetSelectedRow();
    if (row < 0) return;
    const QByteArray mac = self->MacOfRow(row).toUtf8();
    if (index == 0) {
        if (self->OnOpenWebsite == nullptr) return;
        const QByteArray ip = self->m_list->GetItemText(row, 2).toUtf8();
        const QByteArray port = self->m_list->GetItemText(row, 5).toUtf8();
        self->OnOpenWebsite(self->m_context, ip.constData(), port.constData(), mac.constData());
        return;
    }
    if (self->OnUpgradeCamera == nullptr) return;
    // "Upgrade single": the selected camera alone. "Upgrade selected": every checked
    // verified camera, each once.
    if (index == 1) return self->OnUpgradeCamera(self->m_context, mac.constData());
    for (const QString& checked : self->CheckedMacs())
        if (self->Verified(checked)) self->OnUpgradeCamera(self->m_context, checked.toUtf8().constData());
}

void CListDlg::OnSelectAll(bool checked) {
    const int count = m_list->GetItemCount();
    for (int row = 0; row < count; ++row) {
        if (!checked) m_list->SetCheck(row, 0);
        else if (Verified(MacOfRow(row))) m_list->SetCheck(row, 1);
    }
    PostSelectionChanged();
}

void CListDlg::OnChecksChanged() {
    if (m_selectAll->isChecked()) {
        const int count = m_list->GetItemCount();
        for (int row = 0; row < count; ++row) {
            if (!m_list->IsChecked(row) && Verified(MacOfRow(row))) {
                m_selectAll->setChecked(false);
                break;
            }
        }
    }
    PostSelectionChanged();
}

bool CListDlg::event(QEvent* event) {
    if (event->type() == CCameraEvent::kType) {
        if (static_cast<CCameraEvent*>(event)->m_code == EVT_CHECK_CHANGED) OnChecksChanged();
        return true;
    }
    return QWidget::event(event);
}

// ---------------------------------------------------------------------------------------
// Filter

void CListDlg::SetFilterField(int field) {
    if (field < 0 || field >= FILTER_FIELD_COUNT) return;
    m_eFilter = field;
    m_fieldDisplay->setText(CFilterDlg::FieldName(field));
    m_dropDown->setAccessibleDescription(m_fieldDisplay->text());
}

bool CListDlg::FilterInverted() const { return m_invert->isChecked(); }

void CListDlg::ApplyFilterToRows(int field, const QByteArray& text, bool invert) {
    m_proxy->SetFilter(field, text, invert);
    UpdateCount();
}

void CListDlg::ToggleFilterChooser() {
    TLOG("(%s:%d)m_clsFilterDlg IsWindowVisible: %d", m_filterChooser->isVisible() ? 1 : 0);
    if (m_filterChooser->isVisible()) {
        m_filterChooser->hide();
        return;
    }
    QWidget* host = m_filterChooser->parentWidget();
    const QPoint below = m_fieldDisplay->mapTo(host, QPoint(0, m_fieldDisplay->height()));
    m_filterChooser->ShowAt(below, m_eFilter);
}

void CListDlg::OnFieldChosen(void* context, int field) { static_cast<CListDlg*>(context)->SetFilterField(field); }

void CListDlg::ApplyFilter() {
    TLOG("(%s:%d)m_eFilter:%d", m_eFilter);
    const QByteArray text = m_filterEdit->text().toUtf8();
    if (OnApplyFilter != nullptr) OnApplyFilter(m_context, m_eFilter, text.constData());
}
