#pragma once
// Simulated ONVIF devices: a camera object of the configuration with an "onvif" object
// answers WS-Discovery on port 3702 and serves a small SOAP device and media service (and
// a snapshot behind HTTP Digest) on its own web server. With "native": false it is a device
// of another maker only (it does not answer the family's discovery and has no CGI pages).
//
//   "onvif": {"endpoint": "urn:uuid:...", "maker": "Acme", "model": "AC-1", "firmware": "2.1",
//             "serial": "X1", "hardware": "AC-1-HW", "port": 80,
//             "scopes": ["onvif://www.onvif.org/name/Door", ...],
//             "types": ["NetworkVideoTransmitter", "Device"], "replyDelayMaxMs": 500,
//             "clockOffsetSec": 0, "auth": "usernameToken" | "httpDigest",
//             "snapshotUri": "http://other/x.jpg" (default: its own),
//             "snapshotWidth": 160, "snapshotHeight": 120 (its picture's size),
//             "faults": {"echoMessageId", "emptyProbeMatches", "noXAddrs", "linkLocalFirst",
//                        "ipv6XAddrs", "localTimeAsUtc", "mediaOtherHost",
//                        "hostileXml": "" | "doctype" | "huge" | "deep"}}

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct MHD_Daemon;

namespace camsim {

struct OnvifFaults {
    bool echoMessageId = false;      // the answer's MessageID is the probe's
    bool emptyProbeMatches = false;  // ProbeMatches without a ProbeMatch
    bool noXAddrs = false;           // a ProbeMatch without XAddrs
    bool linkLocalFirst = false;     // a 169.254 XAddr before the real one
    bool ipv6XAddrs = false;         // an IPv6 XAddr as well
    bool localTimeAsUtc = false;     // its local time (UTC+2) in GetSystemDateAndTime's UTC field
    bool mediaOtherHost = false;     // its media service named on another host
    std::string hostileXml;          // "doctype", "huge" or "deep": every answer is that
};

struct OnvifDeviceConfig {
    std::string endpoint;  // urn:uuid:...
    std::string ip;        // its address (the camera's "ip")
    uint16_t port = 80;
    std::string maker = "Generic", model = "IPC", firmware = "1.0", serial, hardware;
    std::string mac;
    int prefixLength = 24;  // the camera's "mask"
    bool dhcp = false;      // the camera's "mode" is dhcp
    std::vector<std::string> scopes;
    bool answersNvt = true, answersDevice = true;
    int replyDelayMaxMs = 500;  // each answer waits a random 0 to this many ms
    int clockOffsetSec = 0;
    bool httpDigestOnly = false;  // credentials by HTTP Digest only; UsernameToken ignored
    std::string user = "admin", password = "admin";
    std::string snapshotUri;  // "" for its own
    int snapshotWidth = 160, snapshotHeight = 120;
    OnvifFaults faults;
};

// Every ONVIF device of a configuration file (entries without "onvif" are skipped).
bool LoadOnvifDevices(const std::string& path, std::vector<OnvifDeviceConfig>* devices,
                      std::string* error);
bool ParseOnvifDevices(const std::string& jsonText, std::vector<OnvifDeviceConfig>* devices,
                       std::string* error);

// The SOAP service of one device, answered as its web server would (for tests as well).
// status is the HTTP status; an empty answer with 401 asks for HTTP Digest.
struct SoapReply {
    unsigned status = 200;
    std::string body;
};
SoapReply AnswerSoap(const OnvifDeviceConfig& device, const std::string& path,
                     const std::string& request, bool digestAuthorised);
// The answer to one Probe, or "" when the device does not answer it.
std::string AnswerProbe(const OnvifDeviceConfig& device, const std::string& probe);

// The devices of one simulator process: their web servers and one discovery responder.
class OnvifSite {
public:
    OnvifSite();
    ~OnvifSite();
    OnvifSite(const OnvifSite&) = delete;
    OnvifSite& operator=(const OnvifSite&) = delete;

    // Starts every ONVIF device of the configuration file; interfaceName (may be "") is the
    // interface whose multicast group membership it takes. True with nothing to do too.
    bool Start(const std::string& configPath, const std::string& interfaceName, std::string* error);
    void Stop();
    size_t Count() const { return devices_.size(); }

private:
    struct Server;
    void Respond();

    std::vector<std::shared_ptr<OnvifDeviceConfig>> devices_;
    std::vector<std::unique_ptr<Server>> servers_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread responder_;
};

}  // namespace camsim
