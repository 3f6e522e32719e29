#pragma once
// The information panel of the camera panel: the selected camera's name, MAC, address,
// mask, gateway, HTTP port and address mode. It shows and holds input; sending is the main
// window's. The address, mask and gateway can be edited only for a verified camera in
// manual mode; the mode is chosen from a pop-up, never typed. Each field is named by its
// caption; Tab goes through the fields that can be edited, in reading order, on to the
// mode's arrow and the credential panel beside; Escape goes to the camera panel.

#include <QWidget>
#include <string>

#include "engine/CameraCommands.h"

class CDhcpDlg;
class CustEdit;
class CustStatic;
class QToolButton;

class CInfoDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 305;
    static constexpr int kNameMax = 32;
    static constexpr int kPortMax = 5;

    // popupParent holds the mode chooser, so that it can drop below the panel's edge.
    CInfoDlg(QWidget* parent, QWidget* popupParent);

    void Fill(const CameraRecord& record);
    void Clear();
    void SetEditable(bool on);
    // "DHCP"/"dhcp", "MANUAL"/"manual", "PPPoE"/"pppoe"; anything else empties the mode.
    void SetMode(const char* text);
    void ReloadTexts();
    void ToggleModeChooser();

    // The field texts as Save sends them (each read as at most 1023 bytes).
    CameraSettingsRequest Request() const;
    // The MAC field (at most 31 bytes): which camera the panel shows, "" for none.
    std::string Mac() const;

    CustEdit* NameEdit() const { return m_edits[0]; }
    CustEdit* MacEdit() const { return m_edits[1]; }
    CustEdit* IpEdit() const { return m_edits[2]; }
    CustEdit* MaskEdit() const { return m_edits[3]; }
    CustEdit* GatewayEdit() const { return m_edits[4]; }
    CustEdit* PortEdit() const { return m_edits[5]; }
    CustEdit* ModeEdit() const { return m_mode; }
    QToolButton* ModeArrow() const { return m_arrow; }
    CDhcpDlg* ModeChooser() const { return m_chooser; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    static void OnModeChosen(void* context, const char* mode);
    void SetAddressFieldsEnabled(bool on);

    CustStatic* m_labels[7];
    CustEdit* m_edits[6];
    CustEdit* m_mode;
    QToolButton* m_arrow;
    CDhcpDlg* m_chooser;
};
