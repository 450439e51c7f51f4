#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// dossier login / list: the practice-management server's log-in screen and case list, driven
// as a person would (host, database, user and password, then the validate button; the list's
// search bar).
class DossierCommand final : public CliCommand {
public:
    std::string name() const override { return "dossier"; }
    std::vector<std::string> helpLines() const override;
    // Wrong usage is told before the profile is made.
    bool startsItself() const override { return true; }
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

    // How a command that needs the server says it was never logged in to.
    static std::string notLoggedInText();

private:
    int login(const std::vector<std::string>& arguments, CliContext& context);
    int list(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
