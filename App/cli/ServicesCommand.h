#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// services [--author A] [--json]: the service picker's list, as the parameter screens show it.
class ServicesCommand final : public CliCommand {
public:
    std::string name() const override { return "services"; }
    std::vector<std::string> helpLines() const override;
    // Wrong usage is told before the profile is made.
    bool startsItself() const override { return true; }
    int run(const std::vector<std::string>& arguments, CliContext& context) override;
};

} // namespace orvaneh
