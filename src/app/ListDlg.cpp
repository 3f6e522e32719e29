#include "app/ListDlg.h"

#include <QHeaderView>
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
#include "common/WindowTextIds.h"
#include "engine/CameraFilter.h"

namespace {
struct ColumnSpec {
    const char* initialTitle;
    int width;
    int titleId;
};
// The maker column comes last in the model and is shown before the status, which keeps the
// room a wider window gives.
constexpr ColumnSpec kColumnSpecs[CListDlg::kColumns] = {
    {" Camera Name", 145, 20040}, {" MAC Address", 125, 20041}, {" IP Address", 105, 20042},
    {" Subnet Mask", 110, 20043},  {" Default Gateway", 122, 20045}, {" Port", 50, 20059},
    {" IP Mode", 80, 20047},         {" FW Version", 95, 20053}, {" Model No.", 100, 20054},
    {" Status", 90, 20055},       {" Maker", 110, kTextMaker},
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
    connect(m_filterEdit, &QLineEdit::returnPressed, this, &CListDlg::ApplyFilterBar);
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
    connect(m_apply, &QToolButton::clicked, this, &CListDlg::ApplyFilterBar);
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
    // A wider window gives its room to the last column, the status, whose texts are the
    // longest.
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->horizontalHeader()->moveSection(CameraTableModel::kMakerColumn, kStatusColumn);
    m_list->SetCheckBoxes(true);
    m_list->SetRowHeight(25);
    m_list->SetFont(15, 6, 500, QStringLiteral("Arial"), QColor(0, 0, 0), QColor(0, 0, 0));
    m_list->SetProgressColumn(kStatusColumn, QColor(0, 0, 255));
    connect(m_list, &CTvListCtrl::rowClicked, this, &CListDlg::OnRowClicked);
    connect(m_list, &CTvListCtrl::rowActivated, this, &CListDlg::cameraActivated);
    connect(m_list, &CTvListCtrl::rowMenuRequested, this, &CListDlg::OnRightClick);
    // Whatever changes the rows changes the counter (a new filter once, not per range).
    const auto count = [this] {
        if (!m_filtering) UpdateCount();
    };
    for (const auto& changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_proxy, changed, this, count);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, count);
    connect(m_model, &CameraTableModel::camerasVerified, this, &CListDlg::OnCamerasVerified);

