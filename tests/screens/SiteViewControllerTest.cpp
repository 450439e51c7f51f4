#include "Gestion Site/SiteViewController.h"

#include "Classes/core/SiteType.h"
#include "Classes/core/siteRequest.h"
#include "support/TestDatabase.h"

#include <gmock/gmock.h>
#include <tuple>

namespace orvaneh {
namespace {

using Style = UserInterface::Choice::Style;

class SiteViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);

    // The editor as the navigation shows it: closing it is recorded.
    struct Shown {
        std::unique_ptr<SiteViewController> editor;
        int closed = 0;
    };
    static std::unique_ptr<Shown> show(std::unique_ptr<SiteViewController> editor) {
        auto shown = std::make_unique<Shown>();
        shown->editor = std::move(editor);
        shown->editor->setCloseHandler([closed = &shown->closed] { ++*closed; });
        return shown;
    }
    static std::unique_ptr<Shown> showNew() { return show(std::make_unique<SiteViewController>()); }

    static void fill(SiteViewController& editor, const std::string& name, const std::string& address,
                     const std::string& login, const std::string& password) {
        editor.setName(name);
        editor.setAddress(address);
        editor.setLogin(login);
        editor.setPassword(password);
    }
    static std::int32_t store(SiteModel site) {
        site.idSite = siteRequest().addSite(site);
        siteRequest().updateSite(site);
        return site.idSite;
    }
    std::vector<std::string> banners() { return profile.ui().messages("banner"); }
};

TEST_F(SiteViewControllerTest, ANewSiteStartsEmptyOnFtpWithTheSwitchDisabled) {
    SiteViewController editor;
    EXPECT_EQ(editor.screenName(), "SiteViewController");
    EXPECT_EQ(editor.title(), "Nouveau site");
    EXPECT_EQ(editor.saveButtonTitle(), "SAUVEGARDER");
    EXPECT_EQ(editor.segment(), 0);
    EXPECT_FALSE(editor.emailSwitchEnabled());
    EXPECT_FALSE(editor.emailSwitchOn());
    EXPECT_TRUE(editor.addressEnabled());
    EXPECT_EQ(editor.addressPlaceholder(), "Adresse");
    EXPECT_EQ(editor.name() + editor.address() + editor.login() + editor.password(), "");
    EXPECT_FALSE(editor.shouldUpdate());
}

TEST_F(SiteViewControllerTest, EachMissingFieldIsToldInOrderAndNothingIsStored) {
    struct Case {
        std::string name, address, login, password, message;
    };
    const std::vector<Case> cases{
        {"", "", "", "", "Veuillez saisir le nom du site"},
        {" \t", "h", "u", "p", "Veuillez saisir le nom du site"},
        {"Cabinet", "", "", "", "Veuillez saisir l'adresse"},
        {"Cabinet", "  ", "u", "p", "Veuillez saisir l'adresse"},
        // Nothing is left once the scheme is removed.
        {"Cabinet", "ftp://", "u", "p", "Veuillez saisir l'adresse"},
        {"Cabinet", "h", "", "", "Veuillez saisir l'utilisateur"},
        {"Cabinet", "h", "u", "", "Veuillez saisir un mot de passe"},
        {"Cabinet", "h", "u", "   ", "Veuillez saisir un mot de passe"},
    };
    for (int segment = 0; segment < SiteViewController::kSegmentCount; ++segment) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(segment) + " « " + c.name + " » « " + c.address + " » « " + c.login +
                         " » « " + c.password + " »");
            profile.ui().clear();
            auto shown = showNew();
            shown->editor->changeSgmValue(segment);
            fill(*shown->editor, c.name, c.address, c.login, c.password);
            EXPECT_EQ(shown->editor->pendingProblem(), c.message);
            EXPECT_FALSE(shown->editor->addOrModifySite());
            EXPECT_EQ(shown->editor->message(), c.message);
            EXPECT_EQ(banners(), std::vector<std::string>{c.message});
            EXPECT_EQ(shown->closed, 0) << "the editor stays open";
        }
    }
    EXPECT_TRUE(siteRequest().selectSites().empty());
}

