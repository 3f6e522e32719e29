#pragma once
// What the simulator's web server needs of one camera: its administrator credentials, its
// named parameters, and a way to tell it about commands that arrive over HTTP. A camera
// model of the discovery side can stand behind it as well as the plain map below.

#include <map>
#include <mutex>
#include <string>

class WebCameraModel {
public:
    virtual ~WebCameraModel() = default;
    virtual void Credentials(std::string* user, std::string* password) const = 0;
    // False when the camera has no such parameter.
    virtual bool ReadParameter(const std::string& key, std::string* value) const = 0;
    // False when the camera does not take the assignment.
    virtual bool WriteParameter(const std::string& key, const std::string& value) = 0;
    // "REBOOT", "SW_DEFAULT", "HW_DEFAULT" or "UPGRADED" (a new image was installed).
    virtual void Command(const std::string& command) { (void)command; }
    // True while the camera is rebooting: its web server answers nothing then.
    virtual bool Silent() const { return false; }
};

// A camera that is nothing but its parameters; the discovery-less cameras of the range
// search and the web tests use it.
class MapWebCamera : public WebCameraModel {
public:
    // Filled with the identity of a supported model at the given address.
    MapWebCamera(std::string user, std::string password, const std::string& ip = "127.0.0.1",
                 const std::string& mac = "00:11:22:33:44:55");

    void Credentials(std::string* user, std::string* password) const override;
    bool ReadParameter(const std::string& key, std::string* value) const override;
    bool WriteParameter(const std::string& key, const std::string& value) override;
    void Command(const std::string& command) override;

private:
    mutable std::mutex mutex_;
    std::string user_;
    std::string password_;
    std::map<std::string, std::string> values_;
};
