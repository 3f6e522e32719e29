#pragma once
// The tool's only top-level window: frameless, filled with child windows that it creates
// once, lays out and owns, and the owner of the finder engine. Children never call one
// another; each is given the window as its context and a set of callback slots, and the
// window's operations behind those slots carry out the flows. The engine reports through
// the bridge (app/EngineBridge.h), which hands every change to this window's thread as a
// MAC; the window copies the record under the engine's lock when it applies it and never
// keeps a record pointer. Work that must reach the window later or from another thread
// arrives as a posted WM_CAMERA_EVENT.
//
// Every operation runs on the window's thread.

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/WorkerThreads.h"
#include "controls/CameraEvent.h"
#include "engine/CameraListing.h"
#include "engine/CameraRecord.h"
#include "engine/WindowLogic.h"

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
class QAction;
class QMenu;
class QUrl;

// Stands in the place of a panel that joins the window later; it keeps the layout and the
// order in which texts are reloaded.
class CPanelPlaceholder : public QWidget {
    Q_OBJECT
public:
    CPanelPlaceholder(const QString& name, QWidget* parent);
    virtual void ReloadTexts() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

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
    void ShowAutoIpLayout();
    void ShowUpgradeLayout();
    void ResetPanels();
    void ReloadPanel();

    // Cameras.
    // Applies the engine's present record of the MAC to its row (adds it when new): the
    // cells that differ, the status by the engine's mode, the verified set, select-all.
    void OnCameraChanged(const QString& mac);
    // Applies several at once, then updates the counter once.
    void OnCamerasChanged(const QStringList& macs);
    bool IsMacListed(const char* mac) const;
    int ListCount() const;
    void OnCameraSelected(const char* mac);
    void UpdateCommandBar();
    bool IsCameraVerified(const char* mac) const;
    void RememberAuthenticated(const char* mac);
    // Empties the MAC's verified slot and resets its record's stored credentials and status.
    void ForgetAuthenticated(const char* mac);
    // Sets a row's status index (the handling of EVT_HTTP_UNREACHABLE): a camera shown
    // as not answering has no setting pending any more and is no longer watched as busy.
    void SetCameraStatus(const QString& mac, int statusIndex);
    // Rebuilds the rows from the engine's list under a filter (an empty text shows every
    // camera). Rows keep their status, check marks and pending state; new rows get the
    // status the camera's record decides.
    void ApplyListFilter(int field, const QString& text, bool invert);

    void OpenAboutBox();
    // Fills the window's own menu: "Export list..." and the about item; returns the about
    // item (null when its text is empty). The export item's data is kExportListItem.
    QAction* FillSystemMenu(QMenu* menu);
    static constexpr int kExportListItem = 32;

    // ---- The list as data (Tarsel_NextGenerateList.cpp)
    // Gives every row the warnings of its camera, judged against the engine's whole list:
    // a mark and a tooltip in the window's language. One pass over the cameras. A batch of
    // changes asks for it only when an address or adapter changed, or the adapters' subnets
    // are older than a second.
    void RefreshWarnings();
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
    void OnOpenWebsite(const char* ip, const char* port, const char* mac);
    void PrepareCommand(const char* command);
    void ConfirmCommand(const char* command);
    void CancelCommand();
    void ShowTextMessage(int line1Id, int line2Id);
    CDefaultDlg* initialiseChooser() const { return m_defaultChooser; }
    CLoginVerifier* verifier() const { return m_verifier; }
    // Opens a camera's page in the default browser, never through a shell (tests record).
    std::function<bool(const QUrl&)> openUrl;
    // The subnets of a local adapter, by its interface name, for the warnings (the host's).
    SubnetsOfAdapter adapterSubnets = AdapterSubnetsOf;

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
    AuthenticatedMacs& verifiedMacs() { return m_verified; }
    // The children DisableAll and EnableAll act on, in their order.
    QList<QWidget*> GuardedChildren() const;

    // 1 from construction until destruction starts; while 0, engine notifications are
    // ignored.
    int acceptUpdates = 0;
    char currentMac[32] = {};

    void reject() override {}  // Escape closes nothing

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    virtual void OnCameraEvent(const CCameraEvent& event);
    // The once-per-session message that the address history could not be saved.
    void ReportHistoryWriteFailure();

private:
    void OnInitDialog();
    void CreateChildren();
    void WireCallbacks();
    void StopBusyWait();
    void BusyWaitWorker();
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
    // Every camera of the engine with its warnings; the listed ones in the rows' order with
    // their status text.
    std::vector<CameraListing> JudgedCameras();
    std::vector<CameraListing> ListedCameras();
    // Notes what the warnings of the record's camera depend on; a change makes them stale.
    void NotePlace(const CameraRecord& record);
    bool SubnetsExpired() const;

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

    // The cameras verified since the last search (no limit of slots).
    AuthenticatedMacs m_verified;
    // The filter in force: cameras it hides get no row when they answer.
    int m_filterField = 0;
    QByteArray m_filterText;
    bool m_filterInvert = false;
    // What the rows a filter hides showed when they were hidden.
    struct KeptRow {
        int status = 0, check = 0, progress = 0;
        QString statusText;
        bool hidden = false;
    };
    QHash<QString, KeptRow> m_hiddenRows;

    // Flows: the initialise chooser, the login verifications, the workers that wait on
    // cameras.
    CDefaultDlg* m_defaultChooser = nullptr;
    CLoginVerifier* m_verifier = nullptr;
    CWorkerThreads m_flowWorkers;

    // The busy-wait worker of the automatic IP layout.
    std::thread m_busyWait;
    std::mutex m_busyWaitLock;
    std::condition_variable m_busyWaitWake;
    bool m_busyWaitStop = false;

    // Address, adapter and HTTP-ness of every camera the window has heard of, by MAC.
    QHash<QString, QByteArray> m_places;
    bool m_warningsStale = false;
    // The rows' notes as last judged (MAC -> note), given again to rows a filter rebuilt.
    QHash<QString, QString> m_notes;
    // The subnets of the adapters the cameras answered through, as asked at m_subnetsSince.
    std::map<std::string, std::vector<AdapterSubnet>> m_subnets;
    uint32_t m_subnetsSince = 0;
    bool m_subnetsKept = false;
    bool m_historyFailureShown = false;
};
