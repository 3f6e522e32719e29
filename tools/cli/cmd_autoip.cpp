// tarsel auto-ip: gives every DHCP camera on one adapter a fixed address from a range.

#include <cstring>
#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliOutput.h"
#include "common/Config.h"
#include "common/Language.h"
#include "engine/AutoIpSettings.h"
#include "finder/LibIP.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel auto-ip --adapter IF --range START-END --user U [--address A]\n"
    "                      [--manual --mask M --gateway G --dns1 D1 --dns2 D2] [--json|--csv]\n"
    "\n"
    "Searches on every adapter and gives each camera in DHCP mode that answers through IF a\n"
    "fixed address from START-END (both included), with the adapter's own mask, gateway and\n"
    "DNS servers (or the --manual ones). A camera keeps the address it already holds in the\n"
    "range, or gets the one it was given before (remembered in the settings file). Prints\n"
    "each camera's outcome: Assign IP, Ignore (not DHCP), Different Network Cards, Verify\n"
    "Fail, NO IP (range used up) or No Response.\n"
    "\n"
    "  --adapter IF        the adapter (see tarsel adapters) whose DHCP cameras get addresses\n"
    "  --range START-END   the addresses to give, in the adapter's subnet\n"
    "  --address A         which of the adapter's addresses sets the subnet, when it has\n"
    "                      several (default: its first)\n"
    "  --manual            give the cameras --mask M, --gateway G, --dns1 D1 and --dns2 D2\n"
    "                      instead of the adapter's own (a value left out is the adapter's):\n"
    "                      the range then lies in START's subnet by M, and G (0.0.0.0 for\n"
    "                      none) inside it. Without --manual the four are not used.\n"
    "  --timeout S         give up after S seconds (default 600)\n"
    "  --json, --csv       the outcome as JSON or CSV\n"
    "ONVIF devices of other makers are never part of it (they are read-only here).\n"
    "exit codes: 0 done, 5 some camera failed, 1 bad settings, 3 not done within --timeout,\n"
    "6 no such adapter, or the address history could not be saved (the addresses given\n"
    "would not be known to the next run).\n";

int RunAutoIp(const Invocation& invocation) {
    ParsedArgs args;
    Credentials credentials;
    std::vector<OptionDef> optionDefs = OptionList(kCredentialOptions);
    for (OptionDef def : {OptionDef{"--adapter", true}, {"--range", true}, {"--address", true},
                            {"--manual", false}, {"--mask", true}, {"--gateway", true},
                            {"--dns1", true}, {"--dns2", true}, {"--json", false},
                            {"--csv", false}, {"--timeout", true}})
        optionDefs.push_back(def);
    if (int code = ParseCameraCommand(invocation, optionDefs, "auto-ip", args, credentials)) return code;
    Format format;
    std::string error;
    if (!ChooseFormat(args, format, error)) {
        PrintError(error);
        return kExitUsage;
    }
    const std::string range = args.Get("--range");
    const size_t dash = range.find('-');
    if (!args.Has("--adapter") || dash == std::string::npos) {
        PrintError("auto-ip needs --adapter IF and --range START-END");
        return kExitUsage;
    }
    std::vector<NetworkAdapter> adapters;
    EnumerateAdapters(adapters);
    const NetworkAdapter* adapter = nullptr;
    for (const NetworkAdapter& a : adapters)
        if (args.Get("--adapter") == a.name) adapter = &a;
    if (adapter == nullptr || adapter->addresses.empty()) {
        PrintError("no adapter named '" + args.Get("--adapter") + "' (see tarsel adapters)");
        return kExitSystem;
    }
    AutoIpForm form;
    form.adapterText = adapter->description;
    form.addressText = args.Get("--address", adapter->addresses[0].address);
    form.start = range.substr(0, dash);
    form.end = range.substr(dash + 1);
    form.mode = args.Has("--manual") ? 1 : 0;
    form.mask = args.Get("--mask", adapter->addresses[0].mask);
    form.gateway = args.Get("--gateway", adapter->gateway);
    form.dns1 = args.Get("--dns1", adapter->dns1);
    form.dns2 = args.Get("--dns2", adapter->dns2);
    AutoIpSettings settings;
    // Said in the texts the window uses, in the tool's language.
    int refused = 0;
    switch (ValidateAutoIpSettings(form, adapters, &settings)) {
        case AutoIpRefusal::None: break;
        case AutoIpRefusal::AdapterError: refused = 20089; break;
        case AutoIpRefusal::InvalidIp: refused = 20090; break;
        case AutoIpRefusal::RangeError: refused = 20091; break;
        case AutoIpRefusal::GatewaySubnet: refused = 20092; break;
    }
    if (refused != 0) {
        PrintError(LoadText(refused));
        return kExitUsage;
    }
    double timeout = 600;
    if (args.Has("--timeout") && !ParseSeconds(args.Get("--timeout"), 1, 86400, timeout)) {
        PrintError("--timeout needs seconds from 1 to 86400");
        return kExitUsage;
    }

    EngineSession session;
    // The assignment is for cameras of this family; ONVIF devices are never part of it.
    session.SetOnvif(false);
    session.Engine().GoAuotSetIPProc(credentials.user.c_str(), credentials.password.c_str(),
                                     settings);
    session.Search(0.1, "Assigning");
    Progress progress("Assigning");
    progress.Update(0, "waiting for the cameras");
    const bool done = session.WaitAutoIpDone(timeout);
    progress.Finish();

    std::vector<Column> columns = CameraColumns();
    columns.push_back({"newIp", "New IP", true});
    std::vector<Row> rows;
    int failed = 0;
    for (const std::string& mac : session.Macs()) {
        CameraView view = session.View(mac);
        CameraRecord record{};
        session.Engine().CopyCamera(mac.c_str(), &record);
        const int index = session.StatusIndexOf(mac);
        if (index == STATUS_INDEX_VERIFY_FAIL || index == STATUS_INDEX_NO_IP ||
            index == STATUS_INDEX_SET_IP_NO_RESPONSE || index == STATUS_INDEX_VIEW)
            ++failed;
        if (index == STATUS_INDEX_VIEW) view.status = "Unknown";  // never settled
        Row row = CameraRow(view);
        row.push_back(std::string(record.newIp));
        rows.push_back(row);
    }
    PrintRows(stdout, format, columns, rows);
    // Addresses given but not remembered may be given to other cameras by the next run:
    // the run as a whole failed, whatever each camera's outcome.
    if (TakeIpHistoryWriteFailure()) {
        PrintError("the address history could not be saved to " + GetConfigPath() +
                   "; the next assignment will not know these addresses (check that the file"
                   " and its folder can be written)");
        return kExitSystem;
    }
    if (!done) {
        PrintError("the assignment did not end within " + args.Get("--timeout", "600") + " s");
        return kExitTimeout;
    }
    return failed > 0 ? kExitPartial : kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(autoip, "auto-ip", "give DHCP cameras fixed addresses from a range", kUsage,
                   RunAutoIp);

}  // namespace cli
