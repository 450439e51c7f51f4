#pragma once

#include "App/cli/CliCommand.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// orvaneh-cli: reads the global options (--home, --verbose, --help), puts the profile in
// service, runs the application's start-up (never the screens), then the command.
class CliApplication {
public:
    CliApplication();
    ~CliApplication();

    // `arguments` without the program name. Returns the exit status: 0 success, 1 failure,
    // 2 wrong usage. `interactive`: standard input is a terminal; `sharedTerminal`: `out` and
    // `err` are the same terminal.
    int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, bool interactive,
            bool sharedTerminal = false);

private:
    std::vector<std::unique_ptr<CliCommand>> commands_;
    void printHelp(std::ostream& stream) const;
    // The help of one command, or of one of its actions when `action` names one.
    static void printCommandHelp(const CliCommand& command, const std::string& action, std::ostream& stream);
};

} // namespace orvaneh
