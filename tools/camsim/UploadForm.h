#pragma once
// Checks the multipart form of a firmware upload from the body's first and last bytes and
// its size, so that the image itself never has to be held.

#include <cstdint>
#include <string>

struct UploadFormParts {
    std::string boundary;
    std::string fileName;
    uint64_t imageOffset = 0;
    uint64_t imageSize = 0;
};

// True when the body is one "binary" file part (with a file name) followed by a "type"
// part holding "firmware", framed by the boundary of contentType. head holds the body's
// first bytes, tail its last bytes (each at least a few hundred, when the body has them).
bool CheckUploadForm(const std::string& contentType, const std::string& head,
                     const std::string& tail, uint64_t bodySize, UploadFormParts* parts);
