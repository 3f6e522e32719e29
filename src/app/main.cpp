#include <cstdio>
#include <cstring>

#include "app/Tarsel_NextGenerateApp.h"

int main(int argc, char** argv) {
    // Answered before the application object exists, so that they need no display: the
    // manual page is made from them while building.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(
                "Usage: tarsel-gui [--help | --version] [Qt options]\n"
                "\n"
                "Opens the window that finds the network cameras on every local adapter and\n"
                "lists them, and from which they are configured, verified, rebooted, reset,\n"
                "given fixed addresses and upgraded.\n\n"
                "  -h, --help   show this help and exit\n"
                "  --version    show the version and exit\n\n"
                "Qt's own options are accepted too (-platform NAME, -style NAME...).\n"
                "The window's title is \"Gantrel\". The language at start comes from the settings\n"
                "file tarsel.ini (section [SYSTEM], key Language), in $XDG_CONFIG_HOME/tarsel/\n"
                "(~/.config/tarsel/) or beside the program in a portable install.\n",
                stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarsel-gui %s\n", TARSEL_VERSION);
            return 0;
        }
    }
    PrepareTarselUi();
    CTarsel_NextGenerateApp app(argc, argv);
    app.InitInstance();
    return 0;
}
