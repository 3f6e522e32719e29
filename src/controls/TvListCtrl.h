#pragma once
// The report list of the tool's dialogs: the platform's table view over a list model
// (controls/TvListModel.h), with a delegate that paints the rows' own look (a check box
// per row, a status column with coloured status texts and an in-cell progress bar, a
// warning mark before a row's first cell), a header of its own, and sorting by column.
// Keyboard navigation, selection and the accessible table interface (what a screen reader
// reads) come with the view.
//
// The row-based operations below act on the rows as shown (through a filter, when the
// model shown is one); rows are found by their key, the text of column 1. The list owns a
// plain CTvListModel that InsertItem and friends fill; SetModel shows another model
// instead. Everything runs on the window's thread.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QHeaderView>
#include <QPoint>
#include <QString>
#include <QStyledItemDelegate>
#include <QTableView>

#include "controls/ListStatus.h"

class CTvListCtrl;
class CTvListModel;
class CTvListModelBase;
class QAbstractProxyModel;

class CTvListHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CTvListHeader(CTvListCtrl* list);

    static constexpr int kHeight = 20;
    static const QColor kTextColour;
    static const QColor kBackground;
    static const QColor kSeparator;

    QSize sizeHint() const override;
    // The column the list is sorted by (-1: none) gets an arrow pointing its direction.
    void SetSortMark(int column, Qt::SortOrder order);
    int SortMarkColumn() const { return m_sortColumn; }
    Qt::SortOrder SortMarkOrder() const { return m_sortOrder; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

class CTvListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CTvListDelegate(CTvListCtrl* list);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    // The list handles its own clicks; nothing edits a cell.
    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override {
        return false;
    }

private:
    CTvListCtrl* m_list;
};

class CTvListCtrl : public QTableView {
    Q_OBJECT
public:
    // Owner's function: (context, row, kind) -> bool. Kind 0 asks whether an unchecked row
    // may be checked; kind 1 reports a right click (or the menu key) on a row.
    using Callback = bool (*)(void* context, int row, int kind);

    static constexpr int kStatusColumn = 9;

    explicit CTvListCtrl(QWidget* parent = nullptr);
    ~CTvListCtrl() override;

    // Shows `model` (a list model, or a proxy over one whose source is `source`) instead of
    // the list's own rows.
    void SetModel(QAbstractItemModel* model, CTvListModelBase* source);

    // Columns.
    int InsertColumn(int column, const QString& title, int width);
    int GetColumnCount() const;
    QString GetColumnTitle(int column) const;
    void SetColumnTitle(int column, const QString& title);
    int GetColumnWidth(int column) const { return columnWidth(column); }
    // The check-box style: draw a check box in column 0.
    void SetCheckBoxes(bool on);
    bool CheckBoxes() const { return m_checkBoxes; }

    // Rows of the list's own model.
    virtual int InsertItem(int row, const QString& text, const QString& key);
    virtual bool DeleteItem(int row);
    void DeleteAllItems();
    bool SetItemText(int row, int column, const QString& text);
    // Rows as shown.
    QString GetItemText(int row, int column) const;
    int GetItemCount() const;
    int GetSelectedRow() const;
    void SetSelectedRow(int row);

    // Look.
    void SetFont(int height, int width, int weight, const QString& face, const QColor& textColour,
                 const QColor& selectedTextColour);
    QFont ListFont() const { return m_font; }
    QColor TextColour(bool selected) const { return selected ? m_selectedTextColour : m_textColour; }
    void SetRowHeight(int height);
    int RowHeight() const { return m_rowHeight; }
    void SetProgressColumn(int column, const QColor& colour);
    int ProgressColumn() const { return m_progressColumn; }
    QColor ProgressColour() const { return m_progressColour; }
    QFont StatusFont(StatusStyle style) const;

    // Per-row state.
    void SetAllChecks(int state);
    void SetCheck(int row, int state);
    bool IsChecked(int row) const { return GetCheck(row) == 1; }
    int GetCheck(int row) const;
    void SetRowProgress(int row, int percent);
    int GetRowProgress(int row) const;
    // index -1 keeps the current index; `text` is used when the index has no text of its
    // own (a null text leaves it as it is).
    void SetRowStatus(int row, int index, const QString& text = QString());
    void SetRowStatusByKey(const QString& key, int index, const QString& text = QString());
    int GetRowStatus(int row) const;
    void RefreshStatusTexts();
    // The row showing the key, -1 when none.
    int FindRowByKey(const QString& key) const;
    // Gives each row of the list's own model the note of its key: rows with a note show a
    // warning mark before their first cell's text and the note as their tooltip.
    void SetRowNotes(const QHash<QString, QString>& notes);
    QString GetRowNote(int row) const;
    void SetCallback(Callback function, void* context);

    // Sorting, each list its own: a click on a column's header sorts by it ascending, a
    // second click on the same column descending. The header marks the column.
    void SortByColumn(int column);
    void SortBy(int column, Qt::SortOrder order);

    // Geometry in viewport coordinates, for hit tests and checks.
    QRect CellRect(int row, int column) const;
    CTvListHeader* Header() const { return m_header; }
    // Where the row menu opens: at the pointer of the last right click, or below the row
    // the menu key was pressed on (global coordinates).
    QPoint MenuPosition() const { return m_menuPosition; }

    // The tooltip of a cell: the whole status text where the column cannot show all of it,
    // else the row's note.
    QString CellTip(int row, int column) const;

    // The colours every row is painted with.
    static const QColor kBackground;
    static const QColor kSelectedBackground;

signals:
    void rowSelected(int row);
    // Enter on a row, after its rowClicked: the user means to work on that camera now.
    void rowActivated(int row);
    // Every left click on a row (also on the row already selected), with its column; every
    // move of the selection by the keyboard and Enter on a row, with column -1.
    void rowClicked(int row, int column);
    // A right click on a row, or the menu key on it (also told to the callback, kind 1).
    void rowMenuRequested(int row);

public:
    void keyboardSearch(const QString& search) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QModelIndex Cell(int row, int column) const;
    // Toggles a row's check as a click in its check box does; false when nothing changed.
    bool ToggleCheck(int row);
    void OpenRowMenu(int row, const QPoint& globalPosition);
    void MoveSelection(int target);

    CTvListModel* m_own;
    CTvListModelBase* m_source;
    CTvListHeader* m_header;
    bool m_checkBoxes = false;
    QFont m_font;
    QColor m_textColour{0, 0, 0};
    QColor m_selectedTextColour{0, 0, 0};
    int m_rowHeight = 20;
    int m_progressColumn = 0;
    QColor m_progressColour{14, 65, 184};
    Callback m_callback = nullptr;
    void* m_callbackContext = nullptr;
    QPoint m_menuPosition;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
