#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

class CliArguments;
struct SiteModel;

// site list [--json] | site add ... | site edit ID ... | site default ID | site delete ID
class SiteCommand final : public CliCommand {
public:
    std::string name() const override { return "site"; }
    std::vector<std::string> helpLines() const override;
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

private:
    int list(const std::vector<std::string>& arguments, CliContext& context);
    int add(const std::vector<std::string>& arguments, CliContext& context);
    int edit(const std::vector<std::string>& arguments, CliContext& context);
    int makeDefault(const std::vector<std::string>& arguments, CliContext& context);
    int remove(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
