#include "WebServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "UploadForm.h"

namespace {

constexpr size_t kKeptEdge = 4096;
constexpr const char* kUpgradeSequence[] = {"uploading", "uncompressing", "checking",
                                            "installing", "ok"};
constexpr int kUpgradeStages = 5;

char g_digestSeed[32];
std::once_flag g_seedOnce;

MHD_Result QueueText(MHD_Connection* connection, unsigned status, const std::string& text,
                     const char* contentType = "text/plain") {
    MHD_Response* response = MHD_create_response_from_buffer(
        text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    MHD_Result r = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return r;
}

}  // namespace

struct CamsimWebServer::Request {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> arguments;
    bool answered = false;  // a response was queued on the first call
    bool upload = false;
    UploadRecord record;
    std::string whole;  // the whole upload body, when images are kept
};

// The C entry points of libmicrohttpd, with access to the server's insides.
struct WebServerAccess {
    static MHD_Result CollectArgument(void* cls, MHD_ValueKind, const char* key,
                                      const char* value) {
        static_cast<CamsimWebServer::Request*>(cls)->arguments.emplace_back(
            key ? key : "", value ? value : "");
        return MHD_YES;
    }
    static MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key,
                                    const char* value) {
        static_cast<CamsimWebServer::Request*>(cls)->record.headers.emplace_back(
            key ? key : "", value ? value : "");
        return MHD_YES;
    }

    static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char* data, size_t* size,
                             void** state) {
        auto* server = static_cast<CamsimWebServer*>(cls);
        auto* request = static_cast<CamsimWebServer::Request*>(*state);
        if (request == nullptr) {
            request = new CamsimWebServer::Request;
            *state = request;
            request->method = method;
            request->path = url;
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, CollectArgument,
                                      request);
            MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectHeader, request);
            return server->Handle(connection, request) ? MHD_YES : MHD_NO;
        }
        if (*size > 0) {
            if (request->upload) {
                UploadRecord& r = request->record;
                if (r.head.size() < kKeptEdge)
                    r.head.append(data, std::min(*size, kKeptEdge - r.head.size()));
                r.tail.append(data, *size);
                if (r.tail.size() > 2 * kKeptEdge) r.tail.erase(0, r.tail.size() - kKeptEdge);
                r.bodySize += *size;
                if (server->options_.keepImages) request->whole.append(data, *size);
            }
            *size = 0;
            return MHD_YES;
        }
        if (request->answered) return MHD_YES;
        request->answered = true;
        return server->Handle(connection, request) ? MHD_YES : MHD_NO;
    }

    static void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
        delete static_cast<CamsimWebServer::Request*>(*state);
        *state = nullptr;
    }
};

int64_t CamsimWebServer::NowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - start)
        .count();
}

CamsimWebServer::CamsimWebServer(std::shared_ptr<WebCameraModel> camera,
                                 WebServerOptions options)
    : camera_(std::move(camera)), options_(std::move(options)) {
    std::call_once(g_seedOnce, [] {
        std::random_device random;
        for (char& c : g_digestSeed) c = static_cast<char>(random());
    });
}

CamsimWebServer::~CamsimWebServer() { Stop(); }

bool CamsimWebServer::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (options_.faults.refuseConnections) return true;
    return Listen();
}

bool CamsimWebServer::Listen() {
    if (daemon_ != nullptr) return true;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(boundPort_ != 0 ? boundPort_ : options_.port);
    if (inet_pton(AF_INET, options_.address.c_str(), &address.sin_addr) != 1) return false;
    daemon_ = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr, nullptr,
        &WebServerAccess::Access, this, MHD_OPTION_SOCK_ADDR, &address,
        MHD_OPTION_NOTIFY_COMPLETED, &WebServerAccess::Completed, this,
        MHD_OPTION_DIGEST_AUTH_RANDOM, sizeof g_digestSeed, g_digestSeed,
        MHD_OPTION_NONCE_NC_SIZE, 4096u, MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u,
        MHD_OPTION_CONNECTION_TIMEOUT, 300u, MHD_OPTION_END);
    if (daemon_ == nullptr) return false;
    boundPort_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
    return true;
}

void CamsimWebServer::Stop() {
    MHD_Daemon* daemon;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        daemon = daemon_;
        daemon_ = nullptr;
    }
    // Outside the lock: stopping waits for the connection threads, which take it.
    if (daemon != nullptr) MHD_stop_daemon(daemon);
}

uint16_t CamsimWebServer::Port() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boundPort_ != 0 ? boundPort_ : options_.port;
}

std::vector<UploadRecord> CamsimWebServer::Uploads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_;
}

int CamsimWebServer::BeginRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return beginRequests_;
}

int CamsimWebServer::StatusRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusRequests_;
}

std::string CamsimWebServer::UpgradeStatusLocked(int64_t now) const {
    if (uploadedAtMs_ < 0) return begun_ ? "uploading" : "";
    const int64_t stage = (now - uploadedAtMs_) / std::max(1, options_.stageMs);
    if (options_.faults.stuckAtChecking && stage >= 2) return "checking";
    if (options_.faults.upgradeFails && stage >= 2) return "fail";
    if (stage < kUpgradeStages) return kUpgradeSequence[stage];
    return "";  // installed and rebooted
}

