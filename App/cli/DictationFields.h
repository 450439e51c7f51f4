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
    // The options a parameter screen takes.
    static const std::vector<std::string>& screenOptions();
    // True when one of them was given.
    static bool anyGiven(const CliArguments& parsed);
    // Applies the options given to `screen`, in its rows' order; the first refusal, in French.
    static std::optional<std::string> applyToScreen(AbstractParamWorkflow& screen, const CliArguments& parsed,
                                                    const std::set<std::string>& ignored = {});
    // The options given, through a dictation's parameter screen opened on `parameters`, which
    // then holds what the screen saved (the priority stays: the recorder sets it). With
    // `authorRequired`, a set left without author while the directory has authors is refused.
    static std::optional<std::string> choose(ParamWorkflow& parameters, const CliArguments& parsed,
                                             bool authorRequired);
};

} // namespace orvaneh
