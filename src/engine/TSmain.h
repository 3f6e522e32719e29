#pragma once
// The finder engine: the list of cameras found, the search and the dispatch of every reply,
// the commands that change cameras, credential verification and the automatic IP
// assignment.
//
// Threads: replies arrive on the receiver's dispatch thread; the re-query worker, the
// assignment's completion worker and one confirmation worker per assigned camera run on
// their own threads; everything else runs on the caller's thread. The camera table owns the
// records; one engine mutex serialises every look-up, change and freeing of them, and the
// engine touches a record only through a CameraTable::Records hold taken under that mutex
// (engine, then table). Records are freed only by StartSearch and the destructor, after
// `generation` changed; workers keep a camera's MAC, never a record pointer, and copy what
// they need under the mutex before a send, an HTTP request or a probe.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/AutoIpSettings.h"
#include "engine/CameraEvents.h"
#include "engine/CameraRecord.h"
#include "engine/CameraTable.h"
#include "engine/EnginePorts.h"
#include "platform/WorkerThreads.h"

struct CurlBuffer;

// What a single verification is about; owned by the caller and kept alive until its
// callback ran or CancelVerify returned.
struct VerifyContext {
    char mac[CAMERA_TEXT_SHORT];
    char user[CAMERA_TEXT_CREDENTIAL];
    char password[CAMERA_TEXT_CREDENTIAL];
};
// ok: 1 the camera took the credentials, 0 it refused them, VERIFY_NO_ANSWER it could not
// be reached at all (a camera over HTTP that timed out or refused the connection).
using VerifyCallback = void (*)(VerifyContext* context, int ok);
constexpr int VERIFY_NO_ANSWER = -1;

// Reads a camera's information over HTTP with the given credentials into info (which it
// clears first). Done, NotCamera (a product not of the family, a reply that is not "ok"),
// or the first failed read's outcome (Refused, NoAnswer...).
HttpOutcome CheckCGI(EnginePorts& ports, const char* ip, const char* port, const char* user,
                     const char* password, CameraReply* info);

// A reply's camera fields into a record (names, addresses, port, model, firmware; the
// adapter a discovery reply came through, kept from the first). Texts too long for their
// field are cut and logged.
void CopyReplyIntoRecord(CameraRecord* record, const CameraReply& reply);

class CTSmainDlg {
public:
    CTSmainDlg(EnginePorts& ports, const EngineOwnerSlots& slots = {});
    ~CTSmainDlg();
    CTSmainDlg(const CTSmainDlg&) = delete;
    CTSmainDlg& operator=(const CTSmainDlg&) = delete;

    // Installs the owner's callbacks (before the first search).
    void SetOwnerSlots(const EngineOwnerSlots& slots);

    // ---- camera list (the table's records, through the table)
    // Runs f(record) on the table's record under the engine mutex; the row follows. False
    // when the MAC is not in the list.
    bool WithCamera(const char* mac, const std::function<void(CameraRecord&)>& f);
    // A copy of the camera's record (no credentials in it); false when the MAC is not listed.
    bool CopyCamera(const char* mac, CameraRecord* out);
    // Copies of every record, in the order the cameras were found.
    std::vector<CameraRecord> CopyCameras();
    // The credentials the camera accepted in this run of the program (kept across searches),
    // for a caller that is about to send them to it; false when there are none.
    bool CredentialsOf(const char* mac, std::string* user, std::string* password);

    // Main window after an edit: copies name, mac, ip, mask, gateway, httpPort and mode.
    void UpdateCamera(const CameraRecord& source);

    // What each camera's row shows; decided here, read by the window and the command line.
    CameraTable& Table() { return m_table; }
    // The camera counts as not verified any more: its stored credentials and status go.
    void ForgetAuthenticated(const char* mac);
    // A camera that did not answer: a setting still pending is given up (the record takes
    // back the values the camera last reported, and the failure is kept) and its row says
    // "No Response".
    void ShowNoResponse(const char* mac);
    // New cameras ignored since the search began because the list was full.
    uint64_t IgnoredCameras() const { return m_ignoredCameras.load(); }

    // ---- search
    void StartSearch();
    // The two discovery queries, through the receiver in place.
    void SendQueryPackets();
    void RecvCameraProcess(const CameraReply& reply);
    void KeepQuery();
    void SetKeepQueryRounds(int32_t rounds);
    int32_t KeepQueryRounds() const { return keepQueryRounds.load(); }

