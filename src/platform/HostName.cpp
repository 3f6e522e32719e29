#include "platform/HostName.h"

#include <unistd.h>

#include <climits>

namespace tarsel {

std::string HostName() {
    // A name that fills the buffer may lack its terminator: the last byte stays zero.
    char name[HOST_NAME_MAX + 2] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "";
    return name;
}

}  // namespace tarsel
