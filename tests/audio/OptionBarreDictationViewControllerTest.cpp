// The recording screen's option bar: the title editor round trip, the code reader's answer, the
// case-file search's text and screen, and what happens when a screen is not there yet.
#include "Classes/audio/OptionBarreDictationViewController.h"

#include "Classes/screens/NavigationController.h"
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"
#include "Platform/runloop/RunLoop.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {
namespace {

using Bar = OptionBarreDictationViewController;

// Stands for the screens the application's openers make (the code reader, the case list, the
// log-in screen): it keeps what it was opened with and answers as they do.
class OpenedScreen : public SuperController {
public:
    explicit OpenedScreen(std::string name) : name_(std::move(name)) {}
    std::string screenName() const override { return name_; }
    std::string searchText;
    Bar::ScanResult scanAnswer;
    Bar::CaseFileAnswer caseAnswer;

private:
    std::string name_;
};

class OptionBarreDictationViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    NavigationController navigation;
    ParamWorkflow parameters;
    int titleRedraws = 0;
    std::optional<Bar> bar;
    std::shared_ptr<OpenedScreen> lastOpened;

    void SetUp() override {
        profile.preferences().setString("JobTitlPref", "Nom du patient");
        profile.preferences().setString("IdentPref", "N° de dossier");
        bar.emplace(parameters, navigation, [this] { ++titleRedraws; });
    }
    void TearDown() override {
        bar.reset();
        navigation.popToRoot();
        RunLoop::main().runPending();
    }
    Bar::ScannerOpener scanner() {
        return [this](Bar::ScanResult answer) {
            lastOpened = std::make_shared<OpenedScreen>("QRCodeReader");
            lastOpened->scanAnswer = std::move(answer);
            return lastOpened;
        };
    }
    Bar::CaseFileOpener caseFileScreen(const std::string& name) {
        return [this, name](const std::string& searchText, Bar::CaseFileAnswer answer) {
            lastOpened = std::make_shared<OpenedScreen>(name);
            lastOpened->searchText = searchText;
            lastOpened->caseAnswer = std::move(answer);
            return lastOpened;
        };
    }
    std::vector<std::string> banners() { return profile.ui().messages("banner"); }
};

TEST_F(OptionBarreDictationViewControllerTest, TitleEditorRoundTrip) {
    parameters.firstField = "Durand";
    parameters.secondField = "D-1204";
    EXPECT_FALSE(bar->loginViewIsTheParent());

    bar->displayTitleAndIdentPropriete();
    auto editor = bar->titleEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(navigation.presented(), editor);
    EXPECT_EQ(editor->txtFirstField(), "Durand");
    EXPECT_EQ(editor->txtSecondField(), "D-1204");
    // A second touch on the button while the editor is up does not stack another one.
    bar->displayTitleAndIdentPropriete();
    EXPECT_EQ(navigation.presentedScreens().size(), 1u);

    editor->setFirstFieldText("Martin");
    // Emptied on purpose: a wrongly read identifier can be removed.
    editor->setSecondFieldText("");
    EXPECT_EQ(parameters.firstField, "Durand") << "nothing changes before editing ends";
    editor->endEditing();

    EXPECT_EQ(parameters.firstField, "Martin");
    EXPECT_EQ(parameters.secondField, "");
    EXPECT_EQ(titleRedraws, 1);
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_FALSE(bar->titleEditor());

    // Reopened, it shows the new values.
    bar->displayTitleAndIdentPropriete();
    ASSERT_TRUE(bar->titleEditor());
    EXPECT_EQ(bar->titleEditor()->txtFirstField(), "Martin");
}

TEST_F(OptionBarreDictationViewControllerTest, AnswersThatAreNotOneLineLeaveTheirFieldAlone) {
    parameters.firstField = "Durand";
    parameters.secondField = "D-1";

    bar->didChangeProp("Martin\nDupont", "D-2");
    EXPECT_EQ(parameters.firstField, "Durand");
    EXPECT_EQ(parameters.secondField, "D-2");
    EXPECT_EQ(titleRedraws, 1);

    // The case-file server's texts are held to the same rule.
    bar->dossierListViewWillDismissWithJobTitle("Succession Lefèvre", std::string("\x01"
                                                                                  "2024-17"));
    EXPECT_EQ(parameters.firstField, "Succession Lefèvre");
    EXPECT_EQ(parameters.secondField, "D-2");
    EXPECT_EQ(titleRedraws, 2);

    bar->didChangeProp("a\rb", "c\td");
    EXPECT_EQ(titleRedraws, 2) << "nothing set, nothing to redraw";
    const auto shown = banners();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].rfind("Nom du patient ne peut contenir", 0), 0u) << shown[0];
    EXPECT_EQ(shown[1].rfind("N° de dossier ne peut contenir", 0), 0u) << shown[1];
}

TEST_F(OptionBarreDictationViewControllerTest, ScannerAnswerBecomesTheIdentifierAndClosesTheReader) {
    parameters.firstField = "Durand";
    EXPECT_FALSE(bar->scannerAvailable()) << "no reader yet";
    bar->setScannerOpener(scanner());
    ASSERT_TRUE(bar->scannerAvailable()) << "the setting is on when absent";

    bar->displayOption();
    ASSERT_TRUE(lastOpened);
    EXPECT_EQ(navigation.presented(), lastOpened);

    // A reader acting as a keyboard ends the code with a line end.
    lastOpened->scanAnswer("3401597801234\r\n");
    EXPECT_EQ(parameters.secondField, "3401597801234");
    EXPECT_EQ(parameters.firstField, "Durand");
    EXPECT_EQ(titleRedraws, 1);
    EXPECT_EQ(navigation.presented(), nullptr);

    // A code spread over lines is no identifier; the reader still closes.
    bar->displayScanner();
    lastOpened->scanAnswer("ligne 1\nligne 2");
    EXPECT_EQ(parameters.secondField, "3401597801234");
    EXPECT_EQ(titleRedraws, 1);
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_EQ(banners().size(), 1u);
}

