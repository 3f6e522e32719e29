#include "common/Md5.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstring>

void Md5(const void* data, size_t length, unsigned char out[16]) {
    unsigned int outLength = 0;
    // EVP_Digest can only fail on allocation; leave a defined (zero) digest then.
    if (EVP_Digest(data, length, out, &outLength, EVP_md5(), nullptr) != 1 || outLength != 16) {
        std::memset(out, 0, 16);
    }
}

std::string Md5Hex(const unsigned char digest[16], bool upperCase) {
    char text[33];
    const char* format = upperCase ? "%02X" : "%02x";
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, format, digest[i]);
    return std::string(text, 32);
}
