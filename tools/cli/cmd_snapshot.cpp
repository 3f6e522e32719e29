// tarsel snapshot: saves one still picture of a camera.

#include <cstdio>
#include <string>
#include <vector>

#include "CliCameraCommand.h"
#include "CliEngine.h"
#include "CliOutput.h"
#include "web/LibCurl.h"
#include "web/SnapshotView.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: tarsel snapshot CAMERA -o FILE --user U [--wait S]\n"
    "\n"
    "Verifies the credentials, fetches one still picture from the camera (named by its MAC,\n"
    "or IP[:PORT] for a camera that does not answer discovery) and saves it to FILE as the\n"
    "camera sent it (JPEG). An ONVIF device of another maker is named by its address or\n"
    "endpoint (uuid): its own snapshot address is fetched once it accepted the credentials.\n"
    "\n"
    "  -o FILE, --output FILE   where to write the picture\n"
    "  --wait S                 seconds to wait for discovery answers (default 3)\n"
    "exit codes: 0 saved, 2 camera not found, 3 no picture came, 4 credentials refused,\n"
    "6 the file could not be written.\n";

int RunSnapshot(const Invocation& invocation) {
    // "-o" is the short form of "--output".
    Invocation normalised = invocation;
    for (std::string& arg : normalised.args)
        if (arg == "-o") arg = "--output";
    ParsedArgs args;
    Credentials credentials;
    int code = ParseCameraCommand(normalised, CameraCommandOptions({{"--output", true}}),
                                  "snapshot", args, credentials);
    if (code != kExitOk) return code;
    const std::string file = args.Get("--output");
    if (file.empty()) {
        PrintError("snapshot needs -o FILE (see tarsel snapshot --help)");
        return kExitUsage;
    }
    EngineSession session;
    std::vector<std::string> macs;
    code = FindNamedCameras(session, args, credentials, false, macs, Targets::Any);
    if (code != kExitOk) return code;
    code = VerifyAll(session, macs, credentials);
    if (code != kExitOk) return code;

    const CameraView camera = session.View(macs[0]);
    const std::string name = IsOnvifKey(macs[0]) ? camera.ip : camera.mac;
    CurlBuffer body;
    if (IsOnvifKey(macs[0])) {
        // The device's own snapshot address, with the credentials it just accepted.
        const int fetched = session.Engine().OnvifSnapshot(macs[0], body);
        if (fetched != 0) {
            PrintError(name + (fetched == -2 ? ": the device names no snapshot address of its own"
                                             : ": the device sent no picture (" +
                                                   std::to_string(fetched) + ")"));
            return kExitTimeout;
        }
    } else {
        const std::string port = std::to_string(camera.httpPort);
        const HttpOutcome fetched =
            HttpGetUrl(camera.ip.c_str(), port.c_str(), SnapshotTarget(0, 0, 0, 0).c_str(),
                       credentials.user.c_str(), credentials.password.c_str(), body);
        if (!fetched.Done()) {
            PrintError(name + ": the camera sent no picture of at most 16 MiB (" +
                       DescribeOutcome(fetched) + ", " + camera.ip + ":" + port + ")");
            return kExitTimeout;
        }
    }
    // The file gets the camera's own bytes; decoding (at the smallest scale) only checks
    // that they are a picture and reads its size.
    SnapshotImage image;
    std::string why;
    if (!DecodeSnapshot(body.data, body.length, &image, 1, 1, &why)) {
        PrintError(name + (why.empty() ? ": the camera's answer is not a picture"
                                             : ": picture refused: " + why));
        return kExitTimeout;
    }
    FILE* out = std::fopen(file.c_str(), "wb");
    const bool written = out != nullptr && std::fwrite(body.data, 1, body.length, out) == body.length;
    if (out != nullptr && std::fclose(out) != 0) {
        PrintError(file + ": cannot write the picture");
        return kExitSystem;
    }
    if (!written) {
        PrintError(file + ": cannot write the picture");
        return kExitSystem;
    }
    PrintNote(name + ": " + std::to_string(image.sourceWidth) + "x" +
              std::to_string(image.sourceHeight) + " picture saved to " + file);
    return kExitOk;
}

}  // namespace

TARSEL_CLI_COMMAND(snapshot, "snapshot", "save one still picture of a camera", kUsage,
                   RunSnapshot);

}  // namespace cli
