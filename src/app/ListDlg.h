#pragma once
// The camera list below the command bar: a ten-column list of the cameras found, keyed by
// the MAC in column 1, with a title, the "Total:" counter, the "Select all authorized
// cameras" box, the filter bar and a right-click function menu. It owns no camera data:
// the main window fills the rows from the engine's records and is asked, through callback
// slots, for everything that needs a record. It also watches the cameras busy with a
// setting or a factory default: a worker thread wakes every 2 s and hands a scan to the
// window's thread; what the scan decides reaches the owner as posted copies.
//
// Every operation runs on the window's thread.

#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/BusyTable.h"
#include "engine/CameraRecord.h"

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

    void ClearList();
    void UpdateCount();
    // Writes columns 0-8 of the MAC's row and its status: kind 0 "View" (verified),
    // 1 "Setting", 2 "Rebooting". Nothing when no row shows the MAC.
    void ShowCamera(const CameraRecord& record, int kind);
    // Adds the camera's row if missing and writes the cells whose text differs; returns
    // the row and whether it was added.
    int UpdateRow(const CameraRecord& record, bool* added = nullptr);
    // Adds a row for a camera known to have none (a rebuild of the list); returns it.
    int AppendRow(const CameraRecord& record);
    int FindRow(int column, const QString& text) const;
    int RowOfMac(const char* mac) const;
    QString MacOfRow(int row) const;
    int StatusOf(const char* mac) const;
    void SetStatus(const char* mac, int index);
    void SetProgress(const char* mac, int percent);
    void CheckIfSelectAll(const char* mac);
    bool SelectAllChecked() const;
    int CheckedCount() const;
    QStringList CheckedMacs() const;
    bool AnyRowWithStatus(int index) const;
    QString SelectedMac() const;

    // Busy cameras.
    void MarkBusy(const CameraRecord& record, const char* action);
    void ClearBusy(const char* mac);
    BusyTable& Busy() { return m_busy; }
    // One step of the watcher at tick `now` (the watcher calls it every 2 s).
    void ScanBusy(uint32_t now);
    void SetClock(std::function<uint32_t()> clock) { m_clock = std::move(clock); }

    // Filter state.
    int FilterField() const { return m_eFilter; }
    void SetFilterField(int field);
    QString FilterText() const;
    bool FilterInverted() const;

    void SetLanguage();
    void ReloadTexts() { SetLanguage(); }

    // Where posted events (selection changed, a busy camera's end) go; the parent by default.
    void SetEventTarget(QObject* target) { m_eventTarget = target; }

    void* m_context = nullptr;
    void (*OnCameraSelected)(void* context, const char* mac) = nullptr;
    void (*OnOpenWebsite)(void* context, const char* ip, const char* port, const char* mac) = nullptr;
    void (*OnApplyFilter)(void* context, int field, const char* text) = nullptr;
    bool (*IsCameraVerified)(void* context, const char* mac) = nullptr;
    void (*OnShowMessage)(void* context, int number) = nullptr;
    void (*OnUpgradeCamera)(void* context, const char* mac) = nullptr;
    // Re-queries a defaulted camera by its MAC (the watcher's HEADER_IP_QUERY).
    void (*OnRequeryCamera)(void* context, const char* mac) = nullptr;

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
    void WatchBusy();

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
    CFilterDlg* m_filterChooser;
    CFunctionDlg* m_menu;
    QObject* m_eventTarget;
    int m_eFilter = 0;

    BusyTable m_busy;
    std::function<uint32_t()> m_clock;
    std::mutex m_watchLock;
    std::condition_variable m_watchWake;
    bool m_watchStop = false;
    std::thread m_watcher;
};
