// The engine's ONVIF devices: the discovery that runs beside every search, unicast probes of a
// range search, and reading a device's facts and picture with the installer's credentials.
// Nothing here changes a device: other makers' devices are read-only.

#include <algorithm>
#include <thread>

#include "common/stdafx.h"
#include "engine/TSmain.h"
#include "onvif/OnvifProbe.h"
#include "web/LibCurl.h"

namespace {
using tarsel::onvif::OnvifOutcome;

// Devices whose facts are read at once by VerifyOnvifAll: each read is a few round trips of
// small SOAP requests, so a site of 256 devices is read in a few seconds without opening
// hundreds of connections at a time.
constexpr int kOnvifReadsAtOnce = 16;
}  // namespace

void CTSmainDlg::SetOnvifSearch(bool enabled, int waitMs) {
    m_onvifEnabled.store(enabled);
    m_onvifWaitMs.store(std::clamp(waitMs, 100, 600000));
}

void CTSmainDlg::StartOnvifSearch() {
    if (!m_onvifEnabled.load() || m_stopping.load()) return;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    uint32_t gen = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        gen = generation.load();
        if (m_onvifGen == gen) return;  // this search already listens (a repeated query)
        m_onvifGen = gen;
        if (m_onvifStop) m_onvifStop->store(true);  // the previous search's listening ends
        m_onvifStop = stop;
    }
    const int waitMs = m_onvifWaitMs.load();
    StartWorker([this, stop, gen, waitMs] {
        tarsel::onvif::ProbeSet probes;
        if (!probes.Make()) {
            TLOG_WARNING("(%s:%d) ONVIF discovery not started: no random source for its message ids");
            return;
        }
        tarsel::onvif::OnvifDeviceList list;
        list.SetListener([this, gen](const tarsel::onvif::OnvifDevice& device) { ListOnvifDevice(device, gen); });
        m_ports.SearchOnvif(probes, waitMs, list, stop.get());
        if (list.Dropped() != 0) TLOG_WARNING("(%s:%d) ONVIF answers of %zu devices dropped: the list is full", list.Dropped());
    });
}

void CTSmainDlg::ListOnvifDevice(const tarsel::onvif::OnvifDevice& device, uint32_t gen) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (generation.load() != gen) return;  // an answer to the previous search
        if (!m_table.MergeOnvif(device, m_ports.Now())) {
            m_ignoredCameras.fetch_add(1);
            return;
        }
    }
    NotifyOwner();
}

void CTSmainDlg::QueueOnvifProbe(uint32_t hostOrderAddress) {
    {
        std::lock_guard<std::mutex> guard(m_onvifQueueLock);
        m_onvifQueue.push_back(hostOrderAddress);
        if (m_onvifProbing) return;  // the running worker takes it
        m_onvifProbing = true;
    }
    if (StartWorker([this] { RunOnvifProbes(); })) return;
    std::lock_guard<std::mutex> guard(m_onvifQueueLock);  // the engine is going away
    m_onvifQueue.clear();
    m_onvifProbing = false;
    m_onvifQueueIdle.notify_all();
}

void CTSmainDlg::WaitOnvifProbes() {
    std::unique_lock<std::mutex> lock(m_onvifQueueLock);
    m_onvifQueueIdle.wait(lock, [this] { return !m_onvifProbing; });
}

void CTSmainDlg::RunOnvifProbes() {
    // Hands the worker what was queued; ends the run (under the queue's lock, so no address
    // is left behind) once nothing is queued and the last answers had their time.
    auto next = [this](std::vector<uint32_t>& batch, bool mayEnd) {
        std::lock_guard<std::mutex> guard(m_onvifQueueLock);
        batch.swap(m_onvifQueue);
        m_onvifQueue.clear();
        if (!batch.empty() || !mayEnd) return true;
        m_onvifProbing = false;
        m_onvifQueueIdle.notify_all();
        return false;
    };
    tarsel::onvif::ProbeSet probes;
    tarsel::onvif::OnvifDeviceList list;
    if (!probes.Make()) {
        TLOG_WARNING("(%s:%d) ONVIF probes not sent: no random source for their message ids");
        std::vector<uint32_t> batch;
        while (next(batch, true)) batch.clear();
        return;
    }
    const uint32_t gen = generation.load();
    list.SetListener([this, gen](const tarsel::onvif::OnvifDevice& device) { ListOnvifDevice(device, gen); });
    m_ports.ProbeOnvifAddresses(next, probes, kOnvifUnicastWaitMs, list, &m_stopping);
}

