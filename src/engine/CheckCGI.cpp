// The HTTP information read: proves a camera's credentials and gives the same reply that
// discovery would, so that a camera reached over HTTP goes through the same dispatch.

#include <cstdio>
#include <cstring>

#include "common/stdafx.h"
#include "engine/TSmain.h"

HttpOutcome CheckCGI(EnginePorts& ports, const char* ip, const char* port, const char* user,
                     const char* password, CameraReply* info) {
    std::memset(info, 0, sizeof *info);
    HttpOutcome result = ports.GetNode(ip, port, user, password,
                                       "system.information.product_name", info->productName,
                                       sizeof info->productName);
    if (!result.Done()) return result;
    if (!ports.IsKnownModel(info->productName))
        return HttpOutcome::Of(HttpResult::NotCamera, 200);

    struct Field {
        const char* key;
        char* out;
    };
    const Field before[] = {
        {"network.device_name", info->deviceName},
        {"system.information.wire.mac_address", info->mac},
    };
    for (const Field& field : before) {
        result = ports.GetNode(ip, port, user, password, field.key, field.out, 128);
        if (!result.Done()) return result;
    }
    char address[1024] = {};
    result = ports.GetNode(ip, port, user, password, "system.information.wire.ipv4.address",
                           address, sizeof address);
    if (!result.Done()) return result;
    std::sscanf(address, "%127[^/]/%127[^/]/%127[^\n]", info->ip, info->mask, info->gateway);
    const Field after[] = {
        {"network.web.http_port", info->httpPort},
        {"network.wire.ipv4.mode", info->mode},
        {"system.information.fw_version", info->fwVersion},
        {"system.information.sn", info->serial},
        {"system.information.company", info->company},
    };
    for (const Field& field : after) {
        result = ports.GetNode(ip, port, user, password, field.key, field.out, 128);
        if (!result.Done()) return result;
    }
    info->type = HEADER_IP_QUERY;
    info->viaHttp = 1;
    BoundedCopy(info->user, user, "CheckCGI", __LINE__);
    BoundedCopySecret(info->password, password, "CheckCGI", __LINE__);
    return result;
}
