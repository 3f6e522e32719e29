#include "common/Config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "common/stdafx.h"
#include "platform/ProfileFile.h"

namespace {

std::mutex configPathLock;
std::string configPath;  // empty until first use

// A program installed into the system's own folders is shared by every user: its
// settings never go beside it, even when run as root (who could write there).
bool IsSystemFolder(const std::string& folder) {
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/lib/", "/snap/", "/nix/"})
        if (folder.rfind(prefix, 0) == 0) return true;
    return false;
}

// Whether this user can replace path: every write renames a new file over it, which takes
// write permission on its folder (and on the file, so that a file made read-only stays so).
bool CanReplace(const std::string& folder, const std::string& path) {
    if (::access(folder.c_str(), W_OK) != 0) return false;
    return ::access(path.c_str(), F_OK) != 0 || ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

std::string ConfigPathFor(const std::string& executable) {
    std::string folder = executable;
    size_t slash = folder.rfind('/');
    if (slash != std::string::npos) {
        folder.resize(slash + 1);
        std::string beside = folder + "tarsel.ini";
        if (!IsSystemFolder(folder) && CanReplace(folder, beside)) return beside;
    }
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/.config";
    }
    return base + "/tarsel/tarsel.ini";
}

namespace {

std::string DefaultConfigPath() {
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    return ConfigPathFor(n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string());
}

// Creates the folders above path that are missing (for the per-user location).
void CreateParentFolders(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        std::string folder = path.substr(0, at);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return;
    }
}

}  // namespace

std::string GetConfigPath() {
    std::lock_guard<std::mutex> guard(configPathLock);
    if (configPath.empty()) configPath = DefaultConfigPath();
    return configPath;
}

void SetConfigPath(const char* path) {
    std::lock_guard<std::mutex> guard(configPathLock);
    configPath = path != nullptr ? path : "";
}

int ReadConfigString(const char* section, const char* key, const char* defaultValue,
                     char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return 0;
    if (section == nullptr || key == nullptr) {
        // A list of names, each followed by a NUL and the whole by one more, as the Windows
        // call gives it: the sections of the file without a section, the keys of the section
        // without a key. A list cut short still ends in two NULs; it then counts size - 2.
        std::vector<std::string> names = section == nullptr
                                             ? tarsel::ReadProfileSections(GetConfigPath())
                                             : ReadConfigKeys(section);
        if (size < 2) {
            buffer[0] = '\0';
            return 0;
        }
        size_t at = 0;
        for (const std::string& name : names) {
            if (at + name.size() + 1 > size - 1) {
                // Names that filled the buffer exactly leave no room at all for this one.
                size_t room = at < size - 2 ? size - 2 - at : 0;
                std::memcpy(buffer + at, name.data(), room);
                buffer[size - 2] = '\0';
                buffer[size - 1] = '\0';
                return static_cast<int>(size - 2);
            }
            std::memcpy(buffer + at, name.data(), name.size());
            at += name.size();
            buffer[at++] = '\0';
        }
        buffer[at] = '\0';
        return static_cast<int>(at);
    }
    std::string value = ReadConfigText(section, key, defaultValue);
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

std::string ReadConfigText(const char* section, const char* key, const char* defaultValue) {
    std::string value;
    if (section != nullptr && key != nullptr &&
        tarsel::ReadProfileValue(GetConfigPath(), section, key, &value)) {
        return value;
    }
    return defaultValue != nullptr ? defaultValue : "";
}

std::vector<std::string> ReadConfigKeys(const char* section) {
    if (section == nullptr) return {};
    return tarsel::ReadProfileKeys(GetConfigPath(), section);
}

std::vector<std::pair<std::string, std::string>> ReadConfigSection(const char* section) {
    if (section == nullptr) return {};
    return tarsel::ReadProfileSection(GetConfigPath(), section);
}

int WriteConfigString(const char* section, const char* key, const char* value) {
    if (section == nullptr || key == nullptr) return -1;
    // The file's names match case-insensitively, so "language" would overwrite it too.
    if (::strcasecmp(key, "Language") == 0) return 0;
    std::string path = GetConfigPath();
    CreateParentFolders(path);
    std::string keyText(key);
    std::string valueText(value != nullptr ? value : "");
    int staleRemoved = 0;
    const bool written = tarsel::WriteProfileValue(
        path, section, &keyText, value != nullptr ? &valueText : nullptr, &staleRemoved);
    if (staleRemoved > 0)
        TLOG_NOTICE("(%s:%d)Removed %d temporary files that interrupted writes left beside %s",
                    staleRemoved, path.c_str());
    return written ? 0 : -1;
}

int UpdateConfigString(
    const char* section, const char* key,
    const std::function<bool(const std::string* current, std::string* updated)>& change) {
    if (section == nullptr || key == nullptr || ::strcasecmp(key, "Language") == 0) return -1;
    std::string path = GetConfigPath();
    CreateParentFolders(path);
    int staleRemoved = 0;
    const bool written = tarsel::UpdateProfileValue(path, section, key, change, &staleRemoved);
    if (staleRemoved > 0)
        TLOG_NOTICE("(%s:%d)Removed %d temporary files that interrupted writes left beside %s",
                    staleRemoved, path.c_str());
    return written ? 0 : -1;
}
