#include "app/MessageDlg.h"

#include <cstring>

#include "controls/CustControls.h"
#include "controls/UiText.h"

CMessageDlg::CMessageDlg(QWidget* parent) : CMessagePanel(parent, 35, 30) {  // 1800, 1801, 1802
    m_timer.setSingleShot(true);
    // A coarse timer may fire a little early; a message never closes before its time.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CMessageDlg::TimerExpired);
}

void CMessageDlg::SetLines(int line1Id, int line2Id, int line3Id) {
    const int ids[3] = {line1Id, line2Id, line3Id};
    for (int i = 0; i < 3; ++i) {
        if (ids[i] == 0)
            m_lines[i]->setText(QString());
        else
            SetTextById(m_lines[i], ids[i]);
        // A plain text must not be taken back by a later reload.
        if (ids[i] == 0) m_lines[i]->setProperty("tarselTextId", QVariant());
    }
}

void CMessageDlg::ShowMessage(bool timed) {
    // Every line keeps its place (a hidden one too); a long one wraps and the box grows.
    const int bottom = StackLabels({m_lines[0], m_lines[1], m_lines[2]}, 8, 35, 434, 20, 10);
    setFixedSize(450, qMax(150, bottom + 25));
    ShowAlert();
    TellShown();
    if (timed) m_timer.start(m_displaySeconds * 1000);
    else m_timer.stop();
}

void CMessageDlg::ShowTimed() {
    for (CustStatic* line : m_lines) line->show();
    ShowMessage(true);
}

void CMessageDlg::ShowUntilClosed() {
    for (CustStatic* line : m_lines) line->show();
    ShowMessage(false);
}

void CMessageDlg::OnEscape() {
    if (m_timer.isActive()) Close();
}

void CMessageDlg::Close() {
    m_timer.stop();
    hide();
    TellClosed();
}

void CMessageDlg::ShowCommandProgress(const char* command) {
    m_lines[0]->hide();
    m_lines[2]->hide();
    m_lines[1]->show();
    if (std::strncmp(command, "SW_DEFAULT", 10) == 0 || std::strncmp(command, "HW_DEFAULT", 10) == 0)
        SetTextById(m_lines[1], 20031);
    else if (std::strncmp(command, "REBOOT", 6) == 0)
        SetTextById(m_lines[1], 20032);
    SetDisplaySeconds(5);
    ShowMessage(true);
}

void CMessageDlg::TimerExpired() {
    TellClosed();
    hide();
}
