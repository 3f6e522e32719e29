#include "app/AuthDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/PopupPanel.h"
#include "app/UnauthDlg.h"
#include "controls/CustControls.h"
#include "engine/CameraRecord.h"

CAuthDlg::CAuthDlg(QWidget* parent) : QWidget(parent) {
    setFixedSize(UnauthDlg::kWidth, UnauthDlg::kHeight);
    m_userLabel = new CustStatic(this);  // 1600
    m_passwordLabel = new CustStatic(this);  // 1601
    m_user = new CustEdit(this);  // 1610
    m_password = new CustEdit(this);  // 1611
    const int tops[2] = {25, 60};
    CustStatic* labels[2] = {m_userLabel, m_passwordLabel};
    CustEdit* edits[2] = {m_user, m_password};
    for (int i = 0; i < 2; ++i) {
        labels[i]->SetShrinkToFit(true);
        // Placed as on the login panel, so that switching panels does not shift the fields.
        labels[i]->setGeometry(30, tops[i] + 2, 125, 20);
        edits[i]->setGeometry(160, tops[i], 200, 25);
        edits[i]->setEnabled(false);
    }
    m_password->setEchoMode(QLineEdit::Password);
    const int w = width(), h = height();
    m_save = new CustButton(this);  // 1620
    m_save->setGeometry(QRect(QPoint(w * 20 / 100, h * 85 / 100), QPoint(w * 45 / 100 - 1, h * 95 / 100 - 1)));
    m_cancel = new CustButton(this);  // 1622
    m_cancel->setGeometry(QRect(QPoint(w * 50 / 100, h * 85 / 100), QPoint(w * 75 / 100 - 1, h * 95 / 100 - 1)));
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
    m_user->setText(QString::fromUtf8(record.user));
    m_password->setText(QString::fromUtf8(record.password));
    m_save->setEnabled(true);
    m_cancel->setEnabled(true);
}

void CAuthDlg::Clear() {
    m_user->clear();
    m_password->clear();
    m_save->setEnabled(false);
    m_cancel->setEnabled(false);
}

void CAuthDlg::ReloadTexts() {
    SetTextById(m_userLabel, 20019);
    SetTextById(m_passwordLabel, 20020);
    SetTextById(m_save, 20021);
    SetTextById(m_cancel, 20025);
    update();
}

void CAuthDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CAuthDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
}
