#include "engine/TSmain.h"

#include <cstring>

#include "common/stdafx.h"
#include "engine/EngineInternal.h"
#include "finder/LibIP.h"

CTSmainDlg::CTSmainDlg(EnginePorts& ports, const EngineOwnerSlots& slots)
    : m_ports(ports), m_slots(slots) {
    m_hook.function = &CTSmainDlg::RecvHook;
    m_hook.context = this;
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
    std::lock_guard<std::mutex> guard(m_lock);
    m_slots = slots;
}

void CTSmainDlg::RecvHook(void* context, const CameraReply& reply) {
    static_cast<CTSmainDlg*>(context)->RecvCameraProcess(reply);
}

// ---------------------------------------------------------------- camera list

CameraRecord* CTSmainDlg::FindCameraLocked(const char* mac) {
    if (mac == nullptr) return nullptr;
    for (CameraRecord* record = head; record != nullptr; record = record->next) {
        if (std::strcmp(record->mac, mac) == 0) return record;
    }
    return nullptr;
}

bool CTSmainDlg::WithCamera(const char* mac, const std::function<void(CameraRecord&)>& f) {
    std::lock_guard<std::mutex> guard(m_lock);
    CameraRecord* record = FindCameraLocked(mac);
    if (record == nullptr) return false;
    f(*record);
    return true;
}

bool CTSmainDlg::CopyCamera(const char* mac, CameraRecord* out) {
    std::lock_guard<std::mutex> guard(m_lock);
    CameraRecord* record = FindCameraLocked(mac);
    if (record == nullptr) return false;
    *out = *record;
    out->next = nullptr;
    return true;
}

std::vector<CameraRecord> CTSmainDlg::CopyCameras() {
    std::vector<CameraRecord> copies;
    std::lock_guard<std::mutex> guard(m_lock);
    for (CameraRecord* record = head; record != nullptr; record = record->next) {
        copies.push_back(*record);
        copies.back().next = nullptr;
    }
    return copies;
}

size_t CTSmainDlg::CameraCount() {
    std::lock_guard<std::mutex> guard(m_lock);
    size_t n = 0;
    for (CameraRecord* record = head; record != nullptr; record = record->next) ++n;
    return n;
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
    auto* record = new CameraRecord{};
    rvRepeatProcess(record, reply);
    discoveredIps.push_back(IpTextToValue(record->ip));
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
}

void CTSmainDlg::RemovePendingLocked(const char* mac) {
    for (auto it = pendingAuto.begin(); it != pendingAuto.end(); ++it) {
        if (*it == mac) {
            pendingAuto.erase(it);
            return;
        }
    }
}

size_t CTSmainDlg::PendingAutoCount() {
    std::lock_guard<std::mutex> guard(m_lock);
    return pendingAuto.size();
}

// ---------------------------------------------------------------- owner notifications

void CTSmainDlg::NotifyChanged(int replyType, const CameraRecord* snapshot) {
    EngineOwnerSlots slots;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        slots = m_slots;
    }
    if (slots.OnCameraChanged != nullptr) slots.OnCameraChanged(slots.owner, replyType, snapshot);
}

void CTSmainDlg::NotifyChangedByMac(int replyType, const char* mac) {
    CameraRecord copy;
    if (CopyCamera(mac, &copy)) NotifyChanged(replyType, &copy);
}

bool CTSmainDlg::OwnerListsMac(const char* mac) {
    EngineOwnerSlots slots;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        slots = m_slots;
    }
    return slots.IsMacListed != nullptr && slots.IsMacListed(slots.owner, mac);
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
