#include "controls/TvListCtrl.h"

#include <QCoreApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include "common/stdafx.h"
#include "controls/CameraEvent.h"
#include "controls/CustControls.h"
#include "controls/ListSort.h"
#include "controls/UiText.h"

const QColor CTvListCtrl::kBackground(255, 255, 255);
const QColor CTvListCtrl::kSelectedBackground(182, 216, 255);

namespace {
// Status texts arrive in column 9 and are drawn in the style of their index.
const QColor kLightGrey(230, 230, 230);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

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

CTvListCtrl::StatusLook CTvListCtrl::LookOfStatus(int index) {
    switch (index) {
        case 0: return {20036, StatusStyle::Underlined, QColor(128, 128, 255)};
        case 1: return {20036, StatusStyle::Underlined, QColor(0, 0, 255)};
        case 2: return {20038, StatusStyle::Plain, kBlack};
        case 3: return {20102, StatusStyle::Plain, kRed};
        case 4: return {20039, StatusStyle::Plain, kBlack};
        case 5: return {0, StatusStyle::Bold, kLightGrey};
        case 6: return {20066, StatusStyle::Bold, kLightGrey};
        case 7: return {20023, StatusStyle::Plain, kRed};
        case 8: return {20084, StatusStyle::Plain, kRed};
        case 9: return {20097, StatusStyle::Plain, kRed};
        case 10: return {20102, StatusStyle::Plain, kRed};
        case 11: return {20098, StatusStyle::Plain, kBlack};
        case 12: return {20099, StatusStyle::Plain, kBlack};
        case 13: return {20100, StatusStyle::Plain, kBlack};
        case 15:
        case 16: return {20101, StatusStyle::Plain, kRed};
        default: return {0, StatusStyle::Bold, kLightGrey};  // 14, 17 and above, negatives
    }
}

CTvListCtrl::CTvListCtrl(QWidget* parent) : QAbstractScrollArea(parent) {
    m_font = FontWithWidth(QStringLiteral("Arial"), 16, 6, 400);
    m_header = new CTvListHeader(this);
    setViewportMargins(0, CTvListHeader::kHeight, 0, 0);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, kBackground);
    viewport()->setPalette(pal);
    connect(m_header, &CTvListHeader::columnClicked, this, &CTvListCtrl::SortByColumn);
}

CTvListCtrl::~CTvListCtrl() = default;

// ---------------------------------------------------------------------------------------
// Columns

int CTvListCtrl::InsertColumn(int column, const QString& title, int width) {
    {
        std::lock_guard lock(m_mutex);
        column = qBound(0, column, static_cast<int>(m_columns.size()));
        m_columns.insert(m_columns.begin() + column, Column{title, width});
        for (Row& row : m_rows) {
            if (column <= row.cells.size()) row.cells.insert(column, QString());
        }
    }
    UpdateScrollBars();
    RequestRepaint();
    return column;
}

int CTvListCtrl::GetColumnCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_columns.size());
}

QString CTvListCtrl::GetColumnTitle(int column) const {
    std::lock_guard lock(m_mutex);
    if (column < 0 || column >= static_cast<int>(m_columns.size())) return {};
    return m_columns[column].title;
}

void CTvListCtrl::SetColumnTitle(int column, const QString& title) {
    {
        std::lock_guard lock(m_mutex);
        if (column < 0 || column >= static_cast<int>(m_columns.size())) return;
        m_columns[column].title = title;
    }
    RequestRepaint();
}

int CTvListCtrl::GetColumnWidth(int column) const {
    std::lock_guard lock(m_mutex);
    if (column < 0 || column >= static_cast<int>(m_columns.size())) return 0;
    return m_columns[column].width;
}

void CTvListCtrl::SetColumnWidth(int column, int width) {
    {
        std::lock_guard lock(m_mutex);
        if (column < 0 || column >= static_cast<int>(m_columns.size())) return;
        m_columns[column].width = qMax(0, width);
    }
    UpdateScrollBars();
    RequestRepaint();
}

