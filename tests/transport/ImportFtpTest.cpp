#include "Classes/core/ConfigurationManager.h"
#include "Classes/transport/FTPGet.h"
#include "Classes/transport/FtpGetFile.h"
#include "Platform/network/NetworkError.h"
#include "transport/ImportFixture.h"

#include <algorithm>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using State = SiteListViewController::ImportState;
using test::kImportLogin;
using test::kImportPassword;

const std::string kCancelled = "Requête annulée";

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

TEST_F(ImportFtpTest, TheChosenDirectoryOfEitherListingStyleFillsTheDatabase) {
    for (const auto* style : {"", "--dos-listing"}) {
        SCOPED_TRACE(style);
        test::OfficeSimulator server("office-ftp-server.py",
                                     *style ? std::vector<std::string>{style} : std::vector<std::string>{});
        addSite(1, "FTP://" + server.address());
        SiteListViewController sites;
        profile.ui().clear();

        sites.importSelectedSites();
        ASSERT_TRUE(runUntil([&] { return profile.ui().pendingQuestions() == 1; }));

        auto choice = lastChoice();
        EXPECT_EQ(choice.title, "Auteur");
        std::vector<std::string> titles;
        for (const auto& action : choice.choices) {
            titles.push_back(action.title);
        }
        ASSERT_EQ(titles.size(), 3u);
        EXPECT_THAT(std::vector<std::string>(titles.begin(), titles.end() - 1),
                    UnorderedElementsAre("Service Cardiologie", "Cabinet Juridique"));
        EXPECT_EQ(titles.back(), "Annuler");
        EXPECT_EQ(choice.choices.back().style, UserInterface::Choice::Style::Cancel);
        EXPECT_EQ(authors(), std::vector<std::string>{"avant"}) << "nothing is wiped before the download";

        auto chosen = std::find(titles.begin(), titles.end(), "Service Cardiologie") - titles.begin();
        profile.ui().answerPending(static_cast<int>(chosen));
        ASSERT_TRUE(runUntil([&] { return sites.importState() != State::Running; }));

        EXPECT_EQ(sites.importState(), State::Succeeded) << sites.importMessage();
        EXPECT_EQ(sites.dossier(), "Service Cardiologie");
        EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
        EXPECT_EQ(test::rows("select name from service"), test::Rows{{"Cardiologie"}});
        EXPECT_EQ(ConfigurationManager::getJobTitle(), "Patient");
        EXPECT_EQ(profile.ui().messages("banner").back(), "Fin de l'importation");
        EXPECT_FALSE(std::filesystem::exists(profile.documents() / "Catalogue.xml"));
        test::execute("delete from site");
        seedWorkflow();
    }
}

TEST_F(ImportFtpTest, ALongListingArrivesInPiecesAndKeepsEveryDirectory) {
    for (const auto* style : {"", "--dos-listing"}) {
        SCOPED_TRACE(style);
        test::OfficeSimulator server("office-ftp-server.py",
                                     *style ? std::vector<std::string>{style} : std::vector<std::string>{});
        // Far more than one block of the data connection, so lines are cut between blocks.
        std::vector<std::string> expected{"Cabinet Juridique", "Service Cardiologie"};
        for (int index = 0; index < 1500; ++index) {
            expected.push_back("Dossier " + std::to_string(index) + " élève");
            std::filesystem::create_directory(server.catalogueRoot() / expected.back());
        }
        RecordingDelegate delegate;
        FTPGet get(kImportLogin, kImportPassword, &delegate);

        get.getListDirectories("ftp://" + server.address() + "/config");
        ASSERT_TRUE(runUntil([&] { return delegate.ended(); }));

        ASSERT_TRUE(delegate.directories) << delegate.failure.value_or("");
        auto names = *delegate.directories;
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        EXPECT_EQ(get.resultFromRequest().size(), expected.size());
    }
}

TEST_F(ImportFtpTest, AnEmptyDirectoryNameImportsTheConfigDirectoryItself) {
    test::OfficeSimulator server("office-ftp-server.py");
    addSite(3, server.address());
    SiteListViewController sites;
    sites.setPresetDirectory("");

    ASSERT_EQ(import(sites), State::Succeeded) << sites.importMessage();
    EXPECT_THAT(authors(), ElementsAre("jdupont"));
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Titre");
    EXPECT_TRUE(lastChoice().kind.empty()) << "a preset directory is not asked for";
    EXPECT_EQ(downLoadFinished, 2); // the listing, then the download
}

