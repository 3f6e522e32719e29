#pragma once
// The tool's only top-level window: frameless, filled with child windows that it creates
// once, lays out and owns, and the owner of the finder engine. Children never call one
// another; each is given the window as its context and a set of callback slots, and the
// window's operations behind those slots carry out the flows; the camera list speaks by
// Qt signals. The engine decides each camera's row into its camera table; the bridge
// (app/EngineBridge.h) hands the table's batches of changed entries to this window's
// thread, straight to the camera list's model. The window keeps MACs, never record pointers. Work that must reach the window later
// or from another thread arrives as a posted WM_CAMERA_EVENT; the watch over cameras busy
// with a command is a timer on this thread.
//
// Every operation runs on the window's thread.

#include <QDialog>
#include <QIcon>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/CameraEvent.h"
#include "engine/CameraListing.h"
#include "engine/CameraRecord.h"
#include "engine/CameraTable.h"
#include "platform/WorkerThreads.h"

class CAlartDlg;
class CAutoSetIPDlg;
class CIPSearchDlg;
class CUpgradeDlg;
class CViewDlg;
class CCombineDlg;
class CDefaultDlg;
class CLoginVerifier;
struct VerifyAnswer;
class CBehaviorDlg;
class CEngineBridge;
class CListDlg;
class CMessageDlg;
class CMessageOKDlg;
class CTSmainDlg;
class CTitleDlg;
class EnginePorts;
struct NetworkAdapter;
class QAction;
class QMenu;
class QUrl;

class CTarsel_NextGenerateDlg : public QDialog {
    Q_OBJECT
public:
    // Wide enough for the camera panel's children (70/100 of the width, 799 pixels) and
    // the camera list's top line (1148 pixels).
    static constexpr int kWidth = 1160;
    static constexpr int kHeight = 690;

    // The engine reaches the network through `ports`, which must outlive the window.
    explicit CTarsel_NextGenerateDlg(EnginePorts& ports, QWidget* parent = nullptr);
    ~CTarsel_NextGenerateDlg() override;

    void ApplyLanguage(int index);
    void ShowFixedMessage(int code);
    void DisableAll();
    void EnableAll();

    // Search and layouts.
    void Reset(bool showSearching);
    void Refresh();
    // The list with the camera panel and the picture below it (no new search).
    void ShowListLayout();
    void ShowAutoIpLayout();
    void ShowUpgradeLayout();
    void ResetPanels();
    void ReloadPanel();

    // Cameras.
    void OnCameraSelected(const char* mac);
    void UpdateCommandBar();
    bool IsCameraVerified(const char* mac) const;
    void RememberAuthenticated(const char* mac);
    // The camera counts as not verified any more; its record's stored credentials and
    // status go.
    void ForgetAuthenticated(const char* mac);
    // One look, at tick `now`, at the cameras busy with a command (the watch's timer calls
    // it every 2 s): re-queries a rebooting camera, ends a watch that expired.
    void WatchBusyCameras(uint32_t now);

    void OpenAboutBox();
    // Maximises the window, or gives it back the size it had before.
    void ToggleMaximised();
    // Fills the window's own menu: "Export list...", "Site report..." and the about item;
    // returns the about item (null when its text is empty). The export item's data is
    // kExportListItem, the report's kSiteReportItem.
    // Each item shows the key that runs it anywhere in the window (Ctrl+E, Ctrl+R, F1).
    QAction* FillSystemMenu(QMenu* menu);
    static constexpr int kExportListItem = 32;
    static constexpr int kSiteReportItem = 33;
    static constexpr int kAboutItem = 16;
    // The window's own menu at globalPos (right click on the title bar; Alt+Space, or the
    // Menu key on the title bar, open it below the title bar's left end).
    void OpenSystemMenu(const QPoint& globalPos);
    // Runs an item of that menu, also from its key; nothing while a message has the window.
    void RunSystemMenuItem(int item);

