// tarsel default: verifies, then restores the factory settings of cameras.

#include "CliSystemCommand.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel default CAMERA... --user U [--keep-ip] [--wait S] [--json|--csv]\n"
    "\n"
    "Verifies the credentials on each camera (by MAC, or IP[:PORT] for a camera that does\n"
    "not answer discovery), then restores its factory settings.\n"
    "\n"
    "  --keep-ip  keep the network settings (address, mask, gateway, mode); without it they\n"
    "             return to the factory ones too\n"
    "  --wait S   seconds to wait for discovery answers (default 3)\n"
    "  --json     one JSON array of {mac, name, ip, result}\n"
    "  --csv      CSV with a header row\n"
    "result per camera: sent, refused (credentials), no answer (to the verification).\n"
    "An ONVIF device of another maker (named by its address or endpoint) is read-only here:\n"
    "it is refused (exit 1) before anything is sent.\n"
    "exit codes: 0 sent to all, 5 to some, 4 refused, 3 no answer, 2 camera not found.\n";

int RunDefault(const Invocation& invocation) {
    return RunSystemCommand(invocation, "default", "HW_DEFAULT");
}

}  // namespace

TARSEL_CLI_COMMAND(default_, "default", "restore cameras' factory settings", kUsage, RunDefault);

}  // namespace cli
