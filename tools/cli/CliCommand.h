#pragma once
// The command registry of the `tarsel` command line. Every command lives in its own file
// (cmd_NAME.cpp) and registers itself with TARSEL_CLI_COMMAND, so that commands are added
// without touching each other or main.cpp.

#include <string>
#include <vector>

#include "CliOutput.h"

namespace cli {

// Exit codes of the command line; scripts rely on them.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,        // usage error
    kExitNotFound = 2,     // nothing found / camera not found
    kExitTimeout = 3,      // time-out waiting for a camera
    kExitCredentials = 4,  // credentials refused
    kExitPartial = 5,      // partial failure in a batch
    kExitSystem = 6,       // no adapter, socket or file error
};

struct GlobalOptions {
    std::string configPath;  // --config FILE ("" = the default location)
    bool verbose = false;    // --verbose: the diagnostic log also goes to stderr
    std::string language;    // --lang CODE ("" = from the settings file)
};

struct Invocation {
    GlobalOptions global;
    std::string command;
    std::vector<std::string> args;  // everything after the command's name
};

struct Command {
    const char* name;
    const char* summary;  // one line for `tarsel --help`
    const char* usage;    // the full text of `tarsel NAME --help`
    int (*run)(const Invocation& invocation);
};

// Adds a command; called by TARSEL_CLI_COMMAND before main runs.
bool RegisterCommand(const Command& command);
// Every registered command, sorted by name.
std::vector<Command> Commands();
const Command* FindCommand(const std::string& name);

// The start of a command that takes no arguments and only prints: its output options.
// 0, or kExitUsage after printing what was wrong.
int ParseListingCommand(const Invocation& invocation, const char* name, Format& format);

}  // namespace cli

#define TARSEL_CLI_COMMAND(id, name, summary, usage, run) \
    static const bool tarselCliRegistered_##id = ::cli::RegisterCommand({name, summary, usage, run})
