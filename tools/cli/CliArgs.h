#pragma once
// Option parsing for one command: "--name VALUE", "--name=VALUE", flags, positionals, "--"
// ends the options. Unknown options and missing values are usage errors naming the option.

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace cli {

struct OptionDef {
    const char* name;  // "--wait"
    bool takesValue;
};

// Options most commands share.
inline constexpr OptionDef kOutputOptions[] = {{"--json", false}, {"--csv", false}};
inline constexpr OptionDef kCredentialOptions[] = {
    {"--user", true}, {"--password-file", true}, {"--password-stdin", false}};

class ParsedArgs {
public:
    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Positionals() const { return positionals_; }

    // Parses argv against the optionDefs; false with a message on a usage error.
    bool Parse(const std::vector<std::string>& argv, const std::vector<OptionDef>& optionDefs,
               std::string& error);

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positionals_;
};

// Joins option lists: JoinOptions({kOutputOptions, {{"--wait", true}}}).
std::vector<OptionDef> JoinOptions(std::initializer_list<std::vector<OptionDef>> lists);

template <size_t N>
std::vector<OptionDef> OptionList(const OptionDef (&list)[N]) {
    return std::vector<OptionDef>(list, list + N);
}

// A decimal number within [min, max], as text with an optional fraction ("2.5"); false
// when text is not such a number.
bool ParseSeconds(const std::string& text, double min, double max, double& seconds);

}  // namespace cli
