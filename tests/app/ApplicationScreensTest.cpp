#include "Classes/app/ListeDictViewController.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/app/ParametreTabBarController.h"
#include "Classes/core/siteRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/screens/AboutController.h"
#include "Classes/screens/Menu.h"
#include "Classes/screens/ServicesViewController.h"
#include "Classes/screens/SettingsViewController.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Gestion Site/SiteListViewController.h"
#include "Gestion Site/SiteViewController.h"
#include "Platform/runloop/RunLoop.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

class ApplicationScreensTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    OrvanehAppDelegate application;

    void start() {
        ASSERT_FALSE(application.startCore(false).error);
        application.startScreens();
    }
    static void addDefaultSite() {
        SiteModel site{0, "Cabinet", "ftp.cabinet.fr", "dupont", "secret", 1, true, false};
        site.idSite = siteRequest().addSite(site);
        siteRequest().updateSite(site);
    }
    std::vector<std::string> stack() const {
        std::vector<std::string> names;
        for (const auto& screen : const_cast<OrvanehAppDelegate&>(application).navigation().screens()) {
            names.push_back(screen->screenName());
        }
        return names;
    }
};

TEST_F(ApplicationScreensTest, FirstStartLandsInTheSiteEditorOverTheList) {
    start();
    EXPECT_EQ(stack(), (std::vector<std::string>{"ListeDictViewController", "SiteViewController"}));
}

TEST_F(ApplicationScreensTest, WithASiteTheListIsTheOnlyScreen) {
    ASSERT_FALSE(application.startCore(false).error);
    addDefaultSite();
    application.startScreens();
    EXPECT_EQ(stack(), (std::vector<std::string>{"ListeDictViewController"}));
}

TEST_F(ApplicationScreensTest, EachMenuEntryOpensItsScreenUnlessAlreadyOnTop) {
    ASSERT_FALSE(application.startCore(false).error);
    addDefaultSite();
    application.startScreens();
    test::LogCapture log;

    application.onMenuItem(Menu::Dictees);
    EXPECT_EQ(stack().size(), 1u) << "the list is on top already";

    const std::vector<std::pair<int, std::string>> entries{{Menu::Sites, "SiteListViewController"},
                                                           {Menu::Workflow, "ParamWorkflowDefault"},
                                                           {Menu::Parametres, "SettingsViewController"},
                                                           {Menu::Informations, "AboutController"},
                                                           {Menu::Dictees, "ListeDictViewController"}};
    std::size_t depth = 1;
    for (const auto& [tag, screen] : entries) {
        application.onMenuItem(tag);
        application.onMenuItem(tag);
        ++depth;
        ASSERT_EQ(stack().size(), depth) << screen << " opened once";
        EXPECT_EQ(stack().back(), screen);
        EXPECT_TRUE(log.contains("MENU ITEM : " + std::to_string(tag))) << tag;
    }

    application.onMenuItem(9);
    EXPECT_EQ(stack().size(), depth) << "an unknown entry opens nothing";
    EXPECT_TRUE(log.contains("MENU ITEM : 9"));
}

TEST_F(ApplicationScreensTest, TheMenuIsMadeOnceAndItsEntriesReachTheApplication) {
    ASSERT_FALSE(application.startCore(false).error);
    addDefaultSite();
    application.startScreens();
    application.showMenu();
    Menu* menu = application.menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isShown());
    application.showMenu();
    EXPECT_EQ(application.menu(), menu);

    menu->touch(Menu::Sites);
    EXPECT_FALSE(menu->isShown());
    EXPECT_EQ(stack().back(), "SiteListViewController");
}

TEST_F(ApplicationScreensTest, PopToRootLeavesTheListAndTellsTheInterface) {
    ASSERT_FALSE(application.startCore(false).error);
    addDefaultSite();
    application.startScreens();
    application.OpenAbout();
    application.OpenSites();
    application.popToRoot();
    RunLoop::main().runPending();
    EXPECT_EQ(stack(), (std::vector<std::string>{"ListeDictViewController"}));
    EXPECT_FALSE(profile.ui().messages("popToRoot").empty());
}

