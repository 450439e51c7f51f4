#include "App/cli/CliArguments.h"

namespace orvaneh {

bool CliArguments::parse(const std::vector<std::string>& arguments, const std::set<std::string>& flags,
                         const std::set<std::string>& valueOptions, std::string& error) {
    positional_.clear();
    flags_.clear();
    options_.clear();
    givenOptions_.clear();
    bool onlyPositional = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (onlyPositional || argument.size() < 3 || argument.rfind("--", 0) != 0) {
            if (argument == "--") {
                onlyPositional = true;
                continue;
            }
            positional_.push_back(argument);
            continue;
        }
        std::string name = argument.substr(2);
        std::optional<std::string> inlineValue;
        if (auto equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (flags.count(name) != 0 && !inlineValue) {
            flags_.insert(name);
        } else if (valueOptions.count(name) != 0) {
            if (inlineValue) {
                options_[name] = *inlineValue;
            } else if (index + 1 < arguments.size()) {
                options_[name] = arguments[++index];
            } else {
                error = "l'option --" + name + " attend une valeur";
                return false;
            }
            givenOptions_.emplace_back(name, options_[name]);
        } else {
            error = "option inconnue : --" + name;
            return false;
        }
    }
    return true;
}

std::optional<std::string> CliArguments::option(const std::string& name) const {
    auto found = options_.find(name);
    if (found == options_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::string> CliArguments::values(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [given, value] : givenOptions_) {
        if (given == name) {
            values.push_back(value);
        }
    }
    return values;
}

void CliArguments::setOption(const std::string& name, std::string value) {
    removeOption(name);
    givenOptions_.emplace_back(name, value);
    options_[name] = std::move(value);
}

void CliArguments::removeOption(const std::string& name) {
    options_.erase(name);
    std::erase_if(givenOptions_, [&](const auto& given) { return given.first == name; });
}

} // namespace orvaneh