void CTvListCtrl::SetCheckBoxes(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_checkBoxes = on;
    }
    RequestRepaint();
}

int CTvListCtrl::TotalWidthLocked() const {
    int total = 0;
    for (const Column& column : m_columns) total += column.width;
    return total;
}

int CTvListCtrl::ColumnLeftLocked(int column) const {
    int left = 0;
    for (int i = 0; i < column && i < static_cast<int>(m_columns.size()); ++i) left += m_columns[i].width;
    return left;
}

// ---------------------------------------------------------------------------------------
// Rows

int CTvListCtrl::InsertItem(int row, const QString& text, const QString& key) {
    {
        std::lock_guard lock(m_mutex);
        row = qBound(0, row, static_cast<int>(m_rows.size()));
        auto unit = std::make_unique<_ListUnit>();
        unit->key = key;
        unit->row = row;
        if (!m_firstUnit.contains(key)) m_firstUnit.insert(key, unit.get());
        m_units.push_back(std::move(unit));
        Row newRow;
        newRow.cells.reserve(qMax<qsizetype>(10, m_columns.size()));
        for (size_t i = 0; i < qMax<size_t>(1, m_columns.size()); ++i) newRow.cells.append(QString());
        newRow.cells[0] = text;
        newRow.serial = m_nextSerial++;
        m_rows.insert(m_rows.begin() + row, std::move(newRow));
    }
    UpdateScrollBars();
    RequestRepaint();
    return row;
}

bool CTvListCtrl::DeleteItem(int row) {
    TLOG("(%s:%d)DeleteItem %d", row);
    {
        std::lock_guard lock(m_mutex);
        if (row < 0 || row >= static_cast<int>(m_rows.size())) return false;
        const QString key = m_rows[row].cells.value(1);
        for (auto it = m_units.begin(); it != m_units.end(); ++it) {
            if ((*it)->key == key) {
                m_units.erase(it);
                IndexKeyLocked(key);
                break;
            }
        }
        if (m_rows[row].serial == m_selectedSerial) m_selectedSerial = 0;
        m_rows.erase(m_rows.begin() + row);
    }
    UpdateScrollBars();
    RequestRepaint();
    return true;
}

void CTvListCtrl::DeleteAllItems() {
    {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
        m_units.clear();
        m_firstUnit.clear();
        m_selectedSerial = 0;
    }
    UpdateScrollBars();
    RequestRepaint();
}

void CTvListCtrl::DeleteAllUnits() {
    std::lock_guard lock(m_mutex);
    m_units.clear();
    m_firstUnit.clear();
}

void CTvListCtrl::IndexKeyLocked(const QString& key) {
    m_firstUnit.remove(key);
    for (const auto& unit : m_units) {
        if (unit->key == key) {
            m_firstUnit.insert(key, unit.get());
            return;
        }
    }
}

bool CTvListCtrl::SetItemText(int row, int column, const QString& text) {
    {
        std::lock_guard lock(m_mutex);
        if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0) return false;
        QStringList& cells = m_rows[row].cells;
        while (cells.size() <= column) cells.append(QString());
        if (cells[column] == text) return true;
        cells[column] = text;
    }
    RequestRepaint();
    return true;
}

QString CTvListCtrl::GetItemText(int row, int column) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
    return m_rows[row].cells.value(column);
}

int CTvListCtrl::GetItemCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_rows.size());
}

int CTvListCtrl::GetSelectedRow() const {
    std::lock_guard lock(m_mutex);
    if (m_selectedSerial == 0) return -1;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].serial == m_selectedSerial) return static_cast<int>(i);
    return -1;
}

void CTvListCtrl::SetSelectedRow(int row) {
    {
        std::lock_guard lock(m_mutex);
        const quint64 serial =
            (row >= 0 && row < static_cast<int>(m_rows.size())) ? m_rows[row].serial : 0;
        if (serial == m_selectedSerial) return;
        m_selectedSerial = serial;
    }
    RequestRepaint();
    if (QThread::currentThread() == thread()) emit selectionChanged(row);
}

