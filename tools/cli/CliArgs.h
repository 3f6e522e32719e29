#pragma once
// Option parsing for one command: "--name VALUE", "--name=VALUE", flags, positionals, "--"
// ends the options. Unknown options and missing values are usage errors naming the option.

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace cli {

struct OptionSpec {
    const char* name;  // "--wait"
    bool takesValue;
};

// Options most commands share.
inline constexpr OptionSpec kOutputOptions[] = {{"--json", false}, {"--csv", false}};
inline constexpr OptionSpec kCredentialOptions[] = {
    {"--user", true}, {"--password-file", true}, {"--password-stdin", false}};

class ParsedArgs {
public:
    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Positionals() const { return positionals_; }

    // Parses argv against the specs; false with a message on a usage error.
    bool Parse(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs,
               std::string& error);

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positionals_;
};

// Joins option lists: Specs({kOutputOptions, {{"--wait", true}}}).
std::vector<OptionSpec> Specs(std::initializer_list<std::vector<OptionSpec>> lists);

template <size_t N>
std::vector<OptionSpec> SpecList(const OptionSpec (&list)[N]) {
    return std::vector<OptionSpec>(list, list + N);
}

// A decimal number within [min, max], as text with an optional fraction ("2.5"); false
// when text is not such a number.
bool ParseSeconds(const std::string& text, double min, double max, double& seconds);

}  // namespace cli
