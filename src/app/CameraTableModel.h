#pragma once
// The camera list's model: one row per entry of the engine's camera table, keyed by MAC
// through a hash, fed in batches by the window's flush (each batch one insertion of the new
// rows and one change signal per run of changed rows). Besides what the table decides, a
// row holds only its check mark, which is the window's own. CameraListProxy filters the
// rows for the view (field, text, Invert); the model keeps the user's sort order, also for
// rows that arrive later.
//
// Window's thread only.

#include <QSortFilterProxyModel>
#include <QStringList>
#include <vector>

#include "controls/TvListModel.h"
#include "engine/CameraTable.h"

class CameraTableModel : public CTvListModelBase {
    Q_OBJECT
public:
    static constexpr int kColumns = 10;

    explicit CameraTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // The check mark (through Qt::CheckStateRole only a verified camera can be checked).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    int RowOfKey(const QString& mac) const override;
    void SortRows(int column, bool ascending) override;
    void RefreshStatusTexts() override;

    // Empties the list for a new search; the sort order in force stays.
    void Clear();
    // Applies a batch: entries already listed change in place, new ones are added. Returns
    // the MACs of the rows whose camera became verified with this batch.
    QStringList Apply(const std::vector<CameraEntry>& entries);

    const CameraEntry* EntryAt(int row) const;
    // The texts of the warnings, one line each, in the current language.
    static QString NoteOf(const CameraEntry& entry);

protected:
    RowView ViewOfRow(int row) const override;

private:
    struct Row {
        CameraEntry entry;
        QStringList cells;  // columns 0-8
        QString note;       // NoteOf(entry) in the current language
        int check = 0;
    };
    static QStringList CellsOf(const CameraRecord& record);
    void Resort();

    std::vector<Row> m_rows;
    QHash<QString, int> m_byKey;  // MacKey -> row
    int m_sortColumn = -1;
    bool m_ascending = true;
};

// Which rows the view shows: a prefix of one field, or everything but it (engine/CameraFilter).
class CameraListProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CameraListProxy(CameraTableModel* source, QObject* parent = nullptr);
    void SetFilter(int field, const QByteArray& text, bool invert);
    // True while a filter may hide cameras.
    bool Filtering() const { return !m_text.isEmpty(); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    CameraTableModel* m_source;
    int m_field = 0;
    QByteArray m_text;
    bool m_invert = false;
};
