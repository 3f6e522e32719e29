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

void SortCameras(std::vector<CameraView>& cameras) {
    std::stable_sort(cameras.begin(), cameras.end(), [](const CameraView& a, const CameraView& b) {
        return std::make_tuple(AddressValue(a.ip), a.mac) < std::make_tuple(AddressValue(b.ip), b.mac);
    });
}

}  // namespace cli
