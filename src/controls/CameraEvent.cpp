#include "controls/CameraEvent.h"

#include <QCoreApplication>

void PostCameraEvent(QObject* receiver, int code) {
    if (receiver == nullptr) return;
    // postEvent is safe from any thread and takes ownership of the event.
    QCoreApplication::postEvent(receiver, new CCameraEvent(code));
}

void PostCameraStatus(QObject* receiver, const char* mac, int statusIndex) {
    if (receiver == nullptr || mac == nullptr) return;
    auto* event = new CCameraEvent(EVT_HTTP_UNREACHABLE);
    event->m_mac = QString::fromUtf8(mac);
    event->m_statusIndex = statusIndex;
    QCoreApplication::postEvent(receiver, event);
}
