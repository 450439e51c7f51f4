#include "Classes/screens/NavigationController.h"

#include "Platform/runloop/RunLoop.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

// A screen that records its destruction and may refuse to leave.
class ProbeScreen : public SuperController {
public:
    explicit ProbeScreen(std::string name, int* destroyed = nullptr)
        : name_(std::move(name)), destroyed_(destroyed) {}
    ~ProbeScreen() override {
        if (destroyed_ != nullptr) {
            ++*destroyed_;
        }
    }
    std::string screenName() const override { return name_; }
    bool viewShouldBackToParentView() override { return mayLeave; }
    // Closes itself and keeps using its own members afterwards, as a screen that saves,
    // closes, then says so would.
    void closeThenTouchMembers() {
        cancel();
        name_ += " (fermé)";
    }

    bool mayLeave = true;

private:
    std::string name_;
    int* destroyed_;
};

class OtherScreen : public ProbeScreen {
public:
    using ProbeScreen::ProbeScreen;
};

class NavigationControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    NavigationController navigation;
};

TEST_F(NavigationControllerTest, BackAsksTheTopScreenAndNeverRemovesTheRoot) {
    navigation.setRoot(std::make_shared<ProbeScreen>("liste"));
    auto editor = std::make_shared<ProbeScreen>("éditeur");
    navigation.push(editor);

    editor->mayLeave = false;
    EXPECT_FALSE(navigation.back());
    EXPECT_EQ(navigation.top(), editor);

    editor->mayLeave = true;
    EXPECT_TRUE(navigation.back());
    EXPECT_EQ(navigation.screens().size(), 1u);
    EXPECT_FALSE(navigation.back()) << "the root stays";
    EXPECT_FALSE(navigation.pop());
    EXPECT_EQ(navigation.top()->screenName(), "liste");
}

TEST_F(NavigationControllerTest, AScreenClosingItselfLivesUntilTheLoopTurns) {
    int destroyed = 0;
    navigation.setRoot(std::make_shared<ProbeScreen>("liste"));
    std::weak_ptr<ProbeScreen> weak;
    {
        auto screen = std::make_shared<ProbeScreen>("sites", &destroyed);
        weak = screen;
        navigation.push(screen);
    }
    weak.lock()->closeThenTouchMembers();
    EXPECT_EQ(navigation.screens().size(), 1u);
    EXPECT_EQ(destroyed, 0) << "released on the loop's next turn, not inside its own method";
    RunLoop::main().runPending();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(NavigationControllerTest, PopToRootReleasesEveryScreenAboveAndThePresentedOne) {
    int destroyed = 0;
    // The root outlives this test's counter: it does not count.
    navigation.setRoot(std::make_shared<ProbeScreen>("liste"));
    navigation.push(std::make_shared<ProbeScreen>("enregistreur", &destroyed));
    navigation.push(std::make_shared<ProbeScreen>("photos", &destroyed));
    navigation.present(std::make_shared<ProbeScreen>("paramètres", &destroyed));
    int changes = 0;
    navigation.setChangeCallback([&] { ++changes; });

    navigation.popToRoot();
    RunLoop::main().runPending();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(navigation.screens().size(), 1u);
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_EQ(changes, 1);
}

TEST_F(NavigationControllerTest, TopIsKnowsSubclassesAndAClosedPresentedScreenIsDismissed) {
    navigation.setRoot(std::make_shared<ProbeScreen>("liste"));
    navigation.push(std::make_shared<OtherScreen>("autre"));
    EXPECT_TRUE(navigation.topIs<OtherScreen>());
    EXPECT_TRUE(navigation.topIs<ProbeScreen>()) << "a subclass counts as its base";

    auto modal = std::make_shared<ProbeScreen>("paramètres");
    navigation.present(modal);
    modal->cancel();
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_EQ(navigation.screens().size(), 2u) << "closing the modal screen leaves the stack alone";
}

TEST_F(NavigationControllerTest, APickerPresentedOverAParameterScreenClosesAloneAndPopToRootTakesBoth) {
    int destroyed = 0;
    navigation.setRoot(std::make_shared<ProbeScreen>("liste"));
    auto parameters = std::make_shared<ProbeScreen>("paramètres", &destroyed);
    auto picker = std::make_shared<ProbeScreen>("services", &destroyed);
    navigation.present(parameters);
    navigation.present(picker);
    EXPECT_EQ(navigation.presented(), picker);

    // The picker answers and closes itself: the parameter screen is shown again, still alive.
    picker->cancel();
    EXPECT_EQ(navigation.presented(), parameters);
    picker.reset();
    RunLoop::main().runPending();
    EXPECT_EQ(destroyed, 1);

    // The parameter screen closing from under a picker takes only itself off.
    auto second = std::make_shared<ProbeScreen>("services", &destroyed);
    navigation.present(second);
    parameters->cancel();
    EXPECT_EQ(navigation.presented(), second);

    second.reset();
    parameters.reset();
    navigation.popToRoot();
    RunLoop::main().runPending();
    EXPECT_EQ(destroyed, 3);
    EXPECT_TRUE(navigation.presentedScreens().empty());
}

TEST_F(NavigationControllerTest, AScreenOutlivingItsNavigationClosesHarmlessly) {
    auto screen = std::make_shared<ProbeScreen>("orphelin");
    {
        NavigationController shortLived;
        shortLived.setRoot(std::make_shared<ProbeScreen>("liste"));
        shortLived.push(screen);
    }
    // The navigation that showed it is gone: closing must not reach it.
    screen->cancel();
    EXPECT_TRUE(screen->onBackButton());
}

TEST_F(NavigationControllerTest, WaitOverlayTellsTheViewOnlyOnChange) {
    ProbeScreen screen("sites");
    int changes = 0;
    screen.setChangeCallback([&] { ++changes; });
    screen.showWaitMessage();
    screen.showWaitMessage();
    EXPECT_TRUE(screen.waitMessageShown());
    screen.hideWaitMessage();
    EXPECT_FALSE(screen.waitMessageShown());
    EXPECT_EQ(changes, 2);
}

} // namespace
} // namespace orvaneh
