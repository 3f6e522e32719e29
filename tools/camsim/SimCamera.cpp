#include "SimCamera.h"

#include <arpa/inet.h>

#include <cstdlib>

namespace camsim {
namespace {

bool IsDottedAddress(const std::string& text) {
    in_addr parsed{};
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

std::string JoinAddress(const std::string& ip, const std::string& mask, const std::string& gw) {
    return ip + "/" + mask + "/" + gw;
}

// Splits "address/mask/gateway"; the gateway may be empty, the other two must be addresses.
bool SplitAddress(const std::string& value, std::string& ip, std::string& mask, std::string& gw) {
    size_t first = value.find('/');
    if (first == std::string::npos) return false;
    size_t second = value.find('/', first + 1);
    if (second == std::string::npos) return false;
    ip = value.substr(0, first);
    mask = value.substr(first + 1, second - first - 1);
    gw = value.substr(second + 1);
    return IsDottedAddress(ip) && IsDottedAddress(mask) && (gw.empty() || IsDottedAddress(gw));
}

// The address a DHCP server of the camera's subnet hands it: host part 200 + (last MAC byte
// mod 50), so that simulated cameras of one LAN get different leases, and never the address
// it holds now. "address/mask/gateway" in and out.
std::string LeaseAddress(const std::string& current, const std::string& mac) {
    std::string ip, mask, gw;
    if (!SplitAddress(current, ip, mask, gw)) return current;
    in_addr a{}, m{};
    inet_pton(AF_INET, ip.c_str(), &a);
    inet_pton(AF_INET, mask.c_str(), &m);
    const uint32_t address = ntohl(a.s_addr), netmask = ntohl(m.s_addr);
    const uint32_t last = static_cast<uint32_t>(std::strtoul(
        mac.size() >= 2 ? mac.substr(mac.size() - 2).c_str() : "0", nullptr, 16));
    uint32_t host = 200 + last % 50;
    uint32_t leased = (address & netmask) | (host & ~netmask);
    if (leased == address) leased = (address & netmask) | ((host + 1) & ~netmask);
    in_addr out{};
    out.s_addr = htonl(leased);
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &out, text, sizeof text);
    return JoinAddress(text, mask, gw);
}

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    port = std::atoi(text.c_str());
    return port >= 1 && port <= 65535;
}

std::string OrDefault(const std::string& value, const std::string& fallback) {
    return value.empty() ? fallback : value;
}

}  // namespace

SimCamera::SimCamera(const SimCameraConfig& config)
    : factory_(config),
      user_(config.user),
      password_(config.password),
      faults_(config.faults),
      rebootSilentMs_(config.rebootSilentMs) {
    // Factory values not given are the configured ones: a camera fresh from the box.
    factory_.factoryName = OrDefault(config.factoryName, config.name);
    factory_.factoryIp = OrDefault(config.factoryIp, config.ip);
    factory_.factoryMask = OrDefault(config.factoryMask, config.mask);
    factory_.factoryGateway = config.factoryIp.empty() ? config.gateway : config.factoryGateway;
    factory_.factoryMode = OrDefault(config.factoryMode, config.mode);
    factory_.factoryUser = OrDefault(config.factoryUser, config.user);
    factory_.factoryPassword = OrDefault(config.factoryPassword, config.password);
    if (config.factoryHttpPort <= 0) factory_.factoryHttpPort = config.httpPort;

    params_[keys::kDeviceName] = config.name;
    params_[keys::kMac] = config.mac;
    params_[keys::kWirelessMac] = "";
    params_[keys::kProductName] = config.model;
    params_[keys::kFwVersion] = config.firmware;
    params_[keys::kCompany] = config.company;
    params_[keys::kSerial] = config.serial;
    params_[keys::kHttpPort] = std::to_string(config.httpPort);
    params_[keys::kSslPort] = "443";
    params_[keys::kManualAddress] = JoinAddress(config.ip, config.mask, config.gateway);
    params_[keys::kCurrentAddress] = JoinAddress(config.ip, config.mask, config.gateway);
    params_[keys::kMode] = config.mode;
    params_[keys::kDns1] = config.dns1;
    params_[keys::kDns2] = config.dns2;
}

bool SimCamera::Get(const std::string& key, std::string& value) const {
    std::lock_guard lock(mutex_);
    auto it = params_.find(key);
    if (it == params_.end()) return false;
    value = it->second;
    return true;
}

std::string SimCamera::GetOr(const std::string& key, const std::string& fallback) const {
    std::string value;
    return Get(key, value) ? value : fallback;
}

