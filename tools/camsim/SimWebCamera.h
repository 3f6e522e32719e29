#pragma once
// Puts a simulated camera behind the web server: its account, its parameters, its
// commands and its reboot silence are the ones its discovery responder uses.

#include <memory>
#include <string>
#include <vector>

#include "SimCamera.h"
#include "WebCameraModel.h"
#include "WebServer.h"

class SimWebCamera : public WebCameraModel {
public:
    explicit SimWebCamera(std::shared_ptr<camsim::SimCamera> camera) : camera_(std::move(camera)) {}

    void Credentials(std::string* user, std::string* password) const override;
    bool ReadParameter(const std::string& key, std::string* value) const override;
    bool WriteParameter(const std::string& key, const std::string& value) override;
    void Command(const std::string& command) override;
    bool Silent() const override;

private:
    std::shared_ptr<camsim::SimCamera> camera_;
};

// Every camera's optional "web" object of a configuration file (stageMs, rebootMs,
// keepImages, and the fault flags of WebFaults), in camera order. False with a reason when
// a field has the wrong type.
bool LoadWebOptions(const std::string& path, size_t cameraCount,
                    std::vector<WebServerOptions>* options, std::string* error);
