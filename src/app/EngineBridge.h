#pragma once
// The window's side of the engine's owner slots. The slots are called on the engine's
// threads (the reply dispatch, the re-query and assignment workers, a verification); none
// of them touches a widget or waits for the window. The camera table calls OnCameraChanged
// once per batch of changes; the bridge then queues one flush to the window's thread,
// which takes the batch, reads the changed entries by MAC and hands them to the window in
// one call, so a thousand replies cost a handful of list updates, not a thousand. A batch
// of an earlier search is dropped. Events are posted as copies.
//
// Owned by the main window, created before and destroyed after the engine; queued
// flushes still on their way when it is destroyed are discarded.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/CameraEvents.h"
#include "engine/CameraTable.h"

class CTSmainDlg;

class CEngineBridge : public QObject {
    Q_OBJECT
public:
    // Events and flushes go to `window`, which must live on this object's thread.
    explicit CEngineBridge(QObject* window);

    EngineOwnerSlots Slots();
    void SetEngine(CTSmainDlg* engine) { m_engine.store(engine); }

    // While off, every slot call is ignored (the window is going away).
    void SetAccepting(bool on) { m_accepting.store(on); }

    // How many flushes ran (for the benchmark and tests).
    uint64_t FlushCount() const { return m_flushes.load(); }

signals:
    // The entries that changed since the last flush, in the order first changed.
    void camerasChanged(const std::vector<CameraEntry>& entries);

private:
    void Flush();

    static void OnCameraChangedSlot(void* owner);
    static void PostCameraEventSlot(void* owner, uint32_t code, void* param);

    QObject* m_window;
    std::atomic<CTSmainDlg*> m_engine{nullptr};
    std::atomic<bool> m_accepting{true};
    std::atomic<uint64_t> m_flushes{0};
};
