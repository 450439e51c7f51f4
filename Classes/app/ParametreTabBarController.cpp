#include "Classes/app/ParametreTabBarController.h"

#include "Classes/screens/ApplicationHost.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Gestion Site/SiteListViewController.h"
#include "Platform/localisation/Localization.h"

namespace orvaneh {

ParametreTabBarController::ParametreTabBarController(ApplicationHost& application)
    : tabs_{{localized("SITES_LISTE_TITRE", "Sites"), "pref.png"},
            {localized("WORKFLOW_PARAM_VIEW_TITLE", "Workflow"), "workflow.png"}},
      siteList_(std::make_unique<SiteListViewController>(&application)),
      workflow_(std::make_unique<ParamWorkflowDefault>()) {
    workflow_->setServicesOpener(AbstractParamWorkflow::presentingOn(application.navigation()));
}

ParametreTabBarController::~ParametreTabBarController() = default;

bool ParametreTabBarController::viewShouldBackToParentView() {
    return selectedTab_ == 0 ? siteList_->viewShouldBackToParentView()
                             : workflow_->viewShouldBackToParentView();
}

void ParametreTabBarController::selectTab(int index) {
    if (index < 0 || index >= static_cast<int>(tabs_.size()) || index == selectedTab_) {
        return;
    }
    // The site list shown again forgets unsaved marks, as when it is opened.
    if (index == 0) {
        siteList_->reloadSites();
    }
    selectedTab_ = index;
    changed();
}

} // namespace orvaneh
