// tarsel reboot: verifies, then reboots cameras.

#include "CliSystemCommand.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel reboot CAMERA... --user U [--wait S] [--json|--csv]\n"
    "\n"
    "Verifies the credentials on each camera (by MAC, or IP[:PORT] for a camera that does\n"
    "not answer discovery), then reboots the verified ones. A rebooting camera is silent for\n"
    "a while and then answers again.\n"
    "\n"
    "  --wait S   seconds to wait for discovery answers (default 3)\n"
    "  --json     one JSON array of {mac, name, ip, result}\n"
    "  --csv      CSV with a header row\n"
    "result per camera: sent, refused (credentials), no answer (to the verification).\n"
    "An ONVIF device of another maker (named by its address or endpoint) is read-only here:\n"
    "it is refused (exit 1) before anything is sent.\n"
    "exit codes: 0 sent to all, 5 to some, 4 refused, 3 no answer, 2 camera not found.\n";

int RunReboot(const Invocation& invocation) {
    return RunSystemCommand(invocation, "reboot", "REBOOT");
}

}  // namespace

TARSEL_CLI_COMMAND(reboot, "reboot", "reboot cameras", kUsage, RunReboot);

}  // namespace cli
