#include "CliEngine.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unordered_set>

#include "CliCommand.h"
#include "CliOutput.h"
#include "engine/BatchVerify.h"
#include "engine/MacText.h"
#include "finder/LIbFinder.h"
#include "finder/LibIP.h"
#include "web/LibCurl.h"

namespace cli {

EngineSession::EngineSession() : ports_(std::make_unique<LiveEnginePorts>()) {
    EngineOwnerSlots slots;
    slots.owner = this;
    slots.OnCameraChanged = &EngineSession::OnCameraChanged;
    slots.PostCameraEvent = &EngineSession::PostCameraEvent;
    engine_ = std::make_unique<CTSmainDlg>(*ports_, slots);
}

EngineSession::~EngineSession() {
    // Notifications stop first; one already under way still finds the engine, which stays
    // reachable through engine_ until its destructor has stopped every thread. (A reset()
    // would clear engine_ before that, and a late OnCameraChanged would read null.)
    engine_->SetOwnerSlots({});
    CTSmainDlg* engine = engine_.get();
    delete engine;
    (void)engine_.release();
}

int EngineSession::AdapterCount() {
    AdapterEntry adapters[64];
    return GetFinderAdapters(adapters, 64);
}

// The command line reads the table itself: a batch only wakes whoever waits for a change.
void EngineSession::OnCameraChanged(void* owner) {
    auto* self = static_cast<EngineSession*>(owner);
    self->engine_->Table().TakeChanges();
    std::lock_guard lock(self->mutex_);
    ++self->batches_;
    self->changed_.notify_all();
}

void EngineSession::PostCameraEvent(void* owner, uint32_t code, void*) {
    auto* self = static_cast<EngineSession*>(owner);
    if (code != EVT_AUTO_IP_DONE) return;
    std::lock_guard lock(self->mutex_);
    self->autoIpDone_ = true;
    self->changed_.notify_all();
}

void EngineSession::Search(double seconds, const char* progressLabel) {
    engine_->SetOnvifSearch(onvif_, static_cast<int>(seconds * 1000));
    engine_->StartSearch();
    Progress progress(progressLabel);
    const auto start = std::chrono::steady_clock::now();
    const auto wait = std::chrono::duration<double>(seconds);
    for (;;) {
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed >= wait) break;
        progress.Update(std::chrono::duration<double>(elapsed) / wait,
                        std::to_string(engine_->Table().Count()) + " found");
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(100),
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait - elapsed)));
    }
    progress.Finish();
}

bool ParseSearchWait(const ParsedArgs& args, double& seconds) {
    seconds = 3;
    if (!args.Has("--wait") || ParseSeconds(args.Get("--wait"), 0.1, 3600, seconds)) return true;
    PrintError("--wait needs a number of seconds from 0.1 to 3600, got '" + args.Get("--wait") + "'");
    return false;
}

int EngineSession::SearchAdapters(double seconds) {
    if (AdapterCount() <= 0) {
        PrintError("no usable network adapter (none is up with an IPv4 address)");
        return kExitSystem;
    }
    Search(seconds);
    return kExitOk;
}

std::string EngineSession::Resolve(const std::string& name, const Credentials& credentials,
                                   bool* refused) {
    if (refused) *refused = false;
    CameraEntry listed;
    if (engine_->Table().Find(name.c_str(), &listed))
        return listed.kind == DeviceKind::Onvif ? listed.key : std::string(listed.record.mac);
    // An ONVIF device is never asked over this family's HTTP interface.
    if (std::string key = FindOnvif(name); !key.empty()) return key;
    // IP[:PORT]: a camera that does not answer discovery, read over HTTP.
    std::string ip = name, port = "80";
    if (size_t colon = name.find(':'); colon != std::string::npos) {
        ip = name.substr(0, colon);
        port = name.substr(colon + 1);
    }
    // Only a dotted IPv4 address and a decimal port name a camera; any other text (a host
    // name, "user@", a path) never becomes part of a URL.
    CameraAddress address;
    if (IsMacText(name) || !ParseCameraAddress(ip.c_str(), port.c_str(), &address)) return "";
    CameraReply info{};
    const HttpOutcome result = CheckCGI(engine_->Ports(), ip.c_str(), port.c_str(),
                                        credentials.user.c_str(), credentials.password.c_str(), &info);
    if (result.result == HttpResult::Refused && refused) *refused = true;
    if (!result.Done()) return "";
    engine_->RecvCameraProcess(info);
    return info.mac;
}

std::string EngineSession::FindOnvif(const std::string& name) {
    std::string ip = name;
    const size_t colon = name.find(':');
    if (colon != std::string::npos && IsValidIpText(name.substr(0, colon).c_str())) ip = name.substr(0, colon);
    const auto same = [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) == 0;
    };
    for (const CameraEntry& entry : engine_->Table().Entries()) {
        if (entry.kind != DeviceKind::Onvif || !entry.onvif) continue;
        const std::string& endpoint = entry.onvif->endpoint;
        if (entry.record.ip == ip || same(endpoint, name) || same(endpoint, "urn:uuid:" + name) ||
            same(entry.key, name))
            return entry.key;
    }
    return "";
}

