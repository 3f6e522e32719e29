// The running side of the simulated ONVIF devices: one web server per device for its SOAP
// services and snapshot, and one WS-Discovery responder on port 3702 for them all, whose
// answers leave after each device's random delay.

#include <arpa/inet.h>
#include <microhttpd.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <random>

#include "OnvifSim.h"
#include "PinnedSend.h"
#include "onvif/WsDiscovery.h"
#include "platform/UdpSocket.h"

namespace camsim {
namespace {

constexpr size_t kRequestMax = 256 * 1024;
const char kRealm[] = "onvif";

std::string SnapshotJpeg(int w, int h) {
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>((i * 7) & 0xFF);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    std::string out;
    if (handle != nullptr && tjCompress2(handle, pixels.data(), w, 0, h, TJPF_RGB, &jpeg, &size, TJSAMP_420, 80, 0) == 0)
        out.assign(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    if (handle != nullptr) tjDestroy(handle);
    return out;
}

MHD_Result Queue(MHD_Connection* connection, unsigned status, const std::string& body, const char* type) {
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                      MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    const MHD_Result result = MHD_queue_response(connection, status, r);
    MHD_destroy_response(r);
    return result;
}

MHD_Result Challenge(MHD_Connection* connection) {
    static const char denied[] = "401 Unauthorized";
    MHD_Response* r = MHD_create_response_from_buffer(sizeof denied - 1, const_cast<char*>(denied),
                                                      MHD_RESPMEM_PERSISTENT);
    const MHD_Result result = MHD_queue_auth_fail_response2(connection, kRealm, "onvifsim", r, MHD_NO,
                                                           MHD_DIGEST_ALG_MD5);
    MHD_destroy_response(r);
    return result;
}

bool DigestOk(MHD_Connection* connection, const OnvifDeviceConfig& d) {
    char* given = MHD_digest_auth_get_username(connection);
    const bool same = given != nullptr && d.user == given;
    MHD_free(given);
    return same && MHD_digest_auth_check2(connection, kRealm, d.user.c_str(), d.password.c_str(), 300,
                                          MHD_DIGEST_ALG_MD5) == MHD_YES;
}

struct Pending {
    std::string body;
    sockaddr_in to{};
    in_addr from{};
    int ifindex = 0;
};

}  // namespace

struct OnvifSite::Server {
    std::shared_ptr<OnvifDeviceConfig> device;
    std::shared_ptr<const std::string> jpeg;  // shared by the devices of one picture size
    MHD_Daemon* daemon = nullptr;

    static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char* data, size_t* size, void** state) {
        Server* self = static_cast<Server*>(cls);
        const OnvifDeviceConfig& d = *self->device;
        if (*state == nullptr) {
            *state = new std::string;
            return MHD_YES;
        }
        std::string* body = static_cast<std::string*>(*state);
        if (*size > 0) {
            if (body->size() + *size > kRequestMax) return MHD_NO;
            body->append(data, *size);
            *size = 0;
            return MHD_YES;
        }
        const std::string path = url;
        if (std::strcmp(method, "GET") == 0 && path == "/onvif/snapshot.jpg") {
            if (!DigestOk(connection, d)) return Challenge(connection);
            return Queue(connection, MHD_HTTP_OK, *self->jpeg, "image/jpeg");
        }
        if (std::strcmp(method, "POST") != 0 || (path != "/onvif/device_service" && path != "/onvif/media_service"))
            return Queue(connection, MHD_HTTP_NOT_FOUND, "not found", "text/plain");
        const SoapReply reply = AnswerSoap(d, path, *body, d.httpDigestOnly && DigestOk(connection, d));
        if (reply.status == 401) return Challenge(connection);
        return Queue(connection, reply.status, reply.body, "application/soap+xml; charset=utf-8");
    }

    static void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
        delete static_cast<std::string*>(*state);
        *state = nullptr;
    }

    bool Start(char* seed, size_t seedSize) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(device->port);
        if (inet_pton(AF_INET, device->ip.c_str(), &address.sin_addr) != 1) return false;
        daemon = MHD_start_daemon(MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr,
                                  nullptr, &Access, this, MHD_OPTION_SOCK_ADDR, &address,
                                  MHD_OPTION_NOTIFY_COMPLETED, &Completed, this, MHD_OPTION_DIGEST_AUTH_RANDOM,
                                  seedSize, seed, MHD_OPTION_NONCE_NC_SIZE, 1024u,
                                  MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_CONNECTION_TIMEOUT, 30u,
                                  MHD_OPTION_END);
        return daemon != nullptr;
    }
    ~Server() {
        if (daemon != nullptr) MHD_stop_daemon(daemon);
    }
};

