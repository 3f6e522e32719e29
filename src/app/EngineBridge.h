#pragma once
// The window's side of the engine's owner slots. The slots are called on the engine's
// threads (the reply dispatch, the re-query and assignment workers, a verification); none
// of them touches a widget or waits for the window. OnCameraChanged only notes the MAC,
// tagged with the search it belongs to, in a guarded set, and queues one flush to the
// window's thread if none is pending; the flush hands every MAC noted since to the window
// in one call, so a thousand replies cost a handful of list updates, not a thousand.
// Events are posted as copies. "Is this MAC listed?" is answered from a guarded set that
// the window keeps in step with its rows.
//
// Owned by the main window, created before and destroyed after the engine; queued
// flushes still on their way when it is destroyed are discarded.

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <unordered_map>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/CameraEvents.h"

class CTSmainDlg;

class CEngineBridge : public QObject {
    Q_OBJECT
public:
    // Events and flushes go to `window`, which must live on this object's thread.
    explicit CEngineBridge(QObject* window);

    // The slots to give the engine; `engine` tags every change with its search generation.
    EngineOwnerSlots Slots();
    void SetEngine(CTSmainDlg* engine) { m_engine.store(engine); }

    // While off, every slot call is ignored (the window is going away).
    void SetAccepting(bool on) { m_accepting.store(on); }

    // A new search starts: pending changes and the listed set are forgotten.
    void BeginSearch();

    // The rows the window shows, for IsMacListed.
    void SetListed(const QString& mac);
    void ForgetListed();
    void ReplaceListed(const QStringList& macs);
    bool IsMacListed(const char* mac) const;

    // How many flushes ran and how many MACs they carried (for the benchmark and tests).
    uint64_t FlushCount() const { return m_flushes.load(); }
    uint64_t ChangeCount() const { return m_changes.load(); }

    // Engine-thread side, also callable directly (the window's own thread may call it).
    void NoteChanged(const char* mac);

signals:
    // The MACs whose records changed since the last flush, in the order first noted.
    void camerasChanged(const QStringList& macs);

private:
    void Flush();

    static void OnCameraChangedSlot(void* owner, int replyType, const CameraRecord* record);
    static bool IsMacListedSlot(void* owner, const char* mac);
    static void PostCameraEventSlot(void* owner, uint32_t code, void* param);
    static void SendCameraEventSlot(void* owner, uint32_t code, void* param);

    QObject* m_window;
    std::atomic<CTSmainDlg*> m_engine{nullptr};
    std::atomic<bool> m_accepting{true};
    std::atomic<uint64_t> m_flushes{0}, m_changes{0};

    mutable std::mutex m_lock;
    // MAC -> search generation it was noted in, and the order of first sight.
    std::unordered_map<std::string, uint32_t> m_pending;
    std::vector<std::string> m_order;
    bool m_flushQueued = false;
    std::unordered_set<std::string> m_listed;
};
