#pragma once
// The discovery protocol's wire format: request building and reply decoding.
// Every field is read and written with its explicit byte order; no struct is laid over bytes.

#include <cstddef>
#include <cstdint>

// Packet types (header offset 4).
enum : uint32_t {
    HEADER_IP_SET = 1,
    HEADER_IP_QUERY = 2,
    HEADER_IP_AUTHENTICATE = 3,
    HEADER_WIRELESS_IP_QUERY = 100,
    HEADER_SYSTEM_COMMAND = 200,
    HEADER_RAW_201 = 201,
    HEADER_RAW_202 = 202,
};

// Transports; they also select the version bytes.
enum : int {
    TRANSPORT_MULTICAST = 1,
    TRANSPORT_BROADCAST = 2,
};

constexpr uint16_t FINDER_SEND_PORT = 5656;  // cameras listen here
constexpr uint16_t FINDER_RECV_PORT = 6565;  // replies come back here
constexpr char FINDER_MULTICAST_GROUP[] = "239.0.0.10";

constexpr size_t PACKET_HEADER_SIZE = 40;
constexpr size_t PACKET_BUFFER_SIZE = 2048;  // build buffer and largest datagram received
constexpr size_t PACKET_ITEM_HEADER_SIZE = 8;

// A usable local adapter: its first IPv4 address and the platform's name for it.
struct AdapterEntry {
    char addressText[32];
    char name[260];
};

// A decoded discovery reply (or one built from an HTTP read). Zero-filled by the caller.
struct CameraReply {
    uint32_t type;
    char deviceName[128];
    char mac[128];
    char serial[128];
    char ip[128];
    char mask[128];
    char gateway[128];
    char fwVersion[128];
    char mode[128];
    char productName[128];
    char httpPort[128];
    char company[128];
    unsigned char digestA[16];
    unsigned char digestB[16];
    AdapterEntry adapter;
    uint32_t viaHttp;
    char user[128];
    char password[128];
    // The IPv4 source address (host order) of the datagram it came in; 0 when not known
    // (an answer read over HTTP, a test's reply).
    uint32_t source;
};

// One row of the camera parameter key table.
struct ParameterKey {
    const char* key;  // "" for rows that only reserve their id
    uint32_t id;
};

constexpr size_t PARAMETER_KEY_COUNT = 38;
extern const ParameterKey ParameterKeyTable[PARAMETER_KEY_COUNT];

// Id of the first row whose key equals key exactly; -1 for none, "" or a key with "=".
int LookupKeyId(const char* key);

// The outcome of the header checks on a received datagram, in the order they are made.
enum class ReplyCheck {
    Ok,
    Short,          // shorter than a header
    Version,        // the version bytes do not complement each other
    SourceAddress,  // names another host address than the adapter it arrived through
    Sender,         // not sent by a camera
    UnknownType,    // a type this protocol does not have
};

// The header checks that tell a camera's reply from anything else, shared by the decoder and
// the receiver (which runs them before it queues a datagram). With log, a refusal by the
// version, address or sender check is logged as the decoder logs it. Never reads past
// datagram + datagramLength.
ReplyCheck CheckReplyHeader(const unsigned char* datagram, int datagramLength,
                            const char* arrivalAddressText, bool log);

class CPacketProcess {
public:
    // Builds a request into buffer (PACKET_BUFFER_SIZE bytes, zero-filled by the caller)
    // and returns its total length.
    int BuildPacket(unsigned char* buffer, int transport, uint32_t type,
                    const char* hostAddressText, const char* targetMacText, const char* user,
                    const char* password, const char* requestText);

    // -1 when a check fails; otherwise the header's type (0 or more). Never reads past
    // datagram + datagramLength.
    int DecodePacket(const unsigned char* datagram, int datagramLength,
                     const char* arrivalAddressText, CameraReply* reply);
};
