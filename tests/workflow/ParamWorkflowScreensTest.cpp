// The two parameter screens on a directory imported from a real catalogue: what each picker
// offers, how a choice constrains the others, and what a save leaves in the database.
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/SelectionView.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Classes/workflow/QRCodeReaderViewController.h"
#include "Platform/runloop/RunLoop.h"
#include "support/CodeImages.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using test::execute;
using test::Rows;
using test::rows;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;
using Screen = AbstractParamWorkflow;

constexpr const char* kCatalogue = R"(<?xml version="1.0" encoding="utf-8"?>
<Catalogue>
  <LoginUserInfos>
    <LoginUserInfo><Role>Dictant</Role><LoginName>plefebvre</LoginName>
      <Context>Consultation;Échographie</Context></LoginUserInfo>
    <LoginUserInfo><Role>Dictant</Role><LoginName>cmoreau</LoginName><Context /></LoginUserInfo>
    <LoginUserInfo><Role>Dictant</Role><LoginName>ndurand</LoginName><Context>Radiologie</Context></LoginUserInfo>
    <LoginUserInfo><Role>Secretaire</Role><LoginName>sbernard</LoginName><Groupe>Pool A</Groupe></LoginUserInfo>
    <LoginUserInfo><Role>Secretaire</Role><LoginName>lpetit</LoginName></LoginUserInfo>
  </LoginUserInfos>
  <Worktypes>
    <Worktype><Nom>Compte rendu</Nom><Secretaire>sbernard</Secretaire><Type>word </Type></Worktype>
    <Worktype><Nom>Courrier</Nom><Type>Editeur interne</Type></Worktype>
    <Worktype><Nom>Note</Nom><Type>Lettre</Type></Worktype>
  </Worktypes>
  <Services>
    <Service><Guid>g-cardio</Guid><Name>Cardiologie</Name><IsSite>false</IsSite><SiteId>S1</SiteId>
      <ServiceUsers><UserId>sbernard</UserId><UserId>plefebvre</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Compte rendu</WorktypeId></ServiceWorktypes></Service>
    <Service><Guid>g-urg</Guid><Name>Urgences</Name><IsSite>false</IsSite><SiteId>S1</SiteId>
      <ServiceUsers><UserId>lpetit</UserId><UserId>ndurand</UserId><UserId>cmoreau</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Note</WorktypeId></ServiceWorktypes></Service>
  </Services>
</Catalogue>
)";

const std::string kSpeech = "Reconnaissance vocale";
const std::string kDigital = "Dictée numérique";

class ParamWorkflowScreensTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(Entity::importCatalogue(kCatalogue, &error)) << error;
        profile.preferences().setBool("BlockRecipient", false);
    }
    static std::int64_t serviceId(const std::string& name) {
        for (const auto& service : serviceRequest().selectAllServices()) {
            if (service.name == name) {
                return static_cast<std::int64_t>(service.idService);
            }
        }
        return 0;
    }
    // Picks the row showing `text` in the field's picker, as a finger would.
    static void pick(Screen& screen, int tag, const std::string& text) {
        ASSERT_FALSE(screen.textFieldShouldBeginEditing(tag));
        auto picker = screen.picker();
        ASSERT_TRUE(picker) << tag;
        const auto& data = picker->data();
        const auto row = std::find(data.begin(), data.end(), text);
        ASSERT_NE(row, data.end()) << text;
        picker->selectRow(static_cast<int>(row - data.begin()));
        picker->buttonTouched(SelectionView::kValidateTag);
        EXPECT_FALSE(screen.picker());
    }
    static std::vector<std::string> shown(const Screen& screen) {
        std::vector<std::string> texts;
        for (int tag = Screen::kAuthorTag; tag <= Screen::kSecondFieldTag; ++tag) {
            texts.push_back(screen.fieldText(tag));
        }
        return texts;
    }
    std::vector<std::string> banners() { return profile.ui().messages("banner"); }
};

