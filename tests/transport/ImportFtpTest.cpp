#include "Classes/core/ConfigurationManager.h"
#include "Classes/transport/FTPGet.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using State = SiteListViewController::ImportState;
using test::kLogin;
using test::kPassword;
using Kind = test::OfficeSimulator::Kind;

// What an FTPGet told its delegate.
struct RecordingDelegate : FTPGetDelegate {
    std::optional<std::vector<std::string>> directories;
    std::optional<std::string> failure;
    bool imported = false;
    void listDirectoriesDownloadFinished(const std::vector<std::string>& names) override {
        directories = names;
    }
    void catalogueImported() override { imported = true; }
    void ftpGetFailed(const std::string& message) override { failure = message; }
    bool ended() const { return directories || failure || imported; }
};

class ImportFtpTest : public test::ImportTest {};

// The listing is far more than one block of the data connection, so lines are cut between blocks.
TEST_F(ImportFtpTest, TheChosenDirectoryOfALongListingInEitherStyleFillsTheDatabase) {
    for (const std::string style : {"", "--dos-listing"}) {
        SCOPED_TRACE(style);
        test::OfficeSimulator server(Kind::Ftp, style.empty() ? std::vector<std::string>{}
                                                              : std::vector<std::string>{style});
        std::vector<std::string> expected{"Cabinet Juridique", "Service Cardiologie"};
        for (int index = 0; index < 1500; ++index) {
            expected.push_back("Dossier " + std::to_string(index) + " élève");
            std::filesystem::create_directory(server.catalogueRoot() / expected.back());
        }
        addSite(1, "FTP://" + server.address());
        SiteListViewController sites;
        profile.ui().clear();

        sites.importSelectedSites();
        ASSERT_TRUE(runUntil([&] { return profile.ui().pendingQuestions() == 1; }));
        const auto choice = profile.ui().calls().back();
        EXPECT_EQ(choice.title, "Auteur");
        std::vector<std::string> titles;
        for (const auto& action : choice.choices) {
            titles.push_back(action.title);
        }
        ASSERT_EQ(titles.back(), "Annuler");
        EXPECT_EQ(choice.choices.back().style, UserInterface::Choice::Style::Cancel);
        titles.pop_back();
        auto sorted = titles;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected);
        EXPECT_THAT(authors(), ElementsAre("avant")) << "nothing is wiped before the download";

        const auto chosen = std::find(titles.begin(), titles.end(), "Service Cardiologie") - titles.begin();
        profile.ui().answerPending(static_cast<int>(chosen));
        ASSERT_TRUE(runUntil([&] { return sites.importState() != State::Running; }));

        EXPECT_EQ(sites.importState(), State::Succeeded) << sites.importMessage();
        EXPECT_EQ(sites.dossier(), "Service Cardiologie");
        EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
        EXPECT_EQ(test::rows("select name from service"), test::Rows{{"Cardiologie"}});
        EXPECT_EQ(ConfigurationManager::getJobTitle(), "Patient");
        EXPECT_EQ(profile.ui().messages("banner").back(), "Fin de l'importation");
        EXPECT_FALSE(std::filesystem::exists(profile.documents() / "Catalogue.xml"));
        seedWorkflow();
    }
}

TEST_F(ImportFtpTest, AnEmptyDirectoryNameImportsTheConfigDirectoryItself) {
    test::OfficeSimulator server(Kind::Ftp);
    addSite(3, server.address());
    SiteListViewController sites;
    sites.setPresetDirectory("");

    ASSERT_EQ(import(sites), State::Succeeded) << sites.importMessage();
    EXPECT_THAT(authors(), ElementsAre("jdupont"));
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Titre");
    EXPECT_EQ(downLoadFinished, 2); // the listing, then the download
}