    // ---- The list as data (Tarsel_NextGenerateList.cpp)
    // The listed cameras in the order shown, each with its status text and warnings.
    std::vector<CameraListing> ListedCameras();
    // Asks for a file and exports the list to it.
    void ExportList();
    // Writes the listed cameras, in the rows' order, as CSV with the command line's
    // columns; on failure shows why and leaves no partial file. True when written.
    bool ExportListTo(const QString& path);

    // ---- Tools (Tarsel_NextGenerateTools.cpp)
    // Hands the camera's present record to the upgrade page (skipped when it is no longer
    // listed).
    void OnUpgradeCamera(const char* mac);
    // The camera's row shows the upgrade's percent and bar, or "FW Upgrade Fail" for -1.
    void SetUpgradeProgress(const char* mac, int percent);
    // The automatic IP page's Set IP: message 3 until the assignment is done, the run on
    // the page's settings, a new search.
    void StartAutoIp(const char* user, const char* password);
    // "n of N assigned" of the assignment under way; the count's end (with OK) once it is done.
    QString AutoIpCount() const;
    void EndAutoIpCount();
    // True when the window may close: nothing runs, or the user said to close anyway.
    bool ConfirmClose();
    CIPSearchDlg* ipSearch() const { return m_ipSearch; }

    // ---- Camera panel and command flows (Tarsel_NextGenerateFlows.cpp) ----
    // Verify from the login panel: the answer belongs to the camera of `mac`.
    void StartVerification(const char* mac, const char* user, const char* password);
    void StoreCredentials(const char* ip, const char* mac, const char* user, const char* password);
    // Verifies every listed camera not yet verified, on a worker; the result box counts.
    void VerifyAll(const char* user, const char* password);
    // Save: checks the panel's values, shows "Setting", sends from a worker.
    void ApplySettings();
    void OpenWebsite();
    // A camera's page at ip:port; an ONVIF device's (mac is its key) at its service address's
    // host and port.
    void OnOpenWebsite(const char* ip, const char* port, const char* mac);
    void PrepareCommand(const char* command);
    // The confirmation's line naming the cameras a reboot or default goes to.
    QString CommandTargets() const;
    void ConfirmCommand(const char* command);
    void CancelCommand();
    void ShowTextMessage(int line1Id, int line2Id);
    // A failure, shown until the user presses OK; `about` (a camera) heads it when given.
    void ShowFailure(int line1Id, int line2Id, const QString& about = QString());
    // A camera as a message names it: "name (MAC)", or its MAC when it has no name.
    QString CameraLabel(const char* mac) const;
    // The login panel shows a verification under way when it shows the camera asked about.
    void ShowVerifyBusy();
    CDefaultDlg* initialiseChooser() const { return m_defaultChooser; }
    CLoginVerifier* verifier() const { return m_verifier; }
    // Opens a camera's page in the default browser, never through a shell (tests record).
    std::function<bool(const QUrl&)> openUrl;
    // The PC's adapters, for Save's question about an address this PC cannot reach.
    std::function<void(std::vector<NetworkAdapter>&)> enumerateAdapters;

    CTitleDlg* titleBar() const { return m_titleBar; }
    CBehaviorDlg* commandBar() const { return m_commandBar; }
    CListDlg* cameraList() const { return m_cameraList; }
    CCombineDlg* cameraPanel() const { return m_cameraPanel; }
    CViewDlg* snapshotView() const { return m_snapshotView; }
    CMessageDlg* messageDialog() const { return m_messageDialog; }
    CMessageOKDlg* resultBox() const { return m_resultBox; }
    CAlartDlg* alertDialog() const { return m_alertDialog; }
    CUpgradeDlg* upgradeDialog() const { return m_upgradeDialog; }
    CAutoSetIPDlg* autoIpDialog() const { return m_autoIpDialog; }
    CTSmainDlg& engine() const { return *m_engine; }
    CEngineBridge* bridge() const { return m_bridge; }
    // The children DisableAll and EnableAll act on, in their order.
    QList<QWidget*> GuardedChildren() const;

