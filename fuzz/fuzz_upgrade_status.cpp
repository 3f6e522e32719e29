// Feeds arbitrary status answers to the upgrade poller's classification.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "web/LibCurl.h"
#include "web/UpgradeProc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    GetReply reply;
    const UpgradeStatusKind kind = ClassifyUpgradeStatus(body.c_str(), &reply);
    const std::string value = reply.value;
    bool consistent = false;
    switch (kind) {
        case UpgradeStatusKind::Empty:
            consistent = value.empty();
            break;
        case UpgradeStatusKind::Progressing:
            consistent = value == "uploading" || value == "uncompressing" || value == "checking";
            break;
        case UpgradeStatusKind::Installing:
            consistent = value == "installing";
            break;
        case UpgradeStatusKind::Ok:
            consistent = value == "ok";
            break;
        case UpgradeStatusKind::Fail:
            consistent = value == "fail";
            break;
        case UpgradeStatusKind::Unknown:
            consistent = !value.empty() && value != "uploading" && value != "uncompressing" &&
                         value != "checking" && value != "installing" && value != "ok" &&
                         value != "fail";
            break;
    }
    if (!consistent) std::abort();
    // The log lines quote the three strings: each must be a terminated text of its field.
    if (::strnlen(reply.lead, sizeof reply.lead) >= sizeof reply.lead ||
        ::strnlen(reply.status, sizeof reply.status) >= sizeof reply.status ||
        value.size() >= sizeof reply.value)
        std::abort();
    return 0;
}
