#include "CliCamera.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "common/Language.h"
#include "engine/CameraCsv.h"
#include "engine/CameraRecord.h"
#include "engine/TSmain.h"

namespace cli {
namespace {

uint32_t AddressValue(const std::string& text) {
    in_addr a{};
    return inet_pton(AF_INET, text.c_str(), &a) == 1 ? ntohl(a.s_addr) : 0xFFFFFFFFu;
}

}  // namespace

CameraView CameraFromReply(const CameraReply& reply, const std::string& status) {
    CameraRecord record{};
    CopyReplyIntoRecord(&record, reply);
    record.viaHttp = reply.viaHttp;
    CameraView c = ListingOfRecord(record);
    c.status = status;
    return c;
}

std::vector<Column> CameraColumns() {
    // The keys, their order and their translated headers are the shared ones; only the
    // table's presentation is here.
    struct Presentation {
        const char* key;
        const char* header;  // for the columns without a translated header
        bool inTable;
    };
    static const Presentation kPresentations[] = {
        {"company", "Company", false},  {"serial", "Serial", false},
        {"adapter", "Adapter", true},   {"adapterName", "Interface", false},
        {"viaHttp", "HTTP", false},     {"warnings", "Warnings", true},
        {"protocol", "Kind", true},     {"maker", "Maker", true},
        {"endpoint", "Endpoint", false}, {"xaddr", "XAddr", false},
    };
    std::vector<Column> columns;
    for (const std::string& key : CameraColumnKeys()) {
        Column column{key, key, true};
        if (const int id = CameraColumnTextId(key); id != 0) column.header = LoadText(id);
        for (const Presentation& p : kPresentations) {
            if (key != p.key) continue;
            column.header = p.header;
            column.inTable = p.inTable;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

Row CameraRow(const CameraView& c) { return CameraCells(c); }

nlohmann::ordered_json OnvifJson(const OnvifEntry& o) {
    using tarsel::onvif::OnvifOutcomeText;
    const tarsel::onvif::OnvifFacts& f = o.facts;
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    j["endpoint"] = o.endpoint;
    j["xaddr"] = o.xaddr;
    j["xaddrs"] = o.xaddrs;
    j["types"] = o.types;
    j["scopes"] = o.scopes;
    j["name"] = o.name;
    j["hardware"] = o.hardware;
    j["location"] = o.location;
    j["adapters"] = o.adapters;
    // What the device told with the credentials; null until a read ran.
    const auto told = [&](const std::string& text) -> nlohmann::ordered_json {
        return o.factsRead ? nlohmann::ordered_json(text) : nlohmann::ordered_json(nullptr);
    };
    j["verify"] = o.factsRead ? nlohmann::ordered_json(OnvifOutcomeText(o.outcome)) : nullptr;
    j["maker"] = told(f.info.manufacturer);
    j["model"] = told(f.info.model);
    j["firmware"] = told(f.info.firmware);
    j["serial"] = told(f.info.serial);
    j["hardwareId"] = told(f.info.hardwareId);
    j["mac"] = o.factsRead && f.interfaceKnown ? nlohmann::ordered_json(f.network.mac) : nullptr;
    j["macHint"] = o.macHint;
    j["clockOffsetMs"] = f.clockKnown ? nlohmann::ordered_json(static_cast<long long>(f.clockOffset.count()))
                                      : nullptr;
    return j;
}

void PrintCameras(FILE* out, Format format, const std::vector<CameraView>& cameras) {
    const std::vector<Column> columns = CameraColumns();
    size_t protocolColumn = 0;
    while (protocolColumn < columns.size() && columns[protocolColumn].key != "protocol") ++protocolColumn;
    std::vector<Row> rows;
    for (const CameraView& camera : cameras) {
        rows.push_back(CameraRow(camera));
        if (format == Format::Table && camera.protocol == "onvif" && protocolColumn < columns.size())
            rows.back()[protocolColumn] = std::string("ONVIF");
    }
    PrintRows(out, format, columns, rows, [&](size_t row, nlohmann::ordered_json& object) {
        const CameraView& camera = cameras[row];
        object["onvif"] = camera.onvif ? OnvifJson(*camera.onvif) : nlohmann::ordered_json(nullptr);
    });
}

bool ParseProtocol(const std::string& text, ProtocolChoice& choice) {
    if (text == "all") choice = ProtocolChoice::All;
    else if (text == "native") choice = ProtocolChoice::Native;
    else if (text == "onvif") choice = ProtocolChoice::Onvif;
    else return false;
    return true;
}

bool ShownFor(const CameraView& camera, ProtocolChoice choice) {
    switch (choice) {
        case ProtocolChoice::Native: return camera.protocol != "onvif";
        case ProtocolChoice::Onvif: return camera.protocol == "onvif" || camera.onvif != nullptr;
        case ProtocolChoice::All: break;
    }
    return true;
}

std::string ReadOnlyRefusal(const CameraView& camera) {
    if (camera.protocol != "onvif") return "";
    const std::string maker = CameraMaker(camera);
    return (camera.ip.empty() ? std::string("device") : camera.ip) + ": read-only: ONVIF device" +
           (maker.empty() ? "" : " (" + maker + ")") +
           "; settings, reboot, factory defaults, automatic IP and upgrades are for cameras of "
           "this family only";
}

void SortCameras(std::vector<CameraView>& cameras) {
    std::stable_sort(cameras.begin(), cameras.end(), [](const CameraView& a, const CameraView& b) {
        return std::make_tuple(AddressValue(a.ip), a.mac) < std::make_tuple(AddressValue(b.ip), b.mac);
    });
}

}  // namespace cli
