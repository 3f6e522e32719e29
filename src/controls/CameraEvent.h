#pragma once
// WM_CAMERA_EVENT as the window toolkit carries it: a posted QEvent whose type is the
// message number itself, so the sender never touches a widget and the receiver handles it
// on its own thread. The numbers come from engine/CameraEvents.h, their only definition.

#include <QEvent>
#include <QString>
#include <QStringList>

#include "engine/CameraEvents.h"

static_assert(WM_CAMERA_EVENT > QEvent::User && WM_CAMERA_EVENT < QEvent::MaxUser,
              "the camera event must be a user event type");

// One event code and its payload. The payload is copied into the event, so nothing the
// sender owns has to outlive the post: `texts` carries the three result lines of
// EVT_SHOW_RESULT.
class CCameraEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(WM_CAMERA_EVENT);
    explicit CCameraEvent(int code) : QEvent(kType), m_code(code) {}

    int m_code;
    QStringList m_texts;
};

// Posts `code` with no payload to `receiver` from any thread.
class QObject;
void PostCameraEvent(QObject* receiver, int code);
