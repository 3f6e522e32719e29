#pragma once
// The camera panel below the camera list: the information panel and, beside it, the login
// panel for a camera not yet verified or the authenticated panel for a verified one. It
// holds and checks input only; it passes every request to its owner through callback
// slots, so that it can be built and tested with any owner. Escape anywhere in it presses
// the Cancel of the credential panel shown (the authenticated panel's reloads the camera's
// values, the login panel's empties the credentials).

#include <QWidget>
#include <string>

struct CameraEntry;
struct CameraRecord;
class CAuthDlg;
class CInfoDlg;
class COnvifInfoDlg;
class UnauthDlg;

class CCombineDlg : public QWidget {
    Q_OBJECT
public:
    // The width its children need: the information panel and a credential panel side by side.
    static constexpr int kChildrenWidth = 2 + 400 + 397;

    // popupParent holds the information panel's mode chooser.
    CCombineDlg(QWidget* parent, QWidget* popupParent);

    // The camera the panel shows: verified → information editable beside the authenticated
    // panel; not verified → information read-only beside an empty login panel.
    void ShowCamera(const CameraRecord& record, bool verified);
    // An ONVIF device (by its entry): its facts beside the login panel, or verified, beside
    // the authenticated panel with nothing to save; user is the name it accepted.
    void ShowOnvif(const CameraEntry& entry, bool verified, const std::string& user);
    // The entry key of the ONVIF device shown, "" for a camera of this family or none.
    const std::string& OnvifKey() const { return m_onvifKey; }
    // Every field empty and read-only; the authenticated panel shown empty, its buttons off.
    void ResetPanel();
    // The information panel filled again from the record (the authenticated panel's Cancel).
    void ReloadCamera(const CameraRecord& record);
    // The login panel's request, with the MAC the information panel shows (the ONVIF
    // device's key).
    void VerifyEvent(const char* user, const char* password);
    void ReloadTexts();
    // The keyboard to the first field to fill: the user name of a camera not yet verified,
    // the camera's name of a verified one.
    void FocusFirstField();

    CInfoDlg* Info() const { return m_info; }
    COnvifInfoDlg* OnvifInfo() const { return m_onvif; }
    UnauthDlg* Login() const { return m_login; }
    CAuthDlg* Auth() const { return m_auth; }

    void* m_context = nullptr;
    // Verify: check these credentials against the camera of this MAC.
    void (*onVerify)(void* context, const char* mac, const char* user, const char* password) = nullptr;
    // The login panel's Cancel: drop a verification under way.
    void (*onCancelVerify)(void* context) = nullptr;
    // The authenticated panel's Save and Cancel.
    void (*onSave)(void* context) = nullptr;
    void (*onCancel)(void* context) = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The information panel of a camera of this family in its place again.
    void ShowNativeInfo();

    CInfoDlg* m_info;
    COnvifInfoDlg* m_onvif;
    std::string m_onvifKey;
    UnauthDlg* m_login;
    CAuthDlg* m_auth;
};
