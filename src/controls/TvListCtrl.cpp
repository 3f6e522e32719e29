#include "controls/TvListCtrl.h"

#include <QAbstractProxyModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "common/stdafx.h"
#include "controls/CameraEvent.h"
#include "controls/CustControls.h"
#include "controls/TvListModel.h"

const QColor CTvListCtrl::kBackground(255, 255, 255);
const QColor CTvListCtrl::kSelectedBackground(182, 216, 255);

namespace {
constexpr int kCheckZone = 25;  // a press this close to a row's left edge toggles its check

// Builds a font of `height` pixels whose average character is `width` pixels wide, the
// way the platform's font mapper honours a requested width.
QFont FontWithWidth(const QString& face, int height, int width, int weight) {
    QFont font(face);
    font.setPixelSize(CellHeightToPixelSize(height));
    font.setWeight(static_cast<QFont::Weight>(weight));
    if (width > 0) {
        const int natural = QFontMetrics(font).averageCharWidth();
        if (natural > 0) font.setStretch(qBound(50, width * 100 / natural, 200));
    }
    return font;
}

}  // namespace

CTvListCtrl::CTvListCtrl(QWidget* parent)
    : QTableView(parent), m_own(new CTvListModel(this)), m_source(m_own), m_header(new CTvListHeader(this)) {
    m_font = FontWithWidth(QStringLiteral("Arial"), 16, 6, 400);
    setHorizontalHeader(m_header);
    setModel(m_own);
    setItemDelegate(new CTvListDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::NoFrame);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, kBackground);
    pal.setColor(QPalette::Window, kBackground);
    viewport()->setPalette(pal);
    connect(m_header, &QHeaderView::sectionClicked, this, &CTvListCtrl::SortByColumn);
}

CTvListCtrl::~CTvListCtrl() = default;

void CTvListCtrl::SetModel(QAbstractItemModel* model, CTvListModelBase* source) {
    // The columns keep their widths across the change of model.
    QList<int> widths;
    for (int column = 0; column < GetColumnCount(); ++column) widths << columnWidth(column);
    m_source = source;
    setModel(model);
    for (int column = 0; column < widths.size(); ++column) setColumnWidth(column, widths[column]);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { viewport()->update(); });
}

QModelIndex CTvListCtrl::Cell(int row, int column) const {
    return model() != nullptr ? model()->index(row, column) : QModelIndex();
}

// ---------------------------------------------------------------------------------------
// Columns

int CTvListCtrl::InsertColumn(int column, const QString& title, int width) {
    column = qBound(0, column, GetColumnCount());
    if (m_source == m_own) m_own->InsertColumn(column, title);
    else m_source->setHeaderData(column, Qt::Horizontal, title);
    setColumnWidth(column, width);
    return column;
}

int CTvListCtrl::GetColumnCount() const { return model() != nullptr ? model()->columnCount() : 0; }

QString CTvListCtrl::GetColumnTitle(int column) const {
    return model() != nullptr ? model()->headerData(column, Qt::Horizontal).toString() : QString();
}

void CTvListCtrl::SetColumnTitle(int column, const QString& title) {
    m_source->setHeaderData(column, Qt::Horizontal, title);
}

