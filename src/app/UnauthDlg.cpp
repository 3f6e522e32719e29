#include "app/UnauthDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/PopupPanel.h"
#include "common/WindowTextIds.h"
#include "controls/CustControls.h"

QRect PanelButtonRect(int width, int height, int leftPercent, int rightPercent) {
    return QRect(QPoint(width * leftPercent / 100, height * 85 / 100),
                 QPoint(width * rightPercent / 100 - 1, height * 95 / 100 - 1));
}

CredentialRows BuildCredentialRows(QWidget* panel, int top) {
    CredentialRows rows{new CustStatic(panel), new CustStatic(panel), new CustEdit(panel),
                        new CustEdit(panel)};
    CustStatic* labels[2] = {rows.userLabel, rows.passwordLabel};
    CustEdit* edits[2] = {rows.user, rows.password};
    // The captions are wide enough for the longest translation ("Nazwa użytkownika"): a
    // caption is widened, never drawn smaller than its neighbours.
    for (int i = 0; i < 2; ++i) {
        labels[i]->SetWrapToFit(true);
        labels[i]->setGeometry(20, top + 35 * i + 2, 152, 20);
        edits[i]->setGeometry(175, top + 35 * i, 200, 25);
        labels[i]->SetBuddy(edits[i]);
    }
    rows.password->setEchoMode(QLineEdit::Password);
    return rows;
}

namespace {
constexpr int kLoginPrompt = 20018;

QByteArray Bounded(const QString& text, int maxBytes) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > maxBytes) bytes.truncate(maxBytes);
    return bytes;
}
}  // namespace

CCredentialPanel::CCredentialPanel(QWidget* parent, int rowsTop) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    m_rows = BuildCredentialRows(this, rowsTop);
    m_cancel = new CustButton(this);
    m_cancel->setGeometry(PanelButtonRect(kWidth, kHeight, 50, 75));
}

void CCredentialPanel::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key()) && event->key() != Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CCredentialPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
}

UnauthDlg::UnauthDlg(QWidget* parent) : CCredentialPanel(parent, 60) {  // 1500/1501, 1510/1511; Cancel 1521
    m_prompt = new CustStatic(this);  // 1502
    m_prompt->SetTextColour(QColor(0, 80, 255));
    m_prompt->SetWrapToFit(true);
    // Room for two lines: a long translation wraps instead of shrinking.
    m_prompt->setGeometry(QRect(QPoint(20, 14), QPoint(379, 55)));
    m_rows.user->setMaxLength(kCredentialMax);
    m_rows.password->setMaxLength(kCredentialMax);
    m_verify = new CustButton(this);  // 1520
    m_verify->setGeometry(PanelButtonRect(kWidth, kHeight, 20, 45));
    setTabOrder(m_verify, m_cancel);
    connect(m_verify, &QPushButton::clicked, this, &UnauthDlg::Verify);
    // Enter in the password field verifies: the last thing typed before Verify.
    connect(m_rows.password, &QLineEdit::returnPressed, this, &UnauthDlg::Verify);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        Clear();
        if (onCancel != nullptr) onCancel(m_context);
    });
    ReloadTexts();
}

void UnauthDlg::Verify() {
    if (m_busy) return;  // Enter in the password field while the camera is asked already
    // The field limit counts characters; the credential fields hold 40 bytes.
    const QByteArray user = Bounded(m_rows.user->text(), kCredentialMax);
    const QByteArray password = Bounded(m_rows.password->text(), kCredentialMax);
    if (onVerify != nullptr) onVerify(m_context, user.constData(), password.constData());
}

void UnauthDlg::Clear() {
    m_rows.user->clear();
    m_rows.password->clear();
}

void UnauthDlg::SetBusy(bool busy) {
    if (busy == m_busy) return;
    m_busy = busy;
    // The focus moves on from Verify before it goes off, to Cancel, which stops the wait.
    if (busy && m_verify->hasFocus()) m_cancel->setFocus(Qt::OtherFocusReason);
    m_verify->setEnabled(!busy);
    SetTextById(m_prompt, busy ? kTextVerifying : kLoginPrompt);
}

void UnauthDlg::ReloadTexts() {
    SetTextById(m_prompt, m_busy ? kTextVerifying : kLoginPrompt);
    SetTextById(m_rows.userLabel, 20019);
    SetTextById(m_rows.passwordLabel, 20020);
    SetTextById(m_verify, 20022);
    SetTextById(m_cancel, 20025);
    update();
}

