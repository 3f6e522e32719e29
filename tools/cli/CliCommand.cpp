#include "CliCommand.h"

#include <algorithm>
#include <cstring>

namespace cli {
namespace {

// A function-local list: registrations run during static initialisation, in any order.
std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

}  // namespace

bool RegisterCommand(const Command& command) {
    Registry().push_back(command);
    return true;
}

std::vector<Command> Commands() {
    std::vector<Command> sorted = Registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    return sorted;
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Registry()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace cli
