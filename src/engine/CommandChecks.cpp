#include "engine/CommandChecks.h"

#include "common/Language.h"
#include "engine/SettingsText.h"
#include "finder/LibIP.h"
#include "web/LibCurl.h"

SaveProblem CheckSaveInput(const CameraSettingsRequest& request) {
    if (const SettingRefusal refusal = CheckSettingsRequest(request)) {
        if (refusal.field == "name")
            return refusal.kind == SettingRefusal::TooLong ? SAVE_NAME_TOO_LONG : SAVE_NAME_CHARACTERS;
        if (refusal.field == "address") return SAVE_BAD_ADDRESS;
        if (refusal.field == "mask") return SAVE_BAD_MASK;
        if (refusal.field == "gateway") return SAVE_BAD_GATEWAY;
        if (refusal.field == "port") return SAVE_BAD_PORT;
        return SAVE_BAD_MODE;
    }
    if (request.mode == "manual") {
        if (!IsValidIpText(request.ip.c_str())) return SAVE_BAD_ADDRESS;
        if (!IsValidMaskText(request.mask.c_str())) return SAVE_BAD_MASK;
        if (!request.gateway.empty() && !IsValidIpText(request.gateway.c_str())) return SAVE_BAD_GATEWAY;
    }
    if (!IsValidPortText(request.port.c_str())) return SAVE_BAD_PORT;
    if (!request.mode.empty() && request.mode != "dhcp" && request.mode != "manual" &&
        request.mode != "pppoe")
        return SAVE_BAD_MODE;
    if (request.mode == "manual" && !request.gateway.empty()) {
        const uint64_t gateway = IpTextToValue(request.gateway.c_str());
        const uint64_t mask = IpTextToValue(request.mask.c_str());
        if (gateway != 0 && SubnetOf(gateway, mask) != SubnetOf(IpTextToValue(request.ip.c_str()), mask))
            return SAVE_GATEWAY_SUBNET;
    }
    return SAVE_OK;
}

int SaveProblemTextId(SaveProblem problem) {
    switch (problem) {
        case SAVE_NAME_CHARACTERS: return 20113;
        case SAVE_NAME_TOO_LONG: return 20114;
        case SAVE_BAD_ADDRESS: return 20115;
        case SAVE_BAD_MASK: return 20116;
        case SAVE_BAD_GATEWAY: return 20117;
        case SAVE_BAD_PORT: return 20118;
        case SAVE_GATEWAY_SUBNET: return 20092;  // "Gateway and the set IP are not in the same subnet."
        default: return 20119;
    }
}

bool ReachableFromAdapters(const CameraSettingsRequest& request, const std::vector<NetworkAdapter>& adapters) {
    if (request.mode != "manual") return true;
    const uint64_t ip = IpTextToValue(request.ip.c_str());
    for (const NetworkAdapter& adapter : adapters) {
        for (const NetworkAddress& own : adapter.addresses) {
            const uint64_t address = IpTextToValue(own.address), mask = IpTextToValue(own.mask);
            if (address == 0 || address == INVALID_IP_VALUE || mask == INVALID_IP_VALUE) continue;
            if (SubnetOf(address, mask) == SubnetOf(ip, mask)) return true;
        }
    }
    return false;
}

int CommandSelectionMessage(const std::vector<CommandRow>& checked, const std::string& currentMac,
                            bool currentBusy, const std::function<bool(const std::string&)>& isVerified) {
    for (const CommandRow& row : checked) {
        if (!isVerified(row.mac)) return 0;
        if (row.busy) return 9;
    }
    if (!checked.empty()) return -1;
    if (currentMac.empty()) return 4;
    if (!isVerified(currentMac)) return 0;
    if (currentBusy) return 9;
    return -1;
}

bool CameraPageUrl(const std::string& ip, const std::string& port, std::string* url) {
    CameraAddress address;
    if (!ParseCameraAddress(ip.c_str(), port.c_str(), &address)) return false;
    *url = CameraUrl(address, "");
    return true;
}

std::string ListedNames(const std::vector<std::string>& names) {
    constexpr int kAndMore = 20136;  // "and %1 more"
    constexpr size_t kNamed = 5;
    std::string listed;
    for (size_t i = 0; i < names.size() && i < kNamed; ++i) {
        if (i > 0)
            listed += ", ";
        listed += names[i];
    }
    if (names.size() > kNamed)
        listed += " " + LoadTextWith(kAndMore, {std::to_string(names.size() - kNamed)});
    return listed;
}

std::string CommandTargetsText(const std::vector<std::string>& names) {
    constexpr int kCommandTargets = 20135;  // "Cameras (%1): %2"
    return LoadTextWith(kCommandTargets, {std::to_string(names.size()), ListedNames(names)});
}
