// The title editor on its own: what it shows, what it refuses, and how editing ends.
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"

#include "Classes/screens/NavigationController.h"
#include "Platform/runloop/RunLoop.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {
namespace {

using Editor = ParamWorkflowDicteeTitleIdentViewController;

class ParamWorkflowDicteeTitleIdentViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;

    void SetUp() override {
        profile.preferences().setString("JobTitlPref", "Nom du patient");
        profile.preferences().setString("IdentPref", "N° de dossier");
    }
    std::vector<std::string> banners() { return profile.ui().messages("banner"); }
};

TEST_F(ParamWorkflowDicteeTitleIdentViewControllerTest, TypedTextMustBeOneLineOfText) {
    Editor editor("Durand", "D-1204");
    EXPECT_EQ(editor.txtFirstField(), "Durand");
    EXPECT_EQ(editor.txtSecondField(), "D-1204");
    EXPECT_EQ(Editor::firstFieldPlaceholder(), "Nom du patient");
    EXPECT_EQ(Editor::secondFieldPlaceholder(), "N° de dossier");
    int redraws = 0;
    editor.setChangeCallback([&] { ++redraws; });

    EXPECT_TRUE(editor.setFirstFieldText("Éloïse Martin-Lefèvre"));
    EXPECT_TRUE(editor.setSecondFieldText(""));
    EXPECT_EQ(editor.txtFirstField(), "Éloïse Martin-Lefèvre");
    EXPECT_EQ(editor.txtSecondField(), "");
    EXPECT_EQ(redraws, 2);
    EXPECT_TRUE(banners().empty());

    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> refused{{"line feed", "Durand\nMartin"},
                                    {"carriage return", "Durand\r"},
                                    {"tab", "a\tb"},
                                    {"not UTF-8", std::string("caf\xe9")},
                                    {"NUL", std::string("a\0b", 3)}};
    for (const auto& each : refused) {
        EXPECT_FALSE(editor.setFirstFieldText(each.text)) << each.what;
        EXPECT_FALSE(editor.setSecondFieldText(each.text)) << each.what;
    }
    EXPECT_EQ(editor.txtFirstField(), "Éloïse Martin-Lefèvre");
    EXPECT_EQ(editor.txtSecondField(), "");
    EXPECT_EQ(redraws, 2);
    const auto shown = banners();
    ASSERT_EQ(shown.size(), 2 * refused.size());
    EXPECT_EQ(shown[0].rfind("Nom du patient ne peut contenir ni saut de ligne", 0), 0u) << shown[0];
    EXPECT_EQ(shown[1].rfind("N° de dossier ne peut contenir", 0), 0u) << shown[1];
}

TEST_F(ParamWorkflowDicteeTitleIdentViewControllerTest, EndingHandsTheTextsOverOnceAndCloses) {
    NavigationController navigation;
    auto editor = std::make_shared<Editor>("Durand", "");
    std::vector<std::pair<std::string, std::string>> answers;
    editor->setDelegate([&](const std::string& title, const std::string& ident) {
        answers.emplace_back(title, ident);
        // The delegate sees the editor still shown, as a view would during its answer.
        EXPECT_EQ(navigation.presented(), editor);
    });
    navigation.present(editor);
    editor->setSecondFieldText("D-77");

    editor->endEditing();
    // The long press may follow the double tap.
    editor->endEditing();

    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], std::make_pair(std::string("Durand"), std::string("D-77")));
    EXPECT_TRUE(editor->editingEnded());
    EXPECT_EQ(navigation.presented(), nullptr);
    RunLoop::main().runPending();
}

TEST_F(ParamWorkflowDicteeTitleIdentViewControllerTest, WithoutDelegateEndingStillCloses) {
    NavigationController navigation;
    auto editor = std::make_shared<Editor>("Durand", "D-1");
    navigation.present(editor);
    editor->endEditing();
    EXPECT_EQ(navigation.presented(), nullptr);
    RunLoop::main().runPending();
}

} // namespace
} // namespace orvaneh
