#pragma once
// The simulated camera's web server: the CGI interface with Digest authentication, the
// firmware upload and its status sequence, and a snapshot that changes every second. One
// server listens on one address and port for one camera; a process may run many.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "WebCameraModel.h"

struct MHD_Daemon;
struct MHD_Connection;

// Faults a camera can be given at start.
struct WebFaults {
    bool upgradeFails = false;     // the status reads "fail" after "uncompressing"
    bool stuckAtChecking = false;  // the status never leaves "checking"
    bool refuseBegin = false;      // the begin request is answered 401
    int answerDelayMs = 0;         // every answer comes this much later
    int uploadDelayMs = 0;         // the upload is answered this much after its last byte
    bool refuseConnections = false;  // nothing listens
    bool notACamera = false;       // an ordinary web site: 200 and a page for every target
};

struct WebServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port
    int stageMs = 1000;   // time spent in each upgrade status
    int rebootMs = 3000;  // silence after "ok" (and after a reboot command)
    bool keepImages = true;  // keep every uploaded image whole (off for big benchmarks)
    int snapshotWidth = 320;  // the still picture's size
    int snapshotHeight = 240;
    // When set, the still picture is this file's bytes as they are: a hostile camera's
    // picture, for benchmarks.
    std::string snapshotFile;
    WebFaults faults;
};

// One upload as the camera received it.
struct UploadRecord {
    int64_t startedMs = 0;   // first request of the upload that passed authentication
    int64_t finishedMs = 0;  // its last body byte
    uint64_t bodySize = 0;
    bool formValid = false;
    bool accepted = false;  // a valid form after a begin request: the upgrade starts
    std::string fileName;      // the "binary" part's filename
    std::string contentType;   // the request's Content-Type header
    std::string head;          // the body's first bytes (up to 4 KiB)
    std::string tail;          // the body's last bytes (up to 4 KiB)
    std::string image;         // the file part, when images are kept
    uint64_t imageSize = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // as received
};

class CamsimWebServer {
public:
    CamsimWebServer(std::shared_ptr<WebCameraModel> camera, WebServerOptions options);
    ~CamsimWebServer();
    CamsimWebServer(const CamsimWebServer&) = delete;
    CamsimWebServer& operator=(const CamsimWebServer&) = delete;

    // False when the address and port cannot be bound.
    bool Start();
    void Stop();
    uint16_t Port() const;
    std::string PortText() const { return std::to_string(Port()); }

    // What the camera saw; for tests and benchmarks.
    std::vector<UploadRecord> Uploads() const;
    int BeginRequests() const;
    int StatusRequests() const;

    // Milliseconds on the server's own steady clock, shared by every server of the process.
    static int64_t NowMs();

private:
    struct Request;
    friend struct WebServerAccess;

    bool Listen();
    int Handle(MHD_Connection* connection, Request* request);
    bool Authorised(MHD_Connection* connection, bool* stale);
    std::string UpgradeStatusLocked(int64_t now) const;
    bool SilentLocked(int64_t now) const;
    std::string AnswerGet(const std::string& key);
    std::string AnswerSet(const std::vector<std::pair<std::string, std::string>>& assignments);
    void FinishUpload(Request* request);
    const std::string& SnapshotFrame();

    std::shared_ptr<WebCameraModel> camera_;
    WebServerOptions options_;
    std::string realm_ = "camera";

    mutable std::mutex mutex_;
    MHD_Daemon* daemon_ = nullptr;
    uint16_t boundPort_ = 0;
    bool begun_ = false;
    int64_t uploadedAtMs_ = -1;  // the start of the status sequence; -1 for none
    int64_t silentUntilMs_ = 0;
    bool installedReported_ = false;
    bool rebootReported_ = false;
    std::vector<UploadRecord> uploads_;
    int beginRequests_ = 0;
    int statusRequests_ = 0;
    int64_t frameSecond_ = -1;
    std::string frame_;
};
