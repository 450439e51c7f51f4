#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// workflow show [--json]: the workflow directory as imported from the office server.
class WorkflowCommand final : public CliCommand {
public:
    std::string name() const override { return "workflow"; }
    std::vector<std::string> helpLines() const override;
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

private:
    int show(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