TEST_F(ParamWorkflowScreensTest, PickersOfferTheImportedDirectory) {
    ParamWorkflowDefault screen;
    EXPECT_EQ(screen.title(), "Workflow");
    EXPECT_THAT(screen.rowTags(), ElementsAre(1, 2, 3, 4, 5, 6, 7)) << "the import turned services on";
    EXPECT_EQ(shown(screen), std::vector<std::string>(9));
    EXPECT_EQ(screen.paramWorkflow().serviceID, -1);
    for (int tag : {Screen::kTypeTag, Screen::kContextTag, Screen::kServiceTag}) {
        EXPECT_FALSE(screen.fieldEnabled(tag)) << tag;
    }

    EXPECT_THAT(screen.authors(), ElementsAre("plefebvre", "cmoreau", "ndurand"));
    EXPECT_EQ(screen.authorIds().size(), 3u);
    EXPECT_EQ(screen.getIDAuteur("ndurand"), screen.authorIds()[2]);
    EXPECT_EQ(screen.getIDAuteur("inconnu"), 0);
    // A typist's group is a typist of its own; the empty text comes first.
    ASSERT_FALSE(screen.typists().empty());
    EXPECT_EQ(screen.typists().front(), "");
    EXPECT_THAT(screen.typists(), UnorderedElementsAre("", "sbernard", "Pool A", "lpetit"));
    EXPECT_THAT(screen.displayInfoWorktype(),
                ElementsAre("Compte rendu / WD / sbernard", "Courrier / EI ", "Note "));
    EXPECT_THAT(screen.priorities(), ElementsAre("Moyenne", "Haute"));
    EXPECT_THAT(screen.dictationTypes(), ElementsAre(kSpeech, kDigital));

    // The pickers and their titles; empty lists say why instead of opening.
    const std::vector<std::pair<int, std::string>> titles{{Screen::kAuthorTag, "Auteur"},
                                                          {Screen::kWorktypeTag, "Worktype"},
                                                          {Screen::kTypistTag, "Secrétaire"},
                                                          {Screen::kPriorityTag, "Priorité"}};
    for (const auto& [tag, title] : titles) {
        EXPECT_FALSE(screen.textFieldShouldBeginEditing(tag));
        ASSERT_TRUE(screen.picker());
        EXPECT_EQ(screen.picker()->title(), title);
        EXPECT_EQ(screen.textFieldSelected(), tag);
        screen.picker()->buttonTouched(SelectionView::kCancelTag);
    }
    EXPECT_FALSE(screen.textFieldShouldBeginEditing(Screen::kContextTag));
    EXPECT_FALSE(screen.picker());
    EXPECT_THAT(banners(), ElementsAre("Veuillez sélectionner un utilisateur"));
    EXPECT_TRUE(screen.textFieldShouldBeginEditing(Screen::kFirstFieldTag));

    execute("delete from user");
    screen.initTabData();
    EXPECT_FALSE(screen.textFieldShouldBeginEditing(Screen::kAuthorTag));
    EXPECT_EQ(banners().back(), "Aucun utilisateur n'est présent dans votre configuration");
}

