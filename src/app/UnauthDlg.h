#pragma once
// The login panel beside the information panel, shown for a camera that is not verified:
// the user types the camera's administrator name and password and presses Verify (or Enter
// in the password field). The panel only collects them; the owner runs the verification
// and answers it. Tab goes user name, password, Verify, Cancel and on out of the panel;
// Escape goes to the camera panel, which cancels.

#include <QWidget>

class CustButton;
class CustEdit;
class CustStatic;

// The user and password rows of the login and the authenticated panel: captions at x 30,
// fields at x 160, the second row 35 px below the first; the password field hides its text.
// Each caption names its field.
struct CredentialRows {
    CustStatic* userLabel;
    CustStatic* passwordLabel;
    CustEdit* user;
    CustEdit* password;
};
CredentialRows BuildCredentialRows(QWidget* panel, int top);

// The panels' two buttons span leftPercent-rightPercent of the width, 85-95 % of the height.
QRect PanelButtonRect(int width, int height, int leftPercent, int rightPercent);

// What the login and the authenticated panel share: their size, white ground, credential
// rows and two buttons, and the keys (Enter is swallowed; Escape goes on to the camera
// panel, which cancels).
class CCredentialPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 397;
    static constexpr int kHeight = 305;

    // The rows start at rowsTop; the buttons are added by the panel.
    CCredentialPanel(QWidget* parent, int rowsTop);

    CustEdit* UserEdit() const { return m_rows.user; }
    CustEdit* PasswordEdit() const { return m_rows.password; }
    CustButton* CancelButton() const { return m_cancel; }

    void* m_context = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    CredentialRows m_rows;
    CustButton* m_cancel;
};

class UnauthDlg : public CCredentialPanel {
    Q_OBJECT
public:
    static constexpr int kCredentialMax = 40;

    explicit UnauthDlg(QWidget* parent = nullptr);

    void Clear();
    void ReloadTexts();
    // A verification under way: Verify off and the prompt says so (Cancel stays on and
    // drops it); false gives the panel back.
    void SetBusy(bool busy);
    bool Busy() const { return m_busy; }

    CustButton* VerifyButton() const { return m_verify; }
    // Verify pressed: the name and password as typed (each at most 40 bytes).
    void (*onVerify)(void* context, const char* user, const char* password) = nullptr;
    // Cancel pressed: the fields are cleared and a verification under way is dropped.
    void (*onCancel)(void* context) = nullptr;

private:
    void Verify();

    CustStatic* m_prompt;
    CustButton* m_verify;
    bool m_busy = false;
};
