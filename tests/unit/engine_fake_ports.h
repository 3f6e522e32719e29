#pragma once
// A stand-in for the world around the engine: it records every datagram the engine would
// send, answers CGI reads and address probes from tables, keeps the real address history
// in a temporary settings file, and runs the engine's clock faster than real time.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/ModelList.h"
#include "common/Config.h"
#include "common/stdafx.h"
#include "engine/EnginePorts.h"
#include "engine/LiveEnginePorts.h"
#include "finder/LibIP.h"
#include "engine/TSmain.h"
#include "support/TestSupport.h"

using testsupport::WaitFor;

struct SentPacket {
    uint32_t type;
    std::string mac, user, password, payload;
};

// The real address history, in a settings file of the test's own.
class TempHistory : public LiveAddressHistory {
public:
    TempHistory() { SetConfigPath(path_.c_str()); }
    ~TempHistory() override { SetConfigPath(nullptr); }
    void Load() override {
        ++loads;
        LiveAddressHistory::Load();
    }
    // Writes one camera's remembered address into the file, as an earlier run left it.
    void Seed(const std::string& mac, const char* address, const char* mask) {
        IpHistoryEntry entry{};
        std::snprintf(entry.mac, sizeof entry.mac, "%s", mac.c_str());
        entry.pairs.push_back({IpTextToValue(address), IpTextToValue(mask)});
        SaveIpHistoryEntry(entry);
    }
    // What the file remembers for mac in the subnet of address/mask, as text ("" if none).
    std::string Stored(const std::string& mac, const char* address, const char* mask) const {
        std::vector<IpHistoryEntry> list;
        LoadIpHistory(list);
        const uint64_t m = IpTextToValue(mask);
        const uint64_t found = ::FindRememberedIp(list, mac.c_str(), IpTextToValue(address) & m, m);
        return found == 0 ? "" : IpValueToText(found);
    }
    int loads = 0;

private:
    testsupport::TempDir folder_;
    std::string path_ = folder_.File("tarsel.ini");
};

class FakePorts : public EnginePorts {
public:
    explicit FakePorts(uint32_t speedup = 100, uint32_t tickBase = 1000000)
        : speedup_(speedup), base_(tickBase), start_(std::chrono::steady_clock::now()) {}

    // ---- finder
    int CreateRecvPacket(const EngineCallback* hook) override {
        std::lock_guard<std::mutex> guard(mutex_);
        ++receiversCreated;
        hook_ = *hook;
        return 0;
    }
    void DestroyRecvPacket() override {}
    int SendPacketData(uint32_t type, const char* mac, const char* user, const char* password,
                       const char* payload) override {
        std::lock_guard<std::mutex> guard(mutex_);
        sent.push_back({type, mac, user, password, payload});
        cv_.notify_all();
        return sendResult;
    }
    // The fake cameras' digests are the credentials themselves, cut to 16 bytes.
    int CheckAuthDigest(const char* user, const char* password, const unsigned char a[16],
                        const unsigned char b[16]) override {
        unsigned char ea[16] = {}, eb[16] = {};
        std::memcpy(ea, user, std::min<size_t>(16, std::strlen(user)));
        std::memcpy(eb, password, std::min<size_t>(16, std::strlen(password)));
        return std::memcmp(ea, a, 16) == 0 && std::memcmp(eb, b, 16) == 0 ? 1 : 0;
    }

    // ---- web: per camera address, a table of key -> value, or a fixed failure result
    HttpOutcome GetNode(const char* ip, const char*, const char* user, const char* password,
                        const char* key, char* out, size_t cap) override {
        std::lock_guard<std::mutex> guard(mutex_);
        keysRead.push_back(key);
        auto failure = httpFailure.find(ip);
        if (failure != httpFailure.end()) return failure->second;
        auto cam = httpCameras.find(ip);
        if (cam == httpCameras.end()) return {HttpResult::NoAnswer, 7, 0};
        if (cam->second.user != user || cam->second.password != password) return HttpOutcome::Of(HttpResult::Refused, 401);
        auto value = cam->second.values.find(key);
        if (value == cam->second.values.end()) return HttpOutcome::Of(HttpResult::NotCamera, 200);
        std::snprintf(out, cap, "%s", value->second.c_str());
        return HttpOutcome::Of(HttpResult::Done, 200);
    }
    HttpOutcome SetNode(const char* ip, const char*, const char*, const char*,
                        const char* assignments) override {
        std::lock_guard<std::mutex> guard(mutex_);
        httpSets.push_back({ip, assignments});
        return setNodeResult;
    }
    bool IsKnownModel(const char* productName) override { return ::IsKnownModel(productName); }

    // ---- host
    int AddressProbe(uint64_t target, uint64_t source, const char* mac) override {
        std::lock_guard<std::mutex> guard(mutex_);
        probes.push_back({target, mac ? mac : ""});
        (void)source;
        auto it = inUse.find(target);
        if (it == inUse.end()) return 0;
        if (mac == nullptr) return 1;
        return it->second == mac ? 2 : 1;
    }
    AddressHistory& History() override { return history; }
    std::vector<AdapterSubnet> AdapterSubnets(const std::string& name) override {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto it = subnets.find(name);
        return it == subnets.end() ? std::vector<AdapterSubnet>{} : it->second;
    }
    void EnsureThreadLanguage() override { languageCalls.fetch_add(1); }

    // ---- time
    uint32_t Now() override {
        auto real = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count();
        return base_ + static_cast<uint32_t>(real * speedup_ / 1000);
    }
    uint32_t Speedup() override { return speedup_; }

