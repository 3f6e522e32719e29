#include "engine/TSmain.h"

#include <cstring>

#include "common/stdafx.h"
#include "engine/EngineInternal.h"
#include "engine/MacText.h"
#include "finder/LibIP.h"

using engine_internal::Snapshot;

CTSmainDlg::CTSmainDlg(EnginePorts& ports, const EngineOwnerSlots& slots)
    : m_ports(ports), m_slots(slots) {
    m_hook.function = &CTSmainDlg::RecvHook;
    m_hook.context = this;
    m_table.SetNotify([this] { OnTableChanged(); });
    m_table.SetSubnets([this](const std::string& name) { return m_ports.AdapterSubnets(name); });
    if (m_ports.CreateRecvPacket(&m_hook) != 0) TLOG_WARNING("(%s:%d)CreateRecvPacket Error\n");
}

CTSmainDlg::~CTSmainDlg() {
    TLOG("(%s:%d)~CTSmainDlg");
    m_stopping.store(true);
    generation.store(0);
    {
        std::lock_guard<std::mutex> sleepGuard(m_sleepLock);
    }
    m_wake.notify_all();
    // After this no reply reaches RecvCameraProcess any more.
    m_ports.DestroyRecvPacket();
    m_workers.JoinAll();
    {
        std::lock_guard<std::mutex> history(m_historyLock);
        m_ports.History().Clear();
    }
    std::lock_guard<std::mutex> guard(m_lock);
    {
        std::lock_guard<std::mutex> queue(queueLock);
        setIpQueue.clear();
    }
    pendingAuto.clear();
    ClearCameras();
}

void CTSmainDlg::SetOwnerSlots(const EngineOwnerSlots& slots) {
    std::lock_guard<std::mutex> guard(m_slotsLock);
    m_slots = slots;
}

void CTSmainDlg::RecvHook(void* context, const CameraReply& reply) {
    static_cast<CTSmainDlg*>(context)->RecvCameraProcess(reply);
}

// ---------------------------------------------------------------- camera list

CameraRecord* CTSmainDlg::FindCameraLocked(const char* mac) {
    if (mac == nullptr) return nullptr;
    const auto it = m_byMac.find(MacKey(mac));
    return it == m_byMac.end() ? nullptr : it->second;
}

bool CTSmainDlg::WithCamera(const char* mac, const std::function<void(CameraRecord&)>& f) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        CameraRecord* record = FindCameraLocked(mac);
        if (record == nullptr) return false;
        f(*record);
        m_table.Refresh(*record, m_ports.Now());
    }
    NotifyOwner();
    return true;
}

bool CTSmainDlg::CopyCamera(const char* mac, CameraRecord* out) {
    std::lock_guard<std::mutex> guard(m_lock);
    CameraRecord* record = FindCameraLocked(mac);
    if (record == nullptr) return false;
    *out = Snapshot(*record);
    return true;
}

std::vector<CameraRecord> CTSmainDlg::CopyCameras() {
    std::vector<CameraRecord> copies;
    std::lock_guard<std::mutex> guard(m_lock);
    for (CameraRecord* record = head; record != nullptr; record = record->next) {
        copies.push_back(Snapshot(*record));
    }
    return copies;
}

size_t CTSmainDlg::CameraCount() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cameraCount;
}

CameraRecord* CTSmainDlg::FindOrRefresh(const CameraReply& reply) {
    CameraRecord* record = FindCameraLocked(reply.mac);
    if (record != nullptr &&
        (reply.type == HEADER_IP_QUERY || reply.type == HEADER_WIRELESS_IP_QUERY)) {
        rvRepeatProcess(record, reply);
    }
    return record;
}

void CopyReplyIntoRecord(CameraRecord* record, const CameraReply& reply) {
    static const char kCaller[] = "CTSmainDlg::rvRepeatProcess";
    BoundedCopy(record->name, reply.deviceName, kCaller, __LINE__);
    BoundedCopy(record->mac, reply.mac, kCaller, __LINE__);
    BoundedCopy(record->serial, reply.serial, kCaller, __LINE__);
    BoundedCopy(record->ip, reply.ip, kCaller, __LINE__);
    BoundedCopy(record->mask, reply.mask, kCaller, __LINE__);
    BoundedCopy(record->gateway, reply.gateway, kCaller, __LINE__);
    BoundedCopy(record->fwVersion, reply.fwVersion, kCaller, __LINE__);
    BoundedCopy(record->mode, reply.mode, kCaller, __LINE__);
    BoundedCopy(record->model, reply.productName, kCaller, __LINE__);
    BoundedCopy(record->httpPort, reply.httpPort, kCaller, __LINE__);
    BoundedCopy(record->company, reply.company, kCaller, __LINE__);
    if (reply.viaHttp != 1 && record->adapterName[0] == '\0') {
        CopyTruncated(record->adapterIp, reply.adapter.addressText);
        CopyTruncated(record->adapterName, reply.adapter.name);
    }
}

void CTSmainDlg::rvRepeatProcess(CameraRecord* record, const CameraReply& reply) {
    CopyReplyIntoRecord(record, reply);
    record->lastSeen = m_ports.Now();
}

CameraRecord* CTSmainDlg::CreateCamera(const CameraReply& reply) {
    if (m_cameraCount >= CameraTable::kMaxCameras) {
        IgnoreCameraLocked(reply);
        return nullptr;
    }
    auto* record = new CameraRecord{};
    rvRepeatProcess(record, reply);
    discoveredIps.insert(IpTextToValue(record->ip));
    m_byMac.emplace(MacKey(record->mac), record);
    ++m_cameraCount;
    record->ipHistory = &m_ports.History();
    record->engine = this;
    record->credentialsStored = 0;
    record->status = 0;
    record->viaHttp = reply.viaHttp;
    if (tail == nullptr) {
        head = tail = record;
    } else {
        tail->next = record;
        tail = record;
    }
    return record;
}

