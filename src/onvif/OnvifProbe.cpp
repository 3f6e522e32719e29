#include "onvif/OnvifProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <fcntl.h>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>
#include <utility>

#include "common/stdafx.h"

namespace tarsel::onvif {

namespace {

constexpr int kReceiveBuffer = 1024 * 1024;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string DottedText(uint32_t hostOrder) {
    in_addr a{};
    a.s_addr = htonl(hostOrder);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

// At least 1 MiB: hundreds of devices answer within the same half second. The ordinary
// option is capped by the system's rmem_max; the forcing one works with the right to it.
bool LargeReceiveBuffer(int fd) {
    int size = 0;
    socklen_t length = sizeof size;
    SetReceiveBuffer(fd, kReceiveBuffer);
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 && size >= kReceiveBuffer)
        return true;
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer) == 0;
}

bool SendBoth(int fd, uint32_t address, const ProbeSet& probes) {
    const bool nvt = SendDatagram(fd, address, kDiscoveryPort, probes.nvtProbe.data(),
                                  probes.nvtProbe.size()) >= 0;
    const bool device = SendDatagram(fd, address, kDiscoveryPort, probes.deviceProbe.data(),
                                     probes.deviceProbe.size()) >= 0;
    return nvt || device;
}

uint32_t GroupAddress() {
    uint32_t group = 0;
    ParseIPv4(kDiscoveryGroup, &group);
    return group;
}

}  // namespace

bool OnvifProber::OpenOnAdapter(const OnvifAdapter& adapter, std::string* error) {
    adapterName_ = adapter.name;
    uint32_t address = 0;
    if (!ParseIPv4(adapter.addressText.c_str(), &address) || address == 0) {
        *error = "no IPv4 address";
        return false;
    }
    fd_ = OpenUdpSocket();
    const int fd = fd_.Get();
    const unsigned char ttl = 1;
    if (!fd_.Valid()) {
        *error = ErrnoText("socket");
    } else if (!BindToDevice(fd, adapter.name.c_str())) {
        *error = ErrnoText("SO_BINDTODEVICE");
    } else if (!BindIPv4(fd, address, 0)) {
        *error = ErrnoText("bind");
    } else if (!SetMulticastInterface(fd, address)) {
        *error = ErrnoText("IP_MULTICAST_IF");
    } else if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        *error = ErrnoText("IP_MULTICAST_TTL");
    } else if (!LargeReceiveBuffer(fd)) {
        *error = ErrnoText("SO_RCVBUF");
    } else {
        return true;
    }
    fd_.Reset();
    return false;
}

bool OnvifProber::OpenUnicast(std::string* error) {
    adapterName_.clear();
    fd_ = OpenUdpSocket();
    if (!fd_.Valid() || !BindIPv4(fd_.Get(), 0, 0)) {
        *error = ErrnoText("socket");
        fd_.Reset();
        return false;
    }
    LargeReceiveBuffer(fd_.Get());
    // Probes to addresses of a LAN wait in the kernel until the address is resolved (or
    // given up, seconds later) and hold the socket's send buffer meanwhile: a full buffer
    // must not stall the sender, which moves on to another socket.
    const int flags = ::fcntl(fd_.Get(), F_GETFL, 0);
    if (flags >= 0) ::fcntl(fd_.Get(), F_SETFL, flags | O_NONBLOCK);
    return true;
}

bool OnvifProber::SendMulticast(const ProbeSet& probes) {
    return fd_.Valid() && SendBoth(fd_.Get(), GroupAddress(), probes);
}

UnicastSend OnvifProber::SendUnicast(uint32_t hostOrderAddress, const ProbeSet& probes) {
    if (!fd_.Valid()) return UnicastSend::Failed;
    for (const std::string* probe : {&probes.nvtProbe, &probes.deviceProbe}) {
        if (SendDatagram(fd_.Get(), hostOrderAddress, kDiscoveryPort, probe->data(), probe->size()) >= 0) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS ? UnicastSend::Full : UnicastSend::Failed;
    }
    return UnicastSend::Sent;
}

