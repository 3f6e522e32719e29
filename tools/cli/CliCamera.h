#pragma once
// A camera as the command line prints it: the camera object of the command-line contract,
// built from a decoded reply.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliOutput.h"
#include "engine/CameraListing.h"
#include "engine/MacText.h"
#include "LibPacket/PacketProcess.h"

namespace cli {

using CameraView = CameraListing;

CameraView CameraFromReply(const CameraReply& reply, const std::string& status);

using ::AddWarnings;

// The columns of a camera list (engine/CameraCsv.h), headers in the calling thread's language.
std::vector<Column> CameraColumns();
Row CameraRow(const CameraView& camera);
// A list of cameras in the format: the table names an ONVIF device's kind "ONVIF"; JSON
// gives each camera that answers ONVIF (an ONVIF device, or one of ours that speaks it too)
// an "onvif" object with what it announced and, once verified, what it told.
void PrintCameras(FILE* out, Format format, const std::vector<CameraView>& cameras);
// That "onvif" object.
nlohmann::ordered_json OnvifJson(const OnvifEntry& onvif);

// Which kinds a listing shows (--protocol native|onvif|all). A camera of ours that answers
// ONVIF too is an ONVIF device as well, so it is listed under both.
enum class ProtocolChoice { All, Native, Onvif };
bool ParseProtocol(const std::string& text, ProtocolChoice& choice);
bool ShownFor(const CameraView& camera, ProtocolChoice choice);

// Why a command that changes a camera (settings, reboot, defaults, automatic IP, upgrade)
// must leave this one alone: "" for a camera of this family, else one line naming it.
// ONVIF devices of other makers are read-only here.
std::string ReadOnlyRefusal(const CameraView& camera);

// Orders cameras by IP address (numerically), then MAC, for stable listings.
void SortCameras(std::vector<CameraView>& cameras);

// Case-insensitive comparison of MAC texts, as the command line names cameras.
using ::SameMac;

}  // namespace cli