OnvifSite::OnvifSite() = default;
OnvifSite::~OnvifSite() { Stop(); }

bool OnvifSite::Start(const std::string& configPath, const std::string& interfaceName, std::string* error) {
    std::vector<OnvifDeviceConfig> configs;
    if (!LoadOnvifDevices(configPath, &configs, error)) return false;
    if (configs.empty()) return true;
    static char seed[32];
    std::random_device random;
    for (char& c : seed) c = static_cast<char>(random());
    std::map<std::pair<int, int>, std::shared_ptr<const std::string>> jpegs;  // one of each size
    for (OnvifDeviceConfig& c : configs) {
        auto server = std::make_unique<Server>();
        auto& jpeg = jpegs[{c.snapshotWidth, c.snapshotHeight}];
        if (!jpeg) jpeg = std::make_shared<const std::string>(SnapshotJpeg(c.snapshotWidth, c.snapshotHeight));
        server->device = std::make_shared<OnvifDeviceConfig>(std::move(c));
        server->jpeg = jpeg;
        if (!server->Start(seed, sizeof seed)) {
            *error = "ONVIF service of " + server->device->ip + ":" + std::to_string(server->device->port) +
                     " cannot listen";
            return false;
        }
        devices_.push_back(server->device);
        servers_.push_back(std::move(server));
    }
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(tarsel::onvif::kDiscoveryPort);
    if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) != 0 ||
        ::bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        *error = std::string("WS-Discovery socket: ") + std::strerror(errno);
        return false;
    }
    // Membership of the discovery group on the interface (or on each device's interface).
    ip_mreqn join{};
    inet_pton(AF_INET, tarsel::onvif::kDiscoveryGroup, &join.imr_multiaddr);
    bool joined = false;
    if (!interfaceName.empty()) {
        join.imr_ifindex = static_cast<int>(if_nametoindex(interfaceName.c_str()));
        joined = ::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) == 0;
    } else {
        for (const auto& d : devices_) {
            inet_pton(AF_INET, d->ip.c_str(), &join.imr_address);
            joined |= ::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) == 0;
        }
    }
    if (!joined) {
        *error = std::string("WS-Discovery group membership: ") + std::strerror(errno);
        return false;
    }
    responder_ = std::thread([this] { Respond(); });
    return true;
}

void OnvifSite::Stop() {
    stop_ = true;
    if (responder_.joinable()) responder_.join();
    servers_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void OnvifSite::Respond() {
    std::mutex mutex;
    std::condition_variable wake;
    std::multimap<std::chrono::steady_clock::time_point, Pending> queue;
    // Answers leave from a thread of their own, each at its device's moment.
    std::thread sender([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stop_) {
            if (queue.empty()) {
                wake.wait_for(lock, std::chrono::milliseconds(100));
                continue;
            }
            const auto first = queue.begin();
            if (first->first > std::chrono::steady_clock::now()) {
                wake.wait_until(lock, std::min(first->first, std::chrono::steady_clock::now() + std::chrono::milliseconds(100)));
                continue;
            }
            Pending p = std::move(first->second);
            queue.erase(first);
            lock.unlock();
            // The answer comes from the device's own address, out of the probe's interface.
            SendPinned(fd_, p.to, p.body.data(), p.body.size(), p.ifindex, p.from.s_addr);
            lock.lock();
        }
    });
    std::mt19937 random(std::random_device{}());
    std::vector<char> buffer(65536);
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        uint32_t destination = 0, source = 0;
        uint16_t sourcePort = 0;
        int ifindex = 0;
        const int n = tarsel::ReceiveDatagram(fd_, buffer.data(), buffer.size(), &destination,
                                              &ifindex, &source, &sourcePort);
        if (n <= 0) continue;  // nothing, or a datagram larger than any probe
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(source);
        from.sin_port = htons(sourcePort);
        const bool multicast = IN_MULTICAST(destination);
        const std::string probe(buffer.data(), static_cast<size_t>(n));
        for (const auto& d : devices_) {
            in_addr own{};
            inet_pton(AF_INET, d->ip.c_str(), &own);
            // A unicast probe is for the device with that address only.
            if (!multicast && ntohl(own.s_addr) != destination) continue;
            std::string answer = AnswerProbe(*d, probe);
            if (answer.empty()) continue;
            const int delay = d->replyDelayMaxMs > 0
                                  ? std::uniform_int_distribution<int>(0, d->replyDelayMaxMs)(random)
                                  : 0;
            std::lock_guard<std::mutex> lock(mutex);
            queue.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(delay),
                          Pending{std::move(answer), from, own, ifindex});
            wake.notify_one();
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        wake.notify_one();
    }
    sender.join();
}

}  // namespace camsim
