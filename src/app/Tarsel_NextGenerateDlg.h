#pragma once
// The tool's only top-level window: frameless, filled with child windows that it creates
// once, lays out and owns. Children never call one another; each is given the window as
// its context and a set of callback slots, and the window's operations behind those slots
// carry out the flows. Work that must reach the window later or from another thread
// arrives as a posted WM_CAMERA_EVENT.

#include <QDialog>
#include <QIcon>

#include "controls/CameraEvent.h"

class CAlartDlg;
class CBehaviorDlg;
class CMessageDlg;
class CMessageOKDlg;
class CTitleDlg;
class QAction;
class QMenu;

// Stands in the place of a panel that joins the window later; it keeps the layout and the
// order in which texts are reloaded.
class CPanelPlaceholder : public QWidget {
    Q_OBJECT
public:
    CPanelPlaceholder(const QString& name, QWidget* parent);
    void ReloadTexts() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CTarsel_NextGenerateDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 1120;
    static constexpr int kHeight = 690;
    static constexpr int kMacSlots = 256;

    explicit CTarsel_NextGenerateDlg(QWidget* parent = nullptr);
    ~CTarsel_NextGenerateDlg() override;

    void ApplyLanguage(int index);
    void ShowFixedMessage(int code);
    void DisableAll();
    void EnableAll();
    void Reset(bool showSearching);
    void Refresh();
    void ShowAutoIpLayout();
    void ShowUpgradeLayout();
    void UpdateCommandBar();
    bool IsCameraVerified(const char* mac) const;
    void RememberAuthenticated(const char* mac);
    void OpenAboutBox();
    QAction* FillSystemMenu(QMenu* menu);

    CTitleDlg* titleBar() const { return m_titleBar; }
    CBehaviorDlg* commandBar() const { return m_commandBar; }
    CPanelPlaceholder* cameraList() const { return m_cameraList; }
    CPanelPlaceholder* cameraPanel() const { return m_cameraPanel; }
    CPanelPlaceholder* snapshotView() const { return m_snapshotView; }
    CMessageDlg* messageDialog() const { return m_messageDialog; }
    CMessageOKDlg* resultBox() const { return m_resultBox; }
    CAlartDlg* alertDialog() const { return m_alertDialog; }
    CPanelPlaceholder* upgradeDialog() const { return m_upgradeDialog; }
    CPanelPlaceholder* autoIpDialog() const { return m_autoIpDialog; }
    // The children DisableAll and EnableAll act on, in their order.
    QList<QWidget*> GuardedChildren() const;

    // 1 from construction until destruction starts; while 0, engine notifications are
    // ignored.
    int acceptUpdates = 0;
    char authenticatedMacs[kMacSlots][32] = {};
    char currentMac[32] = {};

    void reject() override {}  // Escape closes nothing

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    virtual void OnCameraEvent(const CCameraEvent& event);

private:
    void OnInitDialog();
    void CreateChildren();
    void WireCallbacks();

    QIcon m_appIcon;
    CTitleDlg* m_titleBar = nullptr;
    CBehaviorDlg* m_commandBar = nullptr;
    CPanelPlaceholder* m_cameraList = nullptr;
    CPanelPlaceholder* m_cameraPanel = nullptr;
    CPanelPlaceholder* m_snapshotView = nullptr;
    CMessageDlg* m_messageDialog = nullptr;
    CMessageOKDlg* m_resultBox = nullptr;
    CAlartDlg* m_alertDialog = nullptr;
    CPanelPlaceholder* m_upgradeDialog = nullptr;
    CPanelPlaceholder* m_autoIpDialog = nullptr;
};
