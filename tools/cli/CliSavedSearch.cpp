#include "CliSavedSearch.h"

#include <arpa/inet.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <streambuf>
#include <unordered_map>

#include "CliCommand.h"

namespace cli {
namespace {

using nlohmann::json;

// A camera's reply holds no text longer than this; a longer one is cut where a character
// starts.
constexpr size_t kTextMax = 127;
constexpr size_t kWarningsMax = 8;

std::string Cut(const std::string& text) {
    if (text.size() <= kTextMax) return text;
    size_t cut = kTextMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

// A stream's bytes, no more than kSavedSearchMaxBytes of them: past that it ends, and
// says so.
class CappedInput : public std::streambuf {
public:
    explicit CappedInput(std::istream& in) : in_(in) {}
    bool OverCap() const { return overCap_; }

private:
    int_type underflow() override {
        if (total_ >= kSavedSearchMaxBytes) {
            overCap_ = in_.peek() != traits_type::eof();
            return traits_type::eof();
        }
        in_.read(chunk_, static_cast<std::streamsize>(
                             std::min(sizeof chunk_, kSavedSearchMaxBytes - total_)));
        const auto got = static_cast<size_t>(in_.gcount());
        if (got == 0) return traits_type::eof();
        total_ += got;
        setg(chunk_, chunk_, chunk_ + got);
        return traits_type::to_int_type(chunk_[0]);
    }

    std::istream& in_;
    char chunk_[65536];
    size_t total_ = 0;
    bool overCap_ = false;
};

// Builds the cameras while the file is read, with no document in memory: every value is
// looked at once and dropped unless it is a field of a camera. Returning false stops the
// parse (a bound was passed); why then says which.
class CameraReader : public json::json_sax_t {
public:
    explicit CameraReader(SavedSearch& search) : search_(search) {}
    std::string why;

    bool start_object(std::size_t) override { return Enter(true); }
    bool start_array(std::size_t) override { return Enter(false); }
    bool end_object() override { return Leave(); }
    bool end_array() override { return Leave(); }
    bool key(string_t& name) override {
        if (depth_ == 2) key_ = name;
        return true;
    }
    bool string(string_t& value) override {
        if (depth_ == 3 && inWarnings_ && row_.warnings.size() < kWarningsMax)
            row_.warnings.push_back(Cut(value));
        if (depth_ == 2 && inCamera_) {
            if (std::string* field = TextField()) *field = Cut(value);
            if (key_ == "endpoint") endpoint_ = Cut(value);
            if (key_ == "xaddr") xaddr_ = Cut(value);
            if (key_ == "maker") maker_ = Cut(value);
            port_ = key_ == "httpPort" ? PortState::Bad : port_;
        }
        return Value();
    }
    bool number_integer(number_integer_t value) override { return Port(value >= 0, static_cast<uint64_t>(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Port(true, value); }
    bool number_float(number_float_t, const string_t&) override { return Port(false, 0); }
    bool boolean(bool value) override {
        if (depth_ == 2 && inCamera_ && key_ == "viaHttp") row_.viaHttp = value;
        return Port(false, 0);
    }
    bool null() override { return Port(false, 0); }
    bool binary(binary_t&) override { return Value(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    enum class PortState { Absent, Good, Bad };

    bool Enter(bool object) {
        if (depth_ == 0 && object) return Stop("is not the JSON array of a saved search (tarsel search --json)");
        if (depth_ == 1 && !NextRow()) return false;
        if (++depth_ > kSavedSearchMaxDepth)
            return Stop("nests values deeper than " + std::to_string(kSavedSearchMaxDepth) + " levels");
        if (depth_ == 2) {
            inCamera_ = object;
            row_ = CameraView{};
            endpoint_.clear();
            xaddr_.clear();
            maker_.clear();
            port_ = PortState::Absent;
            key_.clear();
        }
        if (depth_ == 3) inWarnings_ = !object && inCamera_ && key_ == "warnings";
        if (depth_ == 3 && !inWarnings_ && inCamera_ && key_ == "httpPort") port_ = PortState::Bad;
        return true;
    }
    bool Leave() {
        if (depth_ == 3) inWarnings_ = false;
        if (depth_ == 2) {
            if (inCamera_) Take();
            else Refuse("not a camera object");
            inCamera_ = false;
        }
        --depth_;
        return true;
    }
    // A scalar: an element of the top array is a row too, and not a camera.
    bool Value() {
        if (depth_ == 0) return Stop("is not the JSON array of a saved search (tarsel search --json)");
        if (depth_ == 1) {
            if (!NextRow()) return false;
            Refuse("not a camera object");
        }
        return true;
    }
    bool Port(bool integer, uint64_t value) {
        if (depth_ == 2 && inCamera_ && key_ == "httpPort")
            port_ = integer && value <= 65535 ? PortState::Good : PortState::Bad;
        if (port_ == PortState::Good && depth_ == 2 && inCamera_ && key_ == "httpPort")
            row_.httpPort = static_cast<long long>(value);
        return Value();
    }
    bool NextRow() {
        if (++rows_ > kSavedSearchMaxCameras)
            return Stop("holds more than " + std::to_string(kSavedSearchMaxCameras) + " cameras");
        return true;
    }
    bool Stop(std::string reason) {
        why = std::move(reason);
        return false;
    }
    std::string* TextField() {
        static const std::pair<const char*, std::string CameraView::*> kFields[] = {
            {"name", &CameraView::name},       {"mac", &CameraView::mac},
            {"ip", &CameraView::ip},           {"mask", &CameraView::mask},
            {"gateway", &CameraView::gateway}, {"mode", &CameraView::mode},
            {"fwVersion", &CameraView::fwVersion}, {"model", &CameraView::model},
            {"company", &CameraView::company}, {"serial", &CameraView::serial},
            {"adapter", &CameraView::adapter}, {"adapterName", &CameraView::adapterName},
            {"status", &CameraView::status},   {"protocol", &CameraView::protocol}};
        for (const auto& [name, member] : kFields)
            if (key_ == name) return &(row_.*member);
        return nullptr;
    }
    void Refuse(const std::string& reason) {
        if (search_.refused.size() < kSavedSearchRefusalsShown)
            search_.refused.push_back("row " + std::to_string(rows_) + ": " + reason);
        ++search_.refusedCount;
    }
    // An ONVIF device of another maker is named by its endpoint (it may have no MAC); it
    // keeps what the row told of it.
    bool TakeOnvif(std::string& key) {
        if (endpoint_.empty()) {
            Refuse("an ONVIF device without its endpoint");
            return false;
        }
        auto onvif = std::make_shared<OnvifEntry>();
        onvif->endpoint = endpoint_;
        onvif->xaddr = xaddr_;
        onvif->address = row_.ip;
        if (row_.company.empty()) row_.company = maker_;
        row_.onvif = std::move(onvif);
        key = OnvifKey(endpoint_);
        return true;
    }
    void Take() {
        in_addr address{};
        std::string key;
        if (row_.protocol == "onvif") {
            if (!TakeOnvif(key)) return;
        } else if (row_.protocol != "native") {
            return Refuse("protocol is neither native nor onvif");
        } else if (!::IsMacText(row_.mac)) {
            return Refuse("no MAC of six hex fields joined by ':'");
        } else {
            key = MacKey(row_.mac);
        }
        if (inet_pton(AF_INET, row_.ip.c_str(), &address) != 1)
            return Refuse("no dotted IPv4 address");
        if (port_ == PortState::Bad) return Refuse("httpPort is no port from 1 to 65535");
        const auto [at, fresh] = byMac_.emplace(key, search_.cameras.size());
        if (fresh) return search_.cameras.push_back(std::move(row_));
        // The same camera again: what the first row left empty, the later one may give.
        ++search_.merged;
        CameraView& first = search_.cameras[at->second];
        for (std::string CameraView::*field :
             {&CameraView::name, &CameraView::mask, &CameraView::gateway, &CameraView::mode,
              &CameraView::fwVersion, &CameraView::model, &CameraView::company,
              &CameraView::serial, &CameraView::adapter, &CameraView::adapterName})
            if ((first.*field).empty()) first.*field = row_.*field;
        if (first.httpPort == 0) first.httpPort = row_.httpPort;
    }

    SavedSearch& search_;
    std::unordered_map<std::string, size_t> byMac_;
    CameraView row_;
    std::string endpoint_, xaddr_, maker_;  // an ONVIF device's columns
    std::string key_;
    PortState port_ = PortState::Absent;
    int depth_ = 0;
    size_t rows_ = 0;
    bool inCamera_ = false;
    bool inWarnings_ = false;
};

}  // namespace

bool ParseSavedSearch(std::istream& in, SavedSearch& search, std::string& error) {
    search = SavedSearch{};
    CappedInput capped(in);
    std::istream bounded(&capped);
    CameraReader reader(search);
    const bool parsed = json::sax_parse(bounded, &reader);
    if (capped.OverCap()) {
        error = "a saved search of more than " + std::to_string(kSavedSearchMaxBytes >> 20) +
                " MiB is not read";
    } else if (!parsed) {
        error = reader.why.empty() ? "is not the JSON array of a saved search (tarsel search --json)"
                                   : reader.why;
    }
    if (parsed && !capped.OverCap()) return true;
    search = SavedSearch{};
    return false;
}

int ReadSavedSearch(const std::string& path, SavedSearch& search, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the saved search";
        return kExitSystem;
    }
    const bool parsed = ParseSavedSearch(in, search, error);
    if (in.bad()) {
        error = path + ": cannot read the saved search";
        return kExitSystem;
    }
    if (!parsed) {
        error = path + ": " + error;
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace cli