bool SimCamera::SetLocked(const std::string& key, const std::string& value, SimChange& change) {
    change = SimChange::Network;
    if (key == keys::kDeviceName) {
        // A camera keeps names that fit its 128-byte field; longer ones are refused.
        if (value.empty() || value.size() > 127) return false;
        params_[key] = value;
        change = SimChange::Name;
        return true;
    }
    if (key == keys::kManualAddress) {
        std::string ip, mask, gw;
        if (!SplitAddress(value, ip, mask, gw)) return false;
        params_[key] = JoinAddress(ip, mask, gw);
        // A static address takes effect at once unless the camera leases its address.
        if (params_[keys::kMode] != "dhcp") params_[keys::kCurrentAddress] = params_[key];
        return true;
    }
    if (key == keys::kMode) {
        if (value != "dhcp" && value != "manual" && value != "pppoe") return false;
        const bool toDhcp = value == "dhcp" && params_[key] != "dhcp";
        params_[key] = value;
        if (value != "dhcp") params_[keys::kCurrentAddress] = params_[keys::kManualAddress];
        // Switching to DHCP, the camera leases another address of its subnet.
        if (toDhcp) params_[keys::kCurrentAddress] = LeaseAddress(params_[keys::kCurrentAddress],
                                                                  params_[keys::kMac]);
        return true;
    }
    if (key == keys::kHttpPort) {
        int port = 0;
        if (!ParsePort(value, port)) return false;
        params_[key] = std::to_string(port);
        return true;
    }
    if (key == keys::kDns1 || key == keys::kDns2) {
        if (!value.empty() && !IsDottedAddress(value)) return false;
        params_[key] = value;
        return true;
    }
    return false;
}

bool SimCamera::Set(const std::string& key, const std::string& value) {
    if (key == keys::kReboot || key == keys::kSwDefault || key == keys::kHwDefault) {
        return Command(key + "=" + value);
    }
    SimChange change;
    bool applied;
    {
        std::lock_guard lock(mutex_);
        applied = SetLocked(key, value, change);
    }
    if (applied) Notify(change);
    return applied;
}

int SimCamera::Apply(const std::string& assignments) {
    int applied = 0;
    size_t start = 0;
    while (start <= assignments.size()) {
        size_t end = assignments.find('&', start);
        if (end == std::string::npos) end = assignments.size();
        std::string piece = assignments.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        size_t eq = piece.find('=');
        std::string key = piece.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : piece.substr(eq + 1);
        if (Set(key, value)) ++applied;
    }
    return applied;
}

bool SimCamera::Command(const std::string& commandText) {
    size_t eq = commandText.find('=');
    if (eq == std::string::npos) return false;
    std::string key = commandText.substr(0, eq);
    std::string value = commandText.substr(eq + 1);
    if (value != "1") return false;
    if (key == keys::kReboot) {
        Reboot();
    } else if (key == keys::kSwDefault) {
        SoftwareDefault();
    } else if (key == keys::kHwDefault) {
        HardwareDefault();
    } else {
        return false;
    }
    return true;
}

std::string SimCamera::Mac() const { return GetOr(keys::kMac); }

SimNetwork SimCamera::Network() const {
    std::lock_guard lock(mutex_);
    SimNetwork net;
    std::string current = params_.at(keys::kCurrentAddress);
    std::string ip, mask, gw;
    size_t first = current.find('/');
    size_t second = first == std::string::npos ? first : current.find('/', first + 1);
    if (second != std::string::npos) {
        net.ip = current.substr(0, first);
        net.mask = current.substr(first + 1, second - first - 1);
        net.gateway = current.substr(second + 1);
    }
    net.mode = params_.at(keys::kMode);
    net.dns1 = params_.at(keys::kDns1);
    net.dns2 = params_.at(keys::kDns2);
    net.httpPort = std::atoi(params_.at(keys::kHttpPort).c_str());
    return net;
}

std::string SimCamera::User() const {
    std::lock_guard lock(mutex_);
    return user_;
}

std::string SimCamera::Password() const {
    std::lock_guard lock(mutex_);
    return password_;
}

SimFaults SimCamera::Faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void SimCamera::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

bool SimCamera::IsSilent(Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    return now < silentUntil_;
}

void SimCamera::Reboot() {
    {
        std::lock_guard lock(mutex_);
        silentUntil_ = Clock::now() + std::chrono::milliseconds(rebootSilentMs_);
    }
    Notify(SimChange::Reboot);
}

void SimCamera::SoftwareDefault() {
    {
        std::lock_guard lock(mutex_);
        // Back to the factory settings, but the camera stays reachable where it is.
        params_[keys::kDeviceName] = factory_.factoryName;
        user_ = factory_.factoryUser;
        password_ = factory_.factoryPassword;
        silentUntil_ = Clock::now() + std::chrono::milliseconds(rebootSilentMs_);
    }
    Notify(SimChange::SoftwareDefault);
}

void SimCamera::HardwareDefault() {
    {
        std::lock_guard lock(mutex_);
        params_[keys::kDeviceName] = factory_.factoryName;
        user_ = factory_.factoryUser;
        password_ = factory_.factoryPassword;
        std::string address =
            JoinAddress(factory_.factoryIp, factory_.factoryMask, factory_.factoryGateway);
        params_[keys::kManualAddress] = address;
        params_[keys::kCurrentAddress] = address;
        params_[keys::kMode] = factory_.factoryMode;
        params_[keys::kHttpPort] = std::to_string(factory_.factoryHttpPort);
        params_[keys::kDns1] = "";
        params_[keys::kDns2] = "";
        silentUntil_ = Clock::now() + std::chrono::milliseconds(rebootSilentMs_);
    }
    Notify(SimChange::HardwareDefault);
}

void SimCamera::AddListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(std::move(listener));
}

void SimCamera::Notify(SimChange change) {
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(mutex_);
        listeners = listeners_;
    }
    for (auto& listener : listeners) listener(*this, change);
}

}  // namespace camsim