    // The camera the panel shows: its MAC, or an ONVIF device's entry key (longer than any
    // MAC field); "" for none.
    std::string currentMac;

    void reject() override {}  // Escape closes nothing

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Lays the children out for the window's size (Tarsel_NextGenerateTools.cpp): the bars
    // and the list take the width, the list takes the height above the panels, which keep
    // their size; a grip in the corner resizes the frameless window.
    void resizeEvent(QResizeEvent* event) override;
    virtual void OnCameraEvent(const CCameraEvent& event);
    // The once-per-session message that the address history could not be saved.
    void ReportHistoryWriteFailure();

private:
    void OnInitDialog();
    void CreateChildren();
    void WireCallbacks();
    // The automatic IP layout's wait for settings under way, once a second.
    void BusyWaitRound();
    void CreateTools(const QRect& panel, int listTop);
    void WireTools();
    void DestroyTools();
    // Keyboard (Tarsel_NextGenerateKeys.cpp): the window opens with the focus on the camera
    // list; when a pop-up closes and leaves the focus nowhere (the control that had it is
    // still off), it goes back to the list, or to Refresh when the list is not shown.
    void SetUpKeyboard();
    void FocusHomeWhenLost();
    // Flows: wiring after the children exist; stopping before the engine goes.
    void WireFlows();
    void StopFlows();
    void OnVerifyAnswer(const VerifyAnswer& answer);
    // The panel of an ONVIF device (Tarsel_NextGenerateOnvif.cpp): its facts, Verify, and
    // nothing that changes it.
    void ShowOnvifDevice(const CameraEntry& entry);
    // Why the command bar's reboot and default are off for the camera selected ("" when
    // they are not off for that reason), as its tooltip and description.
    void ShowReadOnlyReason(bool onvifSelected);
    // The snapshot view's and the range search's ONVIF slots (after WireTools).
    void WireOnvif();
    friend class CSiteReportFlow;  // reports the listed cameras

    EnginePorts& m_ports;
    QIcon m_appIcon;
    CTitleDlg* m_titleBar = nullptr;
    CBehaviorDlg* m_commandBar = nullptr;
    CListDlg* m_cameraList = nullptr;
    CCombineDlg* m_cameraPanel = nullptr;
    CViewDlg* m_snapshotView = nullptr;
    CEngineBridge* m_bridge = nullptr;
    std::unique_ptr<CTSmainDlg> m_engine;
    CMessageDlg* m_messageDialog = nullptr;
    CMessageOKDlg* m_resultBox = nullptr;
    CAlartDlg* m_alertDialog = nullptr;
    CUpgradeDlg* m_upgradeDialog = nullptr;
    CAutoSetIPDlg* m_autoIpDialog = nullptr;
    CIPSearchDlg* m_ipSearch = nullptr;

    // Flows: the initialise chooser, the login verifications, the workers that wait on
    // cameras.
    CDefaultDlg* m_defaultChooser = nullptr;
    CLoginVerifier* m_verifier = nullptr;
    CWorkerThreads m_flowWorkers;
    // A batch verification counts; its Stop was pressed.
    bool m_batchRunning = false;
    std::atomic<bool> m_batchStop{false};

    // The automatic IP layout's wait for settings under way (at most 61 rounds of 1 s), and
    // the watch over cameras busy with a command (every 2 s).
    QTimer m_busyWait;
    int m_busyWaitRounds = 0;
    QTimer m_busyWatch;
    // The assignment's count in the result box, every half second while it runs.
    QTimer m_autoIpCount;
    bool m_autoIpShown = false;
    QWidget* m_sizeGrip = nullptr;
    bool m_historyFailureShown = false;
    // The camera saved from the panel, until its setting is confirmed or has failed.
    std::string m_savedMac;
    // The window's own menu items with their keys, in the menu's order.
    QList<QAction*> m_menuActions;
};