    QWidget* popups = popupParent != nullptr ? popupParent : this;
    m_filterChooser = new CFilterDlg(popups);
    connect(m_filterChooser, &CFilterDlg::chosen, this, &CListDlg::SetFilterField);
    m_menu = new CFunctionDlg(popups);
    connect(m_menu, &CFunctionDlg::chosen, this, &CListDlg::OnMenuChosen);
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
// Rows, read from the model

int CListDlg::SourceRow(int row) const {
    if (row < 0 || row >= m_proxy->rowCount()) return -1;
    return m_proxy->mapToSource(m_proxy->index(row, 0)).row();
}

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

// A batch made cameras verified: with "Select all authorized cameras" on they are checked,
// and the window looks at its commands again (the selected camera may be one of them).
void CListDlg::OnCamerasVerified(const QStringList& macs) {
    if (m_selectAll->isChecked())
        for (const QString& mac : macs) CheckIfSelectAll(mac.toUtf8().constData());
    PostSelectionChanged();
}

int CListDlg::RowOfMac(const char* mac) const {
    const int source = m_model->RowOfKey(QString::fromUtf8(mac));
    return source < 0 ? -1 : m_proxy->mapFromSource(m_model->index(source, 0)).row();
}

QString CListDlg::MacOfRow(int row) const {
    const CameraEntry* entry = m_model->EntryAt(SourceRow(row));
    return entry != nullptr ? CameraTableModel::IdOf(*entry) : QString();
}

int CListDlg::StatusOf(const char* mac) const {
    const CameraEntry* entry = m_model->EntryAt(SourceRow(RowOfMac(mac)));
    return entry != nullptr ? entry->statusIndex : -1;
}

bool CListDlg::VerifiedRow(int row) const {
    const CameraEntry* entry = m_model->EntryAt(SourceRow(row));
    return entry != nullptr && entry->verified;
}

QString CListDlg::SelectedMac() const { return MacOfRow(m_list->GetSelectedRow()); }

int CListDlg::CheckedCount() const { return static_cast<int>(CheckedMacs().size()); }

QStringList CListDlg::CheckedMacs() const {
    QStringList macs;
    for (int row = 0; row < m_proxy->rowCount(); ++row)
        if (m_proxy->index(row, 0).data(ListRole::Check).toInt() == 1) macs << MacOfRow(row);
    return macs;
}

void CListDlg::SetChecked(const char* mac, bool checked) {
    const int source = m_model->RowOfKey(QString::fromUtf8(mac));
    if (source >= 0) m_model->setData(m_model->index(source, 0), checked ? 1 : 0, ListRole::Check);
}

void CListDlg::CheckIfSelectAll(const char* mac) {
    if (!m_selectAll->isChecked()) return;
    const int source = m_model->RowOfKey(QString::fromUtf8(mac));
    const QModelIndex cell = m_model->index(source, 0);
    if (source < 0 || cell.data(ListRole::Check).toInt() == 1) return;
    if (m_model->setData(cell, 1, ListRole::Check)) PostSelectionChanged();
}

void CListDlg::PostSelectionChanged() { PostCameraEvent(parentWidget(), EVT_SELECTION_CHANGED); }

// ---------------------------------------------------------------------------------------
// Clicks, check marks and the menu

void CListDlg::OpenWebsiteOf(int row) {
    const CameraEntry* entry = m_model->EntryAt(SourceRow(row));
    if (entry == nullptr) return;
    emit openWebsite(QString::fromUtf8(entry->record.ip), QString::fromUtf8(entry->record.httpPort),
                     CameraTableModel::IdOf(*entry));
}

void CListDlg::OnRowClicked(int row, int column) {
    const CameraEntry* entry = m_model->EntryAt(SourceRow(row));
    if (entry == nullptr) return;
    const int status = entry->statusIndex;
    emit cameraSelected(CameraTableModel::IdOf(*entry));
    if (column == kStatusColumn && (status == STATUS_INDEX_VIEW || status == STATUS_INDEX_VERIFIED)) OpenWebsiteOf(row);
    PostSelectionChanged();
}

void CListDlg::OnRightClick(int row) {
    const QString mac = MacOfRow(row);
    // The row becomes the selected one either way, so the panel shows the camera the
    // highlighted row names.
    m_list->SetSelectedRow(row);
    emit cameraSelected(mac);
    PostSelectionChanged();
    const CameraEntry* entry = m_model->EntryAt(SourceRow(row));
    const bool onvif = entry != nullptr && entry->kind == DeviceKind::Onvif;
    // An ONVIF device's page asks for its own login; upgrades are not offered for it.
    if (!onvif && !VerifiedRow(row)) {
        emit showMessage(0);
        return;
    }
    QWidget* host = m_menu->parentWidget();
    m_menu->ShowAt(host->mapFromGlobal(m_list->MenuPosition()), CheckedCount() >= 2, !onvif);
}

void CListDlg::OnMenuChosen(int index) {
    const int row = m_list->GetSelectedRow();
    if (row < 0) return;
    if (index == 0) return OpenWebsiteOf(row);
    // "Upgrade single": the selected camera alone. "Upgrade selected": every checked
    // camera (only verified ones are checked), each once.
    const QStringList macs = index == 1 ? QStringList{MacOfRow(row)} : CheckedMacs();
    for (const QString& mac : macs) emit upgradeCamera(mac);
}

void CListDlg::OnSelectAll(bool checked) {
    // As the user's toggle of each row: the model checks only verified cameras.
    for (int row = 0; row < m_proxy->rowCount(); ++row)
        m_proxy->setData(m_proxy->index(row, 0), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    PostSelectionChanged();
}

void CListDlg::OnChecksChanged() {
    if (m_selectAll->isChecked()) {
        for (int row = 0; row < m_proxy->rowCount(); ++row) {
            if (m_proxy->index(row, 0).data(ListRole::Check).toInt() != 1 && VerifiedRow(row)) {
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

// Nothing about a row changes; a camera the filter hides is still listed, watched and
// counted. The selected camera may be hidden now: the window looks at its commands again.
void CListDlg::ApplyFilter(int field, const QString& text, bool invert) {
    m_filtering = true;
    m_proxy->SetFilter(field, text.left(static_cast<int>(kFilterTextMax)).toUtf8(), invert);
    m_filtering = false;
    UpdateCount();
    PostSelectionChanged();
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

void CListDlg::ApplyFilterBar() {
    TLOG("(%s:%d)m_eFilter:%d", m_eFilter);
    ApplyFilter(m_eFilter, m_filterEdit->text(), m_invert->isChecked());
}
