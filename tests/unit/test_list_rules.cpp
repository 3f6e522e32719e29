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
    std::snprintf(r.fwVersion, sizeof r.fwVersion, "5.2.1");
    return r;
}
}  // namespace

TEST(CameraFilter, PrefixBytesInvertAndEveryField) {
    std::vector<CameraRecord> cams = {
        Camera("Cam-01", "192.168.1.5"), Camera("Cam-02", "192.168.10.5"),
        Camera("cam-03", "10.0.0.9", "8080"), Camera("Cam-04", "192.168.2.7")};
    std::snprintf(cams[1].company, sizeof cams[1].company, "Acme Security");
    std::snprintf(cams[3].company, sizeof cams[3].company, "Acme");
    using V = std::vector<size_t>;
    EXPECT_EQ((V{0, 1}), FilterCameras(cams, FILTER_IP, "192.168.1", false));
    EXPECT_EQ((V{2, 3}), FilterCameras(cams, FILTER_IP, "192.168.1", true));
    EXPECT_EQ((V{0, 1, 3}), FilterCameras(cams, FILTER_NAME, "Cam", false));  // case-sensitive
    EXPECT_EQ((V{2}), FilterCameras(cams, FILTER_PORT, "808", false));
    EXPECT_EQ((V{}), FilterCameras(cams, FILTER_PORT, "80", true));  // "8080" starts with "80"
    EXPECT_EQ((V{0, 1, 2, 3}), FilterCameras(cams, FILTER_NAME, "", true));   // empty: everything
    // "Customer" compares the company the camera reports.
    EXPECT_EQ((V{1, 3}), FilterCameras(cams, FILTER_CUSTOMER, "Acme", false));
    EXPECT_EQ((V{0, 2, 3}), FilterCameras(cams, FILTER_CUSTOMER, "Acme S", true));
    // A text longer than the field never matches, also past the field's terminator.
    EXPECT_EQ((V{}), FilterCameras(cams, FILTER_FW_VERSION, "5.2.1.9", false));
}
