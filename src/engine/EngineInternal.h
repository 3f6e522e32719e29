#pragma once
// Small helpers shared by the engine's source files.

#include <cstdint>
#include <string>

#include "engine/CameraRecord.h"

namespace engine_internal {

// 64-bit address value of a dotted text; all ones when the text is not a valid address.
uint64_t AddressValue(const char* text);
// Dotted text of an address value's low 32 bits.
std::string AddressText(uint64_t value);

// A copy of the record that callbacks may read after the engine mutex was released.
inline CameraRecord Snapshot(const CameraRecord& record) {
    CameraRecord copy = record;
    copy.next = nullptr;
    return copy;
}

}  // namespace engine_internal
