#pragma once
// The camera list's model: one row per entry of the engine's camera table, keyed by the
// entry's key (a camera's MAC, an ONVIF device's endpoint) through a hash, fed directly by the bridge's batches (each batch one insertion of the new
// rows and one change signal per run of changed rows). Besides what the table decides, a
// row holds only its check mark, which is the list's own. The rows stand in the order in
// which their cameras first answered in this run of the program, over a new search too.
// CameraListProxy filters the rows for the view, and sorts them when a column is chosen.
// An ONVIF device of another maker is a row like any other, marked "ONVIF" in the maker
// column; it can never be checked, since every command the check marks select changes a
// camera, and such a device is only read. A row that went into another one leaves.
//
// Window's thread only.

#include <QHash>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <vector>

#include "controls/TvListModel.h"
#include "engine/CameraTable.h"

namespace CameraRole {
enum : int {
    Verified = ListRole::Badge + 1,  // bool: the camera accepted credentials
};
}

class CameraTableModel : public CTvListModelBase {
    Q_OBJECT
public:
    static constexpr int kColumns = 11;
    // After the status column, so every list keeps the status where the view expects it.
    static constexpr int kMakerColumn = 10;

    explicit CameraTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The check mark: as the window sets it (ListRole::Check), or as the user toggles it
    // (Qt::CheckStateRole), which checks only a verified camera.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    int RowOfKey(const QString& mac) const override;
    void RefreshStatusTexts() override;

    // Empties the list for a new search. The cameras checked now are checked again when they
    // answer the new search verified; the order of first answers stays.
    void Clear();
    // A batch of the camera table: entries already listed change in place, new ones are
    // added in their place in the order of first answers.
    void Apply(const std::vector<CameraEntry>& entries);

    const CameraEntry* EntryAt(int row) const;
    // What the window names a row's camera by: the MAC it reports for a camera of this
    // family, the entry's key for an ONVIF device (which has no MAC of its own).
    static QString IdOf(const CameraEntry& entry);
    // The text a column of the row shows (the status in the current language).
    QString CellText(int row, int column) const;
    // The texts of the warnings, one line each, in the current language.
    static QString NoteOf(const CameraEntry& entry);

signals:
    // Cameras of a batch that became verified with it (IdOf).
    void camerasVerified(const QStringList& macs);

protected:
    RowView ViewOfRow(int row) const override;

private:
    struct Row {
        QString key;  // the entry's key
        CameraEntry entry;
        QStringList cells;  // columns 0-8 and the maker column
        QString status;     // the status column's caller text
        QString note;       // NoteOf(entry) in the current language
        int check = 0;
        quint64 firstAnswer = 0;
    };
    static QStringList CellsOf(const CameraEntry& entry);
    // Rows whose entries went into others leave, one removal each.
    void Remove(const QStringList& keys);
    // Takes the entry into the row; the row's check comes back if it was kept over a Clear.
    void Fill(Row& row, const CameraEntry& entry);
    // Inserts new rows before the first listed row that answered after them.
    void Insert(std::vector<Row>& added);

    std::vector<Row> m_rows;
    QHash<QString, int> m_byKey;             // key -> row
    QSet<QString> m_keptChecks;              // keys of rows checked before the last Clear
    QHash<QString, quint64> m_firstAnswers;  // key -> place of its first answer
};

// Which rows the view shows and in what order: a filter on one field (engine/CameraFilter),
// and a column's texts (controls/ListSort.h), or with no column chosen the model's order.
class CameraListProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CameraListProxy(CameraTableModel* source, QObject* parent = nullptr);
    void SetFilter(int field, const QByteArray& text, bool invert);
    // True while a filter may hide cameras.
    bool Filtering() const { return !m_text.isEmpty(); }
    int FilterField() const { return m_field; }
    // A column of -1 is the model's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    CameraTableModel* m_source;
    int m_field = 0;
    QByteArray m_text;
    bool m_invert = false;
    int m_sortColumn = -1;
};
