#pragma once
// The PC's side of the network: its adapters, IPv4 addresses as numbers with their
// validation and subnet arithmetic, the address history that lets a camera keep the
// address it was given across runs, and the probes that tell whether an address is in use.
//
// An address a.b.c.d is the 64-bit number a*2^24 + b*2^16 + c*2^8 + d; masks likewise.
// The value with all 64 bits set stands for an invalid address.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t INVALID_IP_VALUE = ~static_cast<uint64_t>(0);

// ---- address utilities (pure) ----

// True when text is a strict dotted quad: four decimal fields 0..255 separated by dots.
bool IsValidIpText(const char* text);
// The address of a valid text; INVALID_IP_VALUE otherwise.
uint64_t IpTextToValue(const char* text);
// "a.b.c.d" of the low 32 bits, most significant octet first.
std::string IpValueToText(uint64_t value);
// address AND mask.
uint64_t SubnetOf(uint64_t address, uint64_t mask);
// The subnet's broadcast address: (address AND mask) + (2^32 - mask) - 1.
uint64_t LastAddress(uint64_t address, uint64_t mask);
// A contiguous mask from 255.0.0.0 to 255.255.255.252.
bool IsValidMaskText(const char* text);
// A decimal port 1..65535 written without sign, blanks or leading zeros.
bool IsValidPortText(const char* text);

// ---- adapters ----

struct NetworkAddress {
    char address[32];
    char mask[32];
};

// One local adapter with every IPv4 address it holds.
struct NetworkAdapter {
    uint32_t index;         // position in the enumeration, from 0
    char name[260];         // the interface name
    char description[260];  // the interface name, plus its alias when one is set
    char gateway[32];       // first default gateway on this interface, else "0.0.0.0"
    char dns1[32];          // "0.0.0.0" when missing
    char dns2[32];
    std::vector<NetworkAddress> addresses;  // one "0.0.0.0" pair when it has none
};

// Fills list anew with every adapter but loopback, in the kernel's order.
void EnumerateAdapters(std::vector<NetworkAdapter>& list);

// ---- address history (section "MAC" of the settings file) ----

struct IpHistoryPair {
    uint64_t address;
    uint64_t mask;
};

// What the tool remembers for one camera: at most one address per subnet.
struct IpHistoryEntry {
    char mac[32];
    std::vector<IpHistoryPair> pairs;
};

// Empties list and reads every key of section "MAC" into one entry each, with whole values.
// Keys longer than 31 characters are not MAC texts and are skipped.
void LoadIpHistory(std::vector<IpHistoryEntry>& list);
// Parses one stored value ("%I64d,%I64d;" pairs); pieces that do not parse are skipped.
std::vector<IpHistoryPair> ParseIpHistoryValue(const std::string& value);
// Formats the pairs the way they are stored.
std::string FormatIpHistoryValue(const std::vector<IpHistoryPair>& pairs);
// Writes one entry's key and value. 0, or -1 when the file could not be written.
int SaveIpHistoryEntry(const IpHistoryEntry& entry);
// The remembered address of mac in that subnet and mask; 0 when there is none.
uint64_t FindRememberedIp(const std::vector<IpHistoryEntry>& list, const char* mac,
                          uint64_t subnet, uint64_t mask);
// True when any camera holds address in that subnet and mask.
bool IsIpRemembered(const std::vector<IpHistoryEntry>& list, uint64_t address, uint64_t subnet,
                    uint64_t mask);
// Records address for mac in its subnet (replacing the subnet's old address) and writes the
// entry; remembering the address it already holds writes nothing. 0; -1 when mac is not of
// the form XX:XX:XX:XX:XX:XX (nothing recorded) or the write failed (logged, and reported
// once by TakeIpHistoryWriteFailure).
int RememberIp(std::vector<IpHistoryEntry>& list, const char* mac, uint64_t address,
                uint64_t mask);
// Removes the pair from every camera and writes the entries that changed; a camera keeps
// its key with an empty value.
// True once after a history write failed (the settings file could not be replaced): the
// window shows one message, the command line one warning.
bool TakeIpHistoryWriteFailure();
// A MAC text of the form XX:XX:XX:XX:XX:XX (hex digits, either case): the only text that
// may become a key of the address history.
bool IsMacKey(const char* mac);

void ForgetIp(std::vector<IpHistoryEntry>& list, uint64_t address, uint64_t mask);

// ---- reachability probes (each blocks the calling thread) ----

// Waits of the probes, in milliseconds.
constexpr int PING_WAIT_MS = 500;
constexpr int TCP_PROBE_WAIT_MS = 200;

// An ARP request for target from source (address values). 0 no answer, 1 a host answered,
// 2 the host that answered has macText (compared exactly with the answer written as
// lowercase "%02x:%02x:%02x:%02x:%02x:%02x"). macText may be null.
int ArpProbe(uint64_t target, uint64_t source, const char* macText);
// Whether an address is taken: without macText one ICMP echo (500 ms wait) and, when it
// stays unanswered, the ARP request; with macText the ARP request only. 0 free, 1 in use,
// 2 in use by the camera with macText.
int AddressProbe(uint64_t target, uint64_t source, const char* macText);
// 1 when a TCP connection to addressText:port completes within 200 ms, 0 otherwise.
int TcpProbe(const char* addressText, int port);
// Starts file with the blank-separated parameters (double quotes group) in directory (may
// be null). wait false: 0 once started. wait true: its exit code, or 1 when it could not
// start or did not end within timeoutMs (it is then killed). showMode is kept for callers
// that pass a window mode; programs run without a window here.
int RunProgram(const char* file, const char* parameters, const char* directory,
               uint32_t timeoutMs, bool wait, int showMode);
