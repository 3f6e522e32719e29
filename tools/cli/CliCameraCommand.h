#pragma once
// The common start of every command that acts on cameras: parse, find the cameras named on
// the command line, verify the credentials against them.

#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliEngine.h"

namespace cli {

// The options every camera command takes besides its own.
std::vector<OptionDef> CameraCommandOptions(std::initializer_list<OptionDef> own);

// What a command may act on: every device found, or only cameras of this family (the
// commands that change a camera; ONVIF devices of other makers are read-only).
enum class Targets { Any, OurFamily };

// Searches (--wait S, default 3) and resolves the named cameras (all of them with --all
// when allowAll). Returns an exit code: 0 with macs filled (MACs, and the keys of ONVIF
// devices), else the error was printed. For OurFamily, --all leaves ONVIF devices out and
// naming one is refused (1) before anything is sent.
int FindNamedCameras(EngineSession& session, const ParsedArgs& args,
                     const Credentials& credentials, bool allowAll,
                     std::vector<std::string>& macs, Targets targets);

// Verifies the cameras; prints one line per camera that did not pass. Returns 0 when all
// passed, 4 when one refused, 3 when one stayed silent (and none refused).
int VerifyAll(EngineSession& session, const std::vector<std::string>& macs,
              const Credentials& credentials);

// A command's start: parse args with optionDefs, resolve the credentials. 0 or an exit code.
int ParseCameraCommand(const Invocation& invocation, const std::vector<OptionDef>& optionDefs,
                       const char* name, ParsedArgs& args, Credentials& credentials);

}  // namespace cli
