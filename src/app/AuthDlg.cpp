#include "app/AuthDlg.h"

#include "app/PopupPanel.h"
#include "app/UnauthDlg.h"
#include "controls/CustControls.h"
#include "engine/CameraRecord.h"

// The rows at the login panel's field positions: switching panels does not shift the
// fields sideways. Rows 1600/1601, 1610/1611; Cancel 1622.
CAuthDlg::CAuthDlg(QWidget* parent) : CCredentialPanel(parent, 25) {
    m_rows.user->setEnabled(false);
    m_rows.password->setEnabled(false);
    m_save = new CustButton(this);  // 1620
    m_save->setGeometry(PanelButtonRect(width(), height(), 20, 45));
    setTabOrder(m_save, m_cancel);

    connect(m_save, &QPushButton::clicked, this, [this] {
        if (onSave != nullptr) onSave(m_context);
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (onCancel != nullptr) onCancel(m_context);
    });
    ReloadTexts();
    Clear();
}

void CAuthDlg::Fill(const CameraRecord& record) {
    m_rows.user->setText(QString::fromUtf8(record.user));
    // The password stays with the engine: the field only shows that one is kept.
    m_rows.password->setText(record.credentialsStored != 0 ? QStringLiteral("********") : QString());
    m_save->setEnabled(true);
    m_cancel->setEnabled(true);
}

void CAuthDlg::SetReadOnlyReason(const QString& reason) {
    m_save->setToolTip(reason);
    m_save->setAccessibleDescription(reason);
    if (!reason.isEmpty()) m_save->setEnabled(false);
}

void CAuthDlg::Clear() {
    m_rows.user->clear();
    m_rows.password->clear();
    m_save->setEnabled(false);
    m_cancel->setEnabled(false);
}

void CAuthDlg::ReloadTexts() {
    SetTextById(m_rows.userLabel, 20019);
    SetTextById(m_rows.passwordLabel, 20020);
    SetTextById(m_save, 20021);
    SetTextById(m_cancel, 20025);
    update();
}