TEST_F(SiteViewControllerTest, TheSchemeIsRemovedFromTheAddressAndTheField) {
    const std::vector<std::pair<std::string, std::string>> addresses{
        {"ftp://ftp.cabinet.fr/dictees", "ftp.cabinet.fr/dictees"},
        {"FTP://ftp.cabinet.fr", "ftp.cabinet.fr"},
        // A space before it: the scheme goes, not the host's first characters.
        {" ftp://ftp.cabinet.fr", " ftp.cabinet.fr"},
        {"jean@ftp.cabinet.fr", "jean@ftp.cabinet.fr"},
    };
    for (const auto& [typed, stored] : addresses) {
        SCOPED_TRACE(typed);
        auto shown = showNew();
        fill(*shown->editor, "Cabinet " + typed, typed, "jean", "secret");
        ASSERT_TRUE(shown->editor->addOrModifySite()) << shown->editor->message();
        EXPECT_EQ(shown->editor->address(), stored);
        EXPECT_EQ(siteRequest().selectSiteWithId(shown->editor->siteM().idSite).address, stored);
    }
    // Refused for another reason, the field has lost its scheme all the same.
    auto refused = showNew();
    fill(*refused->editor, "Cabinet", "ftp://ftp.cabinet.fr", "jean", "");
    EXPECT_FALSE(refused->editor->addOrModifySite());
    EXPECT_EQ(refused->editor->address(), "ftp.cabinet.fr");
}

TEST_F(SiteViewControllerTest, AnAddressWithTheSchemeOfAnotherTransportIsRefused) {
    struct Case {
        int segment; // 0 FTP, 1 and 2 web service, 3 transcription service
        std::string typed;
        std::string stored; // "" when refused
        std::string problem;
    };
    const std::string ftpRefused =
        "L'adresse d'un site FTP commence par « ftp:// » ou directement par le nom du "
        "serveur, pas par « ";
    const std::string webRefused =
        "L'adresse d'un service web commence par « https:// » ou directement par le nom "
        "du serveur, pas par « ";
    const std::string transcriptionRefused =
        "L'adresse d'un service de transcription commence par « https:// » ou directement par le nom "
        "du serveur, pas par « ";
    const std::vector<Case> cases{
        // The web service keeps what was typed: its requests put "https://" in front only when
        // the address has no scheme.
        {1, "https://127.0.0.1:22443", "https://127.0.0.1:22443", ""},
        {2, "http://office.example/base", "http://office.example/base", ""},
        {1, "office.example:8443", "office.example:8443", ""},
        {1, "ftp://ftp.cabinet.fr", "", webRefused + "ftp:// »"},
        {2, "sftp://office.example", "", webRefused + "sftp:// »"},
        {0, "https://ftp.cabinet.fr", "", ftpRefused + "https:// »"},
        {0, "sftp://ftp.cabinet.fr", "", ftpRefused + "sftp:// »"},
        {0, "ftp://ftp.cabinet.fr", "ftp.cabinet.fr", ""},
        {1, "https://", "", "Veuillez saisir l'adresse"},
        // The transcription service is asked over https as the web services are; "ftp://" is not
        // cut off as on an FTP site but refused.
        {3, "https://transcription.example:8443", "https://transcription.example:8443", ""},
        {3, "transcription.example:8443", "transcription.example:8443", ""},
        {3, "ftp://transcription.example", "", transcriptionRefused + "ftp:// »"},
        {3, "FTP://transcription.example", "", transcriptionRefused + "ftp:// »"},
        {3, "sftp://transcription.example", "", transcriptionRefused + "sftp:// »"},
        {3, "https://", "", "Veuillez saisir l'adresse"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.segment) + " « " + c.typed + " »");
        profile.ui().clear();
        auto shown = showNew();
        shown->editor->changeSgmValue(c.segment);
        fill(*shown->editor, "Cabinet " + c.typed, c.typed, "jean", "secret");
        EXPECT_EQ(shown->editor->pendingProblem(), c.problem);
        EXPECT_EQ(shown->editor->addOrModifySite(), c.problem.empty()) << shown->editor->message();
        if (c.problem.empty()) {
            EXPECT_EQ(siteRequest().selectSiteWithId(shown->editor->siteM().idSite).address, c.stored);
        } else {
            EXPECT_EQ(banners(), std::vector<std::string>{c.problem});
            EXPECT_EQ(shown->closed, 0);
        }
    }
    EXPECT_EQ(siteRequest().selectSites().size(), 6u);
}

