#pragma once
// The custom report list of the tool's dialogs: owner-painted rows with a check box per
// row, a status column with coloured status texts, an in-cell progress bar and sorting by
// column. Rows are keyed by their column-1 text (the MAC for the camera list).
//
// Every public operation may be called from any thread: the rows and their units are
// guarded by one lock, and repaints are handed to the widget's own thread.

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <vector>

class CTvListCtrl;

// Per-row state, found through the row's column-1 text.
struct _ListUnit {
    QString key;
    int row = 0;          // row index at insertion
    int checkState = 0;   // 0 unchecked, 1 checked, -1 unavailable
    int progress = 0;     // percent
    int statusIndex = 0;
    QString note;         // warnings about the row's camera: a mark on the row and its tooltip
};

class CTvListHeader : public QWidget {
    Q_OBJECT
public:
    explicit CTvListHeader(CTvListCtrl* list);

    static constexpr int kHeight = 20;
    static const QColor kTextColour;
    static const QColor kBackground;
    static const QColor kSeparator;

    void SetOffset(int offset);
    // Column under a header x position, -1 when none.
    int ColumnAt(int x) const;

signals:
    void columnClicked(int column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CTvListCtrl* m_list;
    int m_offset = 0;
};

class CTvListCtrl : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Owner's function: (context, row, kind) -> bool. Kind 0 asks whether an unchecked row
    // may be checked; kind 1 reports a right click.
    using Callback = bool (*)(void* context, int row, int kind);

    enum class StatusStyle { Underlined, Plain, Bold };
    struct StatusLook {
        int textId;  // 0: the caller's text
        StatusStyle style;
        QColor colour;
    };
    static constexpr int kStatusColumn = 9;
    // Text id, style and colour of a status index.
    static StatusLook LookOfStatus(int index);

    explicit CTvListCtrl(QWidget* parent = nullptr);
    ~CTvListCtrl() override;

    // Columns.
    int InsertColumn(int column, const QString& title, int width);
    int GetColumnCount() const;
    QString GetColumnTitle(int column) const;
    void SetColumnTitle(int column, const QString& title);
    int GetColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    // The check-box style: draw a check box in column 0.
    void SetCheckBoxes(bool on);

    // Rows.
    virtual int InsertItem(int row, const QString& text, const QString& key);
    virtual bool DeleteItem(int row);
    void DeleteAllItems();
    void DeleteAllUnits();
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    int GetItemCount() const;
    int GetSelectedRow() const;
    void SetSelectedRow(int row);

    // Look.
    void SetFont(int height, int width, int weight, const QString& face, const QColor& textColour,
                 const QColor& selectedTextColour);
    QFont ListFont() const;
    void SetRowHeight(int height);
    int RowHeight() const;
    void SetProgressColumn(int column, const QColor& colour);

    // Per-row state.
    void SetAllChecks(int state);
    void SetCheck(int row, int state);
    bool IsChecked(int row) const;
    int GetCheck(int row) const;
    void SetRowProgress(int row, int percent);
    int GetRowProgress(int row) const;
    // index -1 keeps the current index; `text` is used when the index has no text of its
    // own (a null text leaves the cell as it is).
    void SetRowStatus(int row, int index, const QString& text = QString());
    void SetRowStatusByKey(const QString& key, int index, const QString& text = QString());
    int GetRowStatus(int row) const;
    void RefreshStatusTexts();
    int FindRowByKey(const QString& key) const;
    // Gives each row the note of its key (none when the key is missing): rows with a note
    // show a warning mark before their first cell's text and the note as their tooltip.
    // One pass over the rows; one repaint when a note changed.
    void SetRowNotes(const QHash<QString, QString>& notes);
    QString GetRowNote(int row) const;
    void SetCallback(Callback function, void* context);

    // Sorting: what a click on a column's header does.
    void SortByColumn(int column);
    // The last sorted column and direction, shared by every list of the process.
    static void GetSortState(int* column, bool* ascending);
    static void ResetSortState();

    // Geometry in viewport coordinates, for hit tests and checks.
    QRect CellRect(int row, int column) const;
    int RowAt(int y) const;
    CTvListHeader* Header() const { return m_header; }

    // The colours every row is painted with.
    static const QColor kBackground;
    static const QColor kSelectedBackground;

    // The column under a viewport x position, -1 when none.
    int ColumnAtX(int x) const;

signals:
    void selectionChanged(int row);
    // Every left click on a row (also on the row already selected), with its column; and
    // every move of the selection by the keyboard, with column -1.
    void rowClicked(int row, int column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    struct Column {
        QString title;
        int width;
    };
    struct Row {
        QStringList cells;
        quint64 serial;
    };

    _ListUnit* UnitOfRowLocked(int row) const;
    int FindRowByKeyLocked(const QString& key) const;
    void SetRowStatusLocked(int row, int index, const QString& text);
    void ApplyStatusLocked(int row, _ListUnit* unit, int index, const QString& text);
    int TotalWidthLocked() const;
    int ColumnLeftLocked(int column) const;
    void RequestRepaint();
    void UpdateScrollBars();
    QFont StatusFont(StatusStyle style) const;
    void PaintRow(QPainter& painter, int row, int top, int viewWidth);

    mutable std::recursive_mutex m_mutex;
    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<_ListUnit>> m_units;
    // The first unit of each key, so that a row finds its unit without a scan (a camera
    // list of a thousand rows asks for units a thousand times per update).
    QHash<QString, _ListUnit*> m_firstUnit;
    void IndexKeyLocked(const QString& key);
    quint64 m_nextSerial = 1;
    quint64 m_selectedSerial = 0;  // 0: no row selected
    bool m_checkBoxes = false;

    QFont m_font;
    QColor m_textColour{0, 0, 0};
    QColor m_selectedTextColour{0, 0, 0};
    int m_rowHeight = 20;
    int m_progressColumn = 0;
    QColor m_progressColour{14, 65, 184};

    Callback m_callback = nullptr;
    void* m_callbackContext = nullptr;
    CTvListHeader* m_header;
};
