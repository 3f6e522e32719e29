#include "SimWebCamera.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

void SimWebCamera::Credentials(std::string* user, std::string* password) const {
    *user = camera_->User();
    *password = camera_->Password();
}

bool SimWebCamera::ReadParameter(const std::string& key, std::string* value) const {
    return camera_->Get(key, *value);
}

bool SimWebCamera::WriteParameter(const std::string& key, const std::string& value) {
    return camera_->Set(key, value);
}

void SimWebCamera::Command(const std::string& command) {
    if (command == "REBOOT") camera_->Reboot();
    else if (command == "SW_DEFAULT") camera_->SoftwareDefault();
    else if (command == "HW_DEFAULT") camera_->HardwareDefault();
}

bool SimWebCamera::Silent() const { return camera_->IsSilent(); }

namespace {

using nlohmann::json;

bool ReadWeb(const json& camera, WebServerOptions* options, std::string* error) {
    auto web = camera.find("web");
    if (web == camera.end()) return true;
    if (!web->is_object()) {
        *error = "\"web\" must be an object";
        return false;
    }
    try {
        auto number = [&](const char* name, int fallback) {
            auto it = web->find(name);
            return it == web->end() ? fallback : it->get<int>();
        };
        auto flag = [&](const char* name, bool fallback) {
            auto it = web->find(name);
            return it == web->end() ? fallback : it->get<bool>();
        };
        options->stageMs = number("stageMs", options->stageMs);
        options->rebootMs = number("rebootMs", options->rebootMs);
        options->keepImages = flag("keepImages", options->keepImages);
        // A still picture of a real camera's size (1920 x 1080), for benchmarks.
        options->snapshotWidth = std::clamp(number("snapshotWidth", options->snapshotWidth), 16, 8192);
        options->snapshotHeight = std::clamp(number("snapshotHeight", options->snapshotHeight), 16, 8192);
        if (auto file = web->find("snapshotFile"); file != web->end())
            options->snapshotFile = file->get<std::string>();
        WebFaults& f = options->faults;
        f.upgradeFails = flag("upgradeFails", f.upgradeFails);
        f.stuckAtChecking = flag("stuckAtChecking", f.stuckAtChecking);
        f.refuseBegin = flag("refuseBegin", f.refuseBegin);
        f.answerDelayMs = number("answerDelayMs", f.answerDelayMs);
        f.uploadDelayMs = number("uploadDelayMs", f.uploadDelayMs);
        f.refuseConnections = flag("refuseConnections", f.refuseConnections);
        f.notACamera = flag("notACamera", f.notACamera);
    } catch (const json::exception& e) {
        *error = std::string("\"web\": ") + e.what();
        return false;
    }
    return true;
}

}  // namespace

bool LoadWebOptions(const std::string& path, size_t cameraCount,
                    std::vector<WebServerOptions>* options, std::string* error) {
    options->assign(cameraCount, WebServerOptions{});
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    json root = json::parse(text.str(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        *error = path + ": not a JSON object";
        return false;
    }
    auto cameras = root.find("cameras");
    if (cameras == root.end() || !cameras->is_array()) return true;
    for (size_t i = 0; i < cameras->size() && i < cameraCount; ++i) {
        const json& camera = (*cameras)[i];
        if (!camera.is_object()) continue;
        if (!ReadWeb(camera, &(*options)[i], error)) {
            *error = "camera " + std::to_string(i + 1) + ": " + *error;
            return false;
        }
    }
    return true;
}
