// tarsel verify: checks the admin credentials against cameras, one by one or all at once.

#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliOutput.h"
#include "engine/OnvifEntry.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel verify (CAMERA... | --all) --user U [--wait S] [--json|--csv]\n"
    "\n"
    "Searches (S seconds, default 3), asks every named camera (by MAC, or IP[:PORT] for a\n"
    "camera that does not answer discovery), or every camera found, to prove the user name\n"
    "and password, and prints pass, fail or \"no answer\" per camera. The verification ends\n"
    "5 s after the last answer. An ONVIF device of another maker is named by its address or\n"
    "its endpoint (uuid); its facts are read with the credentials and its result is\n"
    "\"verified\", \"credentials refused\" or \"no answer\" (or why its answer was of no use).\n"
    "\n"
    "  --all      every camera that answered the search, ONVIF devices included\n"
    "  --wait S   seconds to wait for discovery answers (default 3)\n"
    "  --json     one JSON array of {mac, name, ip, result, protocol, endpoint}\n"
    "  --csv      CSV with a header row\n"
    "exit codes: 0 all passed, 4 all refused, 3 none answered, 5 mixed, 2 camera not found.\n";

int RunVerify(const Invocation& invocation) {
    ParsedArgs args;
    Credentials credentials;
    std::vector<OptionDef> optionDefs =
        CameraCommandOptions({{"--all", false}, {"--json", false}, {"--csv", false}});
    if (int code = ParseCameraCommand(invocation, optionDefs, "verify", args, credentials)) return code;
    Format format;
    std::string error;
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    EngineSession session;
    std::vector<std::string> macs;
    if (int code = FindNamedCameras(session, args, credentials, true, macs, Targets::Any))
        return code;

    int pass = 0, fail = 0, silent = 0;
    std::vector<Row> rows;
    for (const auto& [mac, result] : session.Verify(macs, credentials)) {
        CameraView view = session.View(mac);
        std::string text = result == 1 ? "pass" : result == 0 ? "fail" : "no answer";
        // An ONVIF device's read says it in its own words ("verified", "credentials
        // refused", "no answer", or why its answer was of no use).
        if (IsOnvifKey(mac) && view.onvif && view.onvif->factsRead)
            text = tarsel::onvif::OnvifOutcomeText(view.onvif->outcome);
        (result == 1 ? pass : result == 0 ? fail : silent)++;
        rows.push_back({view.mac, view.name, view.ip, text, view.protocol,
                        view.onvif ? view.onvif->endpoint : ""});
    }
    PrintRows(stdout, format,
              {{"mac", "MAC", true}, {"name", "Name", true}, {"ip", "IP", true},
               {"result", "Result", true}, {"protocol", "Kind", true},
               {"endpoint", "Endpoint", false}},
              rows);
    PrintNote("Pass: " + std::to_string(pass) + ", Fail: " + std::to_string(fail) +
              (silent ? ", no answer: " + std::to_string(silent) : ""));
    if (pass == static_cast<int>(rows.size())) return kExitOk;
    if (pass > 0) return kExitPartial;
    if (fail > 0 && silent == 0) return kExitCredentials;
    if (fail == 0) return kExitTimeout;
    return kExitPartial;
}

}  // namespace

TARSEL_CLI_COMMAND(verify, "verify", "check the admin user name and password on cameras",
                   kUsage, RunVerify);

}  // namespace cli