TEST_F(ParamWorkflowScreensTest, TheAuthorDecidesContextsAndType) {
    ParamWorkflowDefault screen;
    pick(screen, Screen::kAuthorTag, "plefebvre");
    EXPECT_THAT(screen.contexts(), ElementsAre("Consultation", "Échographie"));
    EXPECT_EQ(screen.fieldText(Screen::kContextTag), "Consultation");
    EXPECT_EQ(screen.fieldText(Screen::kTypeTag), kSpeech);
    for (int tag : {Screen::kTypeTag, Screen::kContextTag, Screen::kServiceTag}) {
        EXPECT_TRUE(screen.fieldEnabled(tag)) << tag;
    }
    pick(screen, Screen::kContextTag, "Échographie");
    // The picker starts on the field's row.
    screen.textFieldShouldBeginEditing(Screen::kContextTag);
    EXPECT_EQ(screen.picker()->selectedIndex(), 1);
    screen.picker()->buttonTouched(SelectionView::kCancelTag);

    pick(screen, Screen::kTypeTag, kDigital);
    EXPECT_EQ(screen.fieldText(Screen::kContextTag), "");
    EXPECT_FALSE(screen.fieldEnabled(Screen::kContextTag));
    EXPECT_THAT(screen.choose(Screen::kContextTag, "Consultation"),
                testing::Optional(HasSubstr("pas de contexte")));
    pick(screen, Screen::kTypeTag, kSpeech);
    EXPECT_EQ(screen.fieldText(Screen::kContextTag), "Consultation");
    EXPECT_TRUE(screen.fieldEnabled(Screen::kContextTag));

    // Another author's context never stays: the set held one of plefebvre's.
    screen.paramWorkflow().typeDictee = kSpeech;
    screen.paramWorkflow().contexte = "Échographie";
    ASSERT_FALSE(screen.choose(Screen::kAuthorTag, "ndurand"));
    EXPECT_EQ(screen.fieldText(Screen::kContextTag), "Radiologie");

    // Values the pickers do not offer are refused with what they offer.
    const std::vector<std::tuple<int, std::string, std::string>> refused{
        {Screen::kAuthorTag, "zz",
         "auteur inconnu : « zz » (valeurs possibles : plefebvre, cmoreau, ndurand)"},
        {Screen::kContextTag, "Consultation",
         "contexte inconnu pour l'auteur « ndurand » : « Consultation » (valeurs possibles : Radiologie)"},
        {Screen::kTypeTag, "Dictaphone", "type de dictée inconnu : « Dictaphone »"},
        {Screen::kWorktypeTag, "Compte",
         "worktype inconnu : « Compte » (valeurs possibles : Compte rendu, Courrier, Note)"},
        {Screen::kPriorityTag, "Basse", "priorité inconnue : « Basse » (valeurs possibles : Moyenne, Haute)"},
    };
    for (const auto& [tag, value, message] : refused) {
        EXPECT_THAT(screen.choose(tag, value), testing::Optional(HasSubstr(message))) << value;
    }
    EXPECT_FALSE(screen.choose(Screen::kTypeTag, "DigitalDictation")) << "a code stands for its label";
    EXPECT_EQ(screen.fieldText(Screen::kTypeTag), kDigital);
    EXPECT_FALSE(screen.choose(Screen::kPriorityTag, "haute"));
    EXPECT_EQ(screen.fieldText(Screen::kPriorityTag), "Haute");

    // Without contexts, only plain dictation.
    pick(screen, Screen::kAuthorTag, "cmoreau");
    EXPECT_EQ(screen.fieldText(Screen::kTypeTag), kDigital);
    EXPECT_EQ(screen.fieldText(Screen::kContextTag), "");
    EXPECT_FALSE(screen.fieldEnabled(Screen::kTypeTag));
    EXPECT_FALSE(screen.fieldEnabled(Screen::kContextTag));
    EXPECT_THAT(screen.choose(Screen::kTypeTag, kSpeech),
                testing::Optional(HasSubstr("n'a pas de contexte")));
}

TEST_F(ParamWorkflowScreensTest, AWorktypeIsChosenByNameAndMayBringItsTypist) {
    for (bool block : {false, true}) {
        SCOPED_TRACE(block);
        profile.preferences().setBool("BlockRecipient", block);
        ParamWorkflowDefault screen;
        ASSERT_FALSE(screen.choose(Screen::kTypistTag, "lpetit"));
        pick(screen, Screen::kWorktypeTag, "Compte rendu / WD / sbernard");
        EXPECT_EQ(screen.fieldText(Screen::kWorktypeTag), "Compte rendu");
        EXPECT_EQ(screen.fieldText(Screen::kTypistTag), block ? "sbernard" : "lpetit");
        // A worktype without typist leaves the typist alone.
        pick(screen, Screen::kWorktypeTag, "Note ");
        EXPECT_EQ(screen.fieldText(Screen::kTypistTag), block ? "sbernard" : "lpetit");
        screen.textFieldShouldBeginEditing(Screen::kWorktypeTag);
        EXPECT_EQ(screen.picker()->selectedIndex(), 2);
    }
    EXPECT_EQ(Screen::getWortypeName("  Compte rendu / WD / sbernard"), "Compte rendu");
}