TEST_F(SiteViewControllerTest, FtpSitesOfferFtpsAndWarnWhilePlainFtpIsChosen) {
    const std::string warning =
        "En FTP sans chiffrement, le mot de passe et les dictées circulent en clair sur le réseau.";
    auto shown = showNew();
    SiteViewController& editor = *shown->editor;
    int changes = 0;
    editor.setChangeCallback([&changes] { ++changes; });
    EXPECT_TRUE(editor.ftpsOffered());
    EXPECT_EQ(editor.ftps(), FtpSecurity::Plain) << "plain FTP unless asked";
    EXPECT_EQ(editor.ftpsWarning(), warning);
    editor.setFtps(FtpSecurity::TlsRequired);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(editor.ftpsWarning(), "");
    // Only FTP sites have the choice; going back to FTP finds it as it was.
    for (int segment = 1; segment < SiteViewController::kSegmentCount; ++segment) {
        editor.changeSgmValue(segment);
        EXPECT_FALSE(editor.ftpsOffered()) << segment;
    }
    editor.setFtps(FtpSecurity::Plain);
    EXPECT_EQ(editor.ftpsWarning(), "") << "no FTP, nothing to warn of";
    editor.changeSgmValue(0);
    EXPECT_EQ(editor.ftpsWarning(), warning);
    editor.setFtps(FtpSecurity::TlsWhenOffered);
    fill(editor, "Cabinet", "ftp://ftp.cabinet.fr", "jean", "secret");
    ASSERT_TRUE(editor.addOrModifySite()) << editor.message();
    const SiteModel stored = siteRequest().selectSiteWithId(editor.siteM().idSite);
    EXPECT_EQ(stored.ftps, FtpSecurity::TlsWhenOffered);

    // Reopened, the choice shows; a web service never carries one.
    SiteViewController reopened(stored);
    EXPECT_EQ(reopened.ftps(), FtpSecurity::TlsWhenOffered);
    reopened.changeSgmValue(1);
    fill(reopened, "Cabinet", "office.example", "jean", "secret");
    ASSERT_TRUE(reopened.addOrModifySite()) << reopened.message();
    EXPECT_EQ(siteRequest().selectSiteWithId(stored.idSite).ftps, FtpSecurity::Plain);

    // A workflow-only FTP site (type 3, not on the selector) has the choice too.
    SiteModel archive{0,      "Archive", "ftp.cabinet.fr",
                      "jean", "secret",  SiteType::FtpWithoutSending,
                      false,  false,     FtpSecurity::TlsRequired};
    SiteViewController workflowOnly(archive);
    EXPECT_TRUE(workflowOnly.ftpsOffered());
    EXPECT_EQ(workflowOnly.ftps(), FtpSecurity::TlsRequired);
    ASSERT_TRUE(workflowOnly.addOrModifySite()) << workflowOnly.message();
    EXPECT_EQ(siteRequest().selectSiteWithId(workflowOnly.siteM().idSite).ftps, FtpSecurity::TlsRequired);
}

