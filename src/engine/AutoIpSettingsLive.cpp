#include "engine/AutoIpSettings.h"
#include "finder/LibIP.h"

// Apart from the checks so that they can be tested without the host's adapters.
AutoIpRefusal ValidateAutoIpSettings(const AutoIpForm& form, AutoIpSettings* settings) {
    std::vector<NetworkAdapter> adapters;
    EnumerateAdapters(adapters);
    return ValidateAutoIpSettings(form, adapters, settings);
}
