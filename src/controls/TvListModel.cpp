#include "controls/TvListModel.h"

#include <algorithm>
#include <numeric>

#include "controls/ListSort.h"
#include "controls/ListStatus.h"

// ---------------------------------------------------------------------------------------
// Shared

void CTvListModelBase::RefreshStatusTexts() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QVariant CTvListModelBase::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const RowView row = ViewOfRow(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            if (column == kStatusColumn) return StatusText(row.statusIndex, row.statusText);
            return row.cells->value(column);
        case Qt::CheckStateRole:
            if (column != 0 || row.check < 0) return {};
            return row.check == 1 ? Qt::Checked : Qt::Unchecked;
        case Qt::AccessibleDescriptionRole:
            // The warning mark's meaning, in words.
            return column == 0 ? row.note : QVariant();
        case ListRole::Key: return row.cells->value(1);
        case ListRole::Check: return row.check;
        case ListRole::StatusIndex: return row.statusIndex;
        case ListRole::Progress: return row.progress;
        case ListRole::Note: return row.note;
        default: return {};
    }
}

Qt::ItemFlags CTvListModelBase::flags(const QModelIndex& index) const {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0 && ViewOfRow(index.row()).check >= 0) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant CTvListModelBase::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_titles.size()) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return m_titles[section];
    return {};
}

bool CTvListModelBase::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || section < 0 || role != Qt::EditRole) return false;
    while (m_titles.size() <= section) m_titles << QString();
    if (m_titles[section] == value.toString()) return true;
    m_titles[section] = value.toString();
    emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

// ---------------------------------------------------------------------------------------
// The plain list

CTvListModel::CTvListModel(QObject* parent) : CTvListModelBase(parent) {}

int CTvListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CTvListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_titles.size(); }

CTvListModelBase::RowView CTvListModel::ViewOfRow(int row) const {
    const Row& r = m_rows[static_cast<size_t>(row)];
    return {&r.cells, r.check, r.statusIndex, r.statusText, r.progress, r.note};
}

bool CTvListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
    Row& row = m_rows[static_cast<size_t>(index.row())];
    int first = 0, last = columnCount() - 1;
    switch (role) {
        case Qt::CheckStateRole: row.check = value.toInt() == Qt::Checked ? 1 : 0; break;
        case ListRole::Check: row.check = value.toInt(); break;
        case ListRole::Progress: row.progress = value.toInt(); break;
        case ListRole::StatusIndex: row.statusIndex = value.toInt(); break;
        case Qt::EditRole:
            // The status column's caller text (an upgrade's "37%").
            if (index.column() != kStatusColumn) return SetText(index.row(), index.column(), value.toString());
            row.statusText = value.toString();
            first = last = kStatusColumn;
            break;
        default: return false;
    }
    emit dataChanged(this->index(index.row(), first), this->index(index.row(), qMax(first, last)));
    return true;
}

int CTvListModel::RowOfKey(const QString& key) const { return m_byKey.value(key, -1); }

void CTvListModel::Reindex() {
    m_byKey.clear();
    for (size_t i = m_rows.size(); i-- > 0;) m_byKey.insert(m_rows[i].cells.value(1), static_cast<int>(i));
}

void CTvListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0) return;
    std::vector<size_t> sorted(m_rows.size());
    std::iota(sorted.begin(), sorted.end(), size_t{0});
    std::stable_sort(sorted.begin(), sorted.end(), [&](size_t a, size_t b) {
        const int result = CompareListTexts(m_rows[a].cells.value(column), m_rows[b].cells.value(column));
        return order == Qt::AscendingOrder ? result < 0 : result > 0;
    });
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(m_rows.size());
    for (size_t at = 0; at < sorted.size(); ++at) newRowOf[sorted[at]] = static_cast<int>(at);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) after << this->index(newRowOf[static_cast<size_t>(index.row())], index.column());
    changePersistentIndexList(before, after);
    std::vector<Row> rows;
    rows.reserve(m_rows.size());
    for (size_t from : sorted) rows.push_back(std::move(m_rows[from]));
    m_rows = std::move(rows);
    Reindex();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CTvListModel::InsertColumn(int column, const QString& title) {
    column = qBound(0, column, static_cast<int>(m_titles.size()));
    beginInsertColumns({}, column, column);
    m_titles.insert(column, title);
    for (Row& row : m_rows)
        if (column <= row.cells.size()) row.cells.insert(column, QString());
    endInsertColumns();
}

int CTvListModel::InsertRow(int row, const QString& text, const QString& key) {
    row = qBound(0, row, static_cast<int>(m_rows.size()));
    Row fresh;
    for (int c = 0; c < qMax(2, static_cast<int>(m_titles.size())); ++c) fresh.cells << QString();
    fresh.cells[0] = text;
    fresh.cells[1] = key;
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, std::move(fresh));
    if (row == static_cast<int>(m_rows.size()) - 1 && !m_byKey.contains(key)) m_byKey.insert(key, row);
    else Reindex();
    endInsertRows();
    return row;
}

bool CTvListModel::RemoveRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return false;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    Reindex();
    endRemoveRows();
    return true;
}

void CTvListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_byKey.clear();
    endResetModel();
}

bool CTvListModel::SetText(int row, int column, const QString& text) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0) return false;
    QStringList& cells = m_rows[static_cast<size_t>(row)].cells;
    while (cells.size() <= column) cells << QString();
    if (cells[column] == text) return true;
    cells[column] = text;
    if (column == 1) Reindex();
    emit dataChanged(index(row, column), index(row, column));
    return true;
}

QString CTvListModel::Text(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
    return m_rows[static_cast<size_t>(row)].cells.value(column);
}

void CTvListModel::SetAllChecks(int state) {
    bool changed = false;
    for (Row& row : m_rows) {
        changed |= row.check != state;
        row.check = state;
    }
    if (changed && !m_rows.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

void CTvListModel::SetNotes(const QHash<QString, QString>& notes) {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const QString note = notes.value(m_rows[i].cells.value(1));
        if (m_rows[i].note == note) continue;
        m_rows[i].note = note;
        emit dataChanged(index(static_cast<int>(i), 0), index(static_cast<int>(i), columnCount() - 1));
    }
}
