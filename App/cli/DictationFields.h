#pragma once

#include "App/cli/CliArguments.h"
#include "Classes/workflow/AbstractParamWorkflow.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvaneh {

// The workflow field options of the command line, chosen through a parameter screen as a
// person would touch its rows: author, service, type, context, worktype, typist, priority,
// then the title and identification value. The screen decides what is offered and what one
// choice does to the others; its refusals are the command's usage errors.
class DictationFields {
public:
    // Why the options were refused: wrong usage (exit status 2), or what they asked for could not
    // be done (the case-file server, the picture: exit status 1).
    struct Problem {
        std::string text;
        bool usage = true;
    };

    // The options a parameter screen takes.
    static const std::vector<std::string>& screenOptions();
    // True when one of them was given.
    static bool anyGiven(const CliArguments& parsed);
    // Applies the options given to `screen`, in its rows' order; the first refusal, in French.
    static std::optional<Problem> applyToScreen(AbstractParamWorkflow& screen, const CliArguments& parsed,
                                                const std::set<std::string>& ignored = {});
    // The options given, through a dictation's parameter screen opened on `parameters`, which
    // then holds what the screen saved (the priority stays: the recorder sets it). With
    // `authorRequired`, a set left without author while the directory has authors is refused.
    static std::optional<Problem> choose(ParamWorkflow& parameters, const CliArguments& parsed,
                                         bool authorRequired);
    // Once chosen: a case file and a picture become the title and identification value they
    // gave, so that a later pass over the options does not ask the server or read the picture
    // again.
    static void settle(CliArguments& parsed, const ParamWorkflow& chosen);
};

} // namespace orvaneh
