// tarsel doctor: the host-side reasons a camera may not show up, each with a fix.

#include <string>
#include <vector>

#include "CliCommand.h"
#include "CliOutput.h"
#include "LibPacket/PacketProcess.h"
#include "common/Config.h"
#include "platform/NetworkDoctor.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel doctor [--json|--csv]\n"
    "\n"
    "Checks what on this PC can keep cameras from showing up, and says what to do:\n"
    "  adapter        each adapter is up with an IPv4 address\n"
    "  rp_filter      strict reverse-path filtering (rp_filter=1) on an adapter or on\n"
    "                 \"all\" drops the replies of cameras in a foreign subnet\n"
    "  multicast      each adapter can join the cameras' multicast group\n"
    "  reply-port     UDP 6565, where the replies arrive, is not held by another program\n"
    "  icmp           unprivileged ICMP echo (ping_group_range) for address probes\n"
    "  raw-socket     raw and packet sockets (ARP probes fall back without them)\n"
    "  settings-file  the settings file can be written\n"
    "  firewall       where the nft program exists, rules that would drop the replies; and\n"
    "                 (nft or iptables-save) rules that drop the ONVIF devices' answers\n"
    "                 (UDP from port 3702) or input chains that drop by default without\n"
    "                 accepting them\n"
    "  onvif-route    the route covering 239.255.255.250 through each adapter (told only:\n"
    "                 the ONVIF probes are bound to their adapter and leave through it)\n"
    "Sends nothing to the network.\n"
    "\n"
    "  --json   one JSON array of {check, adapter (null for the system), ok, detail, fix}\n"
    "  --csv    CSV with a header row\n"
    "exit codes: 0 all ok, 5 warnings.\n";

int RunDoctor(const Invocation& invocation) {
    Format format;
    if (int code = ParseListingCommand(invocation, "doctor", format)) return code;
    tarsel::DoctorOptions options;
    options.settingsPath = GetConfigPath();
    options.replyPort = FINDER_RECV_PORT;
    options.multicastGroup = FINDER_MULTICAST_GROUP;
    std::vector<Row> rows;
    int warnings = 0;
    for (const tarsel::DoctorCheck& c : tarsel::RunDoctor(options)) {
        warnings += c.ok ? 0 : 1;
        const Cell adapter = c.adapter.empty() ? Cell(nullptr) : Cell(c.adapter);
        rows.push_back({c.check, adapter, c.ok, c.detail, c.fix});
    }
    if (format == Format::Table) {
        for (Row& row : rows) row[2] = std::string(std::get<bool>(row[2]) ? "ok" : "warning");
    }
    PrintRows(stdout, format,
              {{"check", "Check", true}, {"adapter", "Adapter", true}, {"ok", "Result", true},
               {"detail", "Detail", true}, {"fix", "Fix", true}},
              rows);
    if (warnings == 0) return kExitOk;
    PrintNote(std::to_string(warnings) + " warning(s)");
    return kExitPartial;
}

}  // namespace

TARSEL_CLI_COMMAND(doctor, "doctor", "check this PC for what keeps cameras from showing up",
                   kUsage, RunDoctor);

}  // namespace cli
