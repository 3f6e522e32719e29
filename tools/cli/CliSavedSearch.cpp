#include "CliSavedSearch.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "CliCommand.h"

namespace cli {
namespace {

using nlohmann::json;

// A camera's reply holds no text longer than this; a longer one is cut where a character
// starts.
constexpr size_t kTextMax = 127;

std::string Cut(std::string text) {
    if (text.size() > kTextMax) {
        size_t cut = kTextMax;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

std::string Text(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? Cut(it->get<std::string>()) : "";
}

}  // namespace

bool ParseSavedSearch(const std::string& text, std::vector<CameraView>& cameras,
                      std::string& error) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_array()) {
        error = "is not the JSON array of a saved search (tarsel search --json)";
        return false;
    }
    if (doc.size() > kSavedSearchMaxCameras) {
        error = "holds more than " + std::to_string(kSavedSearchMaxCameras) + " cameras";
        return false;
    }
    cameras.clear();
    for (const json& c : doc) {
        if (!c.is_object())
            continue;
        CameraView v;
        v.name = Text(c, "name");
        v.mac = Text(c, "mac");
        v.ip = Text(c, "ip");
        v.mask = Text(c, "mask");
        v.gateway = Text(c, "gateway");
        v.mode = Text(c, "mode");
        v.fwVersion = Text(c, "fwVersion");
        v.model = Text(c, "model");
        v.company = Text(c, "company");
        v.serial = Text(c, "serial");
        v.adapter = Text(c, "adapter");
        v.adapterName = Text(c, "adapterName");
        v.status = Text(c, "status");
        if (auto port = c.find("httpPort"); port != c.end() && port->is_number_integer()) {
            const long long value = port->get<long long>();
            v.httpPort = value > 0 && value <= 65535 ? value : 0;
        }
        if (auto via = c.find("viaHttp"); via != c.end() && via->is_boolean())
            v.viaHttp = via->get<bool>();
        if (auto warnings = c.find("warnings"); warnings != c.end() && warnings->is_array())
            for (const json& w : *warnings)
                if (w.is_string() && v.warnings.size() < 8)
                    v.warnings.push_back(Cut(w.get<std::string>()));
        cameras.push_back(std::move(v));
    }
    return true;
}

int ReadSavedSearch(const std::string& path, std::vector<CameraView>& cameras, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the saved search";
        return kExitSystem;
    }
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
        if (text.size() > kSavedSearchMaxBytes) {
            error = path + ": a saved search of more than 64 MiB is not read";
            return kExitUsage;
        }
    }
    if (in.bad()) {
        error = path + ": cannot read the saved search";
        return kExitSystem;
    }
    if (!ParseSavedSearch(text, cameras, error)) {
        error = path + ": " + error;
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace cli
