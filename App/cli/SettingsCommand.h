#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// settings list [--json] | settings get KEY | settings set KEY VALUE
class SettingsCommand final : public CliCommand {
public:
    std::string name() const override { return "settings"; }
    std::vector<std::string> helpLines() const override;
    // A wrong key or value is refused before the profile is made.
    bool startsItself() const override { return true; }
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

private:
    int list(const std::vector<std::string>& arguments, CliContext& context);
    int get(const std::vector<std::string>& arguments, CliContext& context);
    int set(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
