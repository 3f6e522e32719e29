#pragma once
// Cameras read back from a saved `tarsel search --json`, for commands that work on a list
// made earlier (the site report). The file may have been written or changed by anyone: it
// is read as a stream within bounds of size, nesting and count, each text is cut to what a
// camera's reply can hold, and only rows that name a camera by MAC (an ONVIF device by its
// endpoint), IPv4 address and port are taken.

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "CliCamera.h"
#include "engine/CameraTable.h"

namespace cli {

// The most a saved search may hold: as many cameras as the camera list, nested no deeper
// than a camera's warnings need (with room for keys this version does not know), and a
// size well above that of the largest list `search --json` writes.
inline constexpr size_t kSavedSearchMaxBytes = 16 * 1024 * 1024;
inline constexpr size_t kSavedSearchMaxCameras = CameraTable::kMaxCameras;
inline constexpr int kSavedSearchMaxDepth = 16;
// Refused rows named one by one; the rest are counted.
inline constexpr size_t kSavedSearchRefusalsShown = 20;

struct SavedSearch {
    std::vector<CameraView> cameras;  // one per MAC (ONVIF endpoint), in file order
    std::vector<std::string> refused;  // "row 3: ...", the first kSavedSearchRefusalsShown
    size_t refusedCount = 0;           // all of them
    size_t merged = 0;                 // rows of a MAC listed earlier, merged into that one
};

// Reads the camera objects of a saved search (a JSON array; unknown keys are ignored,
// missing texts stay empty, a missing or 0 httpPort stays 0). A row without a MAC (an
// ONVIF device's row: without its endpoint), a dotted IPv4 address or with a port that is
// not one is refused; a second row of a camera fills only what the first left empty. 0,
// or the exit code with a one-line reason naming the file: 6 when the file cannot be read,
// 1 when it is no saved search or beyond a bound.
int ReadSavedSearch(const std::string& path, SavedSearch& search, std::string& error);
// The same from a stream, at most kSavedSearchMaxBytes of it.
bool ParseSavedSearch(std::istream& in, SavedSearch& search, std::string& error);

}  // namespace cli