TEST_F(ParamWorkflowScreensTest, AServiceNarrowsWorktypesAndTypistsUntilCleared) {
    ParamWorkflowDefault screen;
    EXPECT_FALSE(screen.fieldEnabled(Screen::kServiceTag)) << "no author yet";
    EXPECT_THAT(screen.chooseService(1),
                testing::Optional(std::string("Veuillez sélectionner un utilisateur")));
    ASSERT_FALSE(screen.choose(Screen::kAuthorTag, "plefebvre"));
    int opened = 0;
    screen.setServicesOpener([&](const std::shared_ptr<ServicesViewController>&) { ++opened; });
    screen.textFieldShouldBeginEditing(Screen::kServiceTag);
    EXPECT_EQ(opened, 1);
    ASSERT_TRUE(screen.servicesRequest());
    EXPECT_EQ(screen.servicesRequest()->userName, "plefebvre");
    EXPECT_EQ(screen.servicesRequest()->currentGuid, "");
    // The picker lists the author's services; confirming its row answers this screen.
    auto picker = screen.servicesPicker();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->delegate(), &screen);
    ASSERT_EQ(picker->servicesList().size(), 1u);
    EXPECT_EQ(picker->servicesList()[0].name, "Cardiologie");
    picker->tapRow(0);
    picker->validParam();
    picker.reset();
    RunLoop::main().runPending();

    EXPECT_EQ(screen.fieldText(Screen::kServiceTag), "Cardiologie");
    EXPECT_EQ(screen.paramWorkflow().serviceID, serviceId("Cardiologie"));
    EXPECT_THAT(screen.typists(), ElementsAre("", "sbernard"));
    EXPECT_THAT(screen.displayInfoWorktype(), ElementsAre("Compte rendu / WD / sbernard"));
    EXPECT_THAT(
        screen.choose(Screen::kTypistTag, "lpetit"),
        testing::Optional(HasSubstr(
            "secrétaire du service « Cardiologie » inconnu : « lpetit » (valeurs possibles : sbernard)")));
    screen.textFieldShouldBeginEditing(Screen::kServiceTag);
    EXPECT_EQ(screen.servicesRequest()->currentGuid, "g-cardio");
    ASSERT_TRUE(screen.servicesPicker());
    EXPECT_EQ(screen.servicesPicker()->selectedService(), 0);

    ASSERT_FALSE(screen.chooseService(0));
    EXPECT_EQ(screen.paramWorkflow().serviceID, -1);
    EXPECT_EQ(screen.fieldText(Screen::kServiceTag) + screen.fieldText(Screen::kWorktypeTag) +
                  screen.fieldText(Screen::kTypistTag),
              "");
    EXPECT_FALSE(screen.fieldEnabled(Screen::kWorktypeTag));
    EXPECT_FALSE(screen.fieldEnabled(Screen::kTypistTag));
    EXPECT_THAT(screen.chooseService(99),
                testing::Optional(HasSubstr("service inconnu pour l'auteur « plefebvre » : « 99 »")));
    screen.saveParam();
    EXPECT_EQ(rows("select auteur, service from parametre"), (Rows{{"plefebvre", "0"}}));

    // A new author's services are his own: the previous one's is dropped.
    ParamWorkflowDefault again;
    ASSERT_FALSE(again.chooseService(serviceId("Cardiologie")));
    ASSERT_FALSE(again.choose(Screen::kAuthorTag, "ndurand"));
    EXPECT_FALSE(again.serviceChosen());
    EXPECT_EQ(again.fieldText(Screen::kServiceTag), "");
    EXPECT_EQ(again.typists().size(), 4u);
}

