#include "SimConfig.h"

#include "JsonFields.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace camsim {
namespace {

using nlohmann::json;

// Strings may be given as numbers too (ports, serials), and the other way round.
constexpr auto Text = JsonText;
constexpr auto Number = JsonNumber;
constexpr auto Flag = JsonFlag;

bool ValidMac(const std::string& mac) {
    unsigned b[6];
    char tail;
    return mac.size() == 17 && std::sscanf(mac.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0],
                                           &b[1], &b[2], &b[3], &b[4], &b[5], &tail) == 6;
}

SimCameraConfig ParseCamera(const json& c, size_t index) {
    if (!c.is_object()) throw std::runtime_error("not an object");
    SimCameraConfig cfg;
    char defaultMac[18];
    std::snprintf(defaultMac, sizeof defaultMac, "00:1B:2C:00:%02X:%02X",
                  static_cast<unsigned>((index >> 8) & 0xFF), static_cast<unsigned>(index & 0xFF));
    cfg.name = Text(c, "name", "Camera-" + std::to_string(index + 1));
    cfg.mac = Text(c, "mac", defaultMac);
    if (!ValidMac(cfg.mac)) throw std::runtime_error("\"mac\" must be six hex fields with ':'");
    cfg.model = Text(c, "model", cfg.model);
    cfg.firmware = Text(c, "firmware", cfg.firmware);
    cfg.company = Text(c, "company", cfg.company);
    cfg.serial = Text(c, "serial", "SN" + cfg.mac.substr(9, 2) + cfg.mac.substr(12, 2) +
                                       cfg.mac.substr(15, 2));
    cfg.ip = Text(c, "ip", "");
    cfg.mask = Text(c, "mask", cfg.mask);
    cfg.gateway = Text(c, "gateway", "");
    cfg.mode = Text(c, "mode", cfg.mode);
    if (cfg.mode != "manual" && cfg.mode != "dhcp" && cfg.mode != "pppoe")
        throw std::runtime_error("\"mode\" must be manual, dhcp or pppoe");
    cfg.dns1 = Text(c, "dns1", "");
    cfg.dns2 = Text(c, "dns2", "");
    cfg.httpPort = Number(c, "httpPort", 80);
    cfg.user = Text(c, "user", cfg.user);
    cfg.password = Text(c, "password", cfg.password);
    cfg.rebootSilentMs = Number(c, "rebootSilentMs", cfg.rebootSilentMs);
    if (auto f = c.find("factory"); f != c.end() && f->is_object()) {
        cfg.factoryName = Text(*f, "name", "");
        cfg.factoryIp = Text(*f, "ip", "");
        cfg.factoryMask = Text(*f, "mask", "");
        cfg.factoryGateway = Text(*f, "gateway", "");
        cfg.factoryMode = Text(*f, "mode", "");
        cfg.factoryUser = Text(*f, "user", "");
        cfg.factoryPassword = Text(*f, "password", "");
        cfg.factoryHttpPort = Number(*f, "httpPort", 0);
    } else {
        cfg.factoryHttpPort = 0;
    }
    if (auto f = c.find("faults"); f != c.end() && f->is_object()) {
        cfg.faults.neverAnswer = Flag(*f, "neverAnswer");
        cfg.faults.wrongDigests = Flag(*f, "wrongDigests");
        cfg.faults.badVersion = Flag(*f, "badVersion");
        cfg.faults.senderOne = Flag(*f, "senderOne");
        cfg.faults.truncatedItems = Flag(*f, "truncatedItems");
        cfg.faults.oversizedValues = Flag(*f, "oversizedValues");
        cfg.faults.wrongHostAddress = Flag(*f, "wrongHostAddress");
        cfg.faults.unicastReply = Flag(*f, "unicastReply");
        cfg.faults.replyDelayMs = Number(*f, "replyDelayMs", 0);
        cfg.faults.ignoreSettings = Flag(*f, "ignoreSettings");
    }
    return cfg;
}

// Adds k to the last three bytes of a MAC text (which ValidMac accepted).
std::string MacPlus(const std::string& mac, unsigned k) {
    unsigned b[6];
    std::sscanf(mac.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    unsigned low = ((b[3] << 16) | (b[4] << 8) | b[5]) + k;
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2],
                  (low >> 16) & 0xFF, (low >> 8) & 0xFF, low & 0xFF);
    return text;
}

std::string AddressPlus(const std::string& ip, unsigned k) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(ip.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255)
        throw std::runtime_error("\"ip\" of a mass entry must be a dotted address");
    unsigned value = ((a << 24) | (b << 16) | (c << 8) | d) + k;
    return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
           std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
}

// A mass entry ("count": N) stands for N cameras of one site: MACs and addresses counted
// up from the entry's, names numbered, replies spread over "spreadMs" (100 by default) as
// independent devices would answer. They answer discovery only (no web server).
void ExpandMass(const json& c, SimCameraConfig first, std::vector<SimCameraConfig>& cameras) {
    const int count = Number(c, "count", 1);
    if (count < 1 || count > 0xFFFF) throw std::runtime_error("\"count\" must be 1 to 65535");
    if (count == 1) {
        cameras.push_back(std::move(first));
        return;
    }
    const int spreadMs = Number(c, "spreadMs", 100);
    for (int k = 0; k < count; ++k) {
        SimCameraConfig camera = first;
        const unsigned step = static_cast<unsigned>(k);
        camera.mac = MacPlus(first.mac, step);
        camera.name = first.name + "-" + std::to_string(k + 1);
        camera.serial = first.serial + "-" + std::to_string(k + 1);
        if (!first.ip.empty()) camera.ip = AddressPlus(first.ip, step);
        camera.faults.replyDelayMs += static_cast<int>(static_cast<long long>(spreadMs) * k / count);
        camera.web = false;
        cameras.push_back(std::move(camera));
    }
}

}  // namespace

bool ParseSimConfig(const std::string& jsonText, std::vector<SimCameraConfig>& cameras,
                    std::string& error) {
    json doc = json::parse(jsonText, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        error = "the configuration is not a JSON object";
        return false;
    }
    auto list = doc.find("cameras");
    if (list == doc.end() || !list->is_array()) {
        error = "the configuration has no \"cameras\" array";
        return false;
    }
    cameras.clear();
    std::set<std::string> macs;
    for (size_t i = 0; i < list->size(); ++i) {
        const size_t before = cameras.size();
        // A device of another maker only ("native": false) is OnvifSim's alone.
        if (const json& c = (*list)[i]; c.is_object() && c.contains("native") && c["native"] == false) continue;
        try {
            SimCameraConfig camera = ParseCamera((*list)[i], i);
            camera.entry = i;
            ExpandMass((*list)[i], std::move(camera), cameras);
        } catch (const std::exception& e) {
            error = "camera " + std::to_string(i + 1) + ": " + e.what();
            return false;
        }
        for (size_t k = before; k < cameras.size(); ++k) {
            std::string mac = cameras[k].mac;
            for (char& ch : mac) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (!macs.insert(mac).second) {
                error = "camera " + std::to_string(i + 1) + ": MAC " + cameras[k].mac +
                        " is used twice";
                return false;
            }
        }
    }
    return true;
}

bool LoadSimConfig(const std::string& path, std::vector<SimCameraConfig>& cameras,
                   std::string& error) {
    std::string text;
    if (!ReadConfigFile(path, &text)) {
        error = "cannot read " + path;
        return false;
    }
    return ParseSimConfig(text, cameras, error);
}

}  // namespace camsim