void OnvifProber::ReceiveUntil(std::chrono::steady_clock::time_point deadline,
                               const ProbeSet& probes, OnvifDeviceList& list,
                               const std::atomic<bool>* stop) {
    if (!fd_.Valid())
        return;
    ReceiveAnyUntil(std::span<OnvifProber>(this, 1), deadline, probes, list, stop);
}

void OnvifProber::ReceiveAnyUntil(std::span<OnvifProber> probers, std::chrono::steady_clock::time_point deadline,
                                  const ProbeSet& probes, OnvifDeviceList& list, const std::atomic<bool>* stop) {
    // One buffer a byte larger than the biggest answer read, so that ReceiveDatagram's
    // MSG_TRUNC check tells an oversized datagram from one that just fits.
    std::unique_ptr<char[]> buffer(new char[kProbeAnswerMax + 1]);
    std::vector<pollfd> polled;
    for (OnvifProber& prober : probers)
        if (prober.fd_.Valid()) polled.push_back({prober.fd_.Get(), POLLIN, 0});
    for (;;) {
        if (polled.empty() || (stop != nullptr && stop->load()))
            return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        // Short slices so that a stop is noticed within 100 ms.
        const int slice = static_cast<int>(std::min<long long>(left.count(), 100));
        if (::poll(polled.data(), polled.size(), slice) <= 0)
            continue;
        size_t at = 0;
        for (OnvifProber& prober : probers) {
            if (!prober.fd_.Valid()) continue;
            if (polled[at++].revents != 0) prober.ReadOne(buffer.get(), probes, list);
        }
    }
}

void OnvifProber::ReadOne(char* buffer, const ProbeSet& probes, OnvifDeviceList& list) {
    uint32_t source = 0;
    const int n = ReceiveDatagram(fd_.Get(), buffer, kProbeAnswerMax, nullptr, nullptr, &source);
    if (n == -1)
        return;
    ++counters_.received;
    if (n == -2) {
        ++counters_.oversized;
        TLOG_NOTICE("(%s:%d) ONVIF answer from %s over %zu bytes dropped", DottedText(source).c_str(),
                    kProbeAnswerMax);
        return;
    }
    const ProbeAnswer answer = ParseProbeAnswer(std::string_view(buffer, static_cast<size_t>(n)), source, probes);
    if (answer.error != ProbeError::None) {
        ++counters_.refused;
        TLOG_NOTICE("(%s:%d) ONVIF answer from %s refused: %s", DottedText(source).c_str(), answer.reason.c_str());
        return;
    }
    for (const ProbeMatch& match : answer.matches) {
        ++counters_.matches;
        if (list.Merge(match, adapterName_, source) == MergeResult::Full)
            TLOG_WARNING("(%s:%d) ONVIF device %s not listed: the camera list is full", match.endpoint.c_str());
    }
}