void CTvListCtrl::SetCheckBoxes(bool on) {
    m_checkBoxes = on;
    viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Rows

int CTvListCtrl::InsertItem(int row, const QString& text, const QString& key) { return m_own->InsertRow(row, text, key); }

bool CTvListCtrl::DeleteItem(int row) {
    TLOG("(%s:%d)DeleteItem %d", row);
    return m_source == m_own && m_own->RemoveRow(row);
}

void CTvListCtrl::DeleteAllItems() {
    if (m_source == m_own) m_own->Clear();
}

bool CTvListCtrl::SetItemText(int row, int column, const QString& text) {
    return m_source == m_own && m_own->SetText(row, column, text);
}

QString CTvListCtrl::GetItemText(int row, int column) const { return Cell(row, column).data().toString(); }

int CTvListCtrl::GetItemCount() const { return model() != nullptr ? model()->rowCount() : 0; }

int CTvListCtrl::GetSelectedRow() const {
    const QModelIndexList rows = selectionModel() != nullptr ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CTvListCtrl::SetSelectedRow(int row) {
    if (row == GetSelectedRow()) return;
    if (row < 0 || row >= GetItemCount()) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
        row = -1;
    } else {
        selectionModel()->setCurrentIndex(Cell(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    emit rowSelected(row);
}

// ---------------------------------------------------------------------------------------
// Look

void CTvListCtrl::SetFont(int height, int width, int weight, const QString& face, const QColor& textColour,
                          const QColor& selectedTextColour) {
    m_font = FontWithWidth(face, height, width, weight);
    m_textColour = textColour;
    m_selectedTextColour = selectedTextColour;
    viewport()->update();
}

void CTvListCtrl::SetRowHeight(int height) {
    m_rowHeight = qMax(1, height);
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
}

void CTvListCtrl::SetProgressColumn(int column, const QColor& colour) {
    m_progressColumn = column;
    m_progressColour = colour;
    viewport()->update();
}

QFont CTvListCtrl::StatusFont(StatusStyle style) const {
    QFont font = m_font;
    switch (style) {
        case StatusStyle::Underlined: font.setUnderline(true); break;
        case StatusStyle::Plain: font.setWeight(QFont::Normal); break;
        case StatusStyle::Bold: font.setWeight(QFont::ExtraBold); break;
    }
    return font;
}

// ---------------------------------------------------------------------------------------
// Per-row state

void CTvListCtrl::SetAllChecks(int state) {
    if (m_source == m_own) return m_own->SetAllChecks(state);
    for (int row = 0; row < GetItemCount(); ++row) SetCheck(row, state);
}

void CTvListCtrl::SetCheck(int row, int state) {
    if (GetCheck(row) != state) model()->setData(Cell(row, 0), state, ListRole::Check);
}

int CTvListCtrl::GetCheck(int row) const { return Cell(row, 0).data(ListRole::Check).toInt(); }

void CTvListCtrl::SetRowProgress(int row, int percent) { model()->setData(Cell(row, 0), percent, ListRole::Progress); }

int CTvListCtrl::GetRowProgress(int row) const { return Cell(row, 0).data(ListRole::Progress).toInt(); }

void CTvListCtrl::SetRowStatus(int row, int index, const QString& text) {
    if (!Cell(row, 0).isValid()) return;
    const QString shown = GetItemText(row, kStatusColumn);
    if (index != -1) model()->setData(Cell(row, 0), index, ListRole::StatusIndex);
    // An index without a text of its own shows the text given, or else what the cell showed.
    if (LookOfStatus(GetRowStatus(row)).textId == 0)
        model()->setData(Cell(row, kStatusColumn), text.isNull() ? shown : text, Qt::EditRole);
}

void CTvListCtrl::SetRowStatusByKey(const QString& key, int index, const QString& text) {
    SetRowStatus(FindRowByKey(key), index, text);
}

int CTvListCtrl::GetRowStatus(int row) const { return Cell(row, 0).data(ListRole::StatusIndex).toInt(); }

void CTvListCtrl::RefreshStatusTexts() { m_source->RefreshStatusTexts(); }

int CTvListCtrl::FindRowByKey(const QString& key) const {
    const int row = m_source->RowOfKey(key);
    if (row < 0) return -1;
    if (model() == m_source) return row;
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(model());
    return proxy != nullptr ? proxy->mapFromSource(m_source->index(row, 0)).row() : -1;
}

void CTvListCtrl::SetRowNotes(const QHash<QString, QString>& notes) {
    if (m_source == m_own) m_own->SetNotes(notes);
}

QString CTvListCtrl::GetRowNote(int row) const { return Cell(row, 0).data(ListRole::Note).toString(); }

void CTvListCtrl::SetCallback(Callback function, void* context) {
    m_callback = function;
    m_callbackContext = context;
}

// ---------------------------------------------------------------------------------------
// Sorting

void CTvListCtrl::SortByColumn(int column) {
    SortBy(column, column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                               : Qt::AscendingOrder);
}

void CTvListCtrl::SortBy(int column, Qt::SortOrder order) {
    if (column < 0 || column >= GetColumnCount()) return;
    m_sortColumn = column;
    m_sortOrder = order;
    m_header->SetSortMark(column, order);
    model()->sort(column, order);
}

// ---------------------------------------------------------------------------------------
// Geometry

QRect CTvListCtrl::CellRect(int row, int column) const {
    if (column < 0 || column >= GetColumnCount()) return {};
    return {columnViewportPosition(column), row * m_rowHeight - verticalOffset(), columnWidth(column), m_rowHeight};
}

// ---------------------------------------------------------------------------------------
// Mouse and keyboard

bool CTvListCtrl::ToggleCheck(int row) {
    const int state = GetCheck(row);
    int newState = state;
    if (state == 1) newState = 0;
    // The owner decides whether the row may be checked, and so may the model.
    else if (state == 0) newState = (m_callback == nullptr || m_callback(m_callbackContext, row, 0)) ? 1 : 0;
    if (newState == state) return false;
    // As the user's toggle: the model may refuse it.
    model()->setData(Cell(row, 0), newState == 1 ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    return GetCheck(row) != state;
}

void CTvListCtrl::OpenRowMenu(int row, const QPoint& globalPosition) {
    m_menuPosition = globalPosition;
    if (m_callback != nullptr) m_callback(m_callbackContext, row, 1);
    if (row >= 0) emit rowMenuRequested(row);
    SetSelectedRow(row);
}

void CTvListCtrl::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    if (event->button() == Qt::LeftButton) {
        if (row >= 0 && m_checkBoxes && pos.x() + horizontalOffset() < kCheckZone) ToggleCheck(row);
        PostCameraEvent(parentWidget(), EVT_CHECK_CHANGED);
        SetSelectedRow(row);
        if (row >= 0) emit rowClicked(row, columnAt(pos.x()));
    } else if (event->button() == Qt::RightButton) {
        OpenRowMenu(row, event->globalPosition().toPoint());
    }
    event->accept();
}

// The view's own dragging, editing and double-click handling would change the selection
// behind the owner's back.
void CTvListCtrl::mouseMoveEvent(QMouseEvent* event) { event->accept(); }
void CTvListCtrl::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void CTvListCtrl::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CTvListCtrl::MoveSelection(int target) {
    const int count = GetItemCount();
    if (count == 0) return;
    target = qBound(0, target, count - 1);
    if (target == GetSelectedRow()) return;
    SetSelectedRow(target);
    scrollTo(Cell(target, 0));
    emit rowClicked(target, -1);
}

// Up and Down move the selection by one row, Page Up and Page Down by a page, Home and End
// to the ends, each reported like a click; Enter reports the selected row like a click,
// Space toggles its check as a click on its box does, and the menu key (or Shift+F10) opens
// its menu.
void CTvListCtrl::keyPressEvent(QKeyEvent* event) {
    const int current = GetSelectedRow();
    const int page = qMax(1, viewport()->height() / m_rowHeight);
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    switch (event->key()) {
        case Qt::Key_Up: MoveSelection(current < 0 ? 0 : current - 1); break;
        case Qt::Key_Down: MoveSelection(current + 1); break;
        case Qt::Key_PageUp: MoveSelection(current < 0 ? 0 : current - page); break;
        case Qt::Key_PageDown: MoveSelection(current + page); break;
        case Qt::Key_Home: MoveSelection(0); break;
        case Qt::Key_End: MoveSelection(GetItemCount() - 1); break;
        case Qt::Key_Space:
            if (current < 0 || !m_checkBoxes) return QTableView::keyPressEvent(event);
            ToggleCheck(current);
            PostCameraEvent(parentWidget(), EVT_CHECK_CHANGED);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current < 0) return QTableView::keyPressEvent(event);
            emit rowClicked(current, -1);
            emit rowActivated(current);
            break;
        default:
            if (!menuKey || current < 0) return QTableView::keyPressEvent(event);
            OpenRowMenu(current, viewport()->mapToGlobal(CellRect(current, 0).bottomLeft() + QPoint(30, 0)));
            break;
    }
    event->accept();
}

// Typing a name's first letters moves to the next row whose first column starts with them,
// reported as an arrow's move is: the row shown selected is the camera chosen.
void CTvListCtrl::keyboardSearch(const QString& search) {
    const int before = GetSelectedRow();
    QTableView::keyboardSearch(search);
    const int found = GetSelectedRow();
    if (found < 0 || found == before) return;
    emit rowSelected(found);
    emit rowClicked(found, -1);
}

void CTvListCtrl::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    viewport()->update();
}

void CTvListCtrl::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    viewport()->update();
}
