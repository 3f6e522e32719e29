#pragma once
// The window message through which workers, the engine and the child windows reach the
// main window (or a list control's own dialog) later or from another thread. It is a
// posted QEvent, so the sender never touches a widget: the receiver handles it on its own
// thread.

#include <QEvent>
#include <QString>
#include <QStringList>

// Mirrors the platform's first user message plus 100 (0x464).
constexpr int WM_CAMERA_EVENT = QEvent::User + 100;

constexpr int EVT_START_SEARCH = 0x9001;
constexpr int EVT_CHECK_CHANGED = 0x9002;
constexpr int EVT_SELECTION_CHANGED = 0x9003;
constexpr int EVT_AUTO_IP_DONE = 0x9004;
constexpr int EVT_SHOW_RESULT = 0x9005;
constexpr int EVT_HTTP_UNREACHABLE = 0x9007;

// One event code and its payload. The payload is copied into the event, so nothing the
// sender owns has to outlive the post: `texts` carries the three result lines of
// EVT_SHOW_RESULT, `mac` and `statusIndex` the row of EVT_HTTP_UNREACHABLE.
class CCameraEvent : public QEvent {
public:
    explicit CCameraEvent(int code) : QEvent(static_cast<QEvent::Type>(WM_CAMERA_EVENT)), m_code(code) {}

    int m_code;
    QStringList m_texts;
    QString m_mac;
    int m_statusIndex = 0;
};

// Posts `code` with no payload to `receiver` from any thread.
class QObject;
void PostCameraEvent(QObject* receiver, int code);