// ---------------------------------------------------------------------------------------
// Look

void CTvListCtrl::SetFont(int height, int width, int weight, const QString& face,
                          const QColor& textColour, const QColor& selectedTextColour) {
    {
        std::lock_guard lock(m_mutex);
        m_font = FontWithWidth(face, height, width, weight);
        m_textColour = textColour;
        m_selectedTextColour = selectedTextColour;
    }
    RequestRepaint();
}

QFont CTvListCtrl::ListFont() const {
    std::lock_guard lock(m_mutex);
    return m_font;
}

void CTvListCtrl::SetRowHeight(int height) {
    {
        std::lock_guard lock(m_mutex);
        m_rowHeight = qMax(1, height);
    }
    UpdateScrollBars();
    RequestRepaint();
}

int CTvListCtrl::RowHeight() const {
    std::lock_guard lock(m_mutex);
    return m_rowHeight;
}

void CTvListCtrl::SetProgressColumn(int column, const QColor& colour) {
    {
        std::lock_guard lock(m_mutex);
        m_progressColumn = column;
        m_progressColour = colour;
    }
    RequestRepaint();
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

_ListUnit* CTvListCtrl::UnitOfRowLocked(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return nullptr;
    return m_firstUnit.value(m_rows[row].cells.value(1), nullptr);
}

void CTvListCtrl::SetAllChecks(int state) {
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        for (auto& unit : m_units) {
            if (unit->checkState != state) {
                unit->checkState = state;
                changed = true;
            }
        }
    }
    if (changed) RequestRepaint();
}

void CTvListCtrl::SetCheck(int row, int state) {
    {
        std::lock_guard lock(m_mutex);
        _ListUnit* unit = UnitOfRowLocked(row);
        if (unit == nullptr) return;
        unit->checkState = state;
    }
    RequestRepaint();
}

bool CTvListCtrl::IsChecked(int row) const { return GetCheck(row) == 1; }

int CTvListCtrl::GetCheck(int row) const {
    std::lock_guard lock(m_mutex);
    const _ListUnit* unit = UnitOfRowLocked(row);
    return unit != nullptr ? unit->checkState : 0;
}

void CTvListCtrl::SetRowProgress(int row, int percent) {
    {
        std::lock_guard lock(m_mutex);
        _ListUnit* unit = UnitOfRowLocked(row);
        if (unit == nullptr) return;
        unit->progress = percent;
    }
    RequestRepaint();
}

int CTvListCtrl::GetRowProgress(int row) const {
    std::lock_guard lock(m_mutex);
    const _ListUnit* unit = UnitOfRowLocked(row);
    return unit != nullptr ? unit->progress : 0;
}

void CTvListCtrl::SetRowStatusLocked(int row, int index, const QString& text) {
    ApplyStatusLocked(row, UnitOfRowLocked(row), index, text);
}

void CTvListCtrl::ApplyStatusLocked(int row, _ListUnit* unit, int index, const QString& text) {
    if (unit == nullptr) return;
    if (index != -1) unit->statusIndex = index;
    const StatusLook look = LookOfStatus(unit->statusIndex);
    QString shown;
    if (look.textId != 0) {
        UiCheckLanguage();
        shown = UiText(look.textId);
    } else if (!text.isNull()) {
        shown = text;
    } else {
        return;  // no text of its own and none given: the cell keeps what it shows
    }
    QStringList& cells = m_rows[row].cells;
    while (cells.size() <= kStatusColumn) cells.append(QString());
    cells[kStatusColumn] = shown;
}

void CTvListCtrl::SetRowStatus(int row, int index, const QString& text) {
    {
        std::lock_guard lock(m_mutex);
        SetRowStatusLocked(row, index, text);
    }
    RequestRepaint();
}

