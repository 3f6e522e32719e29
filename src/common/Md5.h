#pragma once
// MD5 (RFC 1321) over bytes, for the credential digests the cameras compare.

#include <cstddef>
#include <string>

void Md5(const void* data, size_t length, unsigned char out[16]);

// The digest as 32 hexadecimal digits, upper case ("%02X" per byte) unless told otherwise.
std::string Md5Hex(const unsigned char digest[16], bool upperCase = true);
