#pragma once
// One simulated camera: its parameters keyed by the camera's CGI key texts, its admin
// account, its factory values and the faults it is told to show. The UDP responder, the web
// server and the code that mirrors settings onto a namespace's interface all work on the
// same object, from their own threads, so every access goes through the one mutex inside.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

// Parameter keys the simulator keeps. They are the key texts of the camera's CGI
// interface and of the discovery protocol's key table.
namespace keys {
inline constexpr char kDeviceName[] = "network.device_name";
inline constexpr char kMac[] = "system.information.wire.mac_address";
inline constexpr char kWirelessMac[] = "system.information.wireless.mac_address";
inline constexpr char kProductName[] = "system.information.product_name";
inline constexpr char kFwVersion[] = "system.information.fw_version";
inline constexpr char kCompany[] = "system.information.company";
inline constexpr char kSerial[] = "system.information.sn";
inline constexpr char kHttpPort[] = "network.web.http_port";
inline constexpr char kSslPort[] = "network.web.ssl.port";
// Written as "address/mask/gateway"; the configured static address.
inline constexpr char kManualAddress[] = "network.wire.ipv4.manual.address";
// Read-only "address/mask/gateway": the address the camera uses now (static or leased).
inline constexpr char kCurrentAddress[] = "system.information.wire.ipv4.address";
inline constexpr char kMode[] = "network.wire.ipv4.mode";
inline constexpr char kDns1[] = "network.wire.ipv4.manual.dns.1.address";
inline constexpr char kDns2[] = "network.wire.ipv4.manual.dns.2.address";
inline constexpr char kReboot[] = "system.reboot";
inline constexpr char kSwDefault[] = "system.sw_factory_default";
inline constexpr char kHwDefault[] = "system.hw_factory_default";
}  // namespace keys

// Misbehaviours a test can switch on, per camera.
struct SimFaults {
    bool neverAnswer = false;       // discovery requests are ignored
    bool wrongDigests = false;      // authentication replies carry digests of other credentials
    bool badVersion = false;        // reply version bytes are not complements
    bool senderOne = false;         // reply sender byte 1, as if it were a finder host
    bool truncatedItems = false;    // the last reply item claims more bytes than follow
    bool oversizedValues = false;   // device name 200 bytes long (beyond a 128-byte field)
    bool wrongHostAddress = false;  // reply hostAddress is not the request's
    bool unicastReply = false;      // reply to the requester's address instead of broadcast
    int replyDelayMs = 0;           // every discovery reply leaves this much later
    bool ignoreSettings = false;    // set requests and commands are answered but not applied
};

// The network part of a camera's settings, as one value for listeners.
struct SimNetwork {
    std::string ip, mask, gateway, mode, dns1, dns2;
    int httpPort = 80;
};

// Everything a camera is configured with (the JSON config maps onto this).
struct SimCameraConfig {
    std::string name = "Camera";
    std::string mac;  // "00:1B:2C:00:00:01"; the reply carries it as given
    std::string model = "TRL-D320";
    std::string firmware = "1.0.0";
    std::string company = "Tarsel Labs";
    std::string serial;
    std::string ip, mask = "255.255.255.0", gateway;
    std::string mode = "manual";  // "manual", "dhcp", "pppoe"
    std::string dns1, dns2;
    int httpPort = 80;
    std::string user = "admin";
    std::string password = "admin";
    int rebootSilentMs = 5000;  // how long a reboot keeps the camera silent
    // Factory values: a hardware default restores all of them, a software default the
    // name and the admin account only. Empty (or 0) means "as configured".
    std::string factoryName, factoryIp, factoryMask, factoryGateway, factoryMode;
    std::string factoryUser, factoryPassword;
    int factoryHttpPort = 0;  // 0: the configured port
    SimFaults faults;
    size_t entry = 0;  // the position of the configuration entry it came from
    bool web = true;   // false for the cameras of a mass entry: they answer discovery only
};

enum class SimChange {
    Network,          // address, mask, gateway, mode, DNS or HTTP port changed
    Name,             // device name changed
    Reboot,           // reboot started (the camera goes silent)
    SoftwareDefault,  // settings back to factory values, network kept
    HardwareDefault,  // everything back to factory values
};

class SimCamera {
public:
    using Clock = std::chrono::steady_clock;
    using Listener = std::function<void(SimCamera& camera, SimChange change)>;

    explicit SimCamera(const SimCameraConfig& config);
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    // Reads a parameter by its CGI key text; false when the camera has no such key.
    bool Get(const std::string& key, std::string& value) const;
    std::string GetOr(const std::string& key, const std::string& fallback = "") const;

    // Applies assignments (key=value joined by "&", as the set request and the discovery
    // set packet carry them). Unknown keys and read-only keys are skipped; returns the
    // number applied. Commands (reboot, defaults) are carried out as Command() does.
    int Apply(const std::string& assignments);
    // One assignment. false for unknown or read-only keys and malformed values.
    bool Set(const std::string& key, const std::string& value);

    // "system.reboot=1", "system.sw_factory_default=1", "system.hw_factory_default=1".
    bool Command(const std::string& commandText);

    std::string Mac() const;
    SimNetwork Network() const;
    std::string User() const;
    std::string Password() const;

    SimFaults Faults() const;
    void SetFaults(const SimFaults& faults);

    // A camera that rebooted stays silent on the network for its reboot time.
    bool IsSilent(Clock::time_point now = Clock::now()) const;
    void Reboot();
    void SoftwareDefault();
    void HardwareDefault();

    // Called after a change, on the thread that made it, without the camera's lock held.
    void AddListener(Listener listener);

private:
    bool SetLocked(const std::string& key, const std::string& value, SimChange& change);
    void Notify(SimChange change);

    mutable std::mutex mutex_;
    SimCameraConfig factory_;
    std::map<std::string, std::string> params_;
    std::string user_, password_;
    SimFaults faults_;
    int rebootSilentMs_;
    Clock::time_point silentUntil_{};
    std::vector<Listener> listeners_;
};

}  // namespace camsim