void CTvListCtrl::SetRowStatusByKey(const QString& key, int index, const QString& text) {
    {
        std::lock_guard lock(m_mutex);
        const int row = FindRowByKeyLocked(key);
        if (row >= static_cast<int>(m_rows.size())) return;
        SetRowStatusLocked(row, index, text);
    }
    RequestRepaint();
}

int CTvListCtrl::GetRowStatus(int row) const {
    std::lock_guard lock(m_mutex);
    const _ListUnit* unit = UnitOfRowLocked(row);
    return unit != nullptr ? unit->statusIndex : 0;
}

void CTvListCtrl::RefreshStatusTexts() {
    {
        std::lock_guard lock(m_mutex);
        // Every row looks its unit up by key; one index of the first unit per key keeps a
        // full refresh linear in the number of rows.
        QHash<QString, _ListUnit*> firstUnit;
        firstUnit.reserve(static_cast<qsizetype>(m_units.size()));
        for (const auto& unit : m_units)
            if (!firstUnit.contains(unit->key)) firstUnit.insert(unit->key, unit.get());
        const int count = qMin(static_cast<int>(m_units.size()), static_cast<int>(m_rows.size()));
        for (int position = 0; position < count; ++position)
            ApplyStatusLocked(position, firstUnit.value(m_rows[position].cells.value(1), nullptr), -1, QString());
    }
    RequestRepaint();
}

int CTvListCtrl::FindRowByKeyLocked(const QString& key) const {
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].cells.value(1) == key) return static_cast<int>(i);
    return static_cast<int>(m_rows.size());
}

int CTvListCtrl::FindRowByKey(const QString& key) const {
    std::lock_guard lock(m_mutex);
    return FindRowByKeyLocked(key);
}

void CTvListCtrl::SetRowNotes(const QHash<QString, QString>& notes) {
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        for (auto& unit : m_units) {
            const QString note = notes.value(unit->key);
            if (unit->note == note) continue;
            unit->note = note;
            changed = true;
        }
    }
    if (changed) RequestRepaint();
}

QString CTvListCtrl::GetRowNote(int row) const {
    std::lock_guard lock(m_mutex);
    const _ListUnit* unit = UnitOfRowLocked(row);
    return unit != nullptr ? unit->note : QString();
}

void CTvListCtrl::SetCallback(Callback function, void* context) {
    std::lock_guard lock(m_mutex);
    m_callback = function;
    m_callbackContext = context;
}

// ---------------------------------------------------------------------------------------
// Sorting

namespace {
std::mutex g_sortMutex;
int g_lastSortColumn = -1;
bool g_sortAscending = true;
}  // namespace

void CTvListCtrl::GetSortState(int* column, bool* ascending) {
    std::lock_guard lock(g_sortMutex);
    if (column != nullptr) *column = g_lastSortColumn;
    if (ascending != nullptr) *ascending = g_sortAscending;
}

void CTvListCtrl::ResetSortState() {
    std::lock_guard lock(g_sortMutex);
    g_lastSortColumn = -1;
    g_sortAscending = true;
}

void CTvListCtrl::SortByColumn(int column) {
    bool ascending = true;
    {
        std::lock_guard lock(g_sortMutex);
        if (column != g_lastSortColumn) {
            g_lastSortColumn = column;
            g_sortAscending = true;
        } else {
            g_sortAscending = !g_sortAscending;
        }
        ascending = g_sortAscending;
    }
    {
        std::lock_guard lock(m_mutex);
        std::vector<ListSortKey> keys;
        keys.reserve(m_rows.size());
        for (const Row& row : m_rows) keys.push_back(MakeListSortKey(row.cells.value(column)));
        const std::vector<size_t> order = SortedOrder(keys, ascending);
        std::vector<Row> sorted;
        sorted.reserve(m_rows.size());
        for (size_t index : order) sorted.push_back(std::move(m_rows[index]));
        m_rows = std::move(sorted);
    }
    RequestRepaint();
}