bool CamsimWebServer::SilentLocked(int64_t now) const {
    if (now < silentUntilMs_) return true;
    const WebFaults& faults = options_.faults;
    if (uploadedAtMs_ < 0 || faults.stuckAtChecking || faults.upgradeFails) return false;
    const int64_t rebootAt = uploadedAtMs_ + int64_t{kUpgradeStages} * options_.stageMs;
    return now >= rebootAt && now < rebootAt + options_.rebootMs;
}

bool CamsimWebServer::Authorised(MHD_Connection* connection, bool* stale) {
    *stale = false;
    std::string user, password;
    camera_->Credentials(&user, &password);
    char* given = MHD_digest_auth_get_username(connection);
    const bool sameUser = given != nullptr && user == given;
    MHD_free(given);
    if (!sameUser) return false;
    int check = MHD_digest_auth_check2(connection, realm_.c_str(), user.c_str(),
                                       password.c_str(), 300, MHD_DIGEST_ALG_MD5);
    if (check == MHD_INVALID_NONCE) *stale = true;
    return check == MHD_YES;
}

namespace {

MHD_Result QueueChallenge(MHD_Connection* connection, const std::string& realm, bool stale) {
    static const char denied[] = "<html><body>401 Unauthorized</body></html>";
    MHD_Response* response = MHD_create_response_from_buffer(
        sizeof denied - 1, const_cast<char*>(denied), MHD_RESPMEM_PERSISTENT);
    MHD_Result r = MHD_queue_auth_fail_response2(connection, realm.c_str(), "tarselcam",
                                                 response, stale ? MHD_YES : MHD_NO,
                                                 MHD_DIGEST_ALG_MD5);
    MHD_destroy_response(response);
    return r;
}

bool IsBegin(const std::vector<std::pair<std::string, std::string>>& arguments) {
    for (const auto& [key, value] : arguments)
        if (key == "system.upgrade.status" && value == "begin") return true;
    return false;
}

}  // namespace

// Called on the first call of a request (before its body) and, unless a response was
// queued then, once more after the body. Returns false to drop the connection unanswered.
int CamsimWebServer::Handle(MHD_Connection* connection, Request* request) {
    // The faults are fixed when the camera starts.
    const WebFaults& faults = options_.faults;
    bool rebootNow = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int64_t now = NowMs();
        // The camera reboots into the new image right after "ok".
        if (uploadedAtMs_ >= 0 && !faults.stuckAtChecking && !faults.upgradeFails &&
            !rebootReported_ && now >= uploadedAtMs_ + int64_t{kUpgradeStages} * options_.stageMs) {
            rebootReported_ = true;
            rebootNow = true;
        }
        // A rebooting camera answers nothing at all.
        if (!rebootNow && SilentLocked(now)) return false;
    }
    if (rebootNow) {
        camera_->Command("REBOOT");
        std::lock_guard<std::mutex> lock(mutex_);
        if (SilentLocked(NowMs())) return false;
    }
    if (camera_->Silent()) return false;
    const bool first = !request->answered;
    if (first) {
        if (faults.notACamera) {
            request->answered = true;
            return QueueText(connection, MHD_HTTP_OK,
                             "<html><head><title>Welcome</title></head><body>It works!</body>"
                             "</html>\n",
                             "text/html") == MHD_YES;
        }
        bool stale = false;
        const bool isBegin = request->path == "/cgi-bin/set" && IsBegin(request->arguments);
        if (!Authorised(connection, &stale) || (isBegin && faults.refuseBegin)) {
            request->answered = true;
            return QueueChallenge(connection, realm_, stale) == MHD_YES;
        }
        if (request->method == "POST" && request->path == "/cgi-bin/upload.cgi") {
            request->upload = true;
            request->record.startedMs = NowMs();
        }
        return true;  // wait for the body
    }

    if (faults.answerDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(faults.answerDelayMs));

    if (request->path == "/cgi-bin/get") {
        std::string key = request->arguments.empty() ? "" : request->arguments[0].first;
        return QueueText(connection, MHD_HTTP_OK, AnswerGet(key)) == MHD_YES;
    }
    if (request->path == "/cgi-bin/set") {
        return QueueText(connection, MHD_HTTP_OK, AnswerSet(request->arguments)) == MHD_YES;
    }
    if (request->path == "/cgi-bin/upload.cgi" && request->upload) {
        FinishUpload(request);
        const UploadRecord& r = request->record;
        if (faults.uploadDelayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(faults.uploadDelayMs));
            // The camera takes the image only once it has answered the upload.
            std::lock_guard<std::mutex> lock(mutex_);
            if (r.accepted && uploadedAtMs_ == r.finishedMs) uploadedAtMs_ = NowMs();
        }
        unsigned status = !r.formValid ? MHD_HTTP_BAD_REQUEST
                          : !r.accepted ? MHD_HTTP_FORBIDDEN
                                        : MHD_HTTP_OK;
        return QueueText(connection, status,
                         r.accepted ? "<html><body>upload ok</body></html>"
                                    : "<html><body>upload refused</body></html>",
                         "text/html") == MHD_YES;
    }
    if (request->path == "/cgi-bin/snapshot.cgi") {
        std::string frame;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            frame = SnapshotFrame();
        }
        return QueueText(connection, MHD_HTTP_OK, frame, "image/jpeg") == MHD_YES;
    }
    return QueueText(connection, MHD_HTTP_NOT_FOUND, "not found") == MHD_YES;
}

