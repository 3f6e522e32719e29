#include "CliSystemCommand.h"

#include <map>
#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliOutput.h"

namespace cli {

int RunSystemCommand(const Invocation& invocation, const char* name, const char* command) {
    ParsedArgs args;
    Credentials credentials;
    const bool isDefault = std::string(name) == "default";
    std::vector<OptionDef> optionDefs = CameraCommandOptions({{"--json", false}, {"--csv", false}});
    if (isDefault) optionDefs.push_back({"--keep-ip", false});
    if (int code = ParseCameraCommand(invocation, optionDefs, name, args, credentials)) return code;
    Format format;
    std::string error;
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (isDefault && args.Has("--keep-ip")) command = "SW_DEFAULT";
    EngineSession session;
    std::vector<std::string> macs;
    if (int code = FindNamedCameras(session, args, credentials, false, macs, Targets::OurFamily))
        return code;
    // Only verified cameras are commanded; the others are named and counted.
    const auto results = session.Verify(macs, credentials);
    std::vector<std::string> verified;
    std::map<std::string, std::string> outcome;
    int refused = 0, silent = 0;
    for (const auto& [mac, result] : results) {
        if (result == 1) {
            verified.push_back(mac);
            outcome[mac] = "not sent";
        } else {
            PrintError(mac + (result == 0 ? ": the camera refused the user name or password"
                                          : ": the camera did not answer the verification"));
            (result == 0 ? refused : silent)++;
            outcome[mac] = result == 0 ? "refused" : "no answer";
        }
    }
    const std::vector<std::string> sent = BeginCommand(session.Engine(), verified);
    SendCommand(session.Engine(), sent, command);
    session.FlushSends();
    for (const std::string& mac : sent) {
        PrintNote(mac + ": " + command + " sent");
        outcome[mac] = "sent";
    }
    std::vector<Row> rows;
    for (const std::string& mac : macs) {
        const CameraView view = session.View(mac);
        rows.push_back({mac, view.name, view.ip, outcome[mac]});
    }
    PrintRows(stdout, format,
              {{"mac", "MAC", true}, {"name", "Name", true}, {"ip", "IP", true},
               {"result", "Result", true}},
              rows);
    if (sent.size() == macs.size()) return kExitOk;
    if (!sent.empty()) return kExitPartial;
    return refused > 0 ? kExitCredentials : kExitTimeout;
}

}  // namespace cli
