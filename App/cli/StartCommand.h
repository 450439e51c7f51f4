#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// start: runs the start-up and tells what it did.
class StartCommand final : public CliCommand {
public:
    std::string name() const override { return "start"; }
    std::vector<std::string> helpLines() const override;
    int run(const std::vector<std::string>& arguments, CliContext& context) override;
    bool startsItself() const override { return true; }
};

} // namespace orvaneh