    // ---- ONVIF devices (read-only)
    // Whether the searches that follow also look for ONVIF devices, and for how long each
    // listens for their answers (from the probes on). On by default, 3 s.
    void SetOnvifSearch(bool enabled, int waitMs);
    bool OnvifSearchEnabled() const { return m_onvifEnabled.load(); }
    // Both ONVIF probes to port 3702 of one address (a range search's host); answers are
    // listed as a discovery answer would be. Returns at once: the addresses queued go out
    // through one socket as they come, each given kOnvifUnicastWaitMs to answer.
    void QueueOnvifProbe(uint32_t hostOrderAddress);
    // Waits until every address queued had its time to answer.
    void WaitOnvifProbes();
    static constexpr int kOnvifUnicastWaitMs = 800;  // devices answer within 500 ms
    // Reads the facts of the entry (its key) with the credentials, blocking (a few seconds
    // at most); any thread but the window's. Accepted credentials are kept for the run, the
    // facts go into the entry and its row shows the outcome. Credentials go only to the
    // address the device answered from (OtherHost otherwise, nothing sent).
    tarsel::onvif::OnvifOutcome VerifyOnvif(const std::string& key, const std::string& user,
                                            const std::string& password, std::string* reason = nullptr);
    // VerifyOnvif on every listed ONVIF device of another maker not verified yet, several at
    // once; progress(done, total) after each; stops early when *stop turns true.
    struct OnvifTally {
        int verified = 0, refused = 0, noAnswer = 0, other = 0;
    };
    OnvifTally VerifyOnvifAll(const std::string& user, const std::string& password,
                              const std::atomic<bool>* stop = nullptr,
                              const std::function<void(int done, int total)>& progress = {});
    // The picture of a verified ONVIF device (its key), with the credentials it accepted:
    // 0 and the picture; -2 when it has no snapshot address of its own (nothing sent), -3
    // when it is not verified; else the fetch's HTTP status or libcurl result.
    int OnvifSnapshot(const std::string& key, ::CurlBuffer& picture);

    // ---- commands
    int SetCameraParameters(const char* mac, const char* payload);
    void SystemCommand(const char* mac, const char* command);

    // ---- verification
    void VerifyCamera(VerifyCallback callback, VerifyContext* context);
    // Drops the pending verification if it is this context; when it returns, its callback
    // is not running and will not be called.
    void CancelVerify(VerifyContext* context);
    void BeginVerifyAll(const char* user, const char* password);
    void SetCameraAuth(const char* ip, const char* mac, const char* user, const char* password);

    // ---- automatic IP assignment
    int GoAuotSetIPProc(const char* user, const char* password, const AutoIpSettings& settings);
    bool AutoIpRunning() const { return m_autoWorkerRunning.load(); }
    // How far the run is: cameras back with their new address, of those it took on (back,
    // failed, or still to be set).
    void AutoIpProgress(int* assigned, int* total);
    // Ends the run without setting any camera not yet sent its address; a camera already
    // sent one is still watched until it is back (it keeps it, and the history keeps it).
    void StopAutoIp() { m_autoStop.store(true); }

    // ---- state the owner and the tests read
    int32_t Mode() const { return m_Tarsel_mode.load(); }
    void SetMode(int32_t mode) { m_Tarsel_mode.store(mode); }
    uint32_t Generation() const { return generation.load(); }
    int32_t BatchSent() const { return batchSent.load(); }
    void AddBatchSent() { batchSent.fetch_add(1); }
    void AddBatchOk() { batchOk.fetch_add(1); }
    void AddBatchFail() { batchFail.fetch_add(1); }
    int32_t BatchOk() const { return batchOk.load(); }
    int32_t BatchFail() const { return batchFail.load(); }
    int32_t RunningSetIp() const { return runningSetIp.load(); }
    size_t PendingAutoCount();
    EnginePorts& Ports() { return m_ports; }
    // Sleeps ms on the engine's clock; false when the engine is being destroyed meanwhile.
    bool SleepFor(uint32_t ms) { return Pause(ms, 0); }

private:
    static void RecvHook(void* context, const CameraReply& reply);

    using Records = CameraTable::Records;
    // List operations (engine mutex and the records held).
    CameraRecord* CreateCamera(Records& records, const CameraReply& reply);
    void rvRepeatProcess(CameraRecord* record, const CameraReply& reply);
    // Whether a reply for a listed camera comes from the camera's own address; one from
    // another host is a conflict: flagged, logged, and never let into the record.
    bool FromCameraItself(Records& records, CameraRecord* record, const CameraReply& reply);
    void RemovePendingLocked(const char* mac);
    // The credentials the camera accepted are kept for this run (engine mutex held).
    void KeepCredentialsLocked(const char* mac, const char* user, const char* password);
    // A record and the credentials kept for it, copied for a command.
    bool CopyForCommand(const char* mac, CameraRecord* out, std::string* user, std::string* password);

    // Dispatch per mode (engine mutex and records held); effects that must run without the
    // locks are collected into `after`.
    struct Deferred;
    void DispatchSearch(Records& records, const CameraReply& reply, CameraRecord* record, Deferred& after);
    void DispatchAutoSetIp(Records& records, const CameraReply& reply, CameraRecord* record, Deferred& after);
    void DispatchVerifyAll(Records& records, const CameraReply& reply, CameraRecord* record);
    // A camera's answer to the background check of the credentials kept for it.
    void ReverifyLocked(Records& records, CameraRecord* record, const CameraReply& reply);
    void RunDeferred(Deferred& after);

