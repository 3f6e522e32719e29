#pragma once
// The process-wide settings the global options choose: the settings file (--config) and
// the language of texts and table headers (--lang, else the settings file's language).

#include <string>

#include "CliCommand.h"

namespace cli {

// Returns an exit code: 0, or 1 with a message for an unknown language code.
int ApplyGlobalSettings(const GlobalOptions& options, std::string& error);

}  // namespace cli