TEST_F(SiteViewControllerTest, TheSelectorAndTheSwitchGiveTheType) {
    struct Case {
        int segment;
        bool switchOn;
        std::int32_t type;
        bool emailStored;
        int reopenedOn; // type 4 does not tell which web service it came from
    };
    // The switch is disabled for FTP and the transcription service: turning it on does nothing.
    const std::vector<Case> cases{
        {0, false, 1, false, 0}, {0, true, 1, false, 0}, {1, false, 2, false, 1}, {1, true, 4, true, 1},
        {2, false, 7, false, 2}, {2, true, 4, true, 1},  {3, false, 6, false, 3}, {3, true, 6, false, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.segment) + (c.switchOn ? " avec e-mail" : ""));
        auto shown = showNew();
        shown->editor->changeSgmValue(c.segment);
        EXPECT_EQ(shown->editor->emailSwitchEnabled(), c.segment == 1 || c.segment == 2);
        shown->editor->setEmailSwitchOn(c.switchOn);
        fill(*shown->editor, "Site", "office.example", "jean", "secret");
        ASSERT_TRUE(shown->editor->addOrModifySite()) << shown->editor->message();
        EXPECT_EQ(shown->closed, 1);
        const SiteModel stored = siteRequest().selectSiteWithId(shown->editor->siteM().idSite);
        EXPECT_EQ(stored.typeSite, c.type);
        EXPECT_EQ(stored.emailPropose, c.emailStored);

        // Reopened, the site shows its segment and saves the same type again.
        SiteViewController reopened(stored);
        EXPECT_EQ(reopened.segment(), c.reopenedOn);
        EXPECT_EQ(reopened.emailSwitchOn(), c.emailStored);
        reopened.setName("Site rouvert");
        ASSERT_TRUE(reopened.addOrModifySite()) << reopened.message();
        EXPECT_EQ(siteRequest().selectSiteWithId(stored.idSite).typeSite, c.type);
    }
    EXPECT_EQ(banners(), std::vector<std::string>(2 * cases.size(), "Site sauvegardé"));
}

// A switch left on by a web-service segment means nothing on the transcription service, and a
// stored type-6 site marked for e-mail (the command line of older versions) loses the mark.
TEST_F(SiteViewControllerTest, TheTranscriptionServiceIgnoresTheEmailSwitchAndNeedsAnAccount) {
    auto shown = showNew();
    shown->editor->changeSgmValue(1);
    shown->editor->setEmailSwitchOn(true);
    shown->editor->changeSgmValue(3);
    EXPECT_FALSE(shown->editor->emailSwitchEnabled());
    fill(*shown->editor, "Transcription", "transcription.example", "luc", "secret");
    ASSERT_TRUE(shown->editor->addOrModifySite()) << shown->editor->message();
    SiteModel stored = siteRequest().selectSiteWithId(shown->editor->siteM().idSite);
    EXPECT_EQ(std::tie(stored.typeSite, stored.emailPropose), std::make_tuple(6, false));

    stored.emailPropose = true;
    siteRequest().updateSite(stored);
    SiteViewController marked(stored);
    EXPECT_EQ(marked.segment(), 3);
    ASSERT_TRUE(marked.addOrModifySite()) << marked.message();
    stored = siteRequest().selectSiteWithId(stored.idSite);
    EXPECT_EQ(std::tie(stored.typeSite, stored.emailPropose), std::make_tuple(6, false));
    // The service logs in before anything: a site stored without its account cannot be kept so.
    stored.mdp.clear();
    siteRequest().updateSite(stored);
    SiteViewController withoutPassword(stored);
    EXPECT_FALSE(withoutPassword.addOrModifySite());
    EXPECT_EQ(withoutPassword.message(), "Veuillez saisir un mot de passe");
    withoutPassword.setPassword("nouveau");
    ASSERT_TRUE(withoutPassword.addOrModifySite()) << withoutPassword.message();
    EXPECT_EQ(siteRequest().selectSiteWithId(stored.idSite).mdp, "nouveau");
}

