#pragma once
// The camera list below the command bar: a ten-column view of the engine's camera table,
// keyed by MAC, with a title, the "Total:" counter, the "Select all authorized cameras"
// box, the filter bar and a right-click function menu. Its model (app/CameraTableModel.h)
// is fed by the main window with the table's batches; a proxy applies the filter. Only the
// check marks are the list's own; it asks the owner, through callback slots, for
// everything that needs a record.
//
// Every operation runs on the window's thread.

#include <QStringList>
#include <QWidget>
#include <vector>

#include "engine/CameraTable.h"

class CameraListProxy;
class CameraTableModel;
class CFilterDlg;
class CFunctionDlg;
class CTvListCtrl;
class CustButton;
class CustCheckBox;
class CustEdit;
class CustStatic;
class QToolButton;

class CListDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kListId = 10002;
    static constexpr int kColumns = 10;
    static constexpr int kTopLineLength = 1148;

    // Menus and the field chooser are placed in popupParent, so that they may reach over
    // the panels below the list.
    CListDlg(QWidget* parent, QWidget* popupParent);
    ~CListDlg() override;

    CTvListCtrl* List() const { return m_list; }
    CFilterDlg* FilterChooser() const { return m_filterChooser; }
    CFunctionDlg* FunctionMenu() const { return m_menu; }
    CustCheckBox* SelectAllBox() const { return m_selectAll; }
    CustCheckBox* InvertBox() const { return m_invert; }
    CustEdit* FilterEdit() const { return m_filterEdit; }
    QToolButton* ApplyButton() const { return m_apply; }
    QToolButton* DropDownButton() const { return m_dropDown; }
    CustStatic* CounterValue() const { return m_countValue; }

    CameraTableModel* Model() const { return m_model; }
    CameraListProxy* Proxy() const { return m_proxy; }

    void ClearList();
    // The counter: the rows shown, and how many cameras there are when a filter hides some.
    void UpdateCount();
    // A batch of the camera table: rows change or are added; a camera verified now is
    // checked when "Select all authorized cameras" is.
    void ApplyEntries(const std::vector<CameraEntry>& entries);
    int RowOfMac(const char* mac) const;
    QString MacOfRow(int row) const;
    // The row whose column shows exactly `text`, -1 when none (rows as shown).
    int FindRow(int column, const QString& text) const;
    // The status index the MAC's row shows, -1 when no row shows it.
    int StatusOf(const char* mac) const;
    int CheckedCount() const;
    // The checked cameras, in the order shown.
    QStringList CheckedMacs() const;
    void SetChecked(const char* mac, bool checked);
    void CheckIfSelectAll(const char* mac);
    QString SelectedMac() const;

    // Filter state; ApplyFilterToRows shows the rows the filter lets through.
    int FilterField() const { return m_eFilter; }
    void SetFilterField(int field);
    bool FilterInverted() const;
    void ApplyFilterToRows(int field, const QByteArray& text, bool invert);

    void SetLanguage();
    void ReloadTexts() { SetLanguage(); }

    void* m_context = nullptr;
    void (*OnCameraSelected)(void* context, const char* mac) = nullptr;
    // Enter on a camera's row, after OnCameraSelected: the keyboard goes on to its panel.
    void (*OnCameraActivated)(void* context) = nullptr;
    void (*OnOpenWebsite)(void* context, const char* ip, const char* port, const char* mac) = nullptr;
    void (*OnApplyFilter)(void* context, int field, const char* text) = nullptr;
    bool (*IsCameraVerified)(void* context, const char* mac) = nullptr;
    void (*OnShowMessage)(void* context, int number) = nullptr;
    void (*OnUpgradeCamera)(void* context, const char* mac) = nullptr;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static bool OnListCallback(void* context, int row, int kind);
    static void OnMenuChosen(void* context, int index);
    static void OnFieldChosen(void* context, int field);
    void OnRowClicked(int row, int column);
    void OnRightClick(int row);
    void OnSelectAll(bool checked);
    void OnChecksChanged();
    void PostSelectionChanged();
    bool Verified(const QString& mac) const;
    void ToggleFilterChooser();
    void ApplyFilter();

    CustStatic* m_title;
    CustStatic* m_countLabel;
    CustStatic* m_countValue;
    CustCheckBox* m_selectAll;
    CustStatic* m_filterLabel;
    CustEdit* m_fieldDisplay;
    QToolButton* m_dropDown;
    CustEdit* m_filterEdit;
    QToolButton* m_apply;
    CustCheckBox* m_invert;
    CTvListCtrl* m_list;
    CameraTableModel* m_model;
    CameraListProxy* m_proxy;
    CFilterDlg* m_filterChooser;
    CFunctionDlg* m_menu;
    int m_eFilter = 0;
};
