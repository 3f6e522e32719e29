#include "CliSystemCommand.h"

#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliOutput.h"

namespace cli {

int RunSystemCommand(const Invocation& invocation, const char* name, const char* command) {
    ParsedArgs args;
    Credentials credentials;
    std::vector<OptionDef> optionDefs = CameraCommandOptions({{"--keep-ip", false}});
    if (std::string(name) != "default") optionDefs.pop_back();
    if (int code = ParseCameraCommand(invocation, optionDefs, name, args, credentials)) return code;
    if (std::string(name) == "default" && args.Has("--keep-ip")) command = "SW_DEFAULT";
    EngineSession session;
    std::vector<std::string> macs;
    if (int code = FindNamedCameras(session, args, credentials, false, macs)) return code;
    // Only verified cameras are commanded; the others are named and counted.
    const auto results = session.Verify(macs, credentials);
    std::vector<std::string> verified;
    int refused = 0, silent = 0;
    for (const auto& [mac, result] : results) {
        if (result == 1) {
            verified.push_back(mac);
        } else {
            PrintError(mac + (result == 0 ? ": the camera refused the user name or password"
                                          : ": the camera did not answer the verification"));
            (result == 0 ? refused : silent)++;
        }
    }
    const std::vector<std::string> sent = BeginCommand(session.Engine(), verified);
    SendCommand(session.Engine(), sent, command);
    session.FlushSends();
    for (const std::string& mac : sent) PrintNote(mac + ": " + command + " sent");
    if (sent.size() == macs.size()) return kExitOk;
    if (!sent.empty()) return kExitPartial;
    return refused > 0 ? kExitCredentials : kExitTimeout;
}

}  // namespace cli
