#include "app/MessageDlg.h"

#include <chrono>
#include <cstring>

#include "controls/Accessibility.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"
#include "platform/Tick.h"

CMessageDlg::CMessageDlg(QWidget* parent) : CPopupPanel(parent) {
    setFixedSize(450, 150);
    SetAccessibleRole(this, QAccessible::AlertMessage);
    for (int i = 0; i < 3; ++i) {  // 1800, 1801, 1802: from 35, 30 pixels apart
        m_lines[i] = new CustStatic(this);
        m_lines[i]->SetFont(16, 400);
        m_lines[i]->SetFormat(Qt::AlignCenter);
        m_lines[i]->SetWrapToFit(true);
        m_lines[i]->setGeometry(8, 35 + 30 * i, 434, 20);
    }
}

CMessageDlg::~CMessageDlg() {
    {
        std::lock_guard lock(m_timerMutex);
        m_stopping = true;
    }
    m_timerWake.notify_all();
    if (m_timer.joinable()) m_timer.join();
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

bool CMessageDlg::TimerRunning() const {
    std::lock_guard lock(m_timerMutex);
    return m_timerRunning;
}

void CMessageDlg::ShowCentred() {
    // Every line keeps its place (a hidden one too); a long one wraps and the box grows.
    const int bottom = StackLabels({m_lines[0], m_lines[1], m_lines[2]}, 8, 35, 434, 20, 10);
    setFixedSize(450, qMax(150, bottom + 25));
    if (getOwnerRect != nullptr) {
        QRect owner;
        getOwnerRect(m_context, &owner);
        CentreOn(owner);
    } else if (parentWidget() != nullptr) {
        CentreOn(parentWidget()->rect());
    }
    const bool replaced = isVisible();
    show();
    raise();
    // Spoken when it appears, and again when another message takes its place.
    AnnounceAlert(this);
    if (replaced) NoteNameChanged(this);
}

void CMessageDlg::NoteShown(bool timed) {
    std::lock_guard lock(m_timerMutex);
    ++m_shown;
    m_timed = timed;
    m_shownTick = tarsel::GetTickCount();
}

void CMessageDlg::ShowTimed() {
    NoteShown(true);
    for (CustStatic* line : m_lines) line->show();
    ShowCentred();
    if (onShow != nullptr) onShow(m_context);
    StartTimerIfIdle();
}

void CMessageDlg::ShowUntilClosed() {
    NoteShown(false);
    for (CustStatic* line : m_lines) line->show();
    ShowCentred();
    if (onShow != nullptr) onShow(m_context);
}

void CMessageDlg::OnEscape() {
    bool timed = false;
    {
        std::lock_guard lock(m_timerMutex);
        timed = m_timed;
    }
    if (timed) Close();
}

void CMessageDlg::Close() {
    NoteShown(false);
    hide();
    if (onClose != nullptr) onClose(m_context);
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
    NoteShown(true);
    ShowCentred();
    if (onShow != nullptr) onShow(m_context);
    StartTimerIfIdle();
}

// One timer at a time: a message shown while it runs moves its deadline instead.
void CMessageDlg::StartTimerIfIdle() {
    std::lock_guard lock(m_timerMutex);
    if (m_timerRunning || m_stopping) return;
    if (m_timer.joinable()) m_timer.join();  // the last timer has ended; reap it
    m_timerRunning = true;
    m_timer = std::thread(&CMessageDlg::TimerThread, this);
}

void CMessageDlg::TimerThread() {
    std::unique_lock lock(m_timerMutex);
    uint64_t shown = 0;
    for (;;) {
        if (m_timerWake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_stopping; }) || !m_timed) {
            m_timerRunning = false;  // stopping, or the message up is not a timed one
            return;
        }
        const uint32_t elapsedSeconds = (tarsel::GetTickCount() - m_shownTick) / 1000;
        if (elapsedSeconds >= static_cast<uint32_t>(m_displaySeconds.load())) {
            shown = m_shown;
            break;
        }
    }
    m_timerRunning = false;
    lock.unlock();
    // onClose re-enables the main window's children: that belongs on the window's thread.
    QMetaObject::invokeMethod(this, [this, shown] { TimerExpired(shown); }, Qt::QueuedConnection);
}

void CMessageDlg::TimerExpired(uint64_t shown) {
    {
        std::lock_guard lock(m_timerMutex);
        if (shown != m_shown) return;  // another message is up since
        m_timed = false;
    }
    if (onClose != nullptr) onClose(m_context);
    hide();
}