TEST_F(ApplicationScreensTest, TheServicePickerComesOverTheDefaultsScreenAndAnswersIt) {
    ASSERT_FALSE(application.startCore(false).error);
    addDefaultSite();
    std::string error;
    ASSERT_TRUE(Entity::importCatalogue(
        "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role><LoginName>plefebvre</LoginName>"
        "</LoginUserInfo></LoginUserInfos><Services><Service><Guid>g-cardio</Guid><Name>Cardiologie</Name>"
        "<IsSite>false</IsSite><ServiceUsers><UserId>plefebvre</UserId></ServiceUsers></Service></Services>"
        "</Catalogue>",
        &error))
        << error;
    application.startScreens();
    auto& navigation = application.navigation();
    application.showMenu();
    application.menu()->touch(Menu::Workflow);
    auto screen = std::dynamic_pointer_cast<ParamWorkflowDefault>(navigation.top());
    ASSERT_TRUE(screen);
    ASSERT_FALSE(screen->choose(AbstractParamWorkflow::kAuthorTag, "plefebvre"));

    screen->textFieldShouldBeginEditing(AbstractParamWorkflow::kServiceTag);
    auto picker = std::dynamic_pointer_cast<ServicesViewController>(navigation.presented());
    ASSERT_TRUE(picker) << "presented over the defaults screen";
    EXPECT_EQ(navigation.top(), screen);
    EXPECT_EQ(profile.ui().calls().back().title, "ServicesViewController");
    EXPECT_EQ(profile.ui().calls().back().message, "plefebvre");
    ASSERT_EQ(picker->servicesList().size(), 1u);
    picker->tapRow(0);
    picker->validParam();
    picker.reset();
    RunLoop::main().runPending();
    EXPECT_FALSE(navigation.presented()) << "the picker closed";
    EXPECT_EQ(navigation.top(), screen) << "the defaults screen stays";
    EXPECT_EQ(screen->fieldText(AbstractParamWorkflow::kServiceTag), "Cardiologie");

    // Reopened, it shows the service chosen; without "ServicesDisplay" it does not open.
    screen->textFieldShouldBeginEditing(AbstractParamWorkflow::kServiceTag);
    picker = std::dynamic_pointer_cast<ServicesViewController>(navigation.presented());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->selectedService(), 0);
    picker->tapRow(0);
    picker->validParam();
    picker.reset();
    RunLoop::main().runPending();
    EXPECT_EQ(screen->fieldText(AbstractParamWorkflow::kServiceTag), "") << "unchecked: no service";
    profile.preferences().setBool("ServicesDisplay", false);
    screen->textFieldShouldBeginEditing(AbstractParamWorkflow::kServiceTag);
    EXPECT_FALSE(navigation.presented());
}

TEST_F(ApplicationScreensTest, SettingsContainerShowsSitesAndWorkflowAndLeavesThroughTheSiteList) {
    ASSERT_FALSE(application.startCore(false).error);
    ParametreTabBarController container(application);
    ASSERT_EQ(container.tabs().size(), 2u);
    EXPECT_EQ(container.tabs()[0].title, "Sites");
    EXPECT_EQ(container.tabs()[1].title, "Workflow");
    container.selectTab(1);
    EXPECT_EQ(container.selectedTab(), 1);
    container.selectTab(5);
    EXPECT_EQ(container.selectedTab(), 1);

    // Its workflow tab opens the service picker over the window too.
    profile.preferences().setBool("ServicesDisplay", true);
    container.workflow().textFieldShouldBeginEditing(AbstractParamWorkflow::kServiceTag);
    EXPECT_TRUE(std::dynamic_pointer_cast<ServicesViewController>(application.navigation().presented()));
}

} // namespace
} // namespace orvaneh
