#include "app/CameraTableModel.h"

#include <algorithm>

#include "controls/ListSort.h"
#include "controls/ListStatus.h"
#include "controls/UiText.h"
#include "engine/CameraFilter.h"
#include "engine/MacText.h"

namespace {
QString Text(const char* field) { return QString::fromUtf8(field); }
QString KeyOf(const CameraEntry& entry) {
    return QString::fromStdString(entry.kind == DeviceKind::Onvif ? entry.key : MacKey(entry.record.mac));
}
// A key as the window spells it (a MAC in any case) as the hash holds it.
QString NormalKey(const QString& key) {
    const std::string text = key.toStdString();
    return QString::fromStdString(IsOnvifKey(text) ? text : MacKey(text));
}
}  // namespace

CameraTableModel::CameraTableModel(QObject* parent) : CTvListModelBase(parent) {
    for (int column = 0; column < kColumns; ++column) m_titles << QString();
}

int CameraTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CameraTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QStringList CameraTableModel::CellsOf(const CameraEntry& entry) {
    // What a camera sends is shown with its controls and direction overrides made harmless;
    // the MAC was checked on arrival and is the row's key. An ONVIF device's MAC is the one
    // it told once verified, as it told it.
    const CameraRecord& r = entry.record;
    const auto shown = [](const char* field) { return UiCameraText(field); };
    const QString mac = entry.kind == DeviceKind::Onvif && entry.onvif != nullptr
                            ? shown(entry.onvif->facts.network.mac.c_str())
                            : Text(r.mac);
    return {shown(r.name),     mac,          shown(r.ip),        shown(r.mask), shown(r.gateway),
            shown(r.httpPort), shown(r.mode), shown(r.fwVersion), shown(r.model), QString(),
            shown(MakerColumnText(entry).c_str())};
}

