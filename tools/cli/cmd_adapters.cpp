// tarsel adapters: every local adapter with its addresses, gateway and name servers, as the
// automatic address assignment sees them.

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliCommand.h"
#include "CliOutput.h"
#include "common/Language.h"
#include "finder/LibIP.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel adapters [--json|--csv]\n"
    "\n"
    "Lists every network adapter but loopback: its name and description, each IPv4 address\n"
    "with its mask, the default gateway and the first two DNS servers (\"0.0.0.0\" where\n"
    "there is none). The table and CSV give one row per address; JSON gives one object per\n"
    "adapter with an \"addresses\" array.\n"
    "\n"
    "  --json   one JSON array of adapter objects\n"
    "  --csv    CSV with a header row\n"
    "exit codes: 0 adapters listed, 6 no adapter at all.\n";

std::vector<Column> AdapterColumns() {
    return {
        {"index", "#", true},
        {"name", LoadText(20056), true},
        {"description", "Description", true},
        {"address", LoadText(20042), true},
        {"mask", LoadText(20043), true},
        {"gateway", LoadText(20045), true},
        {"dns1", LoadText(20086), true},
        {"dns2", LoadText(20087), true},
    };
}

std::string Json(const std::vector<NetworkAdapter>& adapters) {
    nlohmann::ordered_json doc = nlohmann::ordered_json::array();
    for (const NetworkAdapter& a : adapters) {
        nlohmann::ordered_json addresses = nlohmann::ordered_json::array();
        for (const NetworkAddress& pair : a.addresses) {
            addresses.push_back({{"address", pair.address}, {"mask", pair.mask}});
        }
        doc.push_back({{"index", a.index},
                       {"name", a.name},
                       {"description", a.description},
                       {"addresses", addresses},
                       {"gateway", a.gateway},
                       {"dns1", a.dns1},
                       {"dns2", a.dns2}});
    }
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int RunAdapters(const Invocation& invocation) {
    Format format;
    if (int code = ParseListingCommand(invocation, "adapters", format)) return code;
    std::vector<NetworkAdapter> adapters;
    EnumerateAdapters(adapters);
    if (format == Format::Json) {
        std::string text = Json(adapters);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    } else {
        // One row per address; in the table an adapter's own fields show on its first row.
        std::vector<Row> rows;
        for (const NetworkAdapter& a : adapters) {
            for (size_t i = 0; i < a.addresses.size(); ++i) {
                bool first = i == 0 || format == Format::Csv;
                auto field = [first](const char* text) { return Cell(std::string(first ? text : "")); };
                rows.push_back({first ? Cell(static_cast<long long>(a.index)) : Cell(std::string()),
                                field(a.name), field(a.description),
                                Cell(std::string(a.addresses[i].address)),
                                Cell(std::string(a.addresses[i].mask)), field(a.gateway),
                                field(a.dns1), field(a.dns2)});
            }
        }
        PrintRows(stdout, format, AdapterColumns(), rows);
    }
    if (adapters.empty()) {
        PrintError("no network adapter found (only loopback, or the system gave no list)");
        return kExitSystem;
    }
    return kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(adapters, "adapters", "list the local network adapters", kUsage, RunAdapters);

}  // namespace cli
