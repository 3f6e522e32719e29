// tarsel set: changes a camera's network settings as the window's Save does, and waits
// until the camera confirms them.

#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliOutput.h"
#include "common/Language.h"
#include "engine/CommandChecks.h"
#include "finder/LibIP.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel set MAC --user U [--name N] [--ip A] [--mask M] [--gateway G]\n"
    "                  [--mode dhcp|manual|pppoe] [--port P] [--force] [--wait S] [--json|--csv]\n"
    "\n"
    "Verifies the credentials, then sends the settings (what is not given keeps the camera's\n"
    "current value) and re-queries the camera until its answers show them. A setting that is\n"
    "not confirmed within 25 s has timed out. A switch to dhcp is confirmed when the camera\n"
    "reports dhcp with another address.\n"
    "\n"
    "  --name N        the camera's name (at most 32 bytes of UTF-8 text)\n"
    "  --ip A, --mask M, --gateway G   its address, subnet mask and gateway\n"
    "  --mode MODE     dhcp, manual or pppoe\n"
    "  --port P        its HTTP port, 1 to 65535\n"
    "  --force         send a manual address outside every subnet of this PC's adapters\n"
    "                  (the camera is then out of this PC's reach); refused without it\n"
    "  --wait S        seconds to wait for discovery answers (default 3)\n"
    "  --json, --csv   the outcome as JSON or CSV\n"
    "A value may not hold \"&\", \"=\" or control characters, and must be UTF-8 text. A\n"
    "manual address's gateway must lie in its subnet (0.0.0.0 means none).\n"
    "An ONVIF device of another maker (named by its address or endpoint) is read-only here:\n"
    "it is refused (exit 1) before anything is sent.\n"
    "exit codes: 0 confirmed, 1 a value refused, 3 timed out, 4 credentials refused,\n"
    "            2 camera not found.\n";

int RunSet(const Invocation& invocation) {
    ParsedArgs args;
    Credentials credentials;
    std::vector<OptionDef> optionDefs = CameraCommandOptions(
        {{"--name", true}, {"--ip", true}, {"--mask", true}, {"--gateway", true},
         {"--mode", true}, {"--port", true}, {"--force", false}, {"--json", false}, {"--csv", false}});
    if (int code = ParseCameraCommand(invocation, optionDefs, "set", args, credentials)) return code;
    Format format;
    std::string error;
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (args.Positionals().size() != 1) {
        PrintError("set changes one camera: name it by its MAC (or IP[:PORT])");
        return kExitUsage;
    }
    for (const char* option : {"--ip", "--mask", "--gateway"}) {
        if (args.Has(option) && !IsValidIpText(args.Get(option).c_str()) &&
            !(std::string(option) == "--gateway" && args.Get(option).empty())) {
            PrintError(std::string(option) + " needs a dotted IPv4 address, got '" +
                       args.Get(option) + "'");
            return kExitUsage;
        }
    }
    if (args.Has("--mask") && !IsValidMaskText(args.Get("--mask").c_str())) {
        PrintError("--mask needs a contiguous mask from 255.0.0.0 to 255.255.255.252");
        return kExitUsage;
    }
    const std::string mode = args.Get("--mode");
    if (args.Has("--mode") && mode != "dhcp" && mode != "manual" && mode != "pppoe") {
        PrintError("--mode needs dhcp, manual or pppoe, got '" + mode + "'");
        return kExitUsage;
    }
    if (args.Has("--port") && !IsValidPortText(args.Get("--port").c_str())) {
        PrintError("--port needs a port number from 1 to 65535, got '" + args.Get("--port") + "'");
        return kExitUsage;
    }
    // Refused before any camera is searched for, so nothing at all is sent.
    for (const char* option : {"--name", "--ip", "--mask", "--gateway", "--mode", "--port"}) {
        const bool isName = std::string(option) == "--name";
        SettingRefusal refusal = CheckTypedSettingValue(
            option, args.Get(option), isName ? kMaxDeviceNameBytes : kMaxSettingValueBytes);
        if (refusal) {
            PrintError(refusal.Describe());
            return kExitUsage;
        }
    }

    EngineSession session;
    std::vector<std::string> macs;
    if (int code = FindNamedCameras(session, args, credentials, false, macs, Targets::OurFamily))
        return code;
    const std::string mac = macs[0];
    if (int code = VerifyAll(session, macs, credentials)) return code;

    CameraView now = session.View(mac);
    CameraSettingsRequest request{args.Get("--name", now.name),       args.Get("--ip", now.ip),
                                  args.Get("--mask", now.mask),       args.Get("--gateway", now.gateway),
                                  args.Get("--mode", now.mode),
                                  args.Get("--port", std::to_string(now.httpPort))};
    // The same check as the window's Save, against the values that would be sent.
    if (const SaveProblem problem = CheckSaveInput(request); problem != SAVE_OK) {
        PrintError(mac + ": " + LoadText(SaveProblemTextId(problem)) + " Nothing was sent.");
        return kExitUsage;
    }
    std::vector<NetworkAdapter> adapters;
    EnumerateAdapters(adapters);
    if (!args.Has("--force") && !ReachableFromAdapters(request, adapters)) {
        PrintError(mac + ": " + request.ip + " is in no subnet of this PC's adapters; the camera would be "
                   "out of reach. Nothing was sent (give --force to send it anyway).");
        return kExitUsage;
    }
    SettingRefusal refusal;
    const int applied = ApplySettings(session.Engine(), mac.c_str(), request, &refusal);
    if (applied == -2) {
        PrintError(mac + ": the camera did not take the settings");
        return kExitTimeout;
    }
    if (applied != 0) {
        // A value kept from the camera itself can be refused too (its current name).
        PrintError(mac + ": " + (refusal ? refusal.Describe() : "the camera is no longer listed"));
        return kExitUsage;
    }
    Progress progress("Setting");
    progress.Update(0, mac);
    const int code = session.WaitSetting(mac);
    progress.Finish();
    CameraView after = session.View(mac);
    after.status = code == kExitOk ? "View" : "No Response";
    PrintRows(stdout, format, CameraColumns(), {CameraRow(after)});
    if (code != kExitOk) {
        PrintError(mac + ": the camera did not confirm the settings within 25 s");
        return code;
    }
    PrintNote(mac + ": settings confirmed");
    return kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(set, "set", "change a camera's name, address, mask, gateway, mode or port",
                   kUsage, RunSet);

}  // namespace cli