// Both screens offer only the author's services, by row id or guid, and a new author drops a
// service he is not a member of.
TEST_F(ParamWorkflowScreensTest, AServiceIsChosenAmongTheAuthorsOwn) {
    const std::string cardio = std::to_string(serviceId("Cardiologie"));
    const std::string urgences = std::to_string(serviceId("Urgences"));
    ParamWorkflow none;
    ParamWorkflowDefault defaults;
    ParamWorkflowDictee dictation(none);
    for (Screen* screen : std::initializer_list<Screen*>{&defaults, &dictation}) {
        SCOPED_TRACE(screen->screenName());
        ASSERT_FALSE(screen->choose(Screen::kAuthorTag, "plefebvre"));
        EXPECT_EQ(screen->offeredServices().size(), 1u);
        for (const std::string& other :
             {urgences, std::string("g-urg"), std::string("-1"), std::string("x")}) {
            EXPECT_EQ(screen->chooseService(other), "service inconnu pour l'auteur « plefebvre » : « " +
                                                        other + " » (valeurs possibles : " + cardio +
                                                        " (Cardiologie))");
            EXPECT_FALSE(screen->serviceChosen()) << other;
        }
        ASSERT_FALSE(screen->chooseService(std::string("g-cardio")));
        ASSERT_TRUE(screen->serviceChosen());
        EXPECT_EQ(screen->fieldText(Screen::kServiceTag), "Cardiologie");
        EXPECT_EQ(screen->paramWorkflow().serviceID, serviceId("Cardiologie"));
        // Refused while one is chosen: the chosen one stays.
        EXPECT_TRUE(screen->chooseService(serviceId("Urgences")));
        EXPECT_EQ(screen->fieldText(Screen::kServiceTag), "Cardiologie");

        // ndurand is not in Cardiologie: his parameters must not name it.
        ASSERT_FALSE(screen->choose(Screen::kAuthorTag, "ndurand"));
        EXPECT_FALSE(screen->serviceChosen());
        EXPECT_EQ(screen->fieldText(Screen::kServiceTag), "");
        screen->AbstractParamWorkflow::saveParamWorkflow();
        EXPECT_EQ(screen->paramWorkflow().serviceID, 0);
        ASSERT_FALSE(screen->chooseService(urgences));
        EXPECT_EQ(screen->fieldText(Screen::kServiceTag), "Urgences");
    }
}

// The title and identification value are one line of UTF-8 text, typed or chosen.
TEST_F(ParamWorkflowScreensTest, FreeFieldsAreOneLineOfText) {
    ParamWorkflow set;
    set.firstField = "Bilan";
    set.secondField = "D-1";
    ParamWorkflowDictee screen(set);
    for (int tag : {Screen::kFirstFieldTag, Screen::kSecondFieldTag}) {
        for (const std::string& bad : std::vector<std::string>{"ligne1\nligne2", "a\rb", "tab\tulation",
                                                               std::string("nul\0x", 5), "\xff\xfe"}) {
            const std::string before = screen.fieldText(tag);
            const auto refused = screen.choose(tag, bad);
            ASSERT_TRUE(refused) << tag << " " << bad;
            EXPECT_EQ(*refused,
                      Screen::fieldLabel(tag) +
                          " ne peut contenir ni saut de ligne, ni caractère de contrôle, ni octets qui "
                          "ne sont pas du texte UTF-8");
            const auto shownBefore = banners().size();
            EXPECT_FALSE(screen.setFieldText(tag, bad));
            ASSERT_EQ(banners().size(), shownBefore + 1) << "typed: told by a banner";
            EXPECT_EQ(banners().back(), *refused);
            EXPECT_EQ(screen.fieldText(tag), before);
        }
    }
    EXPECT_TRUE(screen.setFieldText(Screen::kFirstFieldTag, "Échographie cardiaque — contrôle"));
    screen.dossierListViewWillDismissWithJobTitle("Dossier\nMartin", "D-17");
    EXPECT_EQ(screen.fieldText(Screen::kSecondFieldTag), "D-1") << "a case file is refused whole";
    const ParamWorkflow chosen = screen.chosenParameters();
    EXPECT_EQ(chosen.firstField, "Échographie cardiaque — contrôle");
    EXPECT_EQ(chosen.secondField, "D-1");
}

