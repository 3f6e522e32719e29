// tarsel-camsim: simulated cameras of the family, for tests, benchmarks and the demo.
//   tarsel-camsim --config FILE.json [--ns-interface IF] [--unicast]
//                 [--listen-port P] [--reply-port P] [--bind ADDRESS]
//   tarsel-camsim --junk-flood RATE [--ns-interface IF] [--reply-port P] [--flood-to ADDRESS]
//                 [--flood-host ADDRESS] [--flood-seconds S]
//   tarsel-camsim --reply-flood RATE --flood-host ADDRESS [--flood-cameras N] [the same]
// Runs until SIGTERM or SIGINT.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "InterfaceFollower.h"
#include "JunkFlood.h"
#include "OnvifSim.h"
#include "SimCamera.h"
#include "SimConfig.h"
#include "SimWebCamera.h"
#include "UdpResponder.h"
#include "WebServer.h"

namespace {

void Usage(FILE* to) {
    std::fputs(
        "Usage: tarsel-camsim --config FILE.json [--ns-interface IF] [OPTION...]\n"
        "  or:  tarsel-camsim --junk-flood RATE [--ns-interface IF] [OPTION...]\n"
        "  or:  tarsel-camsim --reply-flood RATE --flood-host ADDRESS [OPTION...]\n"
        "  or:  tarsel-camsim --help | --version\n"
        "\n"
        "Simulates the cameras of FILE.json ({\"cameras\": [...]}, the camera objects of a\n"
        "lab configuration) until SIGTERM or SIGINT: discovery answers, settings, web\n"
        "pages, snapshots and firmware upgrades. It answers discovery like real cameras, so\n"
        "run it only in a network namespace or on an isolated test network. An entry with\n"
        "\"count\": N stands for N cameras (MACs and addresses counted up, replies spread\n"
        "over \"spreadMs\", discovery only).\n\n"
        "  --config FILE        the cameras to simulate\n"
        "  --ns-interface IF    answer (or flood) only on interface IF (one camera alone\n"
        "                       there also moves IF's address when its settings change)\n"
        "  --reply-port P       port the answers (or the flood) go to (default 6565)\n"
        "With --config:\n"
        "  --unicast            answer the requester's address instead of broadcasting\n"
        "  --listen-port P      discovery port to listen on (default 5656, 0 = any)\n"
        "  --bind ADDRESS       address of the discovery socket (default 0.0.0.0)\n"
        "  --no-web             no web servers\n"
        "  --web-bind ADDRESS   address every web server listens on\n"
        "With --junk-flood or --reply-flood:\n"
        "  --junk-flood RATE    simulate no camera but send RATE datagrams a second that are\n"
        "                       no camera reply (short, random, bad version, the finder's\n"
        "                       sender byte) to the reply port of --flood-to\n"
        "  --reply-flood RATE   simulate no camera but send RATE valid query replies a\n"
        "                       second, each as another camera (MAC 00:1B:2C:F0:00:00\n"
        "                       counted up), all from this host: a hostile device\n"
        "  --flood-cameras N    how many cameras the replies count through before they\n"
        "                       start again (default and most 1000000)\n"
        "  --flood-to ADDRESS   where the flood goes (default: broadcast)\n"
        "  --flood-host ADDRESS the host address a header-shaped junk datagram or a reply\n"
        "                       names (the finder's, which replies must name)\n"
        "  --flood-seconds S    stop after S seconds (default: at SIGTERM or SIGINT)\n"
        "\n"
        "  -h, --help           show this help and exit\n"
        "  --version            show the version and exit\n",
        to);
}

std::atomic<bool> g_stopFlood{false};

void StopFlood(int) { g_stopFlood = true; }

int RunFlood(const camsim::JunkFloodOptions& options) {
    struct sigaction action {};
    action.sa_handler = StopFlood;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::string error;
    long long sent = camsim::RunJunkFlood(options, g_stopFlood, error);
    const char* kind = options.replies ? "reply" : "junk";
    if (sent < 0) {
        std::fprintf(stderr, "tarsel-camsim: %s flood: %s\n", kind, error.c_str());
        return 1;
    }
    std::fprintf(stderr, "tarsel-camsim: %s flood stopped (%lld datagrams)\n", kind, sent);
    return 0;
}

// Everything the command line sets.
struct Options {
    std::string configPath;
    camsim::UdpResponderOptions udp;
    bool web = true;
    std::string webBind;
    camsim::JunkFloodOptions flood;
    bool flooding = false;
};

// Reads the command line into options; -1 to go on, otherwise the exit code (after the
// help, the version or a usage error).
int ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tarsel-camsim: %s needs a value\n", arg.c_str());
                std::exit(1);
            }
            return argv[++i];
        };
        if (arg == "--config") o.configPath = value();
        else if (arg == "--ns-interface") o.udp.interfaceName = value();
        else if (arg == "--unicast") o.udp.unicastReplies = true;
        else if (arg == "--listen-port") o.udp.listenPort = static_cast<uint16_t>(std::atoi(value().c_str()));
        else if (arg == "--reply-port") o.udp.replyPort = static_cast<uint16_t>(std::atoi(value().c_str()));
        else if (arg == "--bind") o.udp.bindAddress = value();
        else if (arg == "--no-web") o.web = false;
        else if (arg == "--web-bind") o.webBind = value();
        else if (arg == "--junk-flood") o.flooding = true, o.flood.perSecond = std::atoi(value().c_str());
        else if (arg == "--reply-flood")
            o.flooding = true, o.flood.replies = true, o.flood.perSecond = std::atoi(value().c_str());
        else if (arg == "--flood-cameras") o.flood.cameras = std::atoi(value().c_str());
        else if (arg == "--flood-to") o.flood.destination = value();
        else if (arg == "--flood-host") o.flood.hostAddress = value();
        else if (arg == "--flood-seconds") o.flood.seconds = std::atof(value().c_str());
        else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("tarsel-camsim %s\n", TARSEL_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "tarsel-camsim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 1;
        }
    }
    return -1;
}

