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

class CAuthDlg : public CCredentialPanel {
    Q_OBJECT
public:
    explicit CAuthDlg(QWidget* parent = nullptr);

    // The record's user name and password; Save and Cancel enabled.
    void Fill(const CameraRecord& record);
    // Both fields empty, Save and Cancel disabled.
    void Clear();
    // Save off, with the reason as its tooltip and description (a device that is only read,
    // whose panel shows the reason too); "" gives Save back to Fill.
    void SetReadOnlyReason(const QString& reason);
    void ReloadTexts();

    CustButton* SaveButton() const { return m_save; }

    void (*onSave)(void* context) = nullptr;
    void (*onCancel)(void* context) = nullptr;

private:
    CustButton* m_save;
};