TEST_F(ImportFtpTest, FailuresShowTheirTextAndKeepTheWorkflow) {
    test::OfficeSimulator server("office-ftp-server.py");
    std::filesystem::create_directories(server.catalogueRoot() / "Vide");
    struct Case {
        std::string name;
        std::string password;
        std::optional<std::string> directory; // preset; none: the choice is cancelled
        State state;
        std::string message;
    };
    const Case cases[] = {
        {"wrong password", "faux", "", State::Failed, "Erreur de téléchargement!"},
        {"missing catalogue", kImportPassword, "Vide", State::Failed,
         "Impossible d'accéder au fichier \n(err. 550)"},
        {"unknown directory", kImportPassword, "Absent", State::Failed,
         "Le dossier n'existe pas sur le serveur : Absent"},
        {"choice cancelled", kImportPassword, std::nullopt, State::Cancelled, "Importation annulée"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        addSite(1, server.address(), test.password);
        SiteListViewController sites;
        sites.setPresetDirectory(test.directory);
        if (!test.directory) {
            profile.ui().queueAnswer(3); // "Annuler", after the three directories
        }

        EXPECT_EQ(import(sites), test.state);
        EXPECT_EQ(sites.importMessage(), test.message);
        if (test.state == State::Failed) {
            EXPECT_EQ(profile.ui().messages("banner").back(), test.message);
        }
        EXPECT_EQ(authors(), std::vector<std::string>{"avant"});
        test::execute("delete from site");
    }
}

TEST_F(ImportFtpTest, ACatalogueDownloadRefusedByTheServerShowsTheReplyCodeText) {
    test::OfficeSimulator server("office-ftp-server.py");
    struct Case {
        std::string password;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"faux", "/config/Catalogue.xml", "Les identifiants sont incorrects \n(err. 530)"},
        {kImportPassword, "/config/Absent/Catalogue.xml", "Impossible d'accéder au fichier \n(err. 550)"},
        {kImportPassword, "http://" + server.address() + "/config/Catalogue.xml", "Url invalide"},
    };
    for (const auto& test : cases) {
        RecordingDelegate delegate;
        FTPGet get(kImportLogin, test.password, &delegate);
        get.getCatalogueWithUrl(test.path.starts_with("http") ? test.path : server.address() + test.path);
        ASSERT_TRUE(runUntil([&] { return delegate.ended(); }));
        EXPECT_EQ(delegate.failure, test.message);
        EXPECT_EQ(profile.ui().messages("banner").back(), test.message);
        EXPECT_EQ(authors(), std::vector<std::string>{"avant"});
    }
}

TEST_F(ImportFtpTest, ACancelledFetchReportsIt) {
    test::OfficeSimulator server("office-ftp-server.py");
    RecordingDelegate delegate;
    FTPGet get(kImportLogin, kImportPassword, &delegate);

    get.getListDirectories(server.address() + "/config/");
    EXPECT_TRUE(get.isReceiving());
    get.cancelRequest();
    ASSERT_TRUE(runUntil([&] { return delegate.ended(); }));

    EXPECT_EQ(delegate.failure, kCancelled);
    EXPECT_FALSE(get.isReceiving());
    EXPECT_EQ(profile.ui().messages("banner").back(), kCancelled);
    EXPECT_EQ(downLoadFinished, 1);
}

TEST_F(ImportFtpTest, NoDefaultSiteChangesNothing) {
    addSite(1, "127.0.0.1:1", kImportPassword, false);
    SiteListViewController sites;

    EXPECT_EQ(import(sites), State::Failed);
    EXPECT_EQ(profile.ui().messages("banner"),
              std::vector<std::string>{"Veuillez sélectionner un site pour pouvoir importer votre workflow"});
    EXPECT_EQ(authors(), std::vector<std::string>{"avant"});
    EXPECT_EQ(downLoadFinished, 0);
}

TEST(FtpGetFileTest, FailureTextsFollowTheReplyCode) {
    struct Case {
        NetworkError failure;
        std::string text;
    };
    const Case cases[] = {
        {{NetworkFailure::MissingFile, 550, ""}, "Impossible d'accéder au fichier \n(err. 550)"},
        {{NetworkFailure::Authentication, 530, ""}, "Les identifiants sont incorrects \n(err. 530)"},
        {{NetworkFailure::Other, 421, ""}, "Une erreur est survenue \n (err. 421)"},
        {{NetworkFailure::LocalWrite, 226, ""}, "Une erreur est survenue lors de l'écriture du fichier"},
        {{NetworkFailure::TimedOut, 150, ""}, "Une erreur est survenue lors du téléchargement du fichier"},
        {{NetworkFailure::CannotConnect, 0, "Impossible de se connecter au serveur."},
         "Impossible de se connecter au serveur."},
    };
    for (const auto& [failure, text] : cases) {
        EXPECT_EQ(FtpGetFile::statusForFailure(failure), text) << failure.replyCode();
    }
}

} // namespace
} // namespace orvaneh
