#include "app/CameraTableModel.h"

#include <algorithm>

#include "controls/ListSort.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"
#include "engine/MacText.h"

namespace {
QString Text(const char* field) { return QString::fromUtf8(field); }
}  // namespace

CameraTableModel::CameraTableModel(QObject* parent) : CTvListModelBase(parent) {
    for (int column = 0; column < kColumns; ++column) m_titles << QString();
}

int CameraTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CameraTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QStringList CameraTableModel::CellsOf(const CameraRecord& r) {
    // What a camera sends is shown with its controls and direction overrides made harmless;
    // the MAC was checked on arrival and is the row's key.
    const auto shown = [](const char* field) { return UiCameraText(field); };
    return {shown(r.name),     Text(r.mac),  shown(r.ip),        shown(r.mask), shown(r.gateway),
            shown(r.httpPort), shown(r.mode), shown(r.fwVersion), shown(r.model)};
}

QString CameraTableModel::NoteOf(const CameraEntry& entry) {
    constexpr int kTextAddressConflict = 20186;  // "Another host answers with this camera's MAC..."
    QStringList lines;
    for (const std::string& warning : entry.warnings)
        lines << UiText(warning == kWarningDuplicateIp      ? 20128
                        : warning == kWarningAddressConflict ? kTextAddressConflict
                                                             : 20129);
    return lines.join(QLatin1Char('\n'));
}

const CameraEntry* CameraTableModel::EntryAt(int row) const {
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? &m_rows[static_cast<size_t>(row)].entry : nullptr;
}

CTvListModelBase::RowView CameraTableModel::ViewOfRow(int row) const {
    const Row& r = m_rows[static_cast<size_t>(row)];
    return {&r.cells, r.check, r.entry.statusIndex, QString::fromStdString(r.entry.statusText), r.entry.progress, r.note};
}

void CameraTableModel::RefreshStatusTexts() {
    for (Row& row : m_rows) row.note = NoteOf(row.entry);
    CTvListModelBase::RefreshStatusTexts();
}

bool CameraTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
    Row& row = m_rows[static_cast<size_t>(index.row())];
    int check;
    if (role == ListRole::Check) {
        check = value.toInt();
    } else if (role == Qt::CheckStateRole) {
        // A toggle from outside the list (assistive technology) follows the list's rule:
        // only a verified camera can be checked.
        check = value.toInt() == Qt::Checked ? 1 : 0;
        if (check == 1 && !row.entry.verified) return false;
    } else {
        return false;
    }
    if (row.check == check) return true;
    row.check = check;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 0), {role, ListRole::Check});
    return true;
}

int CameraTableModel::RowOfKey(const QString& mac) const { return m_byKey.value(QString::fromStdString(MacKey(mac.toStdString())), -1); }

void CameraTableModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_byKey.clear();
    endResetModel();
}

QStringList CameraTableModel::Apply(const std::vector<CameraEntry>& entries) {
    QStringList verified;
    std::vector<int> changed;
    std::vector<Row> added;
    QHash<QString, int> addedKeys;
    bool moved = false;  // a sort key of a row changed
    for (const CameraEntry& entry : entries) {
        const QString key = QString::fromStdString(MacKey(entry.record.mac));
        const auto it = m_byKey.constFind(key);
        if (it == m_byKey.constEnd()) {
            const auto again = addedKeys.constFind(key);
            Row& row = again != addedKeys.constEnd() ? added[static_cast<size_t>(*again)] : added.emplace_back();
            if (again == addedKeys.constEnd()) addedKeys.insert(key, static_cast<int>(added.size() - 1));
            if (entry.verified && !row.entry.verified) verified << Text(entry.record.mac);
            row.entry = entry;
            row.cells = CellsOf(entry.record);
            row.note = NoteOf(entry);
            continue;
        }
        Row& row = m_rows[static_cast<size_t>(*it)];
        if (entry.verified && !row.entry.verified) verified << Text(entry.record.mac);
        QStringList cells = CellsOf(entry.record);
        if (m_sortColumn >= 0 && (m_sortColumn == kStatusColumn ? entry.statusIndex != row.entry.statusIndex
                                                                : cells.value(m_sortColumn) != row.cells.value(m_sortColumn)))
            moved = true;
        row.entry = entry;
        row.cells = std::move(cells);
        row.note = NoteOf(entry);
        changed.push_back(*it);
    }
    // One change signal per run of neighbouring rows.
    std::sort(changed.begin(), changed.end());
    for (size_t i = 0; i < changed.size();) {
        size_t j = i;
        while (j + 1 < changed.size() && changed[j + 1] <= changed[j] + 1) ++j;
        emit dataChanged(index(changed[i], 0), index(changed[j], kColumns - 1));
        i = j + 1;
    }
    if (!added.empty()) {
        const int first = static_cast<int>(m_rows.size());
        beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
        for (Row& row : added) {
            m_byKey.insert(QString::fromStdString(MacKey(row.entry.record.mac)), static_cast<int>(m_rows.size()));
            m_rows.push_back(std::move(row));
        }
        endInsertRows();
    }
    if (m_sortColumn >= 0 && (moved || !added.empty())) Resort();
    return verified;
}

void CameraTableModel::SortRows(int column, bool ascending) {
    m_sortColumn = column;
    m_ascending = ascending;
    Resort();
}

void CameraTableModel::Resort() {
    if (m_sortColumn < 0 || m_sortColumn >= kColumns) return;
    std::vector<ListSortKey> keys;
    keys.reserve(m_rows.size());
    for (size_t row = 0; row < m_rows.size(); ++row)
        keys.push_back(MakeListSortKey(data(index(static_cast<int>(row), m_sortColumn)).toString()));
    const std::vector<size_t> order = SortedOrder(keys, m_ascending);
    bool same = true;
    for (size_t at = 0; at < order.size() && same; ++at) same = order[at] == at;
    if (same) return;
    Reorder(m_rows, order);
    m_byKey.clear();
    for (size_t row = 0; row < m_rows.size(); ++row)
        m_byKey.insert(QString::fromStdString(MacKey(m_rows[row].entry.record.mac)), static_cast<int>(row));
}

// ---------------------------------------------------------------------------------------
// Filter

CameraListProxy::CameraListProxy(CameraTableModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), m_source(source) {
    setSourceModel(source);
    setDynamicSortFilter(true);
}

void CameraListProxy::SetFilter(int field, const QByteArray& text, bool invert) {
    m_field = field;
    m_text = text;
    m_invert = invert;
    invalidateFilter();
}

bool CameraListProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const CameraEntry* entry = m_source->EntryAt(sourceRow);
    return entry != nullptr && FilterShowsCamera(entry->record, m_field, m_text.constData(), m_invert);
}
