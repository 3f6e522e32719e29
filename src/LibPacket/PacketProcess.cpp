#include "LibPacket/PacketProcess.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "common/Md5.h"
#include "common/stdafx.h"

const ParameterKey ParameterKeyTable[PARAMETER_KEY_COUNT] = {
    {"network.device_name", 1},
    {"system.information.wire.mac_address", 2},
    {"system.information.wireless.mac_address", 3},
    {"system.information.product_name", 10},
    {"system.information.fw_version", 11},
    {"", 12},
    {"account.admin.user_id", 50},
    {"account.admin.password", 51},
    {"network.web.http_port", 60},
    {"network.web.ssl.port", 61},
    {"system.information.company", 62},
    {"", 100},
    // Address, mask and gateway share one key: a set request carries them together as
    // "a/m/g" under the first id, a reply reports them as three items.
    {"network.wire.ipv4.manual.address", 101},
    {"network.wire.ipv4.manual.address", 102},
    {"network.wire.ipv4.manual.address", 103},
    {"network.wire.ipv4.mode", 104},
    {"network.wire.ipv4.manual.dns.1.address", 105},
    {"network.wire.ipv4.manual.dns.2.address", 106},
    {"", 110},
    {"system.information.wireless.ipv4.address", 111},
    {"system.information.wireless.ipv4.address", 112},
    {"system.information.wireless.ipv4.address", 113},
    {"network.wireless.ipv4.mode", 114},
    {"network.wireless.ipv4.manual.primary_dns", 115},
    {"network.wireless.ipv4.manual.secondary_dns", 116},
    {"", 120},
    {"", 121},
    {"", 122},
    {"", 123},
    {"", 130},
    {"", 131},
    {"", 132},
    {"network.wire.ipv4.pppoe.username", 140},
    {"network.wire.ipv4.pppoe.password", 141},
    {"", 200},
    {"system.reboot", 300},
    {"system.sw_factory_default", 301},
    {"system.hw_factory_default", 302},
};

int LookupKeyId(const char* key) {
    if (key == nullptr || key[0] == '\0' || std::strchr(key, '=') != nullptr)
        return -1;
    for (const ParameterKey& row : ParameterKeyTable) {
        if (row.key[0] != '\0' && std::strcmp(row.key, key) == 0)
            return static_cast<int>(row.id);
    }
    return -1;
}

namespace {

constexpr size_t kRequestTextMax = 511;  // type-1 request texts (512-byte working buffer)
constexpr size_t kKeyMax = 63;
constexpr size_t kValueMax = 127;
constexpr int kItemValueMax = 255;
constexpr uint32_t kItemIdMin = 1;
constexpr uint32_t kItemIdMax = 302;

constexpr uint32_t kQueryItems[] = {1, 2, 101, 102, 103, 60, 104, 10, 11, 62};
constexpr uint32_t kAuthenticateItems[] = {2, 101, 50, 51};
constexpr uint32_t kWirelessQueryItems[] = {1, 3, 111, 112, 113, 60, 114, 10, 11, 62};

inline const char* OrEmpty(const char* text) {
    return text ? text : "";
}

void PutU16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void PutU32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetU16(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8);
}

uint32_t GetU32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

bool WritesValues(uint32_t type) {
    return type == HEADER_IP_SET || type == HEADER_SYSTEM_COMMAND || type == HEADER_RAW_201 ||
           type == HEADER_RAW_202;
}

// Appends one item at offset; a value that would not fit the build buffer is cut so the
// packet always stays inside it. Returns the offset after the item.
size_t AppendItem(unsigned char* buffer, size_t offset, uint32_t type, uint32_t id,
                  const char* value, size_t valueLength) {
    if (offset + PACKET_ITEM_HEADER_SIZE > PACKET_BUFFER_SIZE)
        return offset;
    size_t room = PACKET_BUFFER_SIZE - offset - PACKET_ITEM_HEADER_SIZE;
    if (valueLength > room)
        valueLength = room;
    unsigned char* item = buffer + offset;
    PutU16(item, static_cast<uint32_t>(PACKET_ITEM_HEADER_SIZE + valueLength));
    item[2] = WritesValues(type) ? 1 : 0;
    item[3] = 0;
    PutU32(item + 4, id);
    if (valueLength > 0)
        std::memcpy(item + PACKET_ITEM_HEADER_SIZE, value, valueLength);
    return offset + PACKET_ITEM_HEADER_SIZE + valueLength;
}

template <size_t N>
size_t AppendEmptyItems(unsigned char* buffer, size_t offset, uint32_t type,
                        const uint32_t (&ids)[N]) {
    for (uint32_t id : ids)
        offset = AppendItem(buffer, offset, type, id, "", 0);
    return offset;
}

