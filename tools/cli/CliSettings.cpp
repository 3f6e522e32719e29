#include "CliSettings.h"

#include "common/Config.h"
#include "common/Language.h"
#include "platform/Log.h"

namespace cli {

int ApplyGlobalSettings(const GlobalOptions& options, std::string& error) {
    tarsel::SetLogMirrorToStderr(options.verbose);
    if (!options.configPath.empty()) SetConfigPath(options.configPath.c_str());
    int language = 0;
    if (!options.language.empty()) {
        language = LanguageFromCode(options.language.c_str());
        if (language < 0) {
            error = "unknown language '" + options.language + "': use en, pl or zh-TW";
            return kExitUsage;
        }
    } else {
        language = ReadConfiguredLanguage();
    }
    currentLanguage.store(language);
    SetThreadLanguage(language);
    return kExitOk;
}

}  // namespace cli
