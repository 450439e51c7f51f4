#pragma once

#include "Classes/screens/SuperController.h"

#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

class ApplicationHost;
class ParamWorkflowDefault;
class SiteListViewController;

// The settings container: two tabs, the site list and the default workflow parameters. Each
// tab's screen is created with the container and kept while it lives.
class ParametreTabBarController : public SuperController {
public:
    struct Tab {
        std::string title;
        std::string icon;
    };

    explicit ParametreTabBarController(ApplicationHost& application);
    ~ParametreTabBarController() override;

    std::string screenName() const override { return "ParametreTabBarController"; }
    bool shouldDisplayMenuButton() const override { return true; }
    // Leaving goes through the screen of the selected tab (the site list wants a default site).
    bool viewShouldBackToParentView() override;

    const std::vector<Tab>& tabs() const { return tabs_; }
    int selectedTab() const { return selectedTab_; }
    void selectTab(int index);
    SiteListViewController& siteList() { return *siteList_; }
    ParamWorkflowDefault& workflow() { return *workflow_; }

private:
    std::vector<Tab> tabs_;
    int selectedTab_ = 0;
    std::unique_ptr<SiteListViewController> siteList_;
    std::unique_ptr<ParamWorkflowDefault> workflow_;
};

} // namespace orvaneh
