#include "InterfaceFollower.h"

#include <arpa/inet.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <vector>

extern char** environ;

namespace camsim {

namespace {

// Prefix length of a dotted mask (contiguous or not, the bits are counted); -1 if invalid.
int MaskPrefix(const std::string& mask) {
    in_addr m{};
    if (inet_pton(AF_INET, mask.c_str(), &m) != 1) return -1;
    return __builtin_popcount(ntohl(m.s_addr));
}

// Runs the system's ip program with args; 0 on success.
int RunIp(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = "ip";
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& arg : copy) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, "ip", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

InterfaceFollower::InterfaceFollower(std::shared_ptr<SimCamera> camera, std::string interfaceName)
    : camera_(std::move(camera)), interface_(std::move(interfaceName)) {
    SimNetwork net = camera_->Network();
    // The lab put the configured address on the interface already.
    applied_ = net.ip + "/" + net.mask + "/" + net.gateway;
    camera_->AddListener([this](SimCamera&, SimChange change) {
        if (change == SimChange::Name || change == SimChange::Reboot) return;
        std::lock_guard lock(mutex_);
        pending_ = true;
        wake_.notify_all();
    });
    thread_ = std::thread([this] { Run(); });
}

InterfaceFollower::~InterfaceFollower() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        wake_.notify_all();
    }
    thread_.join();
}

void InterfaceFollower::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || pending_; });
        if (stop_) return;
        // One set request changes several parameters one after another: let them settle.
        wake_.wait_for(lock, std::chrono::milliseconds(50), [&] { return stop_; });
        if (stop_) return;
        pending_ = false;
        lock.unlock();
        Reconcile();
        lock.lock();
    }
}

void InterfaceFollower::Reconcile() {
    const SimNetwork net = camera_->Network();
    const std::string wanted = net.ip + "/" + net.mask + "/" + net.gateway;
    {
        std::lock_guard lock(mutex_);
        if (wanted == applied_) return;
    }
    const int prefix = MaskPrefix(net.mask);
    if (prefix < 0 || net.ip.empty()) return;
    RunIp({"addr", "flush", "dev", interface_});
    RunIp({"addr", "add", net.ip + "/" + std::to_string(prefix), "dev", interface_});
    if (!net.gateway.empty() && net.gateway != "0.0.0.0") {
        // A gateway outside the new subnet cannot be routed to; the camera then has none.
        RunIp({"route", "replace", "default", "via", net.gateway, "dev", interface_});
    }
    std::lock_guard lock(mutex_);
    applied_ = wanted;
}

}  // namespace camsim