// Every field through the defaults screen, the table, the dictation screen and the record,
// each step read back by a screen of its own.
TEST_F(ParamWorkflowScreensTest, EveryFieldSurvivesBothScreensAndTheDatabase) {
    {
        ParamWorkflowDefault screen;
        int closed = 0;
        screen.setCloseHandler([&] { ++closed; });
        ASSERT_FALSE(screen.choose(Screen::kAuthorTag, "plefebvre"));
        ASSERT_FALSE(screen.chooseService(serviceId("Cardiologie")));
        ASSERT_FALSE(screen.choose(Screen::kContextTag, "Échographie"));
        ASSERT_FALSE(screen.choose(Screen::kWorktypeTag, "Compte rendu"));
        ASSERT_FALSE(screen.choose(Screen::kTypistTag, "sbernard"));
        ASSERT_FALSE(screen.choose(Screen::kPriorityTag, "Haute"));
        screen.saveParam();
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(banners().back(), "Paramètres enregistrés");
    }
    const std::string cardio = std::to_string(serviceId("Cardiologie"));
    EXPECT_EQ(
        rows("select auteur, contexte, typeDictee, secretaire, worktype, propriete, service from parametre"),
        (Rows{{"plefebvre", "Échographie", kSpeech, "sbernard", "Compte rendu", "Haute", cardio}}));
    ParamWorkflowDefault reopened;
    EXPECT_EQ(shown(reopened), (std::vector<std::string>{"plefebvre", "Cardiologie", kSpeech, "Échographie",
                                                         "Compte rendu", "sbernard", "Haute", "", ""}));
    EXPECT_THAT(reopened.typists(), ElementsAre("", "sbernard")) << "the stored service's lists";

    // A dictation made with the defaults, then edited in its screen.
    ParamWorkflow defaults;
    ASSERT_EQ(defaults.getParamWorkflow(), 1);
    DicteeModel record;
    defaults.setToDicteeModel(record);
    record.titre = "Bilan";
    const std::int64_t id = DicteeRequest().insertDictee(record);
    ParamWorkflow edited;
    ASSERT_TRUE(edited.getParamWorkflowDictee(id));
    ParamWorkflowDictee screen(edited);
    EXPECT_EQ(screen.title(), "Paramètres de la dictée");
    EXPECT_THAT(screen.rowTags(), ElementsAre(8, 9, 1, 2, 3, 4, 5, 6));
    EXPECT_EQ(screen.fieldText(Screen::kFirstFieldTag), "Bilan");
    EXPECT_THAT(screen.choose(Screen::kPriorityTag, "Haute"),
                testing::Optional(HasSubstr("pas sur cet écran")));
    std::vector<std::pair<bool, ParamWorkflow>> answers;
    screen.setOnChangeCallback(
        [&](bool cancelled, const ParamWorkflow& set) { answers.emplace_back(cancelled, set); });
    ASSERT_FALSE(screen.choose(Screen::kAuthorTag, "cmoreau"));
    ASSERT_FALSE(screen.chooseService(serviceId("Urgences")));
    ASSERT_FALSE(screen.choose(Screen::kWorktypeTag, "Note"));
    ASSERT_FALSE(screen.choose(Screen::kTypistTag, "lpetit"));
    ASSERT_FALSE(screen.choose(Screen::kFirstFieldTag, "Bilan cardiaque"));
    screen.dossierListViewWillDismissWithJobTitle("Dossier Martin", "D-17");
    screen.saveParamWorkflow();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0].first);
    const ParamWorkflow& saved = answers[0].second;
    EXPECT_TRUE(saved.isChanged);
    record = DicteeRequest().selectDictee(id);
    saved.setToDicteeModel(record);
    ASSERT_EQ(DicteeRequest().updateDictee(record), 1);

    ParamWorkflow reread;
    ASSERT_TRUE(reread.getParamWorkflowDictee(id));
    ParamWorkflowDictee again(reread);
    EXPECT_EQ(shown(again), (std::vector<std::string>{"cmoreau", "Urgences", kDigital, "", "Note", "lpetit",
                                                      "Haute", "Dossier Martin", "D-17"}));
    EXPECT_EQ(reread.priority, "Haute") << "the dictation screen leaves the priority as it was";
    EXPECT_EQ(reread.serviceID, serviceId("Urgences"));
}

TEST_F(ParamWorkflowScreensTest, AStoredTypeCodeIsShownAndSavedAsItsLabel) {
    execute("INSERT INTO parametre(auteur, typeDictee, propriete, service) values ('ndurand', "
            "'DigitalDictation', "
            "'Moyenne', 0)");
    ParamWorkflowDefault screen;
    EXPECT_EQ(screen.fieldText(Screen::kTypeTag), kDigital);
    EXPECT_EQ(screen.fieldText(Screen::kContextTag), "");
    screen.saveParam();
    EXPECT_EQ(rows("select typeDictee from parametre"), (Rows{{kDigital}}));

    screen.deleteParam();
    EXPECT_EQ(shown(screen), std::vector<std::string>(9));
    EXPECT_EQ(screen.paramWorkflow().serviceID, -1);
    EXPECT_FALSE(screen.fieldEnabled(Screen::kTypeTag));
}

