#include "engine/TSmain.h"

#include <cstring>

#include "common/stdafx.h"
#include "engine/MacText.h"
#include "finder/LibIP.h"

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
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_onvifStop) m_onvifStop->store(true);
    }
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
    m_table.Clear(0);
}

void CTSmainDlg::SetOwnerSlots(const EngineOwnerSlots& slots) {
    std::lock_guard<std::mutex> guard(m_slotsLock);
    m_slots = slots;
}

void CTSmainDlg::RecvHook(void* context, const CameraReply& reply) {
    static_cast<CTSmainDlg*>(context)->RecvCameraProcess(reply);
}

// ---------------------------------------------------------------- camera list

bool CTSmainDlg::WithCamera(const char* mac, const std::function<void(CameraRecord&)>& f) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        CameraRecord* record = records.Find(mac);
        if (record == nullptr) return false;
        f(*record);
        records.Refresh(record, m_ports.Now());
    }
    NotifyOwner();
    return true;
}

bool CTSmainDlg::CopyCamera(const char* mac, CameraRecord* out) {
    std::lock_guard<std::mutex> guard(m_lock);
    Records records(m_table);
    const CameraRecord* record = records.Find(mac);
    if (record == nullptr) return false;
    *out = *record;
    return true;
}

std::vector<CameraRecord> CTSmainDlg::CopyCameras() {
    std::vector<CameraRecord> copies;
    std::lock_guard<std::mutex> guard(m_lock);
    Records records(m_table);
    copies.reserve(records.Count());
    records.ForEach([&](const CameraRecord& record) { copies.push_back(record); });
    return copies;
}

bool CTSmainDlg::CredentialsOf(const char* mac, std::string* user, std::string* password) {
    if (mac == nullptr) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_credentials.find(CameraTable::KeyOfText(mac));  // an ONVIF key as it is
    if (it == m_credentials.end()) return false;
    *user = it->second.user;
    *password = it->second.password;
    return true;
}

void CTSmainDlg::KeepCredentialsLocked(const char* mac, const char* user, const char* password) {
    m_credentials[MacKey(mac)] = Credentials{user, password};
}

bool CTSmainDlg::CopyForCommand(const char* mac, CameraRecord* out, std::string* user,
                                std::string* password) {
    std::lock_guard<std::mutex> guard(m_lock);
    Records records(m_table);
    CameraRecord* record = records.Find(mac);
    if (record == nullptr) return false;
    *out = *record;
    const auto it = m_credentials.find(MacKey(mac));
    *user = it == m_credentials.end() ? std::string(record->user) : it->second.user;
    *password = it == m_credentials.end() ? std::string() : it->second.password;
    return true;
}