QString CameraTableModel::IdOf(const CameraEntry& entry) {
    return entry.kind == DeviceKind::Onvif ? QString::fromStdString(entry.key) : Text(entry.record.mac);
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

QString CameraTableModel::CellText(int row, int column) const {
    const Row& r = m_rows[static_cast<size_t>(row)];
    return column == kStatusColumn ? StatusText(r.entry.statusIndex, r.status) : r.cells.value(column);
}

CTvListModelBase::RowView CameraTableModel::ViewOfRow(int row) const {
    const Row& r = m_rows[static_cast<size_t>(row)];
    return {&r.cells, r.check, r.entry.statusIndex, r.status, r.entry.progress, r.note};
}

QVariant CameraTableModel::data(const QModelIndex& index, int role) const {
    if (role != CameraRole::Verified && role != ListRole::Badge && role != ListRole::Key)
        return CTvListModelBase::data(index, role);
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    const bool onvif = row.entry.kind == DeviceKind::Onvif;
    switch (role) {
        case CameraRole::Verified: return row.entry.verified;
        case ListRole::Badge:
            return onvif && index.column() == kMakerColumn ? QString::fromLatin1(kOnvifKindMark) : QString();
        default: return onvif ? row.key : CTvListModelBase::data(index, role);
    }
}

void CameraTableModel::RefreshStatusTexts() {
    for (Row& row : m_rows) row.note = NoteOf(row.entry);
    CTvListModelBase::RefreshStatusTexts();
}

bool CameraTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
    Row& row = m_rows[static_cast<size_t>(index.row())];
    if (row.check < 0) return false;  // an ONVIF device: nothing a check selects applies to it
    int check;
    if (role == ListRole::Check) {
        check = value.toInt();
    } else if (role == Qt::CheckStateRole) {
        // A toggle of the user's (a click, Space, assistive technology) follows the list's
        // rule: only a verified camera can be checked.
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

int CameraTableModel::RowOfKey(const QString& mac) const { return m_byKey.value(NormalKey(mac), -1); }

void CameraTableModel::Clear() {
    beginResetModel();
    for (const Row& row : m_rows)
        if (row.check == 1) m_keptChecks.insert(row.key);
    m_rows.clear();
    m_byKey.clear();
    endResetModel();
}

void CameraTableModel::Fill(Row& row, const CameraEntry& entry) {
    row.entry = entry;
    row.cells = CellsOf(entry);
    row.status = QString::fromStdString(entry.statusText);
    row.note = NoteOf(entry);
    if (entry.kind == DeviceKind::Onvif) row.check = -1;
    else if (entry.verified && m_keptChecks.remove(row.key)) row.check = 1;
}

void CameraTableModel::Insert(std::vector<Row>& added) {
    std::sort(added.begin(), added.end(), [](const Row& a, const Row& b) { return a.firstAnswer < b.firstAnswer; });
    bool appended = true;
    for (size_t next = 0; next < added.size();) {
        const auto place = std::upper_bound(m_rows.begin(), m_rows.end(), added[next].firstAnswer,
                                            [](quint64 rank, const Row& row) { return rank < row.firstAnswer; });
        // Every new row that answered before the row at `place` goes in with it, at once.
        size_t end = next + 1;
        while (end < added.size() && (place == m_rows.end() || added[end].firstAnswer < place->firstAnswer)) ++end;
        const int at = static_cast<int>(place - m_rows.begin());
        appended = appended && place == m_rows.end();
        beginInsertRows({}, at, at + static_cast<int>(end - next) - 1);
        m_rows.insert(place, std::make_move_iterator(added.begin() + static_cast<std::ptrdiff_t>(next)),
                      std::make_move_iterator(added.begin() + static_cast<std::ptrdiff_t>(end)));
        if (appended)
            for (size_t row = static_cast<size_t>(at); row < m_rows.size(); ++row) m_byKey.insert(m_rows[row].key, static_cast<int>(row));
        endInsertRows();
        next = end;
    }
    if (appended) return;
    // Rows went in between: the later ones moved down.
    m_byKey.clear();
    for (size_t row = 0; row < m_rows.size(); ++row) m_byKey.insert(m_rows[row].key, static_cast<int>(row));
}

void CameraTableModel::Apply(const std::vector<CameraEntry>& entries) {
    QStringList verified;
    std::vector<int> changed;
    std::vector<Row> added;
    QHash<QString, int> addedKeys;
    QStringList removed;
    for (const CameraEntry& entry : entries) {
        const QString key = KeyOf(entry);
        if (entry.removed) {
            removed << key;
            continue;
        }
        const auto it = m_byKey.constFind(key);
        Row* row = nullptr;
        if (it != m_byKey.constEnd()) {
            row = &m_rows[static_cast<size_t>(*it)];
            changed.push_back(*it);
        } else if (const auto again = addedKeys.constFind(key); again != addedKeys.constEnd()) {
            row = &added[static_cast<size_t>(*again)];
        } else {
            addedKeys.insert(key, static_cast<int>(added.size()));
            row = &added.emplace_back();
            row->key = key;
            const auto first = m_firstAnswers.constFind(key);
            row->firstAnswer = first != m_firstAnswers.constEnd() ? *first : static_cast<quint64>(m_firstAnswers.size());
            if (first == m_firstAnswers.constEnd()) m_firstAnswers.insert(key, row->firstAnswer);
        }
        if (entry.verified && !row->entry.verified) verified << IdOf(entry);
        Fill(*row, entry);
    }
    // One change signal per run of neighbouring rows.
    std::sort(changed.begin(), changed.end());
    for (size_t i = 0; i < changed.size();) {
        size_t j = i;
        while (j + 1 < changed.size() && changed[j + 1] <= changed[j] + 1) ++j;
        emit dataChanged(index(changed[i], 0), index(changed[j], kColumns - 1));
        i = j + 1;
    }
    Insert(added);
    Remove(removed);
    if (!verified.isEmpty()) emit camerasVerified(verified);
}

void CameraTableModel::Remove(const QStringList& keys) {
    for (const QString& key : keys) {
        const int row = m_byKey.value(key, -1);
        if (row < 0) continue;
        beginRemoveRows({}, row, row);
        m_rows.erase(m_rows.begin() + row);
        m_byKey.clear();
        for (size_t at = 0; at < m_rows.size(); ++at) m_byKey.insert(m_rows[at].key, static_cast<int>(at));
        endRemoveRows();
    }
}

// ---------------------------------------------------------------------------------------
// Filter and order

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
    return entry != nullptr && FilterShowsEntry(*entry, m_field, m_text.constData(), m_invert);
}

void CameraListProxy::sort(int column, Qt::SortOrder order) {
    m_sortColumn = column < 0 || column >= CameraTableModel::kColumns ? -1 : column;
    QSortFilterProxyModel::sort(m_sortColumn, order);
}

bool CameraListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return CompareListTexts(m_source->CellText(left.row(), m_sortColumn), m_source->CellText(right.row(), m_sortColumn)) < 0;
}
