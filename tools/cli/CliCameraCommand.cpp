#include "CliCameraCommand.h"

#include "CliOutput.h"

namespace cli {

std::vector<OptionDef> CameraCommandOptions(std::initializer_list<OptionDef> own) {
    std::vector<OptionDef> optionDefs = OptionList(kCredentialOptions);
    optionDefs.push_back({"--wait", true});
    optionDefs.insert(optionDefs.end(), own.begin(), own.end());
    return optionDefs;
}

int ParseCameraCommand(const Invocation& invocation, const std::vector<OptionDef>& optionDefs,
                       const char* name, ParsedArgs& args, Credentials& credentials) {
    std::string error;
    if (!args.Parse(invocation.args, optionDefs, error)) {
        PrintError(error + " (see tarsel " + name + " --help)");
        return kExitUsage;
    }
    const int code = ResolveCredentials(args, credentials, error);
    if (code != 0) {
        PrintError(error);
        return code;
    }
    return kExitOk;
}

int FindNamedCameras(EngineSession& session, const ParsedArgs& args,
                     const Credentials& credentials, bool allowAll,
                     std::vector<std::string>& macs, Targets targets) {
    double waitSeconds;
    if (!ParseSearchWait(args, waitSeconds)) return kExitUsage;
    const bool all = allowAll && args.Has("--all");
    if (all == !args.Positionals().empty()) {
        PrintError(allowAll ? "name the cameras by MAC (or IP[:PORT]), or give --all"
                            : "name the camera by its MAC (or IP[:PORT])");
        return kExitUsage;
    }
    if (int code = session.SearchAdapters(waitSeconds); code != kExitOk) return code;
    if (all) {
        macs = session.Macs(targets == Targets::Any);
        if (macs.empty()) {
            PrintError("no camera answered within " + args.Get("--wait", "3") + " s");
            return kExitNotFound;
        }
        return kExitOk;
    }
    for (const std::string& name : args.Positionals()) {
        bool refused = false;
        const std::string mac = session.Resolve(name, credentials, &refused);
        if (refused) {
            PrintError(name + ": the camera refused the user name or password");
            return kExitCredentials;
        }
        if (mac.empty()) {
            PrintError(name + ": no such camera answered (check the MAC, or give IP[:PORT])");
            return kExitNotFound;
        }
        macs.push_back(mac);
    }
    if (targets == Targets::Any) return kExitOk;
    int code = kExitOk;
    for (const std::string& key : macs) {
        if (const std::string refusal = ReadOnlyRefusal(session.View(key)); !refusal.empty()) {
            PrintError(refusal);
            code = kExitUsage;
        }
    }
    return code;
}

int VerifyAll(EngineSession& session, const std::vector<std::string>& macs,
              const Credentials& credentials) {
    int code = kExitOk;
    for (const auto& [mac, result] : session.Verify(macs, credentials)) {
        if (result == 1) continue;
        // An ONVIF device has no MAC of its own here: its address names it.
        const std::string name = IsOnvifKey(mac) ? session.View(mac).ip : mac;
        if (result == 0) {
            PrintError(name + ": the camera refused the user name or password");
            code = kExitCredentials;
        } else {
            PrintError(name + ": the camera did not answer the verification");
            if (code == kExitOk) code = kExitTimeout;
        }
    }
    return code;
}

}  // namespace cli
