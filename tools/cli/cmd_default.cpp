// tarsel default: verifies, then restores the factory settings of cameras.

#include "CliSystemCommand.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel default MAC... --user U [--keep-ip] [--wait S]\n"
    "\n"
    "Verifies the credentials on each camera, then restores its factory settings. With\n"
    "--keep-ip the camera keeps its network settings (address, mask, gateway, mode);\n"
    "without it they return to the factory ones too.\n"
    "exit codes: 0 sent to all, 5 to some, 4 refused, 3 no answer, 2 camera not found.\n";

int RunDefault(const Invocation& invocation) {
    return RunSystemCommand(invocation, "default", "HW_DEFAULT");
}

}  // namespace

TARSEL_CLI_COMMAND(default_, "default", "restore cameras' factory settings", kUsage, RunDefault);

}  // namespace cli
