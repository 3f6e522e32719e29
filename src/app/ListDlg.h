#pragma once
// The camera list below the command bar: an eleven-column view of the engine's camera table,
// keyed by MAC (an ONVIF device by its entry's key, which the list hands out in a MAC's place), with a title, the "Total:" counter, the "Select all authorized cameras"
// box, the filter bar and a right-click function menu. Its model (app/CameraTableModel.h)
// takes the table's batches straight from the bridge; a proxy filters and sorts, set by
// the list's own filter bar. Only the check marks are the list's own; what it reads of a
// camera it reads from the model, and what the window is to do it says by its signals.
//
// Every operation runs on the window's thread.

#include <QStringList>
#include <QWidget>

class CameraListProxy;
class CameraTableModel;
class CFilterDlg;
class CFunctionDlg;
class CTvListCtrl;
class CustCheckBox;
class CustEdit;
class CustStatic;
class QToolButton;

class CListDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kListId = 10002;
    static constexpr int kColumns = 11;
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
    CustStatic* CounterValue() const { return m_countValue; }

    CameraTableModel* Model() const { return m_model; }
    CameraListProxy* Proxy() const { return m_proxy; }

    // Empties the list for a new search; the cameras checked now are checked again when
    // they answer it verified.
    void ClearList();
    // The counter: the rows shown, and how many cameras there are when a filter hides some.
    void UpdateCount();
    // The row showing the MAC's camera, -1 when none; the MAC of a row shown (an ONVIF
    // device's key).
    int RowOfMac(const char* mac) const;
    QString MacOfRow(int row) const;
    // The status index the MAC's row shows, -1 when no row shows it.
    int StatusOf(const char* mac) const;
    // Whether the camera of a row shown accepted credentials.
    bool VerifiedRow(int row) const;
    int CheckedCount() const;
    // The checked cameras, in the order shown.
    QStringList CheckedMacs() const;
    void SetChecked(const char* mac, bool checked);
    void CheckIfSelectAll(const char* mac);
    QString SelectedMac() const;

    // Filter: the field chosen, and the filter in force (as the bar's Apply or Enter sets
    // it: the rows the filter lets through are shown).
    void SetFilterField(int field);
    void ApplyFilter(int field, const QString& text, bool invert);

    void SetLanguage();
    void ReloadTexts() { SetLanguage(); }

signals:
    // A click, key or menu chose the camera.
    void cameraSelected(const QString& mac);
    // Enter on a camera's row, after cameraSelected: the keyboard goes on to its panel.
    void cameraActivated();
    void openWebsite(const QString& ip, const QString& port, const QString& mac);
    // A fixed message of the window (its number).
    void showMessage(int number);
    void upgradeCamera(const QString& mac);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int SourceRow(int row) const;
    void OnMenuChosen(int index);
    void OnRowClicked(int row, int column);
    void OnRightClick(int row);
    void OnSelectAll(bool checked);
    void OnChecksChanged();
    void OnCamerasVerified(const QStringList& macs);
    void PostSelectionChanged();
    void OpenWebsiteOf(int row);
    void ToggleFilterChooser();
    void ApplyFilterBar();

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
    bool m_filtering = false;
};
