#include "app/AuthDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/PopupPanel.h"
#include "app/UnauthDlg.h"
#include "controls/CustControls.h"
#include "engine/CameraRecord.h"

CAuthDlg::CAuthDlg(QWidget* parent) : QWidget(parent) {
    setFixedSize(UnauthDlg::kWidth, UnauthDlg::kHeight);
    // The login panel's rows: switching panels does not shift the fields sideways.
    m_rows = BuildCredentialRows(this, 25);  // 1600/1601, 1610/1611
    m_rows.user->setEnabled(false);
    m_rows.password->setEnabled(false);
    m_save = new CustButton(this);  // 1620
    m_save->setGeometry(PanelButtonRect(width(), height(), 20, 45));
    m_cancel = new CustButton(this);  // 1622
    m_cancel->setGeometry(PanelButtonRect(width(), height(), 50, 75));
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

// Enter is swallowed; Escape goes on to the camera panel, which cancels.
void CAuthDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key()) && event->key() != Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CAuthDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
}