std::string CamsimWebServer::AnswerGet(const std::string& key) {
    std::string value;
    bool known = true;
    if (key == "system.upgrade.status") {
        bool installed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++statusRequests_;
            value = UpgradeStatusLocked(NowMs());
            if (uploadedAtMs_ >= 0 && value.empty() && !installedReported_) {
                installedReported_ = true;
                installed = true;
            }
        }
        if (installed) camera_->Command("UPGRADED");
    } else {
        known = camera_->ReadParameter(key, &value);
    }
    return "name=\"" + key + "\" status=\"" + (known ? "ok" : "error") + "\" value=\"" +
           (known ? value : "") + "\"\r\n";
}

std::string CamsimWebServer::AnswerSet(
    const std::vector<std::pair<std::string, std::string>>& assignments) {
    std::string body;
    for (const auto& [key, value] : assignments) {
        std::fprintf(stderr, "tarsel-camsim: port %u settings received over HTTP: %s=%s\n",
                     static_cast<unsigned>(Port()), key.c_str(), value.c_str());
        bool taken = true;
        if (key == "system.upgrade.status" && value == "begin") {
            std::lock_guard<std::mutex> lock(mutex_);
            ++beginRequests_;
            begun_ = true;
            uploadedAtMs_ = -1;
        } else if (key == "system.reboot" && value == "1") {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                silentUntilMs_ = NowMs() + options_.rebootMs;
            }
            camera_->Command("REBOOT");
        } else if (key == "system.sw_factory_default" && value == "1") {
            camera_->Command("SW_DEFAULT");
        } else if (key == "system.hw_factory_default" && value == "1") {
            camera_->Command("HW_DEFAULT");
        } else {
            taken = value.find('"') == std::string::npos && camera_->WriteParameter(key, value);
        }
        body += "name=\"" + key + "\" status=\"" + (taken ? "ok" : "error") + "\" value=\"" +
                (taken ? value : "") + "\"\r\n";
    }
    return body;
}

void CamsimWebServer::FinishUpload(Request* request) {
    UploadRecord& r = request->record;
    r.finishedMs = NowMs();
    for (const auto& [name, value] : r.headers)
        if (strcasecmp(name.c_str(), "Content-Type") == 0) r.contentType = value;
    if (r.tail.size() > kKeptEdge) r.tail.erase(0, r.tail.size() - kKeptEdge);
    UploadFormParts parts;
    r.formValid = CheckUploadForm(r.contentType, r.head, r.tail, r.bodySize, &parts);
    if (r.formValid) {
        r.fileName = parts.fileName;
        r.imageSize = parts.imageSize;
        if (options_.keepImages) r.image = request->whole.substr(parts.imageOffset, parts.imageSize);
    }
    request->whole.clear();
    request->whole.shrink_to_fit();

    std::lock_guard<std::mutex> lock(mutex_);
    // An upload that was not announced by a begin request is not taken.
    if (r.formValid && begun_) {
        r.accepted = true;
        begun_ = false;
        uploadedAtMs_ = r.finishedMs;
        installedReported_ = false;
        rebootReported_ = false;
    }
    uploads_.push_back(r);
}

// One JPEG per second: the picture's colours move with the clock, so consecutive frames
// differ.
const std::string& CamsimWebServer::SnapshotFrame() {
    if (!options_.snapshotFile.empty()) {
        if (frame_.empty()) {
            std::ifstream in(options_.snapshotFile, std::ios::binary);
            frame_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return frame_;
    }
    const int64_t second = NowMs() / 1000;
    if (second == frameSecond_ && !frame_.empty()) return frame_;
    const int width = options_.snapshotWidth, height = options_.snapshotHeight;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    const int shift = static_cast<int>(second % 64) * 5;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>((x + shift) & 0xFF);
            p[1] = static_cast<unsigned char>((y * 2 + shift) & 0xFF);
            p[2] = static_cast<unsigned char>(((x / 40 + y / 40 + second) % 2) ? 200 : 40);
        }
    }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    if (handle != nullptr &&
        tjCompress2(handle, pixels.data(), width, 0, height, TJPF_RGB, &jpeg, &jpegSize,
                    TJSAMP_420, 80, 0) == 0) {
        frame_.assign(reinterpret_cast<const char*>(jpeg), jpegSize);
        frameSecond_ = second;
    }
    tjFree(jpeg);
    if (handle != nullptr) tjDestroy(handle);
    return frame_;
}