TEST_F(OptionBarreDictationViewControllerTest, ScannerSettingOffHidesAndSilencesTheReader) {
    bar->setScannerOpener(scanner());
    profile.preferences().setBool("OptionUseBarCodeReader", false);
    EXPECT_FALSE(bar->scannerAvailable());
    bar->displayOption();
    bar->displayScanner();
    EXPECT_FALSE(lastOpened);
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_TRUE(banners().empty());
}

TEST_F(OptionBarreDictationViewControllerTest, FileSearchTextAndScreen) {
    struct Case {
        std::string first, second, search;
    };
    const std::vector<Case> texts{
        {"", "", ""}, {"Durand", "D-1204", "D-1204"}, {"Durand", "", "Durand"}, {"", "D-1204", "D-1204"}};
    for (const auto& each : texts) {
        parameters.firstField = each.first;
        parameters.secondField = each.second;
        EXPECT_EQ(bar->fileSearchText(), each.search) << each.first << " / " << each.second;
    }

    // Only a successful log-in (state 1) opens the case list directly.
    EXPECT_EQ(Bar::fileSearchScreen(), "LoginViewController") << "never logged in";
    const std::vector<std::pair<std::int64_t, std::string>> states{
        {1, "DossierListeViewController"}, {0, "LoginViewController"}, {2, "LoginViewController"}};
    for (const auto& [state, screen] : states) {
        profile.preferences().setInteger("state", state);
        EXPECT_EQ(Bar::fileSearchScreen(), screen) << state;
    }
}

TEST_F(OptionBarreDictationViewControllerTest, FileSearchOpensTheScreenForTheStateAndTakesItsAnswer) {
    bar->setCaseListOpener(caseFileScreen("DossierListeViewController"));
    bar->setLoginOpener(caseFileScreen("LoginViewController"));
    parameters.firstField = "Durand";
    ASSERT_TRUE(bar->fileSearchAvailable());

    bar->displayFileSearch();
    ASSERT_TRUE(lastOpened);
    EXPECT_EQ(lastOpened->screenName(), "LoginViewController");
    EXPECT_EQ(lastOpened->searchText, "Durand");
    EXPECT_EQ(navigation.presented(), lastOpened);
    lastOpened->cancel();

    profile.preferences().setInteger("state", 1);
    parameters.secondField = "2024-17";
    bar->displayFileSearch();
    EXPECT_EQ(lastOpened->screenName(), "DossierListeViewController");
    EXPECT_EQ(lastOpened->searchText, "2024-17");

    // The list answers with the case's label and code, then closes itself.
    lastOpened->caseAnswer("Succession Lefèvre", "2024-018");
    lastOpened->cancel();
    EXPECT_EQ(parameters.firstField, "Succession Lefèvre");
    EXPECT_EQ(parameters.secondField, "2024-018");
    EXPECT_EQ(titleRedraws, 1);
    EXPECT_EQ(navigation.presented(), nullptr);
}

TEST_F(OptionBarreDictationViewControllerTest, MissingScreensOnlySaySoInABanner) {
    parameters.firstField = "Durand";
    parameters.secondField = "D-1";
    const ParamWorkflow before = parameters;

    // Logged in, but only the log-in screen exists: the search is not offered.
    bar->setLoginOpener(caseFileScreen("LoginViewController"));
    profile.preferences().setInteger("state", 1);
    EXPECT_FALSE(bar->fileSearchAvailable());
    bar->displayFileSearch();
    bar->displayScanner();
    bar->displayOption();

    EXPECT_FALSE(lastOpened);
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_EQ(parameters.firstField, before.firstField);
    EXPECT_EQ(parameters.secondField, before.secondField);
    EXPECT_EQ(titleRedraws, 0);
    const std::vector<std::string> expected{"La recherche de dossiers n'est pas encore disponible.",
                                            "Le lecteur de code n'est pas encore disponible.",
                                            "Le lecteur de code n'est pas encore disponible."};
    EXPECT_EQ(banners(), expected);
}

TEST_F(OptionBarreDictationViewControllerTest, ScreensAnsweringAfterTheBarIsGoneChangeNothing) {
    bar->setScannerOpener(scanner());
    bar->setCaseListOpener(caseFileScreen("DossierListeViewController"));
    profile.preferences().setInteger("state", 1);

    bar->displayScanner();
    auto reader = lastOpened;
    bar->displayFileSearch();
    auto list = lastOpened;
    bar->displayTitleAndIdentPropriete();
    auto editor = bar->titleEditor();
    ASSERT_TRUE(editor);

    // The recording screen closed while the three were up.
    bar.reset();
    reader->scanAnswer("123");
    list->caseAnswer("Succession", "2024-1");
    editor->setFirstFieldText("Martin");
    editor->endEditing();

    EXPECT_EQ(parameters.firstField, "");
    EXPECT_EQ(parameters.secondField, "");
    EXPECT_EQ(titleRedraws, 0);
    EXPECT_EQ(navigation.presentedScreens().size(), 1u) << "reader and editor closed, the list closes itself";
}

} // namespace
} // namespace orvaneh
