#include "SimProtocol.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "LibPacket/PacketProcess.h"
#include "common/Md5.h"

namespace camsim {
namespace {

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void WriteU16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void WriteU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

bool ParseMac(const std::string& text, uint8_t mac[6]) {
    unsigned int b[6];
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x", &b[0], &b[1], &b[2], &b[3], &b[4],
                    &b[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(b[i]);
    return true;
}

void AppendItem(std::vector<uint8_t>& out, uint32_t id, const std::string& value) {
    size_t at = out.size();
    out.resize(at + PACKET_ITEM_HEADER_SIZE + value.size(), 0);
    WriteU16(out, at, static_cast<uint16_t>(PACKET_ITEM_HEADER_SIZE + value.size()));
    WriteU32(out, at + 4, id);
    std::memcpy(out.data() + at + PACKET_ITEM_HEADER_SIZE, value.data(), value.size());
}

std::string Raw(const uint8_t digest[16]) {
    return std::string(reinterpret_cast<const char*>(digest), 16);
}

// The key text of an item id (first table row with that id), "" for none.
std::string KeyOfId(uint32_t id) {
    for (const ParameterKey& row : ParameterKeyTable) {
        if (row.id == id) return row.key;
    }
    return "";
}

}  // namespace

bool SimRequest::IsForAllCameras() const {
    for (uint8_t b : targetMac) {
        if (b != 0xFF) return false;
    }
    return true;
}

bool SimRequest::IsFor(const std::string& macText) const {
    uint8_t mac[6];
    return ParseMac(macText, mac) && std::memcmp(mac, targetMac, 6) == 0;
}

bool ParseRequest(const uint8_t* data, size_t length, SimRequest& request) {
    if (data == nullptr || length < PACKET_HEADER_SIZE) return false;
    if (data[0] != static_cast<uint8_t>(~data[2]) || data[1] != static_cast<uint8_t>(~data[3]))
        return false;
    if (data[16] != 1) return false;  // replies of other cameras, or garbage
    request = SimRequest{};
    std::memcpy(request.version, data, 4);
    request.type = ReadU16(data + 4);
    std::memcpy(request.hostAddress, data + 6, 4);
    std::memcpy(request.targetMac, data + 10, 6);
    request.sender = data[16];
    std::memcpy(request.credentialDigest, data + 20, 16);
    request.totalLength = ReadU32(data + 36);
    size_t at = PACKET_HEADER_SIZE;
    while (at + PACKET_ITEM_HEADER_SIZE <= length) {
        SimItem item;
        item.length = ReadU16(data + at);
        item.writeFlag = data[at + 2];
        item.id = ReadU32(data + at + 4);
        if (item.length < PACKET_ITEM_HEADER_SIZE || at + item.length > length) break;
        item.value.assign(reinterpret_cast<const char*>(data + at + PACKET_ITEM_HEADER_SIZE),
                          item.length - PACKET_ITEM_HEADER_SIZE);
        request.items.push_back(std::move(item));
        at += request.items.back().length;
    }
    return true;
}

void SlashDigest(const std::string& a, const std::string& b, uint8_t out[16]) {
    std::string text = a + "/" + b;
    Md5(text.data(), text.size(), out);
}

std::vector<uint8_t> BuildReply(const SimRequest& request, const SimCamera& camera) {
    const uint32_t type = request.type;
    const std::string mac = camera.Mac();
    const bool toMe = request.IsFor(mac);
    if (type == HEADER_IP_QUERY || type == HEADER_WIRELESS_IP_QUERY) {
        if (!toMe && !request.IsForAllCameras()) return {};
    } else if (type == HEADER_IP_AUTHENTICATE) {
        if (!toMe) return {};
    } else {
        return {};
    }
    const SimFaults faults = camera.Faults();

    std::vector<uint8_t> out(PACKET_HEADER_SIZE, 0);
    // A camera answers with the request's own version bytes, complements included.
    std::memcpy(out.data(), request.version, 4);
    if (faults.badVersion) out[3] = static_cast<uint8_t>(out[3] ^ 0x01);
    WriteU16(out, 4, static_cast<uint16_t>(type));
    std::memcpy(out.data() + 6, request.hostAddress, 4);
    if (faults.wrongHostAddress) out[9] = static_cast<uint8_t>(out[9] + 1);
    uint8_t macBytes[6] = {};
    ParseMac(mac, macBytes);
    std::memcpy(out.data() + 10, macBytes, 6);
    out[16] = faults.senderOne ? 1 : 0;

    if (type == HEADER_IP_AUTHENTICATE) {
        std::string user = camera.User();
        std::string password = camera.Password();
        if (faults.wrongDigests) {
            user += "x";
            password += "x";
        }
        uint8_t digestA[16], digestB[16];
        SlashDigest(user, user, digestA);
        SlashDigest(password, password, digestB);
        AppendItem(out, 2, mac);
        AppendItem(out, 50, Raw(digestA));
        AppendItem(out, 51, Raw(digestB));
    } else {
        const SimNetwork net = camera.Network();
        std::string name = camera.GetOr(keys::kDeviceName);
        if (faults.oversizedValues) name = std::string(200, 'N');
        AppendItem(out, 1, name);
        AppendItem(out, 2, mac);
        AppendItem(out, 10, camera.GetOr(keys::kProductName));
        AppendItem(out, 11, camera.GetOr(keys::kFwVersion));
        AppendItem(out, 60, std::to_string(net.httpPort));
        AppendItem(out, 62, camera.GetOr(keys::kCompany));
        AppendItem(out, 101, net.ip);
        AppendItem(out, 102, net.mask);
        AppendItem(out, 103, net.gateway);
        AppendItem(out, 104, net.mode);
    }
    if (faults.truncatedItems) {
        // The last item claims 20 bytes more than the datagram holds.
        size_t last = PACKET_HEADER_SIZE;
        while (last + ReadU16(out.data() + last) < out.size()) last += ReadU16(out.data() + last);
        WriteU16(out, last, static_cast<uint16_t>(ReadU16(out.data() + last) + 20));
    }
    WriteU32(out, 36, static_cast<uint32_t>(out.size()));
    return out;
}

std::string AssignmentsFromItems(const SimRequest& request) {
    std::string text;
    for (const SimItem& item : request.items) {
        std::string key = KeyOfId(item.id);
        if (key.empty()) continue;
        if (!text.empty()) text += "&";
        text += key + "=" + item.value;
    }
    return text;
}

bool ApplyRequest(const SimRequest& request, SimCamera& camera) {
    if (request.type != HEADER_IP_SET && request.type != HEADER_SYSTEM_COMMAND) return false;
    if (!request.IsFor(camera.Mac())) return false;
    uint8_t expected[16];
    SlashDigest(camera.User(), camera.Password(), expected);
    if (std::memcmp(expected, request.credentialDigest, 16) != 0) return false;
    if (request.type == HEADER_IP_SET) {
        // The simulator's log says what a camera was told, for tests that read it.
        const std::string assignments = AssignmentsFromItems(request);
        std::fprintf(stderr, "tarsel-camsim: %s settings received: %s\n", camera.Mac().c_str(),
                     assignments.c_str());
        if (camera.Faults().ignoreSettings) return false;
        return camera.Apply(assignments) > 0;
    }
    if (camera.Faults().ignoreSettings) return false;
    bool applied = false;
    for (const SimItem& item : request.items) {
        if (item.id == 91) applied = camera.Apply(item.value) > 0 || applied;
    }
    return applied;
}

}  // namespace camsim
