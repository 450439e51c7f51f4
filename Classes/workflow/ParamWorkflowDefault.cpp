#include "Classes/workflow/ParamWorkflowDefault.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/Priority.h"
#include "Classes/core/serviceRequest.h"
#include "Platform/localisation/Localization.h"

namespace orvaneh {

ParamWorkflowDefault::ParamWorkflowDefault() {
    viewWillAppear();
}

std::string ParamWorkflowDefault::title() const {
    return localized("PARAM_WORKFLOW_VIEW_TITLE", "Workflow");
}

std::string ParamWorkflowDefault::footer() const {
    return localized("PARAM_WORKFLOW_HELP",
                     "Ecran de saisie des paramètres par défaut pour toute nouvelle dictée.");
}

std::vector<int> ParamWorkflowDefault::rowTags() const {
    std::vector<int> tags{kAuthorTag};
    if (ConfigurationManager::shouldDisplayServices()) {
        tags.push_back(kServiceTag);
    }
    tags.insert(tags.end(), {kTypeTag, kContextTag, kWorktypeTag, kTypistTag, kPriorityTag});
    return tags;
}

void ParamWorkflowDefault::viewWillAppear() {
    if (!fresh_) {
        return;
    }
    fresh_ = false;
    if (paramWorkflow().getParamWorkflow() == 1) {
        serviceChosen_.reset();
        if (paramWorkflow().serviceID > 0) {
            ServiceModel service = serviceRequest().selectServiceWithID(paramWorkflow().serviceID);
            if (service.idService > 0) {
                serviceChosen_ = service;
            }
        }
    } else {
        clearParameters();
    }
    showParameters();
    const bool noAuthor = fieldText(kAuthorTag).empty();
    setEnabled(kContextTag, !noAuthor);
    setEnabled(kTypeTag, !noAuthor);
    setEnabled(kServiceTag, !noAuthor);
    initTabData();
}

void ParamWorkflowDefault::initTabData() {
    AbstractParamWorkflow::initTabData();
    priorities_ = {Priority::label(Priority::Normal), Priority::label(Priority::High)};
    changed();
}

void ParamWorkflowDefault::clearParameters() {
    ParamWorkflow& set = paramWorkflow();
    set.auteur.clear();
    set.contexte.clear();
    set.typeDictee.clear();
    set.secretaire.clear();
    set.worktype.clear();
    set.priority.clear();
    set.firstField.clear();
    set.secondField.clear();
    set.serviceID = -1;
    serviceChosen_.reset();
}

void ParamWorkflowDefault::deleteParam() {
    clearParameters();
    showParameters();
    setEnabled(kContextTag, false);
    setEnabled(kTypeTag, false);
    setEnabled(kServiceTag, false);
    setEnabled(kWorktypeTag, true);
    setEnabled(kTypistTag, true);
    initTabData();
}

void ParamWorkflowDefault::saveParamWorkflow() {
    AbstractParamWorkflow::saveParamWorkflow();
    paramWorkflow().priority = fieldText(kPriorityTag);
    paramWorkflow().saveParamWorkflow();
}

void ParamWorkflowDefault::saveParam() {
    saveParamWorkflow();
    changed();
    cancel();
}

} // namespace orvaneh