TEST_F(ParamWorkflowScreensTest, LeavingTheDictationScreenAsksFirst) {
    test::LogCapture log;
    ParamWorkflow set;
    set.auteur = "plefebvre";
    set.firstField = "Bilan";
    // Without an opener listening, the answer goes to the log.
    ParamWorkflowDictee alone(set);
    alone.saveParamWorkflow();
    EXPECT_TRUE(log.contains(ParamWorkflowDictee::kNoCallbackLog));

    struct Case {
        int answer;
        int closed;
        std::vector<bool> heard; // cancelled flags the opener heard
    };
    for (const auto& [answer, closed, heard] :
         std::vector<Case>{{0, 0, {false}}, {1, 1, {true}}, {2, 0, {}}}) {
        SCOPED_TRACE(answer);
        ParamWorkflowDictee screen(set);
        int closes = 0;
        std::vector<bool> cancelled;
        screen.setCloseHandler([&] { ++closes; });
        screen.setOnChangeCallback([&](bool flag, const ParamWorkflow&) { cancelled.push_back(flag); });
        profile.ui().queueAnswer(answer);
        EXPECT_FALSE(screen.onBackButton());
        RunLoop::main().runPending();
        EXPECT_EQ(closes, closed);
        EXPECT_EQ(cancelled, heard);
        const auto calls = profile.ui().calls();
        const auto menu = *std::find_if(calls.rbegin(), calls.rend(),
                                        [](const auto& call) { return call.kind == "choices"; });
        ASSERT_EQ(menu.choices.size(), 3u);
        EXPECT_EQ(menu.choices[1].title, "Annuler les modifications");
        EXPECT_EQ(menu.choices[1].style, UserInterface::Choice::Style::Destructive);
    }
}

// The scan button through the real reader, on pictures made by qrencode.
TEST_F(ParamWorkflowScreensTest, AScannedCodeFillsTheIdentificationFieldUntilValider) {
    test::CodeImages codes(profile.home());
    NavigationController navigation;
    ParamWorkflow set;
    set.auteur = "plefebvre";
    set.secondField = "D-1";
    ParamWorkflowDictee screen(set);
    std::vector<ParamWorkflow> saved;
    screen.setOnChangeCallback([&](bool, const ParamWorkflow& parameters) { saved.push_back(parameters); });

    screen.displayScanner();
    EXPECT_EQ(banners(), std::vector<std::string>{"Le lecteur de code n'est pas encore disponible."});
    std::shared_ptr<QRCodeReaderViewController> reader;
    screen.setScannerOpener([&](ParamWorkflowDictee::ScanResult onResult) {
        reader = QRCodeReaderViewController::makeFor(std::move(onResult));
        navigation.present(reader);
        return reader;
    });

    screen.displayScanner();
    ASSERT_TRUE(reader);
    EXPECT_EQ(navigation.presented(), reader);
    ASSERT_TRUE(reader->readPictureFile(codes.qrFile("PAT-2024-17 Noël")));
    EXPECT_EQ(screen.fieldText(Screen::kSecondFieldTag), "PAT-2024-17 Noël");
    EXPECT_EQ(screen.paramWorkflow().secondField, "D-1") << "shown, not stored";
    EXPECT_EQ(navigation.presented(), nullptr) << "the reader is closed once it answered";
    EXPECT_TRUE(saved.empty());

    // A code over several lines is refused like a typed text; the reader still closes.
    screen.displayScanner();
    ASSERT_TRUE(reader->readPictureFile(codes.qrFile("ligne 1\nligne 2")));
    EXPECT_EQ(screen.fieldText(Screen::kSecondFieldTag), "PAT-2024-17 Noël");
    EXPECT_THAT(banners().back(), HasSubstr("ne peut contenir ni saut de ligne"));
    EXPECT_EQ(navigation.presented(), nullptr);

    // A reader that answers before its opener returns (a picture given with it) closes too.
    screen.setScannerOpener([&](ParamWorkflowDictee::ScanResult onResult) {
        reader = QRCodeReaderViewController::makeFor(std::move(onResult));
        navigation.present(reader);
        EXPECT_TRUE(reader->readPictureFile(codes.qrFile("PAT-2024-18")));
        return reader;
    });
    screen.displayScanner();
    EXPECT_EQ(screen.fieldText(Screen::kSecondFieldTag), "PAT-2024-18");
    EXPECT_EQ(navigation.presented(), nullptr);

    screen.saveParamWorkflow();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].secondField, "PAT-2024-18");

    // With the setting off there is no button, and the action does nothing.
    profile.preferences().setBool("OptionUseBarCodeReader", false);
    EXPECT_FALSE(ParamWorkflowDictee::scanButtonShown());
    reader.reset();
    const auto shownBefore = banners().size();
    screen.displayScanner();
    EXPECT_FALSE(reader);
    EXPECT_EQ(banners().size(), shownBefore);
    RunLoop::main().runPending();
}