bool SearchAdapter(const OnvifAdapter& adapter, const ProbeSet& probes, int waitMs,
                   OnvifDeviceList& list, const std::atomic<bool>* stop) {
    OnvifProber prober;
    std::string error;
    if (!prober.OpenOnAdapter(adapter, &error)) {
        TLOG_WARNING("(%s:%d) ONVIF discovery skips adapter %s (%s): %s", adapter.name.c_str(),
                     adapter.addressText.c_str(), error.c_str());
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(waitMs);
    if (!prober.SendMulticast(probes)) {
        TLOG_WARNING("(%s:%d) ONVIF discovery skips adapter %s (%s): %s", adapter.name.c_str(),
                     adapter.addressText.c_str(), ErrnoText("send").c_str());
        return false;
    }
    prober.ReceiveUntil(std::min(deadline, start + std::chrono::milliseconds(kProbeRepeatMs)), probes,
                        list, stop);
    prober.SendMulticast(probes);
    prober.ReceiveUntil(deadline, probes, list, stop);
    const ProbeCounters& c = prober.Counters();
    TLOG("(%s:%d) ONVIF discovery on %s: %u answers, %u device answers, %u refused, %u oversized",
         adapter.name.c_str(), c.received, c.matches, c.refused, c.oversized);
    return true;
}

int SearchAdapters(const std::vector<OnvifAdapter>& adapters, const ProbeSet& probes, int waitMs,
                   OnvifDeviceList& list, const std::atomic<bool>* stop) {
    std::vector<std::thread> threads;
    std::vector<char> worked(adapters.size(), 0);
    threads.reserve(adapters.size());
    for (size_t i = 0; i < adapters.size(); ++i) {
        threads.emplace_back([&, i] {
            worked[i] = SearchAdapter(adapters[i], probes, waitMs, list, stop) ? 1 : 0;
        });
    }
    int count = 0;
    for (size_t i = 0; i < threads.size(); ++i) {
        threads[i].join();
        count += worked[i];
    }
    return count;
}

namespace {
constexpr size_t kUnicastProbesPerSlice = 64;  // every 20 ms: 3,200 addresses a second
// Sockets the probes of a range share: each holds about ninety probes to addresses still
// being resolved before it is full, so sixteen keep a silent /24 going without a stall.
constexpr size_t kUnicastSockets = 16;
}  // namespace

bool ProbeAddresses(const NextAddresses& next, const ProbeSet& probes, int waitMs, OnvifDeviceList& list,
                    const std::atomic<bool>* stop) {
    using Clock = std::chrono::steady_clock;
    std::vector<OnvifProber> probers(kUnicastSockets);
    std::string error;
    size_t opened = 0;
    for (OnvifProber& prober : probers) opened += prober.OpenUnicast(&error) ? 1 : 0;
    if (opened == 0) TLOG_NOTICE("(%s:%d) ONVIF unicast probes not sent: %s", error.c_str());
    size_t turn = 0;  // the socket tried first for the next send
    // Both probes to address through the first socket with room; false when every one is
    // full (the address waits for the next slice).
    auto send = [&](uint32_t address) {
        for (size_t tried = 0; tried < probers.size(); ++tried) {
            OnvifProber& prober = probers[turn++ % probers.size()];
            switch (prober.SendUnicast(address, probes)) {
                case UnicastSend::Sent: return true;
                case UnicastSend::Full: continue;
                case UnicastSend::Failed:
                    if (prober.Fd() < 0) continue;
                    TLOG_NOTICE("(%s:%d) ONVIF probe of %s not sent: %s", DottedText(address).c_str(),
                                ErrnoText("send").c_str());
                    return true;  // no route: another socket would fare no better
            }
        }
        return false;
    };
    std::deque<uint32_t> pending;                                 // handed out, not sent yet
    std::deque<std::pair<uint32_t, Clock::time_point>> repeats;  // addresses owed their second send
    Clock::time_point lastSend = Clock::now();
    std::vector<uint32_t> batch;
    for (;;) {
        if (stop != nullptr && stop->load()) {
            while (next(batch, true)) batch.clear();  // drained: the caller's queue ends
            return opened != 0;
        }
        Clock::time_point now = Clock::now();
        const bool quiet =
            pending.empty() && repeats.empty() && now >= lastSend + std::chrono::milliseconds(waitMs);
        batch.clear();
        if (!next(batch, quiet)) return opened != 0;
        if (opened == 0) batch.clear();
        pending.insert(pending.end(), batch.begin(), batch.end());
        // A few addresses a slice: a whole /16 at once would overflow the neighbour table
        // of a LAN's addresses and lose most probes unsent.
        for (size_t sent = 0; sent < kUnicastProbesPerSlice && !pending.empty(); ++sent) {
            if (!send(pending.front())) break;
            repeats.emplace_back(pending.front(), Clock::now() + std::chrono::milliseconds(kProbeRepeatMs));
            pending.pop_front();
            lastSend = Clock::now();
        }
        now = Clock::now();
        while (!repeats.empty() && repeats.front().second <= now && send(repeats.front().first)) {
            repeats.pop_front();
            lastSend = now;
        }
        // New addresses are taken every 20 ms at the latest, answers read meanwhile.
        Clock::time_point until = now + std::chrono::milliseconds(20);
        if (!repeats.empty()) until = std::max(now, std::min(until, repeats.front().second));
        if (opened != 0) OnvifProber::ReceiveAnyUntil(probers, until, probes, list, stop);
        else std::this_thread::sleep_until(until);
    }
}

}  // namespace tarsel::onvif