// A site has hundreds of cameras at most; a host that answers as thousands of MACs is
// noise, and each of them would cost memory and time in every list.
void CTSmainDlg::IgnoreCameraLocked(const CameraReply& reply) {
    const uint64_t ignored = m_ignoredCameras.fetch_add(1) + 1;
    const uint32_t now = m_ports.Now();
    if (m_ignoredLogged != 0 && now - m_ignoredLogTick < 1000) return;
    TLOG_WARNING("(%s:%d)Camera list full (%u cameras): %llu new cameras ignored, the last %s from %s",
         static_cast<unsigned>(m_cameraCount), static_cast<unsigned long long>(ignored - m_ignoredLogged), reply.mac,
         reply.ip);
    m_ignoredLogged = ignored;
    m_ignoredLogTick = now;
}

void CTSmainDlg::UpdateCamera(const CameraRecord& source) {
    static const char kCaller[] = "CTSmainDlg::UpdateCamera";
    std::lock_guard<std::mutex> guard(m_lock);
    CameraRecord* record = FindCameraLocked(source.mac);
    if (record == nullptr) return;
    BoundedCopy(record->name, source.name, kCaller, __LINE__);
    BoundedCopy(record->mac, source.mac, kCaller, __LINE__);
    BoundedCopy(record->ip, source.ip, kCaller, __LINE__);
    BoundedCopy(record->mask, source.mask, kCaller, __LINE__);
    BoundedCopy(record->gateway, source.gateway, kCaller, __LINE__);
    BoundedCopy(record->httpPort, source.httpPort, kCaller, __LINE__);
    BoundedCopy(record->mode, source.mode, kCaller, __LINE__);
}

void CTSmainDlg::ClearCameras() {
    CameraRecord* record = head;
    while (record != nullptr) {
        CameraRecord* next = record->next;
        delete record;
        record = next;
    }
    head = tail = nullptr;
    m_byMac.clear();
    m_cameraCount = 0;
}

void CTSmainDlg::RemovePendingLocked(const char* mac) { pendingAuto.erase(MacKey(mac)); }

size_t CTSmainDlg::PendingAutoCount() {
    std::lock_guard<std::mutex> guard(m_lock);
    return pendingAuto.size();
}

// ---------------------------------------------------------------- owner notifications

void CTSmainDlg::DecideLocked(CameraRecord* record) {
    // A verified camera keeps the credentials it was verified with.
    if (HasStatus(record, STATUS_AUTH_OK)) record->credentialsStored = 1;
    const CameraTable::Decided decided = m_table.Decide(m_Tarsel_mode.load(), record, m_ports.Now());
    // The re-query worker has nothing left to watch.
    if (decided.noneSetting) keepQueryRounds.store(0);
}

void CTSmainDlg::DecideAndNotify(const char* mac) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        CameraRecord* record = FindCameraLocked(mac);
        if (record == nullptr) return;
        DecideLocked(record);
    }
    NotifyOwner();
}

void CTSmainDlg::OnTableChanged() {
    EngineOwnerSlots slots;
    {
        std::lock_guard<std::mutex> guard(m_slotsLock);
        slots = m_slots;
    }
    if (slots.OnCameraChanged != nullptr) slots.OnCameraChanged(slots.owner);
}

void CTSmainDlg::ForgetAuthenticated(const char* mac) {
    WithCamera(mac, [](CameraRecord& record) {
        record.credentialsStored = 0;
        record.status = 0;
    });
    m_table.ForgetAuthenticated(mac);
}

void CTSmainDlg::ShowNoResponse(const char* mac) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        CameraRecord* r = FindCameraLocked(mac);
        if (r == nullptr) return;
        // The row showed the values asked for; no reply ever confirmed them, so it goes back
        // to what the camera last reported.
        if (r->settingSince != 0) {
            CopyTruncated(r->name, r->oldName);
            CopyTruncated(r->ip, r->oldIp);
            CopyTruncated(r->mask, r->oldMask);
            CopyTruncated(r->gateway, r->oldGateway);
            CopyTruncated(r->mode, r->oldMode);
            CopyTruncated(r->httpPort, r->oldPort);
            // Failed like a setting that timed out: a later reply keeps saying so.
            SetStatus(r, STATUS_SETTING_TIMEOUT);
        }
        r->settingSince = 0;
        m_table.Refresh(*r, m_ports.Now());
    }
    m_table.ClearBusy(mac);
    m_table.SetStatus(mac, STATUS_INDEX_NO_RESPONSE);
    NotifyOwner();
}

// ---------------------------------------------------------------- workers

void CTSmainDlg::StartWorker(std::function<void()> body) {
    if (m_stopping.load()) return;
    m_workers.Start([this, body = std::move(body)] {
        m_ports.EnsureThreadLanguage();
        body();
    });
}

bool CTSmainDlg::Pause(uint32_t ms, uint32_t gen) {
    const uint32_t speedup = m_ports.Speedup() == 0 ? 1 : m_ports.Speedup();
    const auto wait = std::chrono::microseconds(static_cast<int64_t>(ms) * 1000 / speedup);
    auto interrupted = [&] {
        return m_stopping.load() || (gen != 0 && generation.load() != gen);
    };
    std::unique_lock<std::mutex> sleep(m_sleepLock);
    m_wake.wait_for(sleep, wait, interrupted);
    return !interrupted();
}
