#pragma once
// Asks the user to confirm a camera command (reboot, software default, hardware default).
// Reports to its owner through callbacks; the owner hides it. A screen reader speaks it as
// an alert when it appears. The focus starts on Cancel, so that a stray Enter never
// reboots or resets cameras; Escape cancels.

#include <QString>

#include "app/PopupPanel.h"

class CustButton;
class CustStatic;

class CAlartDlg : public CPopupPanel {
    Q_OBJECT
public:
    explicit CAlartDlg(QWidget* parent = nullptr);

    // targets names the cameras the command goes to (a line below the question, wrapped
    // over two lines when long); empty shows no such line.
    void ShowSoftwareDefault(const QString& targets = QString());
    void ShowHardwareDefault(const QString& targets = QString());
    void ShowReboot(const QString& targets = QString());
    void ReloadTexts();

    // The command waiting for the user's answer: "SW_DEFAULT", "HW_DEFAULT" or "REBOOT".
    QString Command() const { return m_command; }
    CustStatic* TitleLabel() const { return m_title; }
    CustStatic* Line1() const { return m_line1; }
    CustStatic* Line2() const { return m_line2; }
    CustStatic* TargetsLine() const { return m_targets; }
    CustButton* ConfirmButton() const { return m_confirm; }
    CustButton* CancelButton() const { return m_cancel; }

    // 1: the dialog stays where it is; the owner clears it to have the dialog placed at
    // four tenths of its width and three tenths of its height.
    int fixedPosition = 1;
    void* m_context = nullptr;
    void (*onConfirm)(void* context, const char* command) = nullptr;
    void (*onCancel)(void* context) = nullptr;
    void (*onShow)(void* context) = nullptr;
    void (*getOwnerRect)(void* context, QRect* rect) = nullptr;

protected:
    QWidget* FirstFocus() override;
    void OnEscape() override;

private:
    void ShowCommand(const char* command, int line1Id, int line2Id, const QString& targets);
    void Layout();

    QString m_command;
    CustStatic* m_title;
    CustStatic* m_line1;
    CustStatic* m_line2;
    CustStatic* m_targets;
    CustButton* m_confirm;
    CustButton* m_cancel;
};
