#pragma once
// A camera as the command line prints it: the camera object of the command-line contract,
// built from a decoded reply.

#include <string>
#include <vector>

#include "CliOutput.h"
#include "LibPacket/PacketProcess.h"

namespace cli {

struct CameraView {
    std::string name, mac, ip, mask, gateway, mode, fwVersion, model, company, serial;
    long long httpPort = 0;
    std::string adapter;      // the local adapter's address text
    std::string adapterName;  // its interface
    bool viaHttp = false;
    std::string status;       // as the window's list would show it, in English
    std::vector<std::string> warnings;  // "duplicate-ip", "foreign-subnet" (AddWarnings)
};

CameraView CameraFromReply(const CameraReply& reply, const std::string& status);

// Fills each camera's warnings, judged against the whole list.
void AddWarnings(std::vector<CameraView>& cameras);

// The columns of a camera list, headers in the calling thread's language.
std::vector<Column> CameraColumns();
Row CameraRow(const CameraView& camera);

// Orders cameras by IP address (numerically), then MAC, for stable listings.
void SortCameras(std::vector<CameraView>& cameras);

// Case-insensitive comparison of MAC texts, as the command line names cameras.
bool SameMac(const std::string& a, const std::string& b);

}  // namespace cli
