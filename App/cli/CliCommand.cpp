#include "App/cli/CliCommand.h"

#include <iostream>
#include <ostream>
#include <sstream>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace orvaneh {

bool CliContext::start() {
    if (starter) {
        startFailed = !std::exchange(starter, nullptr)();
    }
    return !startFailed;
}

bool CliContext::alreadyShown(const std::string& text) {
    if (!shownAsMessage || text.empty()) {
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    bool all = true;
    while (std::getline(lines, line)) {
        all = (line.empty() || shownAsMessage(line)) && all;
    }
    return all;
}

int CliCommand::usageError(CliContext& context, const std::string& message) {
    context.err << "Erreur : " << message << "\n"
                << "Voir « orvaneh-cli --help »." << std::endl;
    return kUsageError;
}

std::string CliCommand::jsonText(const Json& value) {
    return value.dump(2, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::size_t> CliCommand::findAction(const std::vector<std::string>& arguments,
                                                  const std::vector<std::string_view>& names,
                                                  CliContext& context) const {
    if (arguments.empty()) {
        // Said as "list, get ou set".
        std::string expected;
        for (std::size_t index = 0; index < names.size(); ++index) {
            if (index > 0) {
                expected += index + 1 == names.size() ? " ou " : ", ";
            }
            expected += names[index];
        }
        usageError(context, "il manque l'action : " + expected);
        return std::nullopt;
    }
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (arguments.front() == names[index]) {
            return index;
        }
    }
    usageError(context, "action inconnue pour " + name() + " : " + arguments.front());
    return std::nullopt;
}

std::optional<CliArguments> CliCommand::parseArguments(const std::vector<std::string>& arguments,
                                                       const std::set<std::string>& flags,
                                                       const std::set<std::string>& valueOptions,
                                                       CliContext& context) {
    CliArguments parsed;
    std::string error;
    if (!parsed.parse(arguments, flags, valueOptions, error)) {
        usageError(context, error);
        return std::nullopt;
    }
    return parsed;
}

std::optional<CliArguments> CliCommand::parseOptions(const std::vector<std::string>& arguments,
                                                     const std::set<std::string>& flags,
                                                     const std::set<std::string>& valueOptions,
                                                     CliContext& context) {
    auto parsed = parseArguments(arguments, flags, valueOptions, context);
    if (parsed && !parsed->positional().empty()) {
        usageError(context, "argument inattendu : " + parsed->positional().front());
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::string> CliCommand::readPasswordLine(CliContext& context) {
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        context.err << "Mot de passe : " << std::flush;
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        context.err << std::endl;
    }
    if (!read) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

} // namespace orvaneh
