#include "app/EngineBridge.h"

#include "controls/CameraEvent.h"
#include "engine/TSmain.h"

CEngineBridge::CEngineBridge(QObject* window) : m_window(window) {}

EngineOwnerSlots CEngineBridge::Slots() {
    EngineOwnerSlots owned;
    owned.owner = this;
    owned.OnCameraChanged = &CEngineBridge::OnCameraChangedSlot;
    owned.PostCameraEvent = &CEngineBridge::PostCameraEventSlot;
    return owned;
}

void CEngineBridge::Flush() {
    CTSmainDlg* engine = m_engine.load();
    if (engine == nullptr) return;
    // Taken even while not accepting, so that the table announces its next batch.
    const CameraChangeBatch batch = engine->Table().TakeChanges();
    if (!m_accepting.load() || batch.macs.empty()) return;
    // Changes noted during an earlier search describe cameras that are gone.
    if (batch.generation != engine->Generation()) return;
    m_flushes.fetch_add(1);
    emit camerasChanged(engine->Table().EntriesOf(batch.macs));
}

// One flush for however many changes arrive before it runs; a queued call to this object
// is discarded if the bridge is gone by then.
void CEngineBridge::OnCameraChangedSlot(void* owner) {
    auto* self = static_cast<CEngineBridge*>(owner);
    if (self->m_accepting.load()) QMetaObject::invokeMethod(self, &CEngineBridge::Flush, Qt::QueuedConnection);
}

void CEngineBridge::PostCameraEventSlot(void* owner, uint32_t code, void*) {
    auto* self = static_cast<CEngineBridge*>(owner);
    if (self->m_accepting.load()) PostCameraEvent(self->m_window, static_cast<int>(code));
}