// A camera answers from its own address. Another address is accepted only where the
// installer moved the camera there: the address a pending setting asked for (any while it
// asked for DHCP), or the one the automatic assignment gave it. Anything else claims the
// camera's MAC from another host: the row says so and the answer is dropped.
bool CTSmainDlg::FromCameraItself(Records& records, CameraRecord* record, const CameraReply& reply) {
    if (reply.viaHttp == 1 || reply.source == 0 || record->answerSource == 0 ||
        reply.source == record->answerSource)
        return true;
    const std::string from = IpValueToText(reply.source);
    const bool setting = record->settingSince != 0;
    const bool asked = (setting && (std::strcmp(record->reqMode, "dhcp") == 0 || from == record->reqIp)) ||
                       (HasStatus(record, STATUS_SETTING_IP) && from == record->newIp);
    if (asked) {
        TLOG("(%s:%d)%s now answers from %s", record->mac, from.c_str());
        record->answerSource = reply.source;
        return true;
    }
    TLOG_WARNING("(%s:%d)%s answered from %s, but the camera answers from %s: ignored", record->mac,
                 from.c_str(), IpValueToText(record->answerSource).c_str());
    records.FlagConflict(record, m_ports.Now());
    return false;
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

CameraRecord* CTSmainDlg::CreateCamera(Records& records, const CameraReply& reply) {
    CameraRecord* record = records.Create(reply.mac);
    if (record == nullptr) {
        IgnoreCameraLocked(reply, records.Count());
        return nullptr;
    }
    rvRepeatProcess(record, reply);
    discoveredIps.insert(IpTextToValue(record->ip));
    record->viaHttp = reply.viaHttp;
    record->answerSource = reply.viaHttp == 1 ? 0 : reply.source;
    return record;
}

// A site has hundreds of cameras at most; a host that answers as thousands of MACs is
// noise, and each of them would cost memory and time in every list.
void CTSmainDlg::IgnoreCameraLocked(const CameraReply& reply, size_t listed) {
    const uint64_t ignored = m_ignoredCameras.fetch_add(1) + 1;
    const uint32_t now = m_ports.Now();
    if (m_ignoredLogged != 0 && now - m_ignoredLogTick < 1000) return;
    TLOG_WARNING("(%s:%d)Camera list full (%u cameras): %llu new cameras ignored, the last %s from %s",
         static_cast<unsigned>(listed), static_cast<unsigned long long>(ignored - m_ignoredLogged), reply.mac,
         reply.ip);
    m_ignoredLogged = ignored;
    m_ignoredLogTick = now;
}

void CTSmainDlg::UpdateCamera(const CameraRecord& source) {
    static const char kCaller[] = "CTSmainDlg::UpdateCamera";
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        CameraRecord* record = records.Find(source.mac);
        if (record == nullptr) return;
        BoundedCopy(record->name, source.name, kCaller, __LINE__);
        BoundedCopy(record->ip, source.ip, kCaller, __LINE__);
        BoundedCopy(record->mask, source.mask, kCaller, __LINE__);
        BoundedCopy(record->gateway, source.gateway, kCaller, __LINE__);
        BoundedCopy(record->httpPort, source.httpPort, kCaller, __LINE__);
        BoundedCopy(record->mode, source.mode, kCaller, __LINE__);
        records.Refresh(record, m_ports.Now());
    }
    NotifyOwner();
}

void CTSmainDlg::RemovePendingLocked(const char* mac) { pendingAuto.erase(MacKey(mac)); }

size_t CTSmainDlg::PendingAutoCount() {
    std::lock_guard<std::mutex> guard(m_lock);
    return pendingAuto.size();
}

// ---------------------------------------------------------------- owner notifications

void CTSmainDlg::DecideLocked(Records& records, CameraRecord* record) {
    // A verified camera keeps the credentials it was verified with.
    if (HasStatus(record, STATUS_AUTH_OK)) record->credentialsStored = 1;
    const CameraTable::Decided decided = records.Decide(m_Tarsel_mode.load(), record, m_ports.Now());
    // The re-query worker has nothing left to watch.
    if (decided.noneSetting) keepQueryRounds.store(0);
}

void CTSmainDlg::DecideAndNotify(const char* mac) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        CameraRecord* record = records.Find(mac);
        if (record == nullptr) return;
        DecideLocked(records, record);
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
    // The kept credentials stay: the reboot or default that calls this still sends them,
    // and a camera that comes back is checked with them before it shows verified.
    WithCamera(mac, [](CameraRecord& record) {
        record.credentialsStored = 0;
        record.status = 0;
    });
    m_table.ForgetAuthenticated(mac);
}

void CTSmainDlg::ShowNoResponse(const char* mac) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Records records(m_table);
        CameraRecord* r = records.Find(mac);
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
        records.Refresh(r, m_ports.Now());
    }
    m_table.ClearBusy(mac);
    m_table.SetStatus(mac, STATUS_INDEX_NO_RESPONSE);
    NotifyOwner();
}

// ---------------------------------------------------------------- workers

bool CTSmainDlg::StartWorker(std::function<void()> body) {
    if (m_stopping.load()) return false;
    m_workers.Start([this, body = std::move(body)] {
        m_ports.EnsureThreadLanguage();
        body();
    });
    return true;
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
