#pragma once
// Small helpers shared by the engine's source files.

#include <cstdint>
#include <string>

#include "engine/CameraRecord.h"

namespace engine_internal {

// A copy of the record that callbacks may read after the engine mutex was released.
inline CameraRecord Snapshot(const CameraRecord& record) {
    CameraRecord copy = record;
    copy.next = nullptr;
    return copy;
}

}  // namespace engine_internal
