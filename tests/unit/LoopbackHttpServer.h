#pragma once
// A small programmable HTTP server on 127.0.0.1 for the web client's tests: every request
// that passes its authentication is recorded (method, target, headers, whole body) and
// answered by the test's handler, which may also delay the answer.

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct HttpExchange {
    std::string method;
    std::string target;  // path plus "?query" when there is one
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

struct HttpAnswer {
    int status = 200;
    std::string body;
    int delayMs = 0;
    int trickleMs = 0;  // when set, the body goes out one byte per trickleMs
    std::string location = {};  // when set, sent as the answer's Location header
};

class LoopbackHttpServer {
public:
    enum class Auth { None, Digest, Basic };
    using Handler = std::function<HttpAnswer(const HttpExchange&)>;

    LoopbackHttpServer(Auth auth, std::string user, std::string password, Handler handler)
        : auth_(auth), user_(std::move(user)), password_(std::move(password)),
          handler_(std::move(handler)) {
        static char seed[] = "loopback-digest-seed-0123456789";
        daemon_ = MHD_start_daemon(
            MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG,
            0, nullptr, nullptr, &LoopbackHttpServer::Access, this, MHD_OPTION_SOCK_ADDR,
            LoopbackAddress(), MHD_OPTION_NOTIFY_COMPLETED, &LoopbackHttpServer::Completed,
            this, MHD_OPTION_DIGEST_AUTH_RANDOM, sizeof seed, seed, MHD_OPTION_NONCE_NC_SIZE,
            1000u, MHD_OPTION_END);
        if (daemon_ == nullptr) throw std::runtime_error("cannot start the loopback server");
        port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
    }
    ~LoopbackHttpServer() { MHD_stop_daemon(daemon_); }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::string PortText() const { return std::to_string(port_); }

    std::vector<HttpExchange> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    struct Pending {
        HttpExchange exchange;
        bool refused = false;
    };

    static const sockaddr* LoopbackAddress() {
        static sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        return reinterpret_cast<const sockaddr*>(&address);
    }

    static MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
        std::string name(key);
        for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        static_cast<HttpExchange*>(cls)->headers[name] = value ? value : "";
        return MHD_YES;
    }

    static MHD_Result CollectQuery(void* cls, MHD_ValueKind, const char* key, const char* value) {
        auto* target = static_cast<std::string*>(cls);
        target->push_back(target->find('?') == std::string::npos ? '?' : '&');
        target->append(key);
        if (value != nullptr) {
            target->push_back('=');
            target->append(value);
        }
        return MHD_YES;
    }

    bool Authorised(MHD_Connection* connection, int* stale) {
        *stale = MHD_NO;
        if (auth_ == Auth::None) return true;
        if (auth_ == Auth::Basic) {
            char* password = nullptr;
            char* user = MHD_basic_auth_get_username_password(connection, &password);
            bool ok = user && password && user_ == user && password_ == password;
            MHD_free(user);
            MHD_free(password);
            return ok;
        }
        char* user = MHD_digest_auth_get_username(connection);
        bool sameUser = user != nullptr && user_ == user;
        MHD_free(user);
        if (!sameUser) return false;
        int check = MHD_digest_auth_check2(connection, "camera", user_.c_str(), password_.c_str(),
                                           300, MHD_DIGEST_ALG_MD5);
        if (check == MHD_INVALID_NONCE) *stale = MHD_YES;
        return check == MHD_YES;
    }

    MHD_Result Refuse(MHD_Connection* connection, int stale) {
        static const char denied[] = "denied";
        MHD_Response* response = MHD_create_response_from_buffer(
            sizeof denied - 1, const_cast<char*>(denied), MHD_RESPMEM_PERSISTENT);
        MHD_Result r;
        if (auth_ == Auth::Basic)
            r = MHD_queue_basic_auth_fail_response(connection, "camera", response);
        else
            r = MHD_queue_auth_fail_response2(connection, "camera", "opaque0", response, stale,
                                              MHD_DIGEST_ALG_MD5);
        MHD_destroy_response(response);
        return r;
    }

    static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char* uploadData,
                             size_t* uploadDataSize, void** connectionState) {
        auto* self = static_cast<LoopbackHttpServer*>(cls);
        auto* pending = static_cast<Pending*>(*connectionState);
        if (pending == nullptr) {
            pending = new Pending;
            *connectionState = pending;
            pending->exchange.method = method;
            pending->exchange.target = url;
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, CollectQuery,
                                      &pending->exchange.target);
            MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectHeader,
                                      &pending->exchange);
            int stale = MHD_NO;
            if (!self->Authorised(connection, &stale)) {
                pending->refused = true;
                return self->Refuse(connection, stale);
            }
            return MHD_YES;
        }
        if (*uploadDataSize > 0) {
            if (!pending->refused) pending->exchange.body.append(uploadData, *uploadDataSize);
            *uploadDataSize = 0;
            return MHD_YES;
        }
        if (pending->refused) return MHD_YES;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->requests_.push_back(pending->exchange);
        }
        HttpAnswer answer = self->handler_(pending->exchange);
        if (answer.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
        MHD_Response* response =
            answer.trickleMs > 0
                ? MHD_create_response_from_callback(
                      answer.body.size(), 1, &LoopbackHttpServer::TrickleByte,
                      new Trickle{answer.body, answer.trickleMs}, &LoopbackHttpServer::EndTrickle)
                : MHD_create_response_from_buffer(answer.body.size(), answer.body.data(),
                                                  MHD_RESPMEM_MUST_COPY);
        if (!answer.location.empty())
            MHD_add_response_header(response, "Location", answer.location.c_str());
        MHD_Result r = MHD_queue_response(connection, static_cast<unsigned>(answer.status),
                                          response);
        MHD_destroy_response(response);
        return r;
    }

    struct Trickle {
        std::string body;
        int ms;
    };
    static ssize_t TrickleByte(void* cls, uint64_t position, char* out, size_t) {
        auto* trickle = static_cast<Trickle*>(cls);
        if (position >= trickle->body.size()) return MHD_CONTENT_READER_END_OF_STREAM;
        std::this_thread::sleep_for(std::chrono::milliseconds(trickle->ms));
        out[0] = trickle->body[position];
        return 1;
    }
    static void EndTrickle(void* cls) { delete static_cast<Trickle*>(cls); }

    static void Completed(void*, MHD_Connection*, void** connectionState,
                          MHD_RequestTerminationCode) {
        delete static_cast<Pending*>(*connectionState);
        *connectionState = nullptr;
    }

    Auth auth_;
    std::string user_;
    std::string password_;
    Handler handler_;
    MHD_Daemon* daemon_ = nullptr;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<HttpExchange> requests_;
};

}  // namespace testsupport