// Type 1: "key=value&key=value"; every known key becomes one item, in the order given.
size_t AppendAssignments(unsigned char* buffer, size_t offset, const char* requestText) {
    char work[kRequestTextMax + 1] = {};
    CopyTruncated(work, requestText);
    char* cursor = work;
    while (*cursor != '\0') {
        char* end = std::strchr(cursor, '&');
        if (end != nullptr)
            *end = '\0';
        if (*cursor != '\0') {
            char key[kKeyMax + 1] = {};
            char value[kValueMax + 1] = {};
            std::sscanf(cursor, "%63[^=]=%127[^&]", key, value);
            int id = LookupKeyId(key);
            if (id > 0) {
                offset = AppendItem(buffer, offset, HEADER_IP_SET, static_cast<uint32_t>(id), value,
                                    std::strlen(value));
            }
        }
        if (end == nullptr)
            break;
        cursor = end + 1;
    }
    return offset;
}

bool Check_Version(const unsigned char* datagram) {
    return datagram[0] == static_cast<unsigned char>(~datagram[2]) &&
           datagram[1] == static_cast<unsigned char>(~datagram[3]);
}

bool Check_SrcIp(const unsigned char* datagram, const char* arrivalAddressText) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", datagram[6], datagram[7], datagram[8],
                  datagram[9]);
    return std::strcmp(text, OrEmpty(arrivalAddressText)) == 0;
}

bool Check_Sender(const unsigned char* datagram) {
    return datagram[16] == 0;
}

void StoreItem(uint32_t id, const char* value, CameraReply* reply) {
    char* field = nullptr;
    switch (id) {
        case 1:
            field = reply->deviceName;
            break;
        case 2:
            field = reply->mac;
            break;
        case 10:
            field = reply->productName;
            break;
        case 11:
            field = reply->fwVersion;
            break;
        case 60:
            field = reply->httpPort;
            break;
        case 62:
            field = reply->company;
            break;
        case 101:
            field = reply->ip;
            break;
        case 102:
            field = reply->mask;
            break;
        case 103:
            field = reply->gateway;
            break;
        case 104:
            field = reply->mode;
            break;
        case 50:
            std::memcpy(reply->digestA, value, 16);
            return;
        case 51:
            std::memcpy(reply->digestB, value, 16);
            return;
        default:
            return;
    }
    // Every text field has 128 bytes; a longer camera value is cut to 127 characters.
    BoundedCopy(field, sizeof reply->mac, value, "CPacketProcess::DecodePacket", __LINE__);
}

}  // namespace

ReplyCheck CheckReplyHeader(const unsigned char* datagram, int datagramLength,
                            const char* arrivalAddressText, bool log) {
    if (datagram == nullptr || datagramLength < static_cast<int>(PACKET_HEADER_SIZE))
        return ReplyCheck::Short;
    if (!Check_Version(datagram)) {
        if (log)
            TLOG_NOTICE("(%s:%d)Check_Version fail");
        return ReplyCheck::Version;
    }
    if (!Check_SrcIp(datagram, arrivalAddressText)) {
        if (log)
            TLOG_NOTICE("(%s:%d)Check_SrcIp fail.");
        return ReplyCheck::SourceAddress;
    }
    if (!Check_Sender(datagram)) {
        if (log)
            TLOG_NOTICE("(%s:%d)Check_Sender fail");
        return ReplyCheck::Sender;
    }
    switch (GetU16(datagram + 4)) {
        case HEADER_IP_SET:
        case HEADER_IP_QUERY:
        case HEADER_IP_AUTHENTICATE:
        case HEADER_WIRELESS_IP_QUERY:
        case HEADER_SYSTEM_COMMAND:
        case HEADER_RAW_201:
        case HEADER_RAW_202:
            return ReplyCheck::Ok;
        default:
            return ReplyCheck::UnknownType;
    }
}

