#include "CliMain.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CliCommand.h"
#include "CliCredentials.h"
#include "CliOutput.h"
#include "CliSettings.h"

namespace cli {
namespace {

void PrintUsage(FILE* to) {
    std::fputs(
        "usage: tarsel [--config FILE] [--verbose] [--lang en|pl|zh-TW] COMMAND [ARGS]\n"
        "       tarsel --help | tarsel COMMAND --help | tarsel --version\n"
        "\n"
        "Finds and configures the network cameras on every local adapter.\n"
        "\n"
        "commands:\n",
        to);
    for (const Command& command : Commands())
        std::fprintf(to, "  %-10s %s\n", command.name, command.summary);
    std::fputs(
        "\n"
        "global options:\n"
        "  --config FILE   settings file to use instead of the default tarsel.ini\n"
        "  --verbose       also write the diagnostic log to stderr\n"
        "  --lang CODE     language of headers and texts: en, pl or zh-TW\n"
        "\n"
        "exit codes: 0 success, 1 usage error, 2 nothing found, 3 time-out, 4 credentials\n"
        "refused, 5 partial failure, 6 system error (adapter, socket or file).\n",
        to);
    std::fputs(kPasswordHelp, to);
    std::fputs(
        "\n"
        "files: the settings file (language, address history) is tarsel.ini in\n"
        "$XDG_CONFIG_HOME/tarsel/ (~/.config/tarsel/ when XDG_CONFIG_HOME is not set), or\n"
        "beside the program in a portable install; --config FILE uses another.\n",
        to);
}

}  // namespace

int RunCli(int argc, const char* const* argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Invocation invocation;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::printf("tarsel %s\n", TARSEL_VERSION);
            return kExitOk;
        }
        if (arg == "--verbose") {
            invocation.global.verbose = true;
        } else if (arg == "--config" || arg == "--lang") {
            if (i + 1 >= args.size()) {
                PrintError("option " + arg + " needs a value");
                return kExitUsage;
            }
            (arg == "--config" ? invocation.global.configPath : invocation.global.language) = args[++i];
        } else if (arg.rfind("--config=", 0) == 0) {
            invocation.global.configPath = arg.substr(9);
        } else if (arg.rfind("--lang=", 0) == 0) {
            invocation.global.language = arg.substr(7);
        } else if (!arg.empty() && arg[0] == '-') {
            PrintError("unknown option " + arg + " (see tarsel --help)");
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        PrintError("no command given (see tarsel --help)");
        PrintUsage(stderr);
        return kExitUsage;
    }
    invocation.command = args[i];
    invocation.args.assign(args.begin() + static_cast<long>(i) + 1, args.end());
    const Command* command = FindCommand(invocation.command);
    if (command == nullptr) {
        PrintError("unknown command '" + invocation.command + "' (see tarsel --help)");
        return kExitUsage;
    }
    for (const std::string& arg : invocation.args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            std::fputs(command->usage, stdout);
            // Every command that acts on cameras says how to give it the password.
            if (std::strstr(command->usage, "--user") != nullptr) std::fputs(kPasswordHelp, stdout);
            return kExitOk;
        }
    }
    std::string error;
    if (int code = ApplyGlobalSettings(invocation.global, error); code != kExitOk) {
        PrintError(error);
        return code;
    }
    return command->run(invocation);
}

}  // namespace cli
