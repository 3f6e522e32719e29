#pragma once
// The whole command line as a function, so tests can run it in-process.

namespace cli {

// Parses the global options, finds the command and runs it; returns the exit code.
int RunCli(int argc, const char* const* argv);

}  // namespace cli
