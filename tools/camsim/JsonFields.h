#pragma once
// Reading the fields of the simulator's JSON configuration: texts that may be given as
// numbers (ports, serials) and the other way round, flags, and the file itself. A field of
// the wrong type throws std::runtime_error naming it; the caller adds the camera.

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>

namespace camsim {

inline std::string JsonText(const nlohmann::json& object, const char* key, const std::string& fallback) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return fallback;
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number_integer()) return std::to_string(it->get<long long>());
    throw std::runtime_error(std::string("\"") + key + "\" must be text");
}

inline int JsonNumber(const nlohmann::json& object, const char* key, int fallback) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return fallback;
    if (it->is_number_integer()) return it->get<int>();
    if (it->is_string()) return std::stoi(it->get<std::string>());
    throw std::runtime_error(std::string("\"") + key + "\" must be a number");
}

inline bool JsonFlag(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

// The whole file; false when it cannot be read.
inline bool ReadConfigFile(const std::string& path, std::string* text) {
    std::ifstream in(path);
    if (!in) return false;
    std::stringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

}  // namespace camsim