OnvifOutcome CTSmainDlg::VerifyOnvif(const std::string& key, const std::string& user, const std::string& password,
                                     std::string* reason) {
    CameraEntry entry;
    if (!m_table.Find(key.c_str(), &entry) || !entry.onvif) {
        if (reason != nullptr) *reason = "not an ONVIF device of this search";
        return OnvifOutcome::BadAnswer;
    }
    const OnvifEntry& onvif = *entry.onvif;
    tarsel::onvif::OnvifFacts facts;
    std::string why;
    OnvifOutcome outcome = OnvifOutcome::BadAnswer;
    if (onvif.xaddr.empty()) {
        why = "no IPv4 service address to read";
    } else {
        outcome = tarsel::onvif::ReadOnvifFacts(onvif.xaddr, onvif.address, user, password, facts, &why);
    }
    TLOG("(%s:%d) ONVIF device %s at %s: %s%s%s", onvif.endpoint.c_str(), onvif.address.c_str(),
         tarsel::onvif::OnvifOutcomeText(outcome), why.empty() ? "" : ": ", why.c_str());
    if (reason != nullptr) *reason = why;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // Kept under the device's own key, apart from a native camera's credentials.
        const std::string credentialsKey = OnvifKey(onvif.endpoint);
        if (outcome == OnvifOutcome::Verified) {
            m_credentials[credentialsKey] = Credentials{user, password};
        } else if (outcome == OnvifOutcome::CredentialsRefused) {
            m_credentials.erase(credentialsKey);
        }
    }
    m_table.SetOnvifFacts(entry.key, outcome, facts);
    return outcome;
}

CTSmainDlg::OnvifTally CTSmainDlg::VerifyOnvifAll(const std::string& user, const std::string& password,
                                                  const std::atomic<bool>* stop,
                                                  const std::function<void(int, int)>& progress) {
    std::vector<std::string> keys;
    // Other makers' devices not verified yet: one verified before keeps its credentials
    // (a wrong password for the batch does not undo it). Our cameras that answer ONVIF too
    // are verified as cameras of this family; their ONVIF side is read once, uncounted, so
    // that the MAC it tells confirms the join.
    std::vector<std::string> ours;
    for (const CameraEntry& entry : m_table.Entries()) {
        if (!entry.onvif) continue;
        if (entry.kind == DeviceKind::Onvif && !entry.verified) keys.push_back(entry.key);
        else if (entry.kind == DeviceKind::Native && !entry.onvif->factsRead) ours.push_back(entry.key);
    }
    OnvifTally tally;
    const int total = static_cast<int>(keys.size());
    const size_t counted = keys.size();
    keys.insert(keys.end(), ours.begin(), ours.end());
    std::mutex lock;  // guards tally, next, done and the progress calls
    size_t next = 0;
    int done = 0;
    auto work = [&] {
        for (;;) {
            std::string key;
            size_t index = 0;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (next >= keys.size() || m_stopping.load() || (stop != nullptr && stop->load())) return;
                index = next++;
                key = keys[index];
            }
            const OnvifOutcome outcome = VerifyOnvif(key, user, password);
            if (index >= counted) continue;
            std::lock_guard<std::mutex> guard(lock);
            if (outcome == OnvifOutcome::Verified) ++tally.verified;
            else if (outcome == OnvifOutcome::CredentialsRefused) ++tally.refused;
            else if (outcome == OnvifOutcome::NoAnswer) ++tally.noAnswer;
            else ++tally.other;
            ++done;
            if (progress) progress(done, total);
        }
    };
    std::vector<std::thread> threads;
    const int count = std::min(kOnvifReadsAtOnce, static_cast<int>(keys.size()));
    threads.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) threads.emplace_back(work);
    for (std::thread& thread : threads) thread.join();
    return tally;
}

int CTSmainDlg::OnvifSnapshot(const std::string& key, CurlBuffer& picture) {
    CameraEntry entry;
    if (!m_table.Find(key.c_str(), &entry) || !entry.onvif) return -3;
    Credentials credentials;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_credentials.find(OnvifKey(entry.onvif->endpoint));
        if (it == m_credentials.end()) return -3;
        credentials = it->second;
    }
    const OnvifEntry& onvif = *entry.onvif;
    if (onvif.outcome != OnvifOutcome::Verified) return -3;
    const int result =
        tarsel::onvif::FetchOnvifSnapshot(onvif.facts, onvif.address, credentials.user, credentials.password, picture);
    if (result == -2 && !onvif.facts.snapshotUri.empty())
        TLOG_NOTICE("(%s:%d) ONVIF device %s: snapshot address %s is not on %s, not fetched", onvif.endpoint.c_str(),
                    onvif.facts.snapshotUri.c_str(), onvif.address.c_str());
    return result;
}
