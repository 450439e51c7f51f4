#pragma once

#include "Classes/workflow/ParamWorkflow.h"

#include <optional>
#include <set>
#include <string>

namespace orvaneh {

// Checks the workflow fields a dictation is given on the command line against the directory,
// with the choices the parameter screen's pickers offer: the authors; the chosen author's
// contexts; the worktypes and typists of the chosen service, or all of them without one; the
// services; the two dictation types.
class DictationFields {
public:
    // The option names of the fields that can be checked.
    static const std::set<std::string>& checkedOptions();
    // Nothing when every field named in `options` holds a value the directory offers (an empty
    // value stands for "none", except the author while the directory has authors); otherwise
    // the French usage error, with the valid values.
    static std::optional<std::string> check(const ParamWorkflow& parameters,
                                            const std::set<std::string>& options);
};

} // namespace orvaneh
