#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "JsonFields.h"
#include "OnvifSim.h"
#include "platform/UdpSocket.h"

namespace camsim {
namespace {

using nlohmann::json;

constexpr auto Text = JsonText;
constexpr auto Number = JsonNumber;
constexpr auto Flag = JsonFlag;

std::string Hex12(const std::string& mac) {
    std::string hex;
    for (char c : mac)
        if (std::isxdigit(static_cast<unsigned char>(c))) hex += static_cast<char>(std::tolower(c));
    hex.resize(12, '0');
    return hex;
}

std::string Plus(const std::string& ip, unsigned k) {
    unsigned a, b, c, d;
    if (std::sscanf(ip.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        throw std::runtime_error("\"ip\" of an ONVIF device must be a dotted address");
    const unsigned v = ((a << 24) | (b << 16) | (c << 8) | d) + k;
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." +
           std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

void ParseDevice(const json& c, size_t index, std::vector<OnvifDeviceConfig>* devices) {
    const auto o = c.find("onvif");
    if (o == c.end() || !o->is_object()) return;
    const bool native = !c.contains("native") || Flag(c, "native");
    OnvifDeviceConfig d;
    char mac[18];
    std::snprintf(mac, sizeof mac, "00:1B:2C:00:%02X:%02X", static_cast<unsigned>((index >> 8) & 0xFF),
                  static_cast<unsigned>(index & 0xFF));
    d.mac = Text(c, "mac", mac);
    d.ip = Text(c, "ip", "");
    if (d.ip.empty()) throw std::runtime_error("an ONVIF device needs \"ip\"");
    uint32_t mask = 0;
    if (!tarsel::ParseIPv4(Text(c, "mask", "255.255.255.0").c_str(), &mask))
        throw std::runtime_error("an ONVIF device's \"mask\" is not a dotted mask");
    d.prefixLength = std::popcount(mask);
    d.dhcp = Text(c, "mode", "manual") == "dhcp";
    d.endpoint = Text(*o, "endpoint", "urn:uuid:5f0e1d2c-0000-4000-8000-" + Hex12(d.mac));
    d.port = static_cast<uint16_t>(Number(*o, "port", native ? 8080 : 80));
    d.maker = Text(*o, "maker", Text(c, "company", d.maker));
    d.model = Text(*o, "model", Text(c, "model", d.model));
    d.firmware = Text(*o, "firmware", Text(c, "firmware", d.firmware));
    d.serial = Text(*o, "serial", Text(c, "serial", "SN" + Hex12(d.mac)));
    d.hardware = Text(*o, "hardware", d.model);
    d.user = Text(c, "user", d.user);
    d.password = Text(c, "password", d.password);
    if (auto s = o->find("scopes"); s != o->end() && s->is_array()) {
        for (const json& scope : *s) d.scopes.push_back(scope.get<std::string>());
    } else {
        d.scopes = {"onvif://www.onvif.org/type/video_encoder",
                    "onvif://www.onvif.org/name/" + Text(c, "name", "Device"),
                    "onvif://www.onvif.org/hardware/" + d.hardware};
    }
    if (auto t = o->find("types"); t != o->end() && t->is_array()) {
        d.answersNvt = d.answersDevice = false;
        for (const json& type : *t) {
            d.answersNvt |= type == "NetworkVideoTransmitter";
            d.answersDevice |= type == "Device";
        }
    }
    d.replyDelayMaxMs = Number(*o, "replyDelayMaxMs", 500);
    if (d.replyDelayMaxMs < 0 || d.replyDelayMaxMs > 500)
        throw std::runtime_error("\"replyDelayMaxMs\" must be 0 to 500");
    d.clockOffsetSec = Number(*o, "clockOffsetSec", 0);
    const std::string auth = Text(*o, "auth", "usernameToken");
    if (auth != "usernameToken" && auth != "httpDigest")
        throw std::runtime_error("\"auth\" must be usernameToken or httpDigest");
    d.httpDigestOnly = auth == "httpDigest";
    d.snapshotUri = Text(*o, "snapshotUri", "");
    d.snapshotWidth = Number(*o, "snapshotWidth", d.snapshotWidth);
    d.snapshotHeight = Number(*o, "snapshotHeight", d.snapshotHeight);
    if (d.snapshotWidth < 16 || d.snapshotWidth > 8192 || d.snapshotHeight < 16 || d.snapshotHeight > 8192)
        throw std::runtime_error("\"snapshotWidth\" and \"snapshotHeight\" must be 16 to 8192");
    if (auto f = o->find("faults"); f != o->end() && f->is_object()) {
        d.faults.echoMessageId = Flag(*f, "echoMessageId");
        d.faults.emptyProbeMatches = Flag(*f, "emptyProbeMatches");
        d.faults.noXAddrs = Flag(*f, "noXAddrs");
        d.faults.linkLocalFirst = Flag(*f, "linkLocalFirst");
        d.faults.ipv6XAddrs = Flag(*f, "ipv6XAddrs");
        d.faults.localTimeAsUtc = Flag(*f, "localTimeAsUtc");
        d.faults.mediaOtherHost = Flag(*f, "mediaOtherHost");
        d.faults.hostileXml = Text(*f, "hostileXml", "");
    }
    // "count": N stands for N devices (addresses, MACs and endpoints counted up), for scale.
    const int count = Number(c, "count", 1);
    for (int k = 0; k < count; ++k) {
        OnvifDeviceConfig copy = d;
        if (k > 0) {
            copy.ip = Plus(d.ip, static_cast<unsigned>(k));
            // The endpoint's last six hex digits counted up, as its address is.
            const size_t cut = d.endpoint.size() >= 6 ? d.endpoint.size() - 6 : 0;
            const unsigned long low = std::strtoul(d.endpoint.substr(cut).c_str(), nullptr, 16);
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "%06lx", (low + static_cast<unsigned long>(k)) & 0xFFFFFF);
            copy.endpoint = d.endpoint.substr(0, cut) + suffix;
            copy.serial = d.serial + "-" + std::to_string(k + 1);
        }
        devices->push_back(std::move(copy));
    }
}

}  // namespace

bool ParseOnvifDevices(const std::string& jsonText, std::vector<OnvifDeviceConfig>* devices,
                       std::string* error) {
    devices->clear();
    const json doc = json::parse(jsonText, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        *error = "the configuration is not a JSON object";
        return false;
    }
    const auto list = doc.find("cameras");
    if (list == doc.end() || !list->is_array()) return true;
    for (size_t i = 0; i < list->size(); ++i) {
        try {
            if ((*list)[i].is_object()) ParseDevice((*list)[i], i, devices);
        } catch (const std::exception& e) {
            *error = "camera " + std::to_string(i + 1) + ": onvif: " + e.what();
            return false;
        }
    }
    return true;
}

bool LoadOnvifDevices(const std::string& path, std::vector<OnvifDeviceConfig>* devices,
                      std::string* error) {
    std::string text;
    if (!ReadConfigFile(path, &text)) {
        *error = "cannot read " + path;
        return false;
    }
    return ParseOnvifDevices(text, devices, error);
}

}  // namespace camsim