TEST_F(ImportFtpTest, FailuresShowTheirTextAndKeepTheWorkflow) {
    test::OfficeSimulator server(Kind::Ftp);
    std::filesystem::create_directories(server.catalogueRoot() / "Vide");
    struct Case {
        std::string password;
        std::optional<std::string> directory; // preset; none: the choice is cancelled
        State state;
        std::string message;
        bool selected = true;
        std::int32_t type = 1;
        bool withAddress = true;
    };
    const std::string noAddress = "Le site « Cabinet » n'a pas d'adresse de serveur : indiquez-la dans ses "
                                  "réglages. Rien n'a été envoyé ni importé.";
    const Case cases[] = {
        {"faux", "", State::Failed,
         "Erreur de téléchargement! Les identifiants sont refusés par le serveur (err. 530)."},
        {kPassword, "Vide", State::Failed, "Impossible d'accéder au fichier \n(err. 550)"},
        {kPassword, "Absent", State::Failed, "Le dossier n'existe pas sur le serveur : Absent"},
        {kPassword, std::nullopt, State::Cancelled, "Importation annulée"},
        {kPassword, "", State::Failed, "Veuillez sélectionner un site pour pouvoir importer votre workflow",
         false},
        // Never the server of the site used before.
        {kPassword, "", State::Failed, noAddress, true, 1, false},
        {kPassword, "", State::Failed, noAddress, true, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        test::execute("delete from site");
        addSite(c.type, c.withAddress ? server.address() : "", c.password, c.selected);
        SiteListViewController sites;
        sites.setPresetDirectory(c.directory);
        if (!c.directory) {
            profile.ui().queueAnswer(3); // "Annuler", after the three directories
        }

        EXPECT_EQ(import(sites), c.state);
        EXPECT_EQ(sites.importMessage(), c.message);
        if (c.state == State::Failed) {
            EXPECT_EQ(profile.ui().messages("banner").back(), c.message);
        }
        EXPECT_THAT(authors(), ElementsAre("avant"));
    }
}

TEST_F(ImportFtpTest, ThePathOfTheAddressKeepsItsCase) {
    test::OfficeSimulator server(Kind::Ftp);
    const auto office = server.root() / "Cabinet-Nord" / "config";
    std::filesystem::create_directories(office);
    std::filesystem::copy_file(server.catalogueRoot() / "Service Cardiologie" / "Catalogue.xml",
                               office / "Catalogue.xml");
    addSite(1, "FTP://" + server.address() + "/Cabinet-Nord");
    SiteListViewController sites;
    EXPECT_EQ(import(sites), State::Succeeded) << sites.importMessage();
    EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
}

TEST_F(ImportFtpTest, AnFtpsSiteImportsOverTlsAndKeepsTheWorkflowWhenTlsIsNotThere) {
    test::OfficeSimulator server(Kind::Ftp, {"--tls-required"});
    addSite(1, server.address(), kPassword, true, FtpSecurity::TlsRequired);
    SiteListViewController sites;
    sites.setPresetDirectory("Service Cardiologie");
    ASSERT_EQ(import(sites), State::Succeeded) << sites.importMessage();
    EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
    auto transfers = server.journal("LIST ");
    const auto downloads = server.journal("RETR ");
    transfers.insert(transfers.end(), downloads.begin(), downloads.end());
    EXPECT_EQ(transfers.size(), 2u);
    EXPECT_THAT(transfers, Each(HasSubstr("control=TLS data=TLS")));

    // Required against a server without TLS, then TLS from an authority nobody trusts, then
    // plain FTP against the server requiring TLS (which refuses the login with 550): the reason
    // is told and the workflow stays, no login accepted.
    test::OfficeSimulator plain(Kind::Ftp);
    const struct {
        const test::OfficeSimulator& server;
        FtpSecurity ftps;
        std::string message;
    } cases[] = {
        {plain, FtpSecurity::TlsRequired,
         "Erreur de téléchargement! Le serveur FTP n'accepte pas le chiffrement (FTPS) exigé pour ce site : "
         "rien ne lui a été envoyé en clair."},
        {server, FtpSecurity::TlsWhenOffered,
         "Erreur de téléchargement! Le certificat du serveur n'est pas reconnu : la connexion est refusée."},
        {server, FtpSecurity::Plain,
         "Erreur de téléchargement! Le serveur FTP n'accepte que les connexions chiffrées : il a refusé "
         "l'identification en clair (err. 550). Choisissez le chiffrement FTPS « obligatoire » pour ce site "
         "(en ligne de commande : « orvaneh-cli site edit NUMÉRO --ftps required »)."},
    };
    PreferenceStore::standard().removeObjectForKey("TrustedCertificatesFile");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        seedWorkflow();
        test::execute("delete from site");
        addSite(1, c.server.address(), kPassword, true, c.ftps);
        const auto logins = c.server.journal("logged in").size();
        SiteListViewController refused;
        refused.setPresetDirectory("");
        EXPECT_EQ(import(refused), State::Failed);
        EXPECT_EQ(refused.importMessage(), c.message);
        EXPECT_THAT(authors(), ElementsAre("avant"));
        EXPECT_EQ(c.server.journal("logged in").size(), logins);
    }
    EXPECT_THAT(plain.journal("session control="), IsEmpty());
}

