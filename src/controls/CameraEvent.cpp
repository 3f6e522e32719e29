#include "controls/CameraEvent.h"

#include <QCoreApplication>

void PostCameraEvent(QObject* receiver, int code) {
    if (receiver == nullptr) return;
    // postEvent is safe from any thread and takes ownership of the event.
    QCoreApplication::postEvent(receiver, new CCameraEvent(code));
}
