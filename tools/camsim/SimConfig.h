#pragma once
// Reads the simulator's JSON configuration: {"cameras": [ {...}, ... ]}.

#include <string>
#include <vector>

#include "SimCamera.h"

namespace camsim {

// Parses the JSON text; false with a reason naming the camera and field at fault.
bool ParseSimConfig(const std::string& jsonText, std::vector<SimCameraConfig>& cameras,
                    std::string& error);
bool LoadSimConfig(const std::string& path, std::vector<SimCameraConfig>& cameras,
                   std::string& error);

}  // namespace camsim
