#pragma once
// Cameras read back from a saved `tarsel search --json`, for commands that work on a list
// made earlier (the site report). The file's texts came from cameras: it is read within
// bounds and each text is cut to what a camera's reply can hold.

#include <string>
#include <vector>

#include "CliCamera.h"

namespace cli {

// The most a saved search may hold.
inline constexpr size_t kSavedSearchMaxBytes = 64 * 1024 * 1024;
inline constexpr size_t kSavedSearchMaxCameras = 65536;

// Reads the camera objects of a saved search (a JSON array; unknown keys are ignored,
// missing ones stay empty). 0, or the exit code with a one-line reason naming the file: 6
// when the file cannot be read, 1 when it is no saved search.
int ReadSavedSearch(const std::string& path, std::vector<CameraView>& cameras, std::string& error);
// The same from the text itself.
bool ParseSavedSearch(const std::string& text, std::vector<CameraView>& cameras,
                      std::string& error);

}  // namespace cli
