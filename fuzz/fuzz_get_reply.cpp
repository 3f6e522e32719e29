// Feeds arbitrary camera answers, chunked the way the network might deliver them, through
// the reply buffer and the get-reply grammar.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "web/LibCurl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CurlBuffer buffer;
    size_t offset = 0;
    // The first byte, when there is one, picks the chunk size.
    const size_t chunk = size > 0 ? static_cast<size_t>(data[0] % 17) + 1 : 1;
    while (offset < size) {
        const size_t n = std::min(chunk, size - offset);
        if (!buffer.Append(data + offset, n)) std::abort();
        offset += n;
    }
    if (buffer.length != size) std::abort();
    if (size > 0 && (buffer.length >= buffer.capacity || std::memcmp(buffer.data, data, size) != 0))
        std::abort();
    for (uint32_t i = buffer.length; i < buffer.capacity; ++i)
        if (buffer.data[i] != 0) std::abort();

    GetReply reply;
    const int fields = ParseGetReply(buffer.Text(), &reply);
    if (fields < 0 || fields > 3) std::abort();
    if (::strnlen(reply.lead, sizeof reply.lead) >= sizeof reply.lead) std::abort();
    if (::strnlen(reply.status, sizeof reply.status) >= sizeof reply.status) std::abort();
    if (::strnlen(reply.value, sizeof reply.value) >= sizeof reply.value) std::abort();
    // A field is filled exactly when the scan got past it, and never holds a quote.
    if ((fields >= 1) != (reply.lead[0] != '\0')) std::abort();
    if ((fields >= 2) != (reply.status[0] != '\0')) std::abort();
    if ((fields >= 3) != (reply.value[0] != '\0')) std::abort();
    if (std::strchr(reply.lead, '"') || std::strchr(reply.status, '"') ||
        std::strchr(reply.value, '"'))
        std::abort();
    // Every field read is a piece of the body.
    const std::string body(buffer.Text());
    if (fields >= 1 && body.find(reply.lead) == std::string::npos) std::abort();
    if (fields >= 3 && body.find(reply.value) == std::string::npos) std::abort();
    return 0;
}
