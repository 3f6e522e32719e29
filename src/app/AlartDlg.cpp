#include "app/AlartDlg.h"

#include "common/WindowTextIds.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"

CAlartDlg::CAlartDlg(QWidget* parent) : CPopupPanel(parent) {
    setFixedSize(450, 150);
    SetAccessibleRole(this, QAccessible::AlertMessage);
    m_title = new CustStatic(this);  // 1900
    m_title->SetFont(24, 700);
    m_title->SetTextColour(QColor(0, 80, 255));  // 0xFF5000 as 0x00BBGGRR
    m_title->SetFormat(Qt::AlignCenter);
    m_title->setGeometry(0, 12, 450, 30);
    m_line1 = new CustStatic(this);  // 1901
    m_line2 = new CustStatic(this);  // 1902
    for (CustStatic* line : {m_line1, m_line2}) {
        line->SetFont(16, 400);
        line->SetFormat(Qt::AlignCenter);
        line->SetWrapToFit(true);
    }
    m_targets = new CustStatic(this);
    m_targets->SetFont(16, 400);
    m_targets->SetFormat(Qt::AlignCenter);
    m_targets->SetWrapToFit(true);
    m_targets->hide();
    m_confirm = new CustButton(this);  // 1903
    m_cancel = new CustButton(this);   // 1904
    SetTextById(m_title, 20011);
    SetTextById(m_confirm, 20024);
    SetTextById(m_cancel, 20025);
    Layout();
    connect(m_confirm, &QPushButton::clicked, this, [this] {
        const QByteArray command = m_command.toUtf8();
        if (onConfirm != nullptr) onConfirm(m_context, command.constData());
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (onCancel != nullptr) onCancel(m_context);
    });
}

// Each question says what the command will do, in one sentence, then asks.
void CAlartDlg::ShowSoftwareDefault(const QString& targets) {
    ShowCommand("SW_DEFAULT", kTextWillResetKeepAddress, kTextPleaseConfirm, targets);
}

void CAlartDlg::ShowHardwareDefault(const QString& targets) {
    ShowCommand("HW_DEFAULT", kTextWillResetAll, kTextPleaseConfirm, targets);
}

void CAlartDlg::ShowReboot(const QString& targets) {
    ShowCommand("REBOOT", kTextWillReboot, kTextPleaseConfirm, targets);
}

// The lines stacked from below the title, each as high as its text needs (a long one
// wraps over two lines rather than shrinking), then the buttons; the dialog ends 20 pixels
// below them. With one-line texts the buttons sit at 100 and the dialog is 150 high.
void CAlartDlg::Layout() {
    QList<CustStatic*> shown;
    for (CustStatic* line : {m_line1, m_line2, m_targets})
        if (!line->isHidden())
            shown << line;
    const int top = qMax(StackLabels(shown, 8, 48, 434, 20, 2) + 8, 100);
    m_confirm->setGeometry(150, top, 100, 30);
    m_cancel->setGeometry(270, top, 100, 30);
    setFixedSize(450, top + 50);
}

void CAlartDlg::ShowCommand(const char* command, int line1Id, int line2Id, const QString& targets) {
    RememberFocus();  // before onShow disables the control that has it
    m_command = QString::fromLatin1(command);
    m_title->show();
    m_line1->show();
    m_line2->setVisible(line2Id != 0);
    m_confirm->show();
    m_cancel->show();
    SetTextById(m_line1, line1Id);
    if (line2Id != 0) SetTextById(m_line2, line2Id);
    // The cameras the command goes to, named below the question.
    m_targets->setText(targets);
    m_targets->setVisible(!targets.isEmpty());
    Layout();
    if (onShow != nullptr) onShow(m_context);
    if (fixedPosition == 0 && getOwnerRect != nullptr) {
        QRect owner;
        getOwnerRect(m_context, &owner);
        move(owner.left() + owner.width() * 4 / 10, owner.top() + owner.height() * 3 / 10);
    }
    const bool replaced = isVisible();
    show();
    raise();
    AnnounceAlert(this);
    if (replaced) NoteNameChanged(this);
}

QWidget* CAlartDlg::FirstFocus() { return m_cancel; }

void CAlartDlg::OnEscape() {
    if (m_cancel->isVisible() && m_cancel->isEnabled()) m_cancel->click();
}

void CAlartDlg::ReloadTexts() {
    ReloadTextIds(this);
    Layout();
    update();
}
