#include "CliCamera.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

#include "common/Language.h"
#include "engine/CameraWarnings.h"

namespace cli {
namespace {

long long PortNumber(const char* text) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0' && value > 0 && value <= 65535) ? value : 0;
}

uint32_t AddressValue(const std::string& text) {
    in_addr a{};
    return inet_pton(AF_INET, text.c_str(), &a) == 1 ? ntohl(a.s_addr) : 0xFFFFFFFFu;
}

}  // namespace

CameraView CameraFromReply(const CameraReply& reply, const std::string& status) {
    CameraView c;
    c.name = reply.deviceName;
    c.mac = reply.mac;
    c.ip = reply.ip;
    c.mask = reply.mask;
    c.gateway = reply.gateway;
    c.mode = reply.mode;
    c.fwVersion = reply.fwVersion;
    c.model = reply.productName;
    c.company = reply.company;
    c.serial = reply.serial;
    c.httpPort = PortNumber(reply.httpPort);
    c.adapter = reply.adapter.addressText;
    c.adapterName = reply.adapter.name;
    c.viaHttp = reply.viaHttp == 1;
    c.status = status;
    return c;
}

std::vector<Column> CameraColumns() {
    return {
        {"name", LoadText(20040), true},       {"mac", LoadText(20041), true},
        {"ip", LoadText(20042), true},         {"mask", LoadText(20043), true},
        {"gateway", LoadText(20044), true},    {"httpPort", LoadText(20046), true},
        {"mode", LoadText(20047), true},       {"fwVersion", LoadText(20053), true},
        {"model", LoadText(20054), true},      {"company", "Company", false},
        {"serial", "Serial", false},           {"adapter", "Adapter", true},
        {"adapterName", "Interface", false},   {"viaHttp", "HTTP", false},
        {"status", LoadText(20055), true},     {"warnings", "Warnings", true},
    };
}

Row CameraRow(const CameraView& c) {
    return {c.name,    c.mac,     c.ip,      c.mask,        c.gateway,
            c.httpPort, c.mode,   c.fwVersion, c.model,     c.company,
            c.serial,  c.adapter, c.adapterName, c.viaHttp, c.status,
            c.warnings};
}

void AddWarnings(std::vector<CameraView>& cameras) {
    std::map<std::string, std::vector<AdapterSubnet>> subnets;  // one enumeration per adapter
    std::vector<CameraPlace> places;
    for (const CameraView& c : cameras) {
        CameraPlace place{c.ip, {}};
        if (!c.viaHttp && !c.adapterName.empty()) {
            auto it = subnets.find(c.adapterName);
            if (it == subnets.end())
                it = subnets.emplace(c.adapterName, AdapterSubnetsOf(c.adapterName)).first;
            place.adapterSubnets = it->second;
        }
        places.push_back(std::move(place));
    }
    const auto warnings = CameraWarnings(places);
    for (size_t i = 0; i < cameras.size(); ++i) cameras[i].warnings = warnings[i];
}

void SortCameras(std::vector<CameraView>& cameras) {
    std::stable_sort(cameras.begin(), cameras.end(), [](const CameraView& a, const CameraView& b) {
        return std::make_tuple(AddressValue(a.ip), a.mac) < std::make_tuple(AddressValue(b.ip), b.mac);
    });
}

bool SameMac(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace cli
