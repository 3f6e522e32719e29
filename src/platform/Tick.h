#pragma once
#include <cstdint>

namespace tarsel {

// Milliseconds since an arbitrary start, as a 32-bit count that wraps after about 49.7 days.
// Compare two ticks only through their unsigned difference.
uint32_t GetTickCount();

}  // namespace tarsel
