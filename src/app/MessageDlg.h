#pragma once
// The transient message box: a fixed status or error message that closes itself after a
// few seconds, or stays until closed. Its timer is a worker thread that wakes every 200 ms;
// the worker never touches the widget itself, it hands the closing to the window's thread.
// The timer closes only the message it was counting for: a message shown later gets its
// own full display time, and one shown until closed is never closed by an earlier timer.
// A screen reader reads it as an alert and speaks it when it appears; Escape closes a
// message that closes itself anyway, never one shown until the work it waits for is done.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/PopupPanel.h"

class CustStatic;

class CMessageDlg : public CPopupPanel {
    Q_OBJECT
public:
    explicit CMessageDlg(QWidget* parent = nullptr);
    ~CMessageDlg() override;

    // Line texts by string id (0 leaves the line empty) or as free text.
    void SetLines(int line1Id, int line2Id, int line3Id);
    void SetDisplaySeconds(int seconds) { m_displaySeconds.store(seconds); }
    int DisplaySeconds() const { return m_displaySeconds.load(); }

    void ShowTimed();
    void ShowUntilClosed();
    void Close();
    void ShowCommandProgress(const char* command);
    void ReloadTexts() { update(); }
    bool TimerRunning() const;

    CustStatic* Line(int index) const { return m_lines[index]; }

    void* m_context = nullptr;
    void (*onShow)(void* context) = nullptr;
    void (*onClose)(void* context) = nullptr;
    void (*getOwnerRect)(void* context, QRect* rect) = nullptr;

protected:
    void OnEscape() override;

private:
    void ShowCentred();
    void StartTimerIfIdle();
    void NoteShown(bool timed);
    void TimerThread();
    void TimerExpired(uint64_t shown);

    CustStatic* m_lines[3];
    std::atomic<int> m_displaySeconds{3};

    mutable std::mutex m_timerMutex;
    std::condition_variable m_timerWake;
    std::thread m_timer;
    bool m_timerRunning = false;
    bool m_stopping = false;
    uint64_t m_shown = 0;      // counts every show and close: which message is up
    bool m_timed = false;      // the message up closes itself
    uint32_t m_shownTick = 0;  // when it was shown
};