TEST_F(ImportFtpTest, ARefusedOrCancelledDownloadReportsWhy) {
    test::OfficeSimulator server(Kind::Ftp);
    const std::pair<std::string, std::string> cases[] = {
        {"/config/Catalogue.xml", "Les identifiants sont incorrects \n(err. 530)"},
        {"/config/Absent/Catalogue.xml", "Impossible d'accéder au fichier \n(err. 550)"},
        {"http://" + server.address() + "/config/Catalogue.xml", "Url invalide"},
    };
    for (const auto& [path, message] : cases) {
        RecordingDelegate delegate;
        FTPGet get(kLogin, message.find("530") != std::string::npos ? "faux" : kPassword, FtpSecurity::Plain,
                   &delegate);
        get.getCatalogueWithUrl(path.starts_with("http") ? path : server.address() + path);
        ASSERT_TRUE(runUntil([&] { return delegate.ended(); }));
        EXPECT_EQ(delegate.failure, message);
        EXPECT_EQ(profile.ui().messages("banner").back(), message);
        EXPECT_THAT(authors(), ElementsAre("avant"));
    }

    // The catalogue itself, in clear from a server requiring TLS: not a missing file.
    {
        test::OfficeSimulator secure(Kind::Ftp, {"--tls-required"});
        RecordingDelegate delegate;
        FTPGet get(kLogin, kPassword, FtpSecurity::Plain, &delegate);
        get.getCatalogueWithUrl(secure.address() + "/config/Catalogue.xml");
        ASSERT_TRUE(runUntil([&] { return delegate.ended(); }));
        ASSERT_TRUE(delegate.failure.has_value());
        EXPECT_THAT(*delegate.failure, ::testing::StartsWith("Le serveur FTP n'accepte que les connexions "
                                                             "chiffrées : il a refusé l'identification en "
                                                             "clair (err. 550)."));
        EXPECT_EQ(profile.ui().messages("banner").back(), *delegate.failure);
        EXPECT_THAT(authors(), ElementsAre("avant"));
    }

    RecordingDelegate delegate;
    FTPGet get(kLogin, kPassword, FtpSecurity::Plain, &delegate);
    get.getListDirectories(server.address() + "/config/");
    EXPECT_TRUE(get.isReceiving());
    get.cancelRequest();
    ASSERT_TRUE(runUntil([&] { return delegate.ended(); }));
    EXPECT_EQ(delegate.failure, "Requête annulée");
    EXPECT_FALSE(get.isReceiving());
    EXPECT_EQ(profile.ui().messages("banner").back(), "Requête annulée");
    EXPECT_EQ(downLoadFinished, 5) << "one per fetch";
}

} // namespace
} // namespace orvaneh
