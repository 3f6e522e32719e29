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
    // The keys and their order are the shared ones; only the table's presentation is here.
    struct Presentation {
        const char* key;
        int textId;          // 0: the fixed header
        const char* header;
        bool inTable;
    };
    static const Presentation kPresentations[] = {
        {"name", 20040, "", true},         {"mac", 20041, "", true},
        {"ip", 20042, "", true},           {"mask", 20043, "", true},
        {"gateway", 20044, "", true},      {"httpPort", 20046, "", true},
        {"mode", 20047, "", true},         {"fwVersion", 20053, "", true},
        {"model", 20054, "", true},        {"company", 0, "Company", false},
        {"serial", 0, "Serial", false},    {"adapter", 0, "Adapter", true},
        {"adapterName", 0, "Interface", false}, {"viaHttp", 0, "HTTP", false},
        {"status", 20055, "", true},       {"warnings", 0, "Warnings", true},
    };
    std::vector<Column> columns;
    for (const std::string& key : CameraColumnKeys()) {
        Column column{key, key, false};
        for (const Presentation& p : kPresentations) {
            if (key != p.key) continue;
            column.header = p.textId != 0 ? LoadText(p.textId) : p.header;
            column.inTable = p.inTable;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

Row CameraRow(const CameraView& c) { return CameraCells(c); }

void SortCameras(std::vector<CameraView>& cameras) {
    std::stable_sort(cameras.begin(), cameras.end(), [](const CameraView& a, const CameraView& b) {
        return std::make_tuple(AddressValue(a.ip), a.mac) < std::make_tuple(AddressValue(b.ip), b.mac);
    });
}

}  // namespace cli
