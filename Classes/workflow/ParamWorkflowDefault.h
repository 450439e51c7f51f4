#pragma once

#include "Classes/workflow/AbstractParamWorkflow.h"

#include <string>
#include <vector>

namespace orvaneh {

// The screen of the workflow parameters every new dictation starts with: the stored defaults,
// chosen in the pickers of the base screen, with a priority, saved or cleared.
class ParamWorkflowDefault : public AbstractParamWorkflow {
public:
    // Loads the stored defaults (empty fields, service -1, when there are none).
    ParamWorkflowDefault();

    std::string screenName() const override { return "ParamWorkflowDefault"; }
    std::string title() const override;
    bool shouldDisplayMenuButton() const override { return true; }
    // Author, service (when offered), type, context, worktype, typist, priority.
    std::vector<int> rowTags() const override;
    std::string footer() const;

    // The stored defaults into the fields, once: a screen already shown keeps what it holds.
    void viewWillAppear();
    const ParamWorkflow& parameters() const { return paramWorkflow(); }

    // Save: the fields and the priority become the stored defaults, then the screen closes.
    void saveParam();
    // Closes without saving.
    void cancelEditing() { cancel(); }
    // Clears every field and the service; nothing is stored until saved.
    void deleteParam();
    void initTabData() override;
    // The fields and the priority into the parameter set, stored as the defaults.
    void saveParamWorkflow() override;

private:
    bool fresh_ = true;
    void clearParameters();
};

} // namespace orvaneh
