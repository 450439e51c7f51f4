#pragma once

#include "Classes/screens/SuperController.h"
#include "Classes/workflow/ParamWorkflow.h"

namespace orvaneh {

// The screen of the workflow parameters every new dictation starts with: the stored defaults,
// edited and saved. The pickers and the rules that tie the fields together belong to the
// parameter screens; this one loads, holds and saves the defaults.
class ParamWorkflowDefault : public SuperController {
public:
    // Loads the stored defaults (empty fields when there are none).
    ParamWorkflowDefault();

    std::string screenName() const override { return "ParamWorkflowDefault"; }
    std::string title() const override;
    bool shouldDisplayMenuButton() const override { return true; }

    const ParamWorkflow& parameters() const { return parameters_; }
    // Replaces the fields being edited (not stored until save()).
    void setParameters(ParamWorkflow parameters);
    // Stores the fields as the defaults of new dictations.
    void save();

private:
    ParamWorkflow parameters_;
};

} // namespace orvaneh
