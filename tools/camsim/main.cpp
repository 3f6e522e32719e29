// tarsel-camsim: simulated cameras of the family, for tests, benchmarks and the demo.
//   tarsel-camsim --config FILE.json [--ns-interface IF] [--unicast]
//                 [--listen-port P] [--reply-port P] [--bind ADDRESS]
// Runs until SIGTERM or SIGINT.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SimCamera.h"
#include "SimConfig.h"
#include "UdpResponder.h"

namespace {

void Usage(FILE* to) {
    std::fputs(
        "usage: tarsel-camsim --config FILE.json [--ns-interface IF] [--unicast]\n"
        "                     [--listen-port P] [--reply-port P] [--bind ADDRESS]\n"
        "Simulates the cameras of FILE.json ({\"cameras\": [...]}, see scripts/lab --help)\n"
        "until SIGTERM or SIGINT.\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    std::string configPath;
    camsim::UdpResponderOptions udp;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tarsel-camsim: %s needs a value\n", arg.c_str());
                std::exit(1);
            }
            return argv[++i];
        };
        if (arg == "--config") configPath = value();
        else if (arg == "--ns-interface") udp.interfaceName = value();
        else if (arg == "--unicast") udp.unicastReplies = true;
        else if (arg == "--listen-port") udp.listenPort = static_cast<uint16_t>(std::atoi(value().c_str()));
        else if (arg == "--reply-port") udp.replyPort = static_cast<uint16_t>(std::atoi(value().c_str()));
        else if (arg == "--bind") udp.bindAddress = value();
        else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "tarsel-camsim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 1;
        }
    }
    if (configPath.empty()) {
        Usage(stderr);
        return 1;
    }
    std::vector<camsim::SimCameraConfig> configs;
    std::string error;
    if (!camsim::LoadSimConfig(configPath, configs, error)) {
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

    camsim::UdpResponder responder(cameras, udp);
    if (!responder.Start(error)) {
        std::fprintf(stderr, "tarsel-camsim: discovery responder: %s\n", error.c_str());
        return 1;
    }
    // Further services of the simulated cameras (web server, interface settings) start here.

    std::fprintf(stderr, "tarsel-camsim: %zu camera(s) on %s, discovery port %u\n",
                 cameras.size(), udp.interfaceName.empty() ? "every interface" : udp.interfaceName.c_str(),
                 responder.BoundPort());
    int received = 0;
    sigwait(&signals, &received);
    responder.Stop();
    std::fprintf(stderr, "tarsel-camsim: stopped (%llu requests, %llu replies)\n",
                 static_cast<unsigned long long>(responder.RequestCount()),
                 static_cast<unsigned long long>(responder.ReplyCount()));
    return 0;
}
