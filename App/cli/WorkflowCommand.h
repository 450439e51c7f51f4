#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// workflow show [--json]: the workflow directory as imported from the office server.
// workflow import-file PATH: imports a catalogue file as a download from the server would.
// workflow import [--dir NAME]: imports the default site's catalogue from its server.
// workflow defaults [--author A ...] [--json]: the defaults of new dictations, read or chosen
// through their screen.
class WorkflowCommand final : public CliCommand {
public:
    std::string name() const override { return "workflow"; }
    std::vector<std::string> helpLines() const override;
    bool startsItself() const override { return true; }
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

private:
    int show(const std::vector<std::string>& arguments, CliContext& context);
    int importFile(const std::vector<std::string>& arguments, CliContext& context);
    int importFromServer(const std::vector<std::string>& arguments, CliContext& context);
    int defaults(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
