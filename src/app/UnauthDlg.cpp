#include "app/UnauthDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/PopupPanel.h"
#include "controls/CustControls.h"

namespace {
// Buttons span 20-45 % and 50-75 % of the width, 85-95 % of the height.
QRect ButtonRect(int width, int height, int leftPercent, int rightPercent) {
    return QRect(QPoint(width * leftPercent / 100, height * 85 / 100),
                 QPoint(width * rightPercent / 100 - 1, height * 95 / 100 - 1));
}

QByteArray Bounded(const QString& text, int maxBytes) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > maxBytes) bytes.truncate(maxBytes);
    return bytes;
}
}  // namespace

UnauthDlg::UnauthDlg(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    m_prompt = new CustStatic(this);  // 1502
    m_prompt->SetTextColour(QColor(0, 80, 255));
    m_prompt->SetShrinkToFit(true);
    m_prompt->setGeometry(QRect(QPoint(30, 25), QPoint(379, 44)));
    m_userLabel = new CustStatic(this);  // 1500
    m_passwordLabel = new CustStatic(this);  // 1501
    m_user = new CustEdit(this);  // 1510
    m_password = new CustEdit(this);  // 1511
    const int tops[2] = {60, 95};
    CustStatic* labels[2] = {m_userLabel, m_passwordLabel};
    CustEdit* edits[2] = {m_user, m_password};
    for (int i = 0; i < 2; ++i) {
        labels[i]->SetShrinkToFit(true);
        labels[i]->setGeometry(30, tops[i] + 2, 125, 20);
        edits[i]->setGeometry(160, tops[i], 200, 25);
        edits[i]->setMaxLength(kCredentialMax);
    }
    m_password->setEchoMode(QLineEdit::Password);
    m_verify = new CustButton(this);  // 1520
    m_verify->setGeometry(ButtonRect(kWidth, kHeight, 20, 45));
    m_cancel = new CustButton(this);  // 1521
    m_cancel->setGeometry(ButtonRect(kWidth, kHeight, 50, 75));
    connect(m_verify, &QPushButton::clicked, this, &UnauthDlg::Verify);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        Clear();
        if (onCancel != nullptr) onCancel(m_context);
    });
    ReloadTexts();
}

void UnauthDlg::Verify() {
    // The field limit counts characters; the credential fields hold 40 bytes.
    const QByteArray user = Bounded(m_user->text(), kCredentialMax);
    const QByteArray password = Bounded(m_password->text(), kCredentialMax);
    if (onVerify != nullptr) onVerify(m_context, user.constData(), password.constData());
}

void UnauthDlg::Clear() {
    m_user->clear();
    m_password->clear();
}

void UnauthDlg::ReloadTexts() {
    SetTextById(m_prompt, 20018);
    SetTextById(m_userLabel, 20019);
    SetTextById(m_passwordLabel, 20020);
    SetTextById(m_verify, 20022);
    SetTextById(m_cancel, 20025);
    update();
}

// User name, password, Verify, Cancel, and round again.
bool UnauthDlg::focusNextPrevChild(bool next) {
    QWidget* order[4] = {m_user, m_password, m_verify, m_cancel};
    int at = -1;
    for (int i = 0; i < 4; ++i)
        if (order[i] == focusWidget()) at = i;
    QWidget* to = at < 0 ? order[0] : order[(at + (next ? 1 : 3)) % 4];
    if (!to->isEnabled()) return false;
    to->setFocus(Qt::TabFocusReason);
    return true;
}

void UnauthDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void UnauthDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
}
