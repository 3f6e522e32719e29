// The camera list's rules without widgets: which cameras a filter shows.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/CameraFilter.h"

namespace {
CameraRecord Camera(const char* name, const char* ip, const char* port = "80") {
    CameraRecord r{};
    std::snprintf(r.name, sizeof r.name, "%s", name);
    std::snprintf(r.mac, sizeof r.mac, "00:1B:2C:00:00:%s", name + 4);
    std::snprintf(r.ip, sizeof r.ip, "%s", ip);
    std::snprintf(r.httpPort, sizeof r.httpPort, "%s", port);
    return r;
}

std::vector<size_t> Shown(const std::vector<CameraRecord>& cams, int field, const char* text, bool invert = false) {
    std::vector<size_t> shown;
    for (size_t i = 0; i < cams.size(); ++i)
        if (FilterShowsCamera(cams[i], field, text, invert)) shown.push_back(i);
    return shown;
}
}  // namespace

TEST(CameraFilter, ContainmentWithoutCaseWholeAddressesAndPortsMacsAnyWay) {
    std::vector<CameraRecord> cams = {
        Camera("Cam-01", "192.168.1.5"), Camera("Gate02", "192.168.10.5"),
        Camera("cam-03", "10.0.0.9", "8080"), Camera("Cam-04", "192.168.1.50")};
    std::snprintf(cams[1].company, sizeof cams[1].company, "Acme Security");
    std::snprintf(cams[3].model, sizeof cams[3].model, "TS-2150");
    using V = std::vector<size_t>;
    EXPECT_EQ((V{0, 2, 3}), Shown(cams, FILTER_NAME, "CAM"));
    EXPECT_EQ((V{0, 1, 2, 3}), Shown(cams, FILTER_NAME, "", true));  // empty: everything
    // A whole address or port is that one; a part is found anywhere.
    EXPECT_EQ((V{0}), Shown(cams, FILTER_IP, "192.168.1.5"));
    EXPECT_EQ((V{0, 3}), Shown(cams, FILTER_IP, "168.1."));
    EXPECT_EQ((V{}), Shown(cams, FILTER_PORT, "808"));
    // A MAC by any part, with other separators or none.
    EXPECT_EQ((V{0}), Shown(cams, FILTER_MAC, "001b2c00-0001"));
    EXPECT_EQ((V{1}), Shown(cams, FILTER_CUSTOMER, "security"));
    EXPECT_EQ((V{0, 1, 2}), Shown(cams, FILTER_MODEL, "ts-21", true));
}
