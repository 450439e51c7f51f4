#pragma once

#include "App/cli/CliCommand.h"

#include <cstdint>
#include <optional>

namespace orvaneh {

class CliArguments;
struct SiteModel;

// site list [--json] | site add ... | site edit ID ... | site default ID | site delete ID
class SiteCommand final : public CliCommand {
public:
    std::string name() const override { return "site"; }
    std::vector<std::string> helpLines() const override;
    // Wrong usage and a site that would be refused are told before the profile is made.
    bool startsItself() const override { return true; }
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

private:
    // The one positional argument as a site id, or nothing once the usage error is written.
    static std::optional<std::int32_t> siteIdArgument(const CliArguments& parsed, CliContext& context);
    // The same for an action that takes the id alone.
    static std::optional<std::int32_t> siteIdArgument(const std::vector<std::string>& arguments,
                                                      CliContext& context);

    int list(const std::vector<std::string>& arguments, CliContext& context);
    int add(const std::vector<std::string>& arguments, CliContext& context);
    int edit(const std::vector<std::string>& arguments, CliContext& context);
    int makeDefault(const std::vector<std::string>& arguments, CliContext& context);
    int remove(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
