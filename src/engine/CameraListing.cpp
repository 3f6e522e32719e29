#include "engine/CameraListing.h"

#include <cstdlib>
#include <map>

#include "engine/CameraRecord.h"
#include "engine/CameraTable.h"

namespace {
// The port as a number, 0 when the text is not a port from 1 to 65535.
long long PortNumber(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0' && value > 0 && value <= 65535) ? value : 0;
}
}  // namespace

CameraListing ListingOfRecord(const CameraRecord& r) {
    CameraListing c;
    c.name = r.name;
    c.mac = r.mac;
    c.ip = r.ip;
    c.mask = r.mask;
    c.gateway = r.gateway;
    c.mode = r.mode;
    c.fwVersion = r.fwVersion;
    c.model = r.model;
    c.company = r.company;
    c.serial = r.serial;
    c.httpPort = PortNumber(r.httpPort);
    c.adapter = r.adapterIp;
    c.adapterName = r.adapterName;
    c.viaHttp = r.viaHttp == 1;
    return c;
}

CameraListing ListingOfEntry(const CameraEntry& entry) {
    CameraListing c = ListingOfRecord(entry.record);
    const char* text = StatusIndexText(entry.statusIndex);
    c.status = text[0] != '\0' ? text : entry.statusText;
    // A percentage is a moment of an upgrade, not a state a list keeps: said as the state.
    if (entry.statusIndex == STATUS_INDEX_PROGRESS) c.status = entry.progress >= 100 ? "Upgraded" : "Upgrading";
    c.warnings = entry.warnings;
    c.onvif = entry.onvif;
    if (entry.kind == DeviceKind::Onvif) {
        c.protocol = "onvif";
        if (entry.onvif) c.mac = entry.onvif->facts.network.mac;  // known once read with credentials
    }
    return c;
}

void AddWarnings(std::vector<CameraListing>& cameras, const SubnetsOfAdapter& subnetsOf) {
    std::map<std::string, std::vector<AdapterSubnet>> subnets;  // one enumeration per adapter
    std::vector<CameraPlace> places;
    places.reserve(cameras.size());
    for (const CameraListing& c : cameras) {
        CameraPlace place{c.ip, {}};
        if (!c.viaHttp && !c.adapterName.empty()) {
            auto it = subnets.find(c.adapterName);
            if (it == subnets.end())
                it = subnets.emplace(c.adapterName, subnetsOf(c.adapterName)).first;
            place.adapterSubnets = it->second;
        }
        places.push_back(std::move(place));
    }
    const auto warnings = CameraWarnings(places);
    for (size_t i = 0; i < cameras.size(); ++i) cameras[i].warnings = warnings[i];
}
