// tarsel models: the camera models this tool recognises, by firmware group.

#include <string>
#include <vector>

#include "CliCommand.h"
#include "CliOutput.h"
#include "common/Language.h"
#include "common/ModelList.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel models [--json|--csv]\n"
    "\n"
    "Lists the model numbers of the cameras this tool recognises, in their firmware groups.\n"
    "A firmware file fits a group when the fifth dot-separated field of its name is the\n"
    "group's firmware field (for example 1.2.3.4.11.bin fits group 4).\n"
    "\n"
    "  --json   one JSON array of {group, firmwareField, model}\n"
    "  --csv    CSV with a header row\n"
    "exit codes: 0 listed, 1 usage error.\n";

// The fifth field of a firmware name that selects each group.
constexpr int kFirmwareField[MODEL_GROUP_COUNT] = {3, 6, 8, 10, 11, 12, 13, 14, 15, 16};

int RunModels(const Invocation& invocation) {
    Format format;
    if (int code = ParseListingCommand(invocation, "models", format)) return code;
    std::vector<Column> columns = {
        {"group", "Group", true},
        {"firmwareField", "Firmware field", true},
        {"model", LoadText(20054), true},
    };
    std::vector<Row> rows;
    for (int group = 0; group < MODEL_GROUP_COUNT; ++group) {
        for (size_t i = ModelGroupStart[group]; i < ModelGroupStart[group + 1]; ++i) {
            rows.push_back({Cell(static_cast<long long>(group)),
                            Cell(static_cast<long long>(kFirmwareField[group])),
                            Cell(std::string(ModelList[i]))});
        }
    }
    PrintRows(stdout, format, columns, rows);
    return kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(models, "models", "list the recognised camera models by firmware group",
                   kUsage, RunModels);

}  // namespace cli