// One web server per camera that has one, listening before discovery answers; false (said
// on stderr) when one cannot start.
bool StartWebServers(const Options& o, const std::vector<camsim::SimCameraConfig>& configs,
                     const std::vector<std::shared_ptr<camsim::SimCamera>>& cameras,
                     std::vector<std::unique_ptr<CamsimWebServer>>& servers) {
    std::vector<WebServerOptions> webOptions;
    std::string error;
    if (!LoadWebOptions(o.configPath, configs.empty() ? 0 : configs.back().entry + 1, &webOptions,
                        &error)) {
        std::fprintf(stderr, "tarsel-camsim: %s\n", error.c_str());
        return false;
    }
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (!configs[i].web) continue;
        const camsim::SimNetwork network = cameras[i]->Network();
        WebServerOptions options = webOptions[configs[i].entry];
        options.port = static_cast<uint16_t>(network.httpPort);
        // A camera alone in its namespace keeps answering after an address change;
        // cameras sharing one listen on their own addresses.
        options.address = !o.webBind.empty()                         ? o.webBind
                          : cameras.size() == 1 || network.ip.empty() ? "0.0.0.0"
                                                                      : network.ip;
        auto server = std::make_unique<CamsimWebServer>(std::make_shared<SimWebCamera>(cameras[i]),
                                                        options);
        if (!server->Start()) {
            std::fprintf(stderr, "tarsel-camsim: web server of %s cannot listen on %s:%d\n",
                         cameras[i]->Mac().c_str(), options.address.c_str(), network.httpPort);
            return false;
        }
        servers.push_back(std::move(server));
    }
    return true;
}

// Simulates the cameras of the configuration until SIGTERM or SIGINT; the exit code.
int RunCameras(Options& o) {
    std::vector<camsim::SimCameraConfig> configs;
    std::string error;
    if (!camsim::LoadSimConfig(o.configPath, configs, error)) {
        std::fprintf(stderr, "tarsel-camsim: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::shared_ptr<camsim::SimCamera>> cameras;
    for (const auto& config : configs) cameras.push_back(std::make_shared<camsim::SimCamera>(config));

    // Signals are taken synchronously below; block them before any thread starts.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // The web servers come first: once discovery answers, a camera's web page answers too.
    std::vector<std::unique_ptr<CamsimWebServer>> webServers;
    if (o.web && !StartWebServers(o, configs, cameras, webServers)) return 1;

    camsim::OnvifSite onvif;  // ONVIF devices: WS-Discovery on 3702 and their SOAP services
    if (!onvif.Start(o.configPath, o.udp.interfaceName, &error)) {
        std::fprintf(stderr, "tarsel-camsim: %s\n", error.c_str());
        return 1;
    }

    // Cameras of a mass entry stand for independent devices: their replies are spread by
    // their own delays, not queued one after another behind this process's spacing.
    for (const auto& config : configs)
        if (!config.web) o.udp.replySpacingMs = 0;
    camsim::UdpResponder responder(cameras, o.udp);
    if (!responder.Start(error)) {
        std::fprintf(stderr, "tarsel-camsim: discovery responder: %s\n", error.c_str());
        return 1;
    }
    // A camera alone in its namespace owns the interface: its address follows its settings.
    std::unique_ptr<camsim::InterfaceFollower> follower;
    if (!o.udp.interfaceName.empty() && cameras.size() == 1)
        follower = std::make_unique<camsim::InterfaceFollower>(cameras[0], o.udp.interfaceName);

    std::fprintf(stderr, "tarsel-camsim: %zu camera(s) on %s, discovery port %u\n", cameras.size(),
                 o.udp.interfaceName.empty() ? "every interface" : o.udp.interfaceName.c_str(),
                 responder.BoundPort());
    int received = 0;
    sigwait(&signals, &received);
    responder.Stop();
    webServers.clear();
    follower.reset();
    std::fprintf(stderr, "tarsel-camsim: stopped (%llu requests, %llu replies)\n",
                 static_cast<unsigned long long>(responder.RequestCount()),
                 static_cast<unsigned long long>(responder.ReplyCount()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = ParseOptions(argc, argv, options); code >= 0) return code;
    if (options.flooding) {
        options.flood.interfaceName = options.udp.interfaceName;
        options.flood.port = options.udp.replyPort;
        return RunFlood(options.flood);
    }
    if (options.configPath.empty()) {
        Usage(stderr);
        return 1;
    }
    return RunCameras(options);
}
