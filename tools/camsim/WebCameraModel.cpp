#include "WebCameraModel.h"

#include <cstdio>

namespace {
constexpr char kAddressKey[] = "system.information.wire.ipv4.address";
constexpr char kManualAddressKey[] = "network.wire.ipv4.manual.address";

// Keys a client may write; the information keys are the camera's own.
bool Writable(const std::string& key) {
    return key == "network.device_name" || key == kManualAddressKey ||
           key == "network.wire.ipv4.mode" || key == "network.web.http_port" ||
           key == "network.wire.ipv4.manual.dns.1.address" ||
           key == "network.wire.ipv4.manual.dns.2.address" ||
           key == "network.wire.ipv4.pppoe.username" ||
           key == "network.wire.ipv4.pppoe.password";
}
}  // namespace

MapWebCamera::MapWebCamera(std::string user, std::string password, const std::string& ip,
                           const std::string& mac)
    : user_(std::move(user)), password_(std::move(password)) {
    values_ = {
        {"system.information.product_name", "TRL-D512"},
        {"network.device_name", "Camera " + mac.substr(mac.size() > 5 ? mac.size() - 5 : 0)},
        {"system.information.wire.mac_address", mac},
        {kAddressKey, ip + "/255.255.255.0/0.0.0.0"},
        {kManualAddressKey, ip + "/255.255.255.0/0.0.0.0"},
        {"network.web.http_port", "80"},
        {"network.wire.ipv4.mode", "manual"},
        {"system.information.fw_version", "1.0.0.1"},
        {"system.information.sn", "SN" + mac},
        {"system.information.company", "Tarsel"},
        {"network.wire.ipv4.manual.dns.1.address", "0.0.0.0"},
        {"network.wire.ipv4.manual.dns.2.address", "0.0.0.0"},
    };
}

void MapWebCamera::Credentials(std::string* user, std::string* password) const {
    std::lock_guard<std::mutex> lock(mutex_);
    *user = user_;
    *password = password_;
}

bool MapWebCamera::ReadParameter(const std::string& key, std::string* value) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return false;
    *value = it->second;
    return true;
}

bool MapWebCamera::WriteParameter(const std::string& key, const std::string& value) {
    if (!Writable(key)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (key == kManualAddressKey) {
        // A lone address keeps the mask and gateway; three slash-joined ones replace all.
        std::string current = values_[kAddressKey];
        std::string rest = current.find('/') == std::string::npos
                               ? "/255.255.255.0/0.0.0.0"
                               : current.substr(current.find('/'));
        std::string full = value.find('/') == std::string::npos ? value + rest : value;
        values_[kManualAddressKey] = full;
        values_[kAddressKey] = full;
        return true;
    }
    values_[key] = value;
    return true;
}

void MapWebCamera::Command(const std::string& command) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (command == "UPGRADED") {
        std::string& version = values_["system.information.fw_version"];
        version += "+";
    }
}