// Stands for the case list and the log-in screen the application makes.
class CaseFileScreen : public SuperController {
public:
    std::string screenName() const override { return "CaseFileScreen"; }
};

TEST_F(ParamWorkflowScreensTest, TheCaseFileSearchStartsFromTheFieldsShown) {
    ParamWorkflow set;
    set.auteur = "plefebvre";
    ParamWorkflowDictee screen(set);
    std::vector<std::pair<std::string, std::string>> opened; // screen, search text
    ParamWorkflowDictee::CaseFileAnswer answer;
    auto opener = [&](const std::string& name) {
        return [&, name](const std::string& searchText, ParamWorkflowDictee::CaseFileAnswer given) {
            opened.emplace_back(name, searchText);
            answer = std::move(given);
            return std::make_shared<CaseFileScreen>();
        };
    };
    screen.setCaseListOpener(opener("liste"));
    screen.setLoginOpener(opener("connexion"));

    struct Case {
        std::int64_t state;
        std::string title, ident, screen, search;
    };
    for (const auto& each : std::vector<Case>{{0, "", "", "connexion", ""},
                                              {1, "Durand", "", "liste", "Durand"},
                                              {1, "Durand", "D-7", "liste", "D-7"},
                                              {2, "", "D-7", "connexion", "D-7"}}) {
        profile.preferences().setInteger("state", each.state);
        screen.setFieldText(Screen::kFirstFieldTag, each.title);
        screen.setFieldText(Screen::kSecondFieldTag, each.ident);
        screen.displayFileSearch();
        ASSERT_FALSE(opened.empty());
        EXPECT_EQ(opened.back(), std::make_pair(each.screen, each.search)) << each.state;
    }
    // The case chosen fills both fields, stored by "Valider" only.
    answer("Succession Lefèvre", "2024-17");
    EXPECT_EQ(screen.fieldText(Screen::kFirstFieldTag), "Succession Lefèvre");
    EXPECT_EQ(screen.fieldText(Screen::kSecondFieldTag), "2024-17");
    EXPECT_EQ(screen.paramWorkflow().secondField, "");
}

TEST(SelectionViewTest, AnswersOnceWithTheCheckedRow) {
    struct Case {
        std::vector<std::string> data;
        int row;
        int button;
        bool cancelled;
        std::optional<std::string> chosen;
    };
    const std::vector<Case> cases{
        {{"a", "b"}, 1, SelectionView::kValidateTag, false, "b"},
        {{"a", "b"}, 0, SelectionView::kCancelTag, true, "a"},
        {{"a"}, 3, SelectionView::kValidateTag, false, std::nullopt},
        {{}, 0, SelectionView::kValidateTag, false, std::nullopt},
    };
    for (const auto& test : cases) {
        int answers = 0;
        auto picker = std::make_shared<SelectionView>(
            "Titre", test.data, 0, [&](bool cancelled, const std::optional<std::string>& chosen, int index) {
                ++answers;
                EXPECT_EQ(cancelled, test.cancelled);
                EXPECT_EQ(chosen, test.chosen);
                EXPECT_EQ(index, test.row);
            });
        picker->selectRow(test.row);
        picker->buttonTouched(test.button);
        picker->buttonTouched(test.button);
        EXPECT_EQ(answers, 1);
    }
    EXPECT_EQ(SelectionView::validateTitle() + "/" + SelectionView::cancelTitle(), "Valider/Annuler");
}

} // namespace
} // namespace orvaneh
