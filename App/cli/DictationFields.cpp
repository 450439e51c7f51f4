#include "App/cli/DictationFields.h"

#include "Classes/workflow/ParamWorkflowDictee.h"

namespace orvaneh {

namespace {

using Screen = AbstractParamWorkflow;

// Each option with the row it fills, in the order the rows are touched: a later choice is made
// among what an earlier one left (an author's contexts, a service's worktypes).
const std::vector<std::pair<std::string, int>>& optionRows() {
    static const std::vector<std::pair<std::string, int>> rows{
        {"author", Screen::kAuthorTag},     {"service", Screen::kServiceTag},
        {"type", Screen::kTypeTag},         {"context", Screen::kContextTag},
        {"worktype", Screen::kWorktypeTag}, {"typist", Screen::kTypistTag},
        {"priority", Screen::kPriorityTag}, {"title", Screen::kFirstFieldTag},
        {"ident", Screen::kSecondFieldTag},
    };
    return rows;
}

} // namespace

const std::vector<std::string>& DictationFields::screenOptions() {
    static const std::vector<std::string> options = [] {
        std::vector<std::string> names;
        for (const auto& [option, tag] : optionRows()) {
            names.push_back(option);
        }
        return names;
    }();
    return options;
}

bool DictationFields::anyGiven(const CliArguments& parsed) {
    for (const auto& option : screenOptions()) {
        if (parsed.option(option)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> DictationFields::applyToScreen(AbstractParamWorkflow& screen,
                                                          const CliArguments& parsed,
                                                          const std::set<std::string>& ignored) {
    for (const auto& [option, tag] : optionRows()) {
        const auto value = parsed.option(option);
        if (!value || ignored.count(option) != 0) {
            continue;
        }
        if (tag == Screen::kServiceTag) {
            // A row id as `services` shows it, or the service's guid.
            if (auto problem = screen.chooseService(*value)) {
                return problem;
            }
        } else if (auto problem = screen.choose(tag, *value)) {
            return problem;
        }
    }
    return std::nullopt;
}

std::optional<std::string> DictationFields::choose(ParamWorkflow& parameters, const CliArguments& parsed,
                                                   bool authorRequired) {
    if (!anyGiven(parsed) && !authorRequired) {
        return std::nullopt;
    }
    ParamWorkflowDictee screen(parameters);
    // The priority is the recorder's, not a row of this screen.
    if (auto problem = applyToScreen(screen, parsed, {"priority"})) {
        return problem;
    }
    if (authorRequired && screen.fieldText(Screen::kAuthorTag).empty() && !screen.authors().empty()) {
        std::string names;
        for (const auto& author : screen.authors()) {
            names += (names.empty() ? "" : ", ") + author;
        }
        return "il manque l'auteur (--author) : " + names;
    }
    if (anyGiven(parsed)) {
        const std::string priority = parameters.priority;
        parameters = screen.chosenParameters();
        parameters.priority = priority;
    }
    return std::nullopt;
}

} // namespace orvaneh
