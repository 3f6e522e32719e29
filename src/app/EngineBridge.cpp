#include "app/EngineBridge.h"

#include "controls/CameraEvent.h"
#include "engine/CameraRecord.h"
#include "engine/TSmain.h"

CEngineBridge::CEngineBridge(QObject* window) : m_window(window) {}

EngineOwnerSlots CEngineBridge::Slots() {
    EngineOwnerSlots owned;
    owned.owner = this;
    owned.OnCameraChanged = &CEngineBridge::OnCameraChangedSlot;
    owned.IsMacListed = &CEngineBridge::IsMacListedSlot;
    owned.PostCameraEvent = &CEngineBridge::PostCameraEventSlot;
    owned.SendCameraEvent = &CEngineBridge::SendCameraEventSlot;
    return owned;
}

void CEngineBridge::BeginSearch() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pending.clear();
    m_order.clear();
    m_listed.clear();
}

void CEngineBridge::SetListed(const QString& mac) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_listed.insert(mac.toStdString());
}

void CEngineBridge::ForgetListed() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_listed.clear();
}

void CEngineBridge::ReplaceListed(const QStringList& macs) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_listed.clear();
    for (const QString& mac : macs) m_listed.insert(mac.toStdString());
}

bool CEngineBridge::IsMacListed(const char* mac) const {
    if (mac == nullptr) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    // A camera whose row is on its way counts as listed already.
    return m_listed.count(mac) != 0 || m_pending.count(mac) != 0;
}

void CEngineBridge::NoteChanged(const char* mac) {
    if (mac == nullptr || mac[0] == '\0' || !m_accepting.load()) return;
    CTSmainDlg* engine = m_engine.load();
    const uint32_t generation = engine != nullptr ? engine->Generation() : 0;
    bool queue = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto [it, inserted] = m_pending.try_emplace(mac, generation);
        if (inserted) m_order.push_back(mac);
        else it->second = generation;
        if (!m_flushQueued) m_flushQueued = queue = true;
    }
    // One flush for however many changes arrive before it runs; a queued call to this
    // object is discarded if the bridge is gone by then.
    if (queue) QMetaObject::invokeMethod(this, &CEngineBridge::Flush, Qt::QueuedConnection);
}

void CEngineBridge::Flush() {
    std::unordered_map<std::string, uint32_t> pending;
    std::vector<std::string> order;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        pending.swap(m_pending);
        order.swap(m_order);
        m_flushQueued = false;
    }
    if (!m_accepting.load() || order.empty()) return;
    CTSmainDlg* engine = m_engine.load();
    const uint32_t current = engine != nullptr ? engine->Generation() : 0;
    QStringList macs;
    macs.reserve(static_cast<qsizetype>(order.size()));
    // Changes noted during an earlier search describe records that are gone.
    for (const std::string& mac : order)
        if (pending[mac] == current) macs << QString::fromStdString(mac);
    m_flushes.fetch_add(1);
    m_changes.fetch_add(static_cast<uint64_t>(macs.size()));
    if (!macs.isEmpty()) emit camerasChanged(macs);
}

void CEngineBridge::OnCameraChangedSlot(void* owner, int, const CameraRecord* record) {
    if (record != nullptr) static_cast<CEngineBridge*>(owner)->NoteChanged(record->mac);
}

bool CEngineBridge::IsMacListedSlot(void* owner, const char* mac) {
    return static_cast<CEngineBridge*>(owner)->IsMacListed(mac);
}

void CEngineBridge::PostCameraEventSlot(void* owner, uint32_t code, void*) {
    auto* self = static_cast<CEngineBridge*>(owner);
    if (self->m_accepting.load()) PostCameraEvent(self->m_window, static_cast<int>(code));
}

// The engine's "sent" events are posted too, with their payload copied: the engine's
// thread never waits for the window, and the payload may live on its stack.
void CEngineBridge::SendCameraEventSlot(void* owner, uint32_t code, void* param) {
    auto* self = static_cast<CEngineBridge*>(owner);
    if (!self->m_accepting.load()) return;
    if (static_cast<int>(code) == EVT_HTTP_UNREACHABLE && param != nullptr) {
        const auto* status = static_cast<const CameraStatusEvent*>(param);
        PostCameraStatus(self->m_window, status->mac, status->statusIndex);
        return;
    }
    PostCameraEvent(self->m_window, static_cast<int>(code));
}
