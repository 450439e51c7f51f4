#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orvaneh {

class OrvanehAppDelegate;

// What a command works with: its output streams and the application object, already
// started.
struct CliContext {
    std::ostream& out; // the command's result (what a script reads)
    std::ostream& err; // messages for the person
    OrvanehAppDelegate& application;
};

// One command of orvaneh-cli ("settings", "start", ...). Commands hold no logic of their
// own: they call the system's classes and print what they answer.
class CliCommand {
public:
    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kUsageError = 2;

    virtual ~CliCommand() = default;
    virtual std::string name() const = 0;
    // Lines of the general help, each "usage    explanation".
    virtual std::vector<std::string> helpLines() const = 0;
    // `arguments` are those after the command's name. Returns the exit status.
    virtual int run(const std::vector<std::string>& arguments, CliContext& context) = 0;

protected:
    // Writes "Erreur : message" and the pointer to the help, and returns kUsageError.
    static int usageError(CliContext& context, const std::string& message);
};

} // namespace orvaneh
