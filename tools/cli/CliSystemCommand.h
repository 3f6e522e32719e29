#pragma once
// reboot and default share their flow: find, verify, confirm the command.

#include "CliCommand.h"

namespace cli {

// command: "REBOOT", "SW_DEFAULT" or "HW_DEFAULT".
int RunSystemCommand(const Invocation& invocation, const char* name, const char* command);

}  // namespace cli
