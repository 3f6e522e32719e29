#include "CliArgs.h"

#include <cmath>
#include <cstdlib>

namespace cli {

std::string ParsedArgs::Get(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

bool ParsedArgs::Parse(const std::vector<std::string>& argv, const std::vector<OptionDef>& optionDefs,
                       std::string& error) {
    values_.clear();
    positionals_.clear();
    bool optionsEnded = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' ) {
            positionals_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        const OptionDef* def = nullptr;
        for (const OptionDef& s : optionDefs) {
            if (name == s.name) def = &s;
        }
        if (def == nullptr) {
            error = "unknown option " + name;
            return false;
        }
        if (def->takesValue && !inlineValue) {
            if (i + 1 >= argv.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!def->takesValue && inlineValue) {
            error = "option " + name + " takes no value";
            return false;
        }
        if (values_.count(name) > 0) {
            error = "option " + name + " given twice";
            return false;
        }
        values_[name] = value;
    }
    return true;
}

std::vector<OptionDef> JoinOptions(std::initializer_list<std::vector<OptionDef>> lists) {
    std::vector<OptionDef> all;
    for (const auto& list : lists) all.insert(all.end(), list.begin(), list.end());
    return all;
}

bool ParseSeconds(const std::string& text, double min, double max, double& seconds) {
    if (text.empty()) return false;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value)) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.')) return false;  // no signs, exponents, hex
    }
    if (value < min || value > max) return false;
    seconds = value;
    return true;
}

}  // namespace cli
