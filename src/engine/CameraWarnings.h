#pragma once
// Warnings about the cameras of a list that the installer should see before touching them:
// two cameras answering with one address (whichever answers an HTTP request is luck), and a
// camera whose address lies outside every subnet of the adapter it answered through (its
// page cannot be opened from this PC until one of them changes). The command line and the
// window compute them here, from the same list.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr char kWarningDuplicateIp[] = "duplicate-ip";
inline constexpr char kWarningForeignSubnet[] = "foreign-subnet";
// Answers naming this camera's MAC came from another address than the camera's own: another
// host claims to be it. Its answers are ignored, the camera's record kept.
inline constexpr char kWarningAddressConflict[] = "address-conflict";

// One IPv4 address of an adapter with its mask, as dotted texts.
struct AdapterSubnet {
    std::string address;
    std::string mask;
};

// What the warnings look at for one camera of the list.
struct CameraPlace {
    std::string ip;
    // The subnets of the adapter the camera answered through; empty when it was not found
    // by discovery (read over HTTP) or the adapter is gone: no subnet warning then.
    std::vector<AdapterSubnet> adapterSubnets;
};

// The address a camera can be told apart by, as a number; INVALID_IP_VALUE (all ones) for a
// text that is no address and for 0.0.0.0.
uint64_t UsableCameraAddress(const std::string& ip);

// One camera's warnings: duplicate-ip when another camera holds its address, foreign-subnet
// when the address lies outside every subnet of its adapter (none without a usable address).
std::vector<std::string> WarningsOf(const std::string& ip, bool sharedAddress,
                                    const std::vector<AdapterSubnet>& adapterSubnets);

// The warnings of every camera, in the order given; each list in the order duplicate-ip,
// foreign-subnet. A camera without a usable address ("", "0.0.0.0") gets none: it has no
// address to share or to place.
std::vector<std::vector<std::string>> CameraWarnings(const std::vector<CameraPlace>& cameras);

// The subnets of the local adapter called name (an interface name), from the host's
// adapters now; empty when there is no such adapter.
std::vector<AdapterSubnet> AdapterSubnetsOf(const std::string& name);
