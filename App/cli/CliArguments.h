#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvaneh {

// The arguments of one command split into positional values, flags ("--json") and options
// with a value ("--name N" or "--name=N"). Anything starting with "--" that the command does
// not know is an error.
class CliArguments {
public:
    // False with a French message in `error` on an unknown option or a missing value.
    bool parse(const std::vector<std::string>& arguments, const std::set<std::string>& flags,
               const std::set<std::string>& valueOptions, std::string& error);

    const std::vector<std::string>& positional() const { return positional_; }
    bool flag(const std::string& name) const { return flags_.count(name) != 0; }
    // The last value given to the option.
    std::optional<std::string> option(const std::string& name) const;
    // Every value given to the option, in order (an option that may be repeated).
    std::vector<std::string> values(const std::string& name) const;
    // Replaces or removes what was given for an option (a value worked out once, such as a case
    // file's title, is reused as given rather than asked for again).
    void setOption(const std::string& name, std::string value);
    void removeOption(const std::string& name);

private:
    std::vector<std::string> positional_;
    std::set<std::string> flags_;
    std::map<std::string, std::string> options_;
    std::vector<std::pair<std::string, std::string>> givenOptions_;
};

} // namespace orvaneh
