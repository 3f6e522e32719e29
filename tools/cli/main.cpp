// tarsel: the command line. Everything lives in the commands (cmd_*.cpp) and RunCli.

#include "CliMain.h"

int main(int argc, char** argv) { return cli::RunCli(argc, argv); }
