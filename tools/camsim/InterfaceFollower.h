#pragma once
// Makes a simulated camera's interface follow its network settings, as a real camera's
// does: a new address, mask or gateway (set by the tool, leased on a switch to DHCP, or
// restored by a hardware default) is put on the interface in the camera's namespace, so
// that ARP, ping and HTTP find the camera where its answers say it is.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "SimCamera.h"

namespace camsim {

class InterfaceFollower {
public:
    InterfaceFollower(std::shared_ptr<SimCamera> camera, std::string interfaceName);
    ~InterfaceFollower();
    InterfaceFollower(const InterfaceFollower&) = delete;
    InterfaceFollower& operator=(const InterfaceFollower&) = delete;

    // Brings the interface to the camera's current settings now (the caller's thread).
    void Reconcile();

private:
    void Run();

    std::shared_ptr<SimCamera> camera_;
    std::string interface_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    bool stop_ = false;
    std::string applied_;  // "address/mask/gateway" on the interface now
    std::thread thread_;
};

}  // namespace camsim
