#include "Platform/ui/HeadlessUserInterface.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

TEST(HeadlessUserInterfaceTest, QueuedAnswersComeAtOnceOthersWaitInOrderAndMayAskAgain) {
    HeadlessUserInterface ui;
    std::vector<std::pair<int, int>> answers; // tag, button
    auto ask = [&](int tag) {
        ui.askConfirmation("", "?", "Non", "Oui", tag, [&, tag](int button) {
            answers.emplace_back(tag, button);
            if (tag == 3) { // an answer may use the interface again
                ui.showBanner("Envoi en cours", Seconds(1));
                ui.askConfirmation("", "vraiment ?", "Non", "Oui", 4, [&](int) { ui.closeWait(); });
            }
        });
    };
    ui.queueAnswer(1);
    ask(1);
    ask(2);
    ask(3);
    EXPECT_EQ(answers, (std::vector<std::pair<int, int>>{{1, 1}}));
    ui.clear(); // forgets what was shown, not what waits
    EXPECT_TRUE(ui.calls().empty());
    EXPECT_EQ(ui.pendingQuestions(), 2u);
    EXPECT_TRUE(ui.answerPending(0));
    EXPECT_TRUE(ui.answerPending(1));
    EXPECT_EQ(answers, (std::vector<std::pair<int, int>>{{1, 1}, {2, 0}, {3, 1}}));
    EXPECT_EQ(ui.messages("banner"), std::vector<std::string>{"Envoi en cours"});
    EXPECT_TRUE(ui.answerPending(0));
    EXPECT_FALSE(ui.answerPending(1));
    EXPECT_EQ(ui.calls().back().kind, "closeWait");
}

TEST(UserInterfaceTest, AReplacedInterfaceStaysUsable) {
    auto& initial = UserInterface::shared();
    auto installed = std::make_shared<HeadlessUserInterface>();
    UserInterface::install(installed);
    EXPECT_EQ(&UserInterface::shared(), installed.get());
    UserInterface::install(nullptr);
    installed.reset();
    initial.showBanner("encore là", Seconds(1));
    EXPECT_NE(dynamic_cast<HeadlessUserInterface*>(&UserInterface::shared()), nullptr);
}

} // namespace
} // namespace orvaneh
