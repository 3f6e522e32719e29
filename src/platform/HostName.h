#pragma once
// This machine's host name, as reports name the PC they were made on.

#include <string>

namespace tarsel {

// The host name; "" when the system gives none.
std::string HostName();

}  // namespace tarsel