int CPacketProcess::BuildPacket(unsigned char* buffer, int transport, uint32_t type,
                                const char* hostAddressText, const char* targetMacText,
                                const char* user, const char* password, const char* requestText) {
    requestText = OrEmpty(requestText);

    // inet_addr: text that does not parse gives all ones; the octets go out first-octet first.
    uint32_t host = ntohl(inet_addr(OrEmpty(hostAddressText)));
    unsigned char mac[6];
    if (OrEmpty(targetMacText)[0] == '\0') {
        std::memset(mac, 0xFF, sizeof mac);
    } else {
        unsigned int fields[6] = {};
        std::sscanf(targetMacText, "%02x:%02x:%02x:%02x:%02x:%02x", &fields[0], &fields[1],
                    &fields[2], &fields[3], &fields[4], &fields[5]);
        for (int i = 0; i < 6; ++i)
            mac[i] = static_cast<unsigned char>(fields[i] & 0xFF);
    }
    char credentials[512];
    int credentialLength =
        std::snprintf(credentials, sizeof credentials, "%s/%s", OrEmpty(user), OrEmpty(password));
    if (credentialLength < 0)
        credentialLength = 0;
    if (static_cast<size_t>(credentialLength) >= sizeof credentials) {
        credentialLength = sizeof credentials - 1;
    }

    if (transport == TRANSPORT_BROADCAST) {
        buffer[0] = 0x01, buffer[1] = 0x01, buffer[2] = 0xFE, buffer[3] = 0xFE;
    } else {
        buffer[0] = 0x02, buffer[1] = 0x00, buffer[2] = 0xFD, buffer[3] = 0xFF;
    }
    PutU16(buffer + 4, type & 0xFFFF);
    for (int i = 0; i < 4; ++i)
        buffer[6 + i] = static_cast<unsigned char>(host >> (24 - 8 * i));
    std::memcpy(buffer + 10, mac, 6);
    buffer[16] = 1;
    buffer[17] = buffer[18] = buffer[19] = 0;
    Md5(credentials, static_cast<size_t>(credentialLength), buffer + 20);

    size_t offset = PACKET_HEADER_SIZE;
    switch (type) {
        case HEADER_IP_SET:
            if (requestText[0] != '\0')
                offset = AppendAssignments(buffer, offset, requestText);
            break;
        case HEADER_IP_QUERY:
            offset = AppendEmptyItems(buffer, offset, type, kQueryItems);
            break;
        case HEADER_IP_AUTHENTICATE:
            offset = AppendEmptyItems(buffer, offset, type, kAuthenticateItems);
            break;
        case HEADER_WIRELESS_IP_QUERY:
            offset = AppendEmptyItems(buffer, offset, type, kWirelessQueryItems);
            break;
        case HEADER_SYSTEM_COMMAND:
        case HEADER_RAW_201:
        case HEADER_RAW_202: {
            uint32_t id = type == HEADER_SYSTEM_COMMAND ? 91 : type == HEADER_RAW_201 ? 90 : 92;
            offset = AppendItem(buffer, offset, type, id, requestText, std::strlen(requestText));
            break;
        }
        default:
            break;
    }
    PutU32(buffer + 36, static_cast<uint32_t>(offset));
    return static_cast<int>(offset);
}

int CPacketProcess::DecodePacket(const unsigned char* datagram, int datagramLength,
                                 const char* arrivalAddressText, CameraReply* reply) {
    if (datagram == nullptr || datagramLength < static_cast<int>(PACKET_HEADER_SIZE))
        return 0;

    switch (CheckReplyHeader(datagram, datagramLength, arrivalAddressText, true)) {
        case ReplyCheck::Version:
        case ReplyCheck::SourceAddress:
        case ReplyCheck::Sender:
            return -1;
        default:
            break;  // an unknown type is the caller's to ignore
    }

    const int type = static_cast<int>(GetU16(datagram + 4));
    if (type >= 1)
        reply->type = static_cast<uint32_t>(type);
    if (type != HEADER_IP_QUERY && type != HEADER_IP_AUTHENTICATE &&
        type != HEADER_WIRELESS_IP_QUERY) {
        return type;
    }

    const int size = datagramLength - static_cast<int>(PACKET_HEADER_SIZE);
    if (datagramLength > 400) {
        TLOG_NOTICE("(%s:%d)iSize:%d, AllPacketDataSize:%d, nType:%d", datagramLength, size, type);
    }

    // Walk the items. Bytes past the datagram read as zero, so a trailing stub shorter than
    // a length field ends the walk like a zero length; an item whose length runs past the
    // end ends it too, unread.
    const unsigned char* area = datagram + PACKET_HEADER_SIZE;
    int sum = 0;
    while (sum < size) {
        const int remaining = size - sum;
        const unsigned char* item = area + sum;
        int length = remaining >= 2 ? static_cast<int>(GetU16(item)) : item[0];
        if (length == 0 || length > remaining)
            break;
        const int valueSize = length - static_cast<int>(PACKET_ITEM_HEADER_SIZE);
        if (valueSize >= 1 && valueSize <= kItemValueMax) {
            uint32_t id = GetU32(item + 4);
            if (id >= kItemIdMin && id <= kItemIdMax) {
                char value[kItemValueMax + 1] = {};
                std::memcpy(value, item + PACKET_ITEM_HEADER_SIZE, static_cast<size_t>(valueSize));
                StoreItem(id, value, reply);
            }
        }
        sum += length;
    }
    if (sum != size) {
        TLOG_NOTICE("(%s:%d)SizeCounter:%d, AllPacketDataSize:%d, nType:%d", sum, size, type);
    }
    return type;
}
