// tarsel reboot: verifies, then reboots cameras.

#include "CliSystemCommand.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel reboot MAC... --user U [--wait S]\n"
    "\n"
    "Verifies the credentials on each camera, then reboots the verified ones. A rebooting\n"
    "camera is silent for a while and then answers again.\n"
    "exit codes: 0 sent to all, 5 to some, 4 refused, 3 no answer, 2 camera not found.\n";

int RunReboot(const Invocation& invocation) {
    return RunSystemCommand(invocation, "reboot", "REBOOT");
}

}  // namespace

TARSEL_CLI_COMMAND(reboot, "reboot", "reboot cameras", kUsage, RunReboot);

}  // namespace cli