TEST_F(SiteViewControllerTest, ASegmentTouchedClearsTheServerFieldsAndOffersTheSwitchToWebServices) {
    SiteViewController editor;
    for (int segment : {1, 2, 0, 3, 4}) {
        SCOPED_TRACE(segment);
        fill(editor, "Cabinet", "office.example", "jean", "secret");
        editor.changeSgmValue(segment);
        EXPECT_EQ(editor.name(), "Cabinet");
        EXPECT_EQ(editor.address() + editor.login() + editor.password(), "");
        EXPECT_EQ(editor.segment(), segment);
    }
    // Past the last segment only the fields are cleared: the switch stays as the transcription
    // service left it.
    EXPECT_FALSE(editor.emailSwitchEnabled());
    editor.changeSgmValue(2);
    EXPECT_TRUE(editor.emailSwitchEnabled());
    editor.changeSgmValue(5);
    EXPECT_TRUE(editor.emailSwitchEnabled());
}

TEST_F(SiteViewControllerTest, AStoredSiteOpensWithItsFieldsAndKeepsWhatIsNotTouched) {
    const std::vector<SiteModel> sites{
        {0, "Web", "office.example", "jean", "pw-web", 2, false, false},
        {0, "Courriel", "office.example", "anne", "pw-mail", 4, false, true},
        {0, "Php", "office.example/php", "paul", "pw-php", 7, false, false},
        {0, "Archive", "", "", "", 3, false, true},
        {0, "Transcription", "transcription.example", "luc", "pw-transcription", 6, false, false},
        {0, "Autre", "", "", "", 5, false, false},
    };
    for (SiteModel site : sites) {
        SCOPED_TRACE(site.name);
        site.idSite = store(site);
        auto shown = show(std::make_unique<SiteViewController>(siteRequest().selectSiteWithId(site.idSite)));
        SiteViewController& editor = *shown->editor;
        EXPECT_EQ(editor.title(), site.name);
        EXPECT_EQ(editor.segment(), SiteType::segmentForType(site.typeSite));
        EXPECT_EQ(std::tie(editor.name(), editor.address(), editor.login(), editor.password()),
                  std::tie(site.name, site.address, site.login, site.mdp));
        EXPECT_EQ(editor.emailSwitchOn(), site.emailPropose);
        // A new name only: type, switch and the rest stay as they were.
        editor.setName(site.name + " (bis)");
        ASSERT_TRUE(editor.addOrModifySite()) << editor.message();
        const SiteModel stored = siteRequest().selectSiteWithId(site.idSite);
        EXPECT_EQ(stored.name, site.name + " (bis)");
        EXPECT_EQ(std::tie(stored.typeSite, stored.address, stored.login, stored.mdp, stored.emailPropose),
                  std::tie(site.typeSite, site.address, site.login, site.mdp, site.emailPropose));
    }
    EXPECT_EQ(siteRequest().selectSites().size(), sites.size()) << "rewritten, never added";

    // A kept type changes once the selector is touched, and then needs what the selector needs.
    SiteModel archive = siteRequest().selectSites()[3];
    SiteViewController editor(archive);
    editor.changeSgmValue(0);
    editor.setName("Archive");
    EXPECT_FALSE(editor.addOrModifySite());
    EXPECT_EQ(editor.message(), "Veuillez saisir l'adresse");
    fill(editor, "Archive", "ftp.archive.example", "jean", "secret");
    ASSERT_TRUE(editor.addOrModifySite());
    EXPECT_EQ(siteRequest().selectSiteWithId(archive.idSite).typeSite, 1);
}

TEST_F(SiteViewControllerTest, TheFirstSiteBecomesTheDefaultAndAnEditKeepsTheStoredMark) {
    auto first = showNew();
    fill(*first->editor, "Premier", "ftp.premier.example", "jean", "secret");
    ASSERT_TRUE(first->editor->addOrModifySite());
    auto second = showNew();
    fill(*second->editor, "Second", "ftp.second.example", "jean", "secret");
    ASSERT_TRUE(second->editor->addOrModifySite());
    EXPECT_EQ(siteRequest().selectDefaultSite().name, "Premier");
    EXPECT_FALSE(siteRequest().selectSiteWithId(second->editor->siteM().idSite).selected);

    // Opened while it was the default, saved after another site was chosen: no second mark.
    SiteViewController stale(siteRequest().selectDefaultSite());
    SiteModel other = siteRequest().selectSiteWithId(second->editor->siteM().idSite);
    siteRequest().unselectSite();
    other.selected = true;
    siteRequest().updateSite(other);
    stale.setName("Premier (modifié)");
    ASSERT_TRUE(stale.addOrModifySite());
    EXPECT_EQ(test::rows("select name from site where selected = 1"), (test::Rows{{"Second"}}));
}

