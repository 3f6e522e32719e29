#include "UploadForm.h"

bool CheckUploadForm(const std::string& contentType, const std::string& head,
                     const std::string& tail, uint64_t bodySize, UploadFormParts* parts) {
    static const std::string kPrefix = "multipart/form-data; boundary=";
    if (contentType.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    const std::string boundary = contentType.substr(kPrefix.size());
    if (boundary.empty() || boundary.size() > 70) return false;
    const std::string opening = "--" + boundary + "\r\n";
    if (head.compare(0, opening.size(), opening) != 0) return false;

    const size_t headersEnd = head.find("\r\n\r\n");
    if (headersEnd == std::string::npos) return false;
    const std::string partHeaders = head.substr(opening.size(), headersEnd - opening.size());
    static const std::string kDisposition =
        "Content-Disposition: form-data; name=\"binary\"; filename=\"";
    const size_t disposition = partHeaders.find(kDisposition);
    if (disposition == std::string::npos) return false;
    const size_t nameStart = disposition + kDisposition.size();
    const size_t nameEnd = partHeaders.find('"', nameStart);
    if (nameEnd == std::string::npos || nameEnd == nameStart) return false;
    const uint64_t imageOffset = headersEnd + 4;

    const std::string closing = "\r\n--" + boundary + "\r\n" +
                                "Content-Disposition: form-data; name=\"type\"\r\n\r\n" +
                                "firmware\r\n--" + boundary + "--\r\n";
    if (tail.size() < closing.size() ||
        tail.compare(tail.size() - closing.size(), closing.size(), closing) != 0)
        return false;
    if (bodySize < imageOffset + closing.size()) return false;

    parts->boundary = boundary;
    parts->fileName = partHeaders.substr(nameStart, nameEnd - nameStart);
    parts->imageOffset = imageOffset;
    parts->imageSize = bodySize - imageOffset - closing.size();
    return true;
}
