#pragma once
// The authenticated panel beside the information panel, shown for a verified camera: the
// stored user name and a starred password, never editable, and the Save and Cancel buttons
// of the settings flow.

#include <QWidget>

#include "app/UnauthDlg.h"

struct CameraRecord;
class CustButton;
class CustEdit;
class CustStatic;

class CAuthDlg : public QWidget {
    Q_OBJECT
public:
    explicit CAuthDlg(QWidget* parent = nullptr);

    // The record's user name and password; Save and Cancel enabled.
    void Fill(const CameraRecord& record);
    // Both fields empty, Save and Cancel disabled.
    void Clear();
    void ReloadTexts();

    CustEdit* UserEdit() const { return m_rows.user; }
    CustEdit* PasswordEdit() const { return m_rows.password; }
    CustButton* SaveButton() const { return m_save; }
    CustButton* CancelButton() const { return m_cancel; }

    void* m_context = nullptr;
    void (*onSave)(void* context) = nullptr;
    void (*onCancel)(void* context) = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CredentialRows m_rows;
    CustButton* m_save;
    CustButton* m_cancel;
};