    // ---- test side
    // Changes or reads the tables while engine workers may be reading them.
    void Locked(const std::function<void()>& f) {
        std::lock_guard<std::mutex> guard(mutex_);
        f();
    }
    void Deliver(const CameraReply& reply) {
        EngineCallback hook;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            hook = hook_;
        }
        hook.function(hook.context, reply);
    }
    std::vector<SentPacket> Sent() {
        std::lock_guard<std::mutex> guard(mutex_);
        return sent;
    }
    size_t CountSent(uint32_t type, const std::string& mac) {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::count_if(sent.begin(), sent.end(), [&](const SentPacket& p) {
            return p.type == type && p.mac == mac;
        });
    }
    void ClearSent() {
        std::lock_guard<std::mutex> guard(mutex_);
        sent.clear();
    }
    // Waits (real time) until pred holds over the sent packets; false on time-out.
    bool WaitSent(const std::function<bool(const std::vector<SentPacket>&)>& pred,
                  int realMs = 5000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(realMs), [&] { return pred(sent); });
    }

    struct HttpCamera {
        std::string user, password;
        std::map<std::string, std::string> values;
    };
    std::map<std::string, HttpCamera> httpCameras;  // by address
    std::map<std::string, HttpOutcome> httpFailure;  // by address
    std::vector<std::string> keysRead;
    std::vector<std::pair<std::string, std::string>> httpSets;
    std::map<uint64_t, std::string> inUse;  // address -> MAC of whoever answers there
    std::map<std::string, std::vector<AdapterSubnet>> subnets;  // by adapter name
    struct Probe {
        uint64_t target;
        std::string mac;
    };
    std::vector<Probe> probes;
    TempHistory history;
    std::atomic<int> languageCalls{0};
    int sendResult = 0;
    HttpOutcome setNodeResult;
    int receiversCreated = 0;
    std::vector<SentPacket> sent;
    std::mutex mutex_;

private:
    std::condition_variable cv_;
    EngineCallback hook_{};
    uint32_t speedup_;
    uint32_t base_;
    std::chrono::steady_clock::time_point start_;
};

// A discovery reply as a camera of the family sends it.
inline CameraReply MakeReply(uint32_t type, const char* mac, const char* ip,
                             const char* mode = "dhcp", const char* adapter = "eth0") {
    CameraReply r{};
    r.type = type;
    std::snprintf(r.mac, sizeof r.mac, "%s", mac);
    std::snprintf(r.ip, sizeof r.ip, "%s", ip);
    std::snprintf(r.mask, sizeof r.mask, "255.255.255.0");
    std::snprintf(r.gateway, sizeof r.gateway, "192.168.1.1");
    std::snprintf(r.mode, sizeof r.mode, "%s", mode);
    std::snprintf(r.deviceName, sizeof r.deviceName, "Cam-%s", mac + 12);
    std::snprintf(r.httpPort, sizeof r.httpPort, "80");
    std::snprintf(r.productName, sizeof r.productName, "%s", ModelList[0]);
    std::snprintf(r.fwVersion, sizeof r.fwVersion, "1.0.0");
    std::snprintf(r.adapter.name, sizeof r.adapter.name, "%s", adapter);
    std::snprintf(r.adapter.addressText, sizeof r.adapter.addressText, "192.168.1.2");
    return r;
}

// A type-3 answer whose digests prove user/password to FakePorts::CheckAuthDigest.
inline CameraReply MakeAuthReply(const char* mac, const char* user, const char* password,
                                 const char* adapter = "eth0") {
    CameraReply r = MakeReply(HEADER_IP_AUTHENTICATE, mac, "", "", adapter);
    std::memcpy(r.digestA, user, std::min<size_t>(16, std::strlen(user)));
    std::memcpy(r.digestB, password, std::min<size_t>(16, std::strlen(password)));
    return r;
}

// Records what the engine tells its owner: how often the camera table announced a batch,
// and the events posted.
class OwnerProbe {
public:
    EngineOwnerSlots Slots() {
        EngineOwnerSlots s;
        s.owner = this;
        s.OnCameraChanged = [](void* o) { static_cast<OwnerProbe*>(o)->batches.fetch_add(1); };
        s.PostCameraEvent = [](void* o, uint32_t code, void*) {
            auto* self = static_cast<OwnerProbe*>(o);
            std::lock_guard<std::mutex> guard(self->mutex);
            self->posted.push_back(code);
        };
        return s;
    }
    std::vector<uint32_t> Posted() {
        std::lock_guard<std::mutex> guard(mutex);
        return posted;
    }
    std::atomic<int> batches{0};
    std::vector<uint32_t> posted;
    std::mutex mutex;
};

// The MACs of the table's batch since the last call.
inline std::vector<std::string> Changed(CTSmainDlg& engine) { return engine.Table().TakeChanges().macs; }

// A verification request that records its callback: how often, and the last answer.
struct VerifyResult {
    VerifyResult(const char* mac, const char* user, const char* password) {
        CopyTruncated(context.mac, mac);
        CopyTruncated(context.user, user);
        CopyTruncated(context.password, password);
    }
    static void Done(VerifyContext* c, int ok) {
        auto* self = reinterpret_cast<VerifyResult*>(c);
        self->ok = ok;
        self->calls++;
    }
    VerifyContext context{};
    std::atomic<int> calls{0};
    std::atomic<int> ok{-1};
};
