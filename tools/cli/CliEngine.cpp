#include "CliEngine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "CliCommand.h"
#include "CliOutput.h"
#include "engine/BatchVerify.h"
#include "finder/LIbFinder.h"

namespace cli {

EngineSession::EngineSession() : ports_(std::make_unique<LiveEnginePorts>()) {
    EngineOwnerSlots slots;
    slots.owner = this;
    slots.OnCameraChanged = &EngineSession::OnCameraChanged;
    slots.IsMacListed = &EngineSession::IsMacListed;
    slots.PostCameraEvent = &EngineSession::PostCameraEvent;
    slots.SendCameraEvent = &EngineSession::SendCameraEvent;
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

void EngineSession::OnCameraChanged(void* owner, int, const CameraRecord* record) {
    if (record == nullptr) return;
    auto* self = static_cast<EngineSession*>(owner);
    int current;
    {
        std::lock_guard lock(self->mutex_);
        auto it = self->rows_.find(record->mac);
        current = it == self->rows_.end() ? STATUS_INDEX_VIEW : it->second;
    }
    CameraChange change;
    if (!ApplyCameraChange(*self->engine_, self->verified_, record->mac, current, &change)) return;
    std::lock_guard lock(self->mutex_);
    self->rows_[record->mac] = change.decision.index;
    if (change.decision.confirmed) self->confirmed_.insert(record->mac);
    bool anySetting = false;
    for (auto& [mac, index] : self->rows_) anySetting |= index == STATUS_INDEX_SETTING;
    if (change.decision.confirmed && !anySetting) self->engine_->SetKeepQueryRounds(0);
    self->changed_.notify_all();
}

bool EngineSession::IsMacListed(void* owner, const char* mac) {
    auto* self = static_cast<EngineSession*>(owner);
    std::lock_guard lock(self->mutex_);
    return self->rows_.count(mac) > 0;
}

void EngineSession::PostCameraEvent(void* owner, uint32_t code, void*) {
    auto* self = static_cast<EngineSession*>(owner);
    if (code != EVT_AUTO_IP_DONE) return;
    std::lock_guard lock(self->mutex_);
    self->autoIpDone_ = true;
    self->changed_.notify_all();
}

void EngineSession::SendCameraEvent(void* owner, uint32_t code, void* param) {
    auto* self = static_cast<EngineSession*>(owner);
    if (code != EVT_HTTP_UNREACHABLE || param == nullptr) return;
    auto* event = static_cast<CameraStatusEvent*>(param);
    std::lock_guard lock(self->mutex_);
    self->rows_[event->mac] = event->statusIndex;
}

void EngineSession::Search(double seconds, const char* progressLabel) {
    {
        std::lock_guard lock(mutex_);
        rows_.clear();
        confirmed_.clear();
    }
    verified_.Clear();
    engine_->StartSearch();
    Progress progress(progressLabel);
    const auto start = std::chrono::steady_clock::now();
    const auto wait = std::chrono::duration<double>(seconds);
    for (;;) {
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed >= wait) break;
        progress.Update(std::chrono::duration<double>(elapsed) / wait,
                        std::to_string(engine_->CameraCount()) + " found");
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
    for (const std::string& mac : Macs())
        if (SameMac(mac, name)) return mac;
    // IP[:PORT]: a camera that does not answer discovery, read over HTTP.
    std::string ip = name, port = "80";
    if (size_t colon = name.find(':'); colon != std::string::npos) {
        ip = name.substr(0, colon);
        port = name.substr(colon + 1);
    }
    if (ip.find('.') == std::string::npos || name.size() == 17) return "";
    CameraReply info{};
    const int result = CheckCGI(engine_->Ports(), ip.c_str(), port.c_str(),
                                credentials.user.c_str(), credentials.password.c_str(), &info);
    if (result == 401 && refused) *refused = true;
    if (result != 0) return "";
    engine_->RecvCameraProcess(info);
    return info.mac;
}

std::vector<std::string> EngineSession::Macs() {
    std::vector<std::string> macs;
    for (const CameraRecord& r : engine_->CopyCameras()) macs.push_back(r.mac);
    return macs;
}

int EngineSession::StatusIndexOf(const std::string& mac) {
    std::lock_guard lock(mutex_);
    auto it = rows_.find(mac);
    return it == rows_.end() ? STATUS_INDEX_VIEW : it->second;
}

CameraView EngineSession::View(const std::string& mac) {
    // Warnings are judged against the whole list, so the camera is taken from it.
    for (CameraView& view : Views())
        if (view.mac == mac) return view;
    return ViewOf(mac);
}

CameraView EngineSession::ViewOf(const std::string& mac) {
    CameraRecord r{};
    engine_->CopyCamera(mac.c_str(), &r);
    CameraView v = ListingOfRecord(r);
    v.status = StatusIndexText(StatusIndexOf(mac));
    return v;
}

std::vector<CameraView> EngineSession::Views() {
    std::vector<CameraView> views;
    for (const std::string& mac : Macs()) views.push_back(ViewOf(mac));
    AddWarnings(views);
    return views;
}

std::map<std::string, int> EngineSession::Verify(const std::vector<std::string>& macs,
                                                 const Credentials& credentials) {
    std::set<std::string> wanted(macs.begin(), macs.end());
    // Verification always asks again: credentials from an earlier answer prove nothing now.
    for (const std::string& mac : macs)
        engine_->WithCamera(mac.c_str(), [](CameraRecord& r) { r.credentialsStored = 0; });
    Progress progress("Verifying");
    RunBatchVerification(
        *engine_, credentials.user.c_str(), credentials.password.c_str(),
        [&](const CameraRecord& r) { return wanted.count(r.mac) > 0; },
        [&](const BatchCounts& c) {
            const int answered = c.ok + c.fail;
            progress.Update(c.sent ? static_cast<double>(answered) / c.sent : 0,
                            std::to_string(c.ok) + " pass, " + std::to_string(c.fail) + " fail");
        });
    progress.Finish();
    std::map<std::string, int> result;
    for (const std::string& mac : macs) {
        CameraRecord r{};
        engine_->CopyCamera(mac.c_str(), &r);
        result[mac] = HasStatus(&r, STATUS_AUTH_OK) ? 1 : HasStatus(&r, STATUS_AUTH_FAIL) ? 0 : -1;
        if (result[mac] == 1) {
            verified_.RememberAuthenticated(mac.c_str());
            std::lock_guard lock(mutex_);
            rows_[mac] = STATUS_INDEX_VERIFIED;
        } else if (result[mac] == 0) {
            std::lock_guard lock(mutex_);
            rows_[mac] = STATUS_INDEX_VERIFY_FAIL;
        }
    }
    return result;
}

void EngineSession::MarkSetting(const std::string& mac) {
    std::lock_guard lock(mutex_);
    confirmed_.erase(mac);
    rows_[mac] = STATUS_INDEX_SETTING;
}

int EngineSession::WaitSetting(const std::string& mac) {
    // The engine decides on each reply; a camera that stops answering altogether is given
    // up a little after the 25 s a reply would have taken to time the setting out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(29);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (confirmed_.count(mac)) return kExitOk;
        auto it = rows_.find(mac);
        if (it != rows_.end() && it->second != STATUS_INDEX_SETTING) return kExitTimeout;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (confirmed_.count(mac)) return kExitOk;
            return kExitTimeout;
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
