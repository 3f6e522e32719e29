#pragma once
// Makes a simulated camera's interface follow its network settings, as a real camera's
// does: a new address, mask or gateway (set by the tool, leased on a switch to DHCP, or
// restored by a hardware default) is put on the interface in the camera's namespace, so
// that ARP, ping and HTTP find the camera where its answers say it is.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimCamera.h"

namespace camsim {

class InterfaceFollower {
public:
    // Runs one "ip" command (its arguments); 0 on success.
    using Runner = std::function<int(const std::vector<std::string>& args)>;
    // Runs the system's ip program.
    static int RunIp(const std::vector<std::string>& args);

    InterfaceFollower(std::shared_ptr<SimCamera> camera, std::string interfaceName,
                      Runner runner = &InterfaceFollower::RunIp);
    ~InterfaceFollower();
    InterfaceFollower(const InterfaceFollower&) = delete;
    InterfaceFollower& operator=(const InterfaceFollower&) = delete;

    // Brings the interface to the camera's current settings now (the caller's thread).
    void Reconcile();
    // Number of times the interface was changed.
    int Changes() const;

private:
    void Run();

    std::shared_ptr<SimCamera> camera_;
    std::string interface_;
    Runner runner_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    bool stop_ = false;
    std::string applied_;  // "address/mask/gateway" on the interface now
    int changes_ = 0;
    std::thread thread_;
};

// Prefix length of a dotted mask (contiguous or not, the bits are counted); -1 if invalid.
int MaskPrefix(const std::string& mask);

}  // namespace camsim
