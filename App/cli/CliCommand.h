#pragma once

#include "App/cli/CliArguments.h"
#include "Platform/json/Json.h"

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvaneh {

class OrvanehAppDelegate;

// What a command works with: its output streams and the application object, already
// started.
struct CliContext {
    CliContext(std::ostream& output, std::ostream& messages, OrvanehAppDelegate& app, bool onTerminal = false,
               std::function<bool()> startUp = {})
        : out(output), err(messages), application(app), interactive(onTerminal), starter(std::move(startUp)) {
    }

    std::ostream& out; // the command's result (what a script reads)
    std::ostream& err; // messages for the person
    OrvanehAppDelegate& application;
    // Standard input is a terminal: questions can be asked.
    bool interactive;
    // Puts the profile in service and starts the application, once; empty when that is done
    // already (tests in process).
    std::function<bool()> starter;
    bool startFailed = false;

    // Answers whether the console has just shown a line as a message (and forgets it); empty
    // where nothing is shown (tests in process).
    std::function<bool(const std::string&)> shownAsMessage;

    // For commands that start on their own: true once the profile and the application are
    // ready; false when the start-up failed (it said why).
    bool start();
    // True when every line of `text` was just shown on the message stream as a banner or an
    // alert, so that an error already told is not told twice.
    bool alreadyShown(const std::string& text);
};

// One command of orvaneh-cli ("settings", "start", ...). Commands hold no logic of their
// own: they call the system's classes and print what they answer.
class CliCommand {
public:
    // JSON as every command prints it: indented, and stored texts that are not UTF-8 (typed on
    // another device, or older than the checks) shown with replacement characters, never an
    // abort.
    static std::string jsonText(const Json& value);
    // One line of standard input, without its end; nothing at the end of input. On a terminal
    // the password is asked for and not echoed.
    static std::optional<std::string> readPasswordLine(CliContext& context);
    // Writes "Erreur : message" and the pointer to the help, and returns kUsageError.
    static int usageError(CliContext& context, const std::string& message);

    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kUsageError = 2;

    virtual ~CliCommand() = default;
    virtual std::string name() const = 0;
    // Lines of the general help, each "usage    explanation".
    virtual std::vector<std::string> helpLines() const = 0;
    // `arguments` are those after the command's name. Returns the exit status.
    virtual int run(const std::vector<std::string>& arguments, CliContext& context) = 0;
    // True when the command checks its usage before calling context.start(), so that a usage
    // error leaves no profile behind; otherwise the application is started before run().
    virtual bool startsItself() const { return false; }

protected:
    // One action of a command, run with the arguments after the action's name.
    template <class Command>
    using Action =
        std::pair<std::string_view, int (Command::*)(const std::vector<std::string>&, CliContext&)>;


    // Runs the action the first argument names. A missing or unknown action is a usage error.
    template <class Command>
    int dispatch(Command& command, const std::vector<std::string>& arguments, CliContext& context,
                 std::initializer_list<Action<Command>> actions) const {
        std::vector<std::string_view> names;
        for (const auto& action : actions) {
            names.push_back(action.first);
        }
        auto chosen = findAction(arguments, names, context);
        if (!chosen) {
            return kUsageError;
        }
        const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
        return (command.*(actions.begin()[*chosen].second))(rest, context);
    }

    // The arguments parsed, or nothing once the usage error is written (an unknown option or a
    // missing value).
    static std::optional<CliArguments> parseArguments(const std::vector<std::string>& arguments,
                                                      const std::set<std::string>& flags,
                                                      const std::set<std::string>& valueOptions,
                                                      CliContext& context);
    // The same for an action that takes no positional argument: one is a usage error too.
    static std::optional<CliArguments> parseOptions(const std::vector<std::string>& arguments,
                                                    const std::set<std::string>& flags,
                                                    const std::set<std::string>& valueOptions,
                                                    CliContext& context);

private:
    // The index in `names` of the action the first argument names, or nothing once the usage
    // error is written.
    std::optional<std::size_t> findAction(const std::vector<std::string>& arguments,
                                          const std::vector<std::string_view>& names,
                                          CliContext& context) const;
};

} // namespace orvaneh