TEST_F(SiteViewControllerTest, LeavingAsksWhetherToSaveDiscardOrStay) {
    enum Answer { Save = 0, Discard = 1, Stay = 2 };
    for (int answer : {Stay, Discard, Save}) {
        SCOPED_TRACE(answer);
        profile.ui().clear();
        auto shown = showNew();
        fill(*shown->editor, "Cabinet " + std::to_string(answer), "ftp.cabinet.fr", "jean", "secret");
        profile.ui().queueAnswer(answer);
        EXPECT_FALSE(shown->editor->onBackButton());
        const auto calls = profile.ui().calls();
        ASSERT_FALSE(calls.empty());
        ASSERT_EQ(calls.front().kind, "choices");
        std::vector<std::pair<std::string, Style>> offered;
        for (const auto& choice : calls.front().choices) {
            offered.emplace_back(choice.title, choice.style);
        }
        EXPECT_EQ(offered, (std::vector<std::pair<std::string, Style>>{
                               {"Enregistrer les modifications", Style::Normal},
                               {"Annuler les modifications", Style::Destructive},
                               {"Annuler", Style::Cancel}}));
        EXPECT_EQ(shown->closed, answer == Stay ? 0 : 1);
        EXPECT_EQ(siteRequest().selectSites().size(), answer == Save ? 1u : 0u);
    }
    // Saving from the question follows the same checks: a refusal keeps the editor open.
    auto shown = showNew();
    shown->editor->setName("Sans adresse");
    profile.ui().queueAnswer(Save);
    EXPECT_FALSE(shown->editor->onBackButton());
    EXPECT_EQ(shown->closed, 0);
    EXPECT_EQ(shown->editor->message(), "Veuillez saisir l'adresse");
}

} // namespace
} // namespace orvaneh

namespace orvaneh {
namespace {

// Every field is one line of readable text: a line break would split the lists, and bytes that
// are not UTF-8 would stop the JSON; accents, quotes and guillemets stay as typed.
TEST_F(SiteViewControllerTest, FieldsMustBeOneLineOfUtf8Text) {
    const std::vector<std::tuple<std::string, std::string, std::string, std::string, std::string>> refused{
        {"Cabinet\nbis", "ftp.cabinet.fr", "jean", "secret", "Le nom du site"},
        {"Cabinet", "ftp.cabinet.fr\r", "jean", "secret", "L'adresse"},
        {"Cabinet", "ftp.cabinet.fr", "je\xffn", "secret", "L'utilisateur"},
        {"Cabinet", "ftp.cabinet.fr", "jean", "se\tcret", "Le mot de passe"},
        {"Caf\xc3", "ftp.cabinet.fr", "jean", "secret", "Le nom du site"},
        {"Cabinet \xed\xa0\x80", "ftp.cabinet.fr", "jean", "secret", "Le nom du site"},
    };
    for (const auto& [name, address, login, password, field] : refused) {
        auto shown = showNew();
        fill(*shown->editor, name, address, login, password);
        EXPECT_FALSE(shown->editor->addOrModifySite()) << field;
        EXPECT_THAT(shown->editor->message(), ::testing::StartsWith(field)) << field;
        EXPECT_THAT(shown->editor->message(), ::testing::Not(::testing::HasSubstr("se\tcret")));
        EXPECT_EQ(shown->closed, 0);
    }
    EXPECT_TRUE(siteRequest().selectSites().empty()) << "nothing stored";

    auto shown = showNew();
    fill(*shown->editor, "Étude « Dupont & fils » l'Île", "ftp.cabinet.fr", "jean", "mot de passe é");
    EXPECT_TRUE(shown->editor->addOrModifySite()) << shown->editor->message();
}

} // namespace
} // namespace orvaneh
