#pragma once
// The finder engine as the command line drives it: one engine for the command's run, read
// through its camera table (the status a window's row would show, the verified cameras,
// the setting confirmations), and blocking helpers for the command's flow.

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliCamera.h"
#include "CliCredentials.h"
#include "engine/LiveEnginePorts.h"
#include "engine/TSmain.h"
#include "engine/CameraCommands.h"

namespace cli {

// --wait S of a searching command (default 3, 0.1 to 3600 s); false with the error printed.
bool ParseSearchWait(const ParsedArgs& args, double& seconds);

class EngineSession {
public:
    EngineSession();
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    CTSmainDlg& Engine() { return *engine_; }
    int AdapterCount();

    // Whether the searches that follow also list ONVIF devices (on unless a command asks
    // for our family only); their answers are awaited as long as the search's own.
    void SetOnvif(bool enabled) { onvif_ = enabled; }
    // One search; waits `seconds` for the answers.
    void Search(double seconds, const char* progressLabel = "Searching");
    // A command's search: the exit code for no usable adapter (the error printed, nothing
    // sent), else 0 after one search of `seconds`.
    int SearchAdapters(double seconds);
    // The camera a command-line name means: a MAC (any case), an ONVIF device by its
    // address or endpoint (its key then), or IP[:PORT] of a camera reached over HTTP (read
    // with the credentials). "" when there is none; *refused is set when an HTTP camera
    // refused the credentials.
    std::string Resolve(const std::string& name, const Credentials& credentials, bool* refused);
    // The ONVIF device listed at an address or with an endpoint (its uuid with or without
    // "urn:uuid:"); its key, or "".
    std::string FindOnvif(const std::string& name);
    // Every camera of this family listed (MACs); with ONVIF devices, their keys after them.
    std::vector<std::string> Macs(bool withOnvif = false);
    CameraView View(const std::string& mac);
    std::vector<CameraView> Views();
    int StatusIndexOf(const std::string& mac);

    // Verifies the cameras that are not verified yet (batch rule: ends 5 s after the last
    // answer); ONVIF devices (keys) are read with the credentials, several at once. Result
    // per MAC or key: 1 verified, 0 refused, -1 no answer (or no usable answer).
    std::map<std::string, int> Verify(const std::vector<std::string>& macs,
                                      const Credentials& credentials);

    // After ApplySettings: 0 once the camera confirmed, 3 when the setting timed out.
    int WaitSetting(const std::string& mac);
    // Waits for the end of an automatic assignment; false when maxSeconds passed first.
    bool WaitAutoIpDone(double maxSeconds);
    // Waits until every queued request has left (before the program ends).
    void FlushSends();

private:
    static constexpr size_t kOnvifReadsAtOnce = 16;
    std::map<std::string, int> VerifyOnvif(const std::vector<std::string>& keys,
                                           const Credentials& credentials);
    static void OnCameraChanged(void* owner);
    static void PostCameraEvent(void* owner, uint32_t code, void* param);

    std::unique_ptr<LiveEnginePorts> ports_;
    std::unique_ptr<CTSmainDlg> engine_;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t batches_ = 0;  // batches of the camera table taken so far
    bool autoIpDone_ = false;
    bool onvif_ = true;
};

}  // namespace cli
