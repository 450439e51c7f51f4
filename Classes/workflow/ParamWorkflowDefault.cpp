#include "Classes/workflow/ParamWorkflowDefault.h"

#include "Platform/localisation/Localization.h"

#include <utility>

namespace orvaneh {

ParamWorkflowDefault::ParamWorkflowDefault() {
    parameters_.getParamWorkflow();
}

std::string ParamWorkflowDefault::title() const {
    return localized("WORKFLOW_PARAM_VIEW_TITLE", "Workflow");
}

void ParamWorkflowDefault::setParameters(ParamWorkflow parameters) {
    parameters_ = std::move(parameters);
    parameters_.isChanged = true;
    changed();
}

void ParamWorkflowDefault::save() {
    parameters_.saveParamWorkflow();
    parameters_.isChanged = false;
    changed();
}

} // namespace orvaneh
