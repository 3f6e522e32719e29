#pragma once
// The data behind the report lists of the tool's dialogs. Every list model speaks the same
// roles, so one view (CTvListCtrl) and one delegate paint any of them: the cell texts, a
// check state per row, a status index whose text and look the status column shows, an
// upgrade's progress, and a note (warnings about the row's camera). Rows carry a key, the
// text of column 1 (the MAC for the camera lists), and are found by it through a hash. How a
// status looks is controls/ListStatus.h; the models know nothing of the view.
//
// CTvListModel is the plain list the upgrade page and the camera selection fill row by row;
// the camera list's model (app/CameraTableModel.h) reads the engine's camera table.
// Models live on the window's thread.

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace ListRole {
enum : int {
    Key = Qt::UserRole + 1,  // QString: the row's key
    Check,                   // int: 0 unchecked, 1 checked, -1 unavailable
    StatusIndex,             // int
    Progress,                // int: percent
    Note,                    // QString: warnings about the row, "" when none
    Badge,                   // QString: a short mark the cell's text starts with, drawn framed
};
}

// What every list model offers beside the roles.
class CTvListModelBase : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kStatusColumn = 9;
    using QAbstractTableModel::QAbstractTableModel;

    // The shared roles, read from ViewOfRow.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The row of the key, -1 when none.
    virtual int RowOfKey(const QString& key) const = 0;
    // The status texts and notes in the language now in force (after a language change).
    virtual void RefreshStatusTexts();

    // Column titles, set through setHeaderData and read through headerData.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

protected:
    // What the shared roles read of one row.
    struct RowView {
        const QStringList* cells;  // the texts of the columns before the status column
        int check;
        int statusIndex;
        QString statusText;
        int progress;
        QString note;
    };
    virtual RowView ViewOfRow(int row) const = 0;

    QStringList m_titles;
};

class CTvListModel : public CTvListModelBase {
    Q_OBJECT
public:
    explicit CTvListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    int RowOfKey(const QString& key) const override;
    // Orders the rows by a column's texts (controls/ListSort.h), keeping every persistent
    // index on its row; rows added later go where they are put.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void InsertColumn(int column, const QString& title);
    // A row with `text` in column 0; its key is column 1's text.
    int InsertRow(int row, const QString& text, const QString& key);
    bool RemoveRow(int row);
    void Clear();
    bool SetText(int row, int column, const QString& text);
    QString Text(int row, int column) const;
    void SetAllChecks(int state);
    // Gives each row the note of its key; one change signal for every row whose note changed.
    void SetNotes(const QHash<QString, QString>& notes);

protected:
    RowView ViewOfRow(int row) const override;

private:
    struct Row {
        QStringList cells;
        int check = 0;
        int progress = 0;
        int statusIndex = 0;
        QString statusText;
        QString note;
    };
    void Reindex();

    std::vector<Row> m_rows;
    QHash<QString, int> m_byKey;  // key -> its first row
};
