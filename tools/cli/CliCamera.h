#pragma once
// A camera as the command line prints it: the camera object of the command-line contract,
// built from a decoded reply.

#include <string>
#include <vector>

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

// Orders cameras by IP address (numerically), then MAC, for stable listings.
void SortCameras(std::vector<CameraView>& cameras);

// Case-insensitive comparison of MAC texts, as the command line names cameras.
using ::SameMac;

}  // namespace cli
