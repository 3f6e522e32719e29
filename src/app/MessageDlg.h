#pragma once
// The transient message box: a fixed status or error message that closes itself after a
// few seconds, or stays until closed. Its timer runs on the window's thread and counts for
// the message up: a message shown later gets its own full display time, and one shown
// until closed is never closed by an earlier timer. A screen reader reads it as an alert
// and speaks it when it appears; Escape closes a message that closes itself anyway, never
// one shown until the work it waits for is done.

#include <QTimer>

#include "app/MessagePanel.h"

class CMessageDlg : public CMessagePanel {
    Q_OBJECT
public:
    explicit CMessageDlg(QWidget* parent = nullptr);

    // Line texts by string id (0 leaves the line empty) or as free text.
    void SetLines(int line1Id, int line2Id, int line3Id);
    void SetDisplaySeconds(int seconds) { m_displaySeconds = seconds; }
    int DisplaySeconds() const { return m_displaySeconds; }

    void ShowTimed();
    void ShowUntilClosed();
    void Close();
    void ShowCommandProgress(const char* command);
    void ReloadTexts() { update(); }
    bool TimerRunning() const { return m_timer.isActive(); }

protected:
    void OnEscape() override;

private:
    // Shows the message up; a timed one closes after the display time from now.
    void ShowMessage(bool timed);
    void TimerExpired();

    int m_displaySeconds = 3;
    QTimer m_timer;
};
