#pragma once
// The camera's side of the discovery protocol: it parses the finder's requests and encodes
// the camera's replies. Kept apart from the finder's codec on purpose: that one refuses
// anything a camera sends and builds requests only, while a camera must do the opposite.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SimCamera.h"

namespace camsim {

struct SimItem {
    uint16_t length = 0;  // as written on the wire (8 + value bytes)
    uint8_t writeFlag = 0;
    uint32_t id = 0;
    std::string value;  // raw value bytes
};

struct SimRequest {
    uint8_t version[4] = {};
    uint16_t type = 0;
    uint8_t hostAddress[4] = {};
    uint8_t targetMac[6] = {};
    uint8_t sender = 0;
    uint8_t credentialDigest[16] = {};
    uint32_t totalLength = 0;
    std::vector<SimItem> items;

    bool IsForAllCameras() const;
    // Whether targetMac names the camera whose MAC text is given ("00:1b:..", any case).
    bool IsFor(const std::string& macText) const;
};

// Parses a finder request. false for anything a camera must ignore: shorter than a header,
// version bytes that are not complements, or a sender byte other than the finder's 1.
// Items whose length runs past the datagram end the walk; never reads beyond length.
bool ParseRequest(const uint8_t* data, size_t length, SimRequest& request);

// The camera's reply to a query (2, 100) or an authentication request (3), with the
// camera's faults applied. Empty when the camera does not answer that type.
std::vector<uint8_t> BuildReply(const SimRequest& request, const SimCamera& camera);

// What a camera does with a set (1) or system command (200) request addressed to it: the
// assignments are applied only when the header's credential digest is MD5(user "/"
// password) of the camera's admin account. Returns true when something was applied.
bool ApplyRequest(const SimRequest& request, SimCamera& camera);

// MD5 of "a/b" as 16 raw bytes.
void SlashDigest(const std::string& a, const std::string& b, uint8_t out[16]);

// The assignment text that a type-1 request's items stand for ("key=value&...").
std::string AssignmentsFromItems(const SimRequest& request);

}  // namespace camsim