    // Workers.
    // False (nothing started) once the engine is being destroyed.
    bool StartWorker(std::function<void()> body);
    // Sleeps `ms` engine milliseconds. False when the engine is being destroyed or, with
    // gen != 0, when a new search started meanwhile.
    bool Pause(uint32_t ms, uint32_t gen);
    void Thread_KEEP_IP_QUERY(uint32_t gen);
    void RequeryHttpCamera(const std::string& mac, uint32_t gen);
    void Thread_CheckAutoIPDone();
    // The completion worker's rounds: true when the run ended, false when the engine stops.
    bool RunAutoIpRounds();
    void AssignAndSend(const std::string& mac);
    bool ChooseAddress(const std::string& mac);
    void ConfirmSetIp(std::string mac, uint32_t gen);

    // The camera's row follows its record (engine mutex and records held); the owner hears
    // of it once the locks are released (NotifyOwner).
    void DecideLocked(Records& records, CameraRecord* record);
    // Decides the camera's row from its present record and tells the owner.
    void DecideAndNotify(const char* mac);
    void NotifyOwner() { m_table.NotifyIfPending(); }
    void OnTableChanged();
    // The camera list is full: the new camera is counted, and logged once a second.
    void IgnoreCameraLocked(const CameraReply& reply, size_t listed);

    EnginePorts& m_ports;
    std::mutex m_slotsLock;  // guards m_slots only; never held across a call
    EngineOwnerSlots m_slots;
    EngineCallback m_hook;

    std::mutex m_lock;  // the engine mutex
    struct Credentials {
        std::string user, password;
    };
    // MacKey -> the credentials the camera accepted; kept across searches (engine mutex).
    // An ONVIF device's are kept under OnvifKey(endpoint), apart from a native camera's.
    std::unordered_map<std::string, Credentials> m_credentials;
    // MacKeys of cameras this search asks again, in the background, with kept credentials.
    std::unordered_set<std::string> m_reverifying;
    std::atomic<uint64_t> m_ignoredCameras{0};
    uint64_t m_ignoredLogged = 0;   // engine mutex
    uint32_t m_ignoredLogTick = 0;  // engine mutex
    CameraTable m_table;
    std::atomic<uint32_t> generation{1};
    std::atomic<int32_t> m_Tarsel_mode{MODE_SEARCH};
    std::atomic<int32_t> keepQueryRounds{0};
    uint32_t m_keepQueryWorkerGen = 0;  // generation of the running re-query worker, 0 none
    char batchUser[CAMERA_TEXT_CREDENTIAL] = {};
    char batchPassword[CAMERA_TEXT_CREDENTIAL] = {};
    std::atomic<int32_t> batchSent{0}, batchOk{0}, batchFail{0};
    AutoIpSettings autoIpSettings;
    std::unordered_set<uint64_t> assignedIps;
    std::unordered_set<uint64_t> discoveredIps;
    std::unordered_set<std::string> pendingAuto;  // MacKeys

    std::mutex queueLock;  // guards setIpQueue only
    std::deque<std::string> setIpQueue;

    std::mutex m_historyLock;  // the address history is shared by StartSearch and the worker
    std::atomic<int32_t> runningSetIp{0};
    std::atomic<uint32_t> lastReplyTick{0};
    std::atomic<bool> m_autoWorkerRunning{false};
    bool m_autoRestarted = false;  // a start joined a running worker; engine mutex
    std::atomic<int32_t> m_autoAssigned{0}, m_autoFailed{0};
    std::atomic<bool> m_autoStop{false};

    // The pending single verification. m_verifyCallLock is held while its callback runs,
    // so that CancelVerify can wait for a callback already under way.
    std::mutex m_verifyCallLock;
    VerifyCallback verifyCallback = nullptr;
    VerifyContext* verifyContext = nullptr;

    // ONVIF search (see SetOnvifSearch); the stop flag ends the previous search's listening.
    std::atomic<bool> m_onvifEnabled{true};
    std::atomic<int> m_onvifWaitMs{3000};
    std::shared_ptr<std::atomic<bool>> m_onvifStop;  // engine mutex
    uint32_t m_onvifGen = 0;                         // the search listening now; engine mutex
    // Unicast probes queued by QueueOnvifProbe, sent by one worker while it runs.
    std::mutex m_onvifQueueLock;
    std::condition_variable m_onvifQueueIdle;
    std::vector<uint32_t> m_onvifQueue;
    bool m_onvifProbing = false;
    void RunOnvifProbes();
    // Starts listening for this search's ONVIF answers (once per search).
    void StartOnvifSearch();
    // One device heard by the search of generation gen goes into the table.
    void ListOnvifDevice(const tarsel::onvif::OnvifDevice& device, uint32_t gen);

    std::mutex m_sleepLock;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
    CWorkerThreads m_workers;
};