std::vector<std::string> EngineSession::Macs(bool withOnvif) {
    std::vector<std::string> macs;
    for (const CameraRecord& r : engine_->CopyCameras())
        if (r.mac[0] != '\0') macs.push_back(r.mac);
    if (!withOnvif) return macs;
    for (const CameraEntry& entry : engine_->Table().Entries())
        if (entry.kind == DeviceKind::Onvif) macs.push_back(entry.key);
    return macs;
}

int EngineSession::StatusIndexOf(const std::string& mac) {
    const int index = engine_->Table().StatusOf(mac.c_str());
    return index < 0 ? STATUS_INDEX_VIEW : index;
}

CameraView EngineSession::View(const std::string& mac) {
    CameraEntry entry;
    if (!engine_->Table().Find(mac.c_str(), &entry)) {
        // A camera without a row (a DHCP camera the assignment never finished) still has
        // its record.
        CameraRecord record{};
        engine_->CopyCamera(mac.c_str(), &record);
        CameraView view = ListingOfRecord(record);
        view.status = StatusIndexText(STATUS_INDEX_VIEW);
        return view;
    }
    return ListingOfEntry(entry);
}

std::vector<CameraView> EngineSession::Views() {
    std::vector<CameraView> views;
    for (const CameraEntry& entry : engine_->Table().Entries()) views.push_back(ListingOfEntry(entry));
    return views;
}

std::map<std::string, int> EngineSession::VerifyOnvif(const std::vector<std::string>& keys,
                                                      const Credentials& credentials) {
    using tarsel::onvif::OnvifOutcome;
    std::vector<OnvifOutcome> outcomes(keys.size(), OnvifOutcome::NoAnswer);
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    // Each read waits on one device for a few seconds at most: several at once.
    for (size_t w = 0; w < std::min<size_t>(keys.size(), kOnvifReadsAtOnce); ++w) {
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < keys.size();)
                outcomes[i] = engine_->VerifyOnvif(keys[i], credentials.user, credentials.password);
        });
    }
    for (std::thread& worker : workers) worker.join();
    std::map<std::string, int> result;
    for (size_t i = 0; i < keys.size(); ++i)
        result[keys[i]] = outcomes[i] == OnvifOutcome::Verified             ? 1
                          : outcomes[i] == OnvifOutcome::CredentialsRefused ? 0
                                                                            : -1;
    return result;
}

std::map<std::string, int> EngineSession::Verify(const std::vector<std::string>& keys,
                                                 const Credentials& credentials) {
    std::vector<std::string> macs, onvifKeys;
    for (const std::string& key : keys) (IsOnvifKey(key) ? onvifKeys : macs).push_back(key);
    std::map<std::string, int> result = VerifyOnvif(onvifKeys, credentials);
    if (macs.empty()) return result;
    std::unordered_set<std::string> wanted;
    for (const std::string& mac : macs) wanted.insert(MacKey(mac));
    // Verification always asks again: credentials from an earlier answer prove nothing now.
    for (const std::string& mac : macs)
        engine_->WithCamera(mac.c_str(), [](CameraRecord& r) { r.credentialsStored = 0; });
    Progress progress("Verifying");
    RunBatchVerification(
        *engine_, credentials.user.c_str(), credentials.password.c_str(),
        [&](const CameraRecord& r) { return wanted.count(MacKey(r.mac)) > 0; },
        [&](const BatchCounts& c) {
            const int answered = c.ok + c.fail;
            progress.Update(c.sent ? static_cast<double>(answered) / c.sent : 0,
                            std::to_string(c.ok) + " pass, " + std::to_string(c.fail) + " fail");
        });
    progress.Finish();
    for (const std::string& mac : macs) {
        CameraRecord r{};
        engine_->CopyCamera(mac.c_str(), &r);
        result[mac] = HasStatus(&r, STATUS_AUTH_OK) ? 1 : HasStatus(&r, STATUS_AUTH_FAIL) ? 0 : -1;
        if (result[mac] == 1) {
            engine_->Table().RememberAuthenticated(mac.c_str());
            engine_->Table().SetStatus(mac.c_str(), STATUS_INDEX_VERIFIED);
        } else if (result[mac] == 0) {
            engine_->Table().SetStatus(mac.c_str(), STATUS_INDEX_VERIFY_FAIL);
        }
    }
    return result;
}

int EngineSession::WaitSetting(const std::string& mac) {
    // The engine decides on each reply; a camera that stops answering altogether is given
    // up a little after the 25 s a reply would have taken to time the setting out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(29);
    std::unique_lock lock(mutex_);
    for (;;) {
        CameraEntry entry;
        if (!engine_->Table().Find(mac.c_str(), &entry)) return kExitTimeout;
        if (entry.settingConfirmed) return kExitOk;
        if (entry.statusIndex != STATUS_INDEX_SETTING) return kExitTimeout;
        const uint64_t seen = batches_;
        if (!changed_.wait_until(lock, deadline, [&] { return batches_ != seen; })) {
            return engine_->Table().Find(mac.c_str(), &entry) && entry.settingConfirmed ? kExitOk : kExitTimeout;
        }
    }
}

bool EngineSession::WaitAutoIpDone(double maxSeconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(maxSeconds),
                             [&] { return autoIpDone_; });
}

void EngineSession::FlushSends() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (GetFinderQueuedSends() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The last request taken from the queue may still be on its way to the socket.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

}  // namespace cli
