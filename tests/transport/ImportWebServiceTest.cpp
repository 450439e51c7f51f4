#include "Classes/transport/WSGet.h"
#include "Platform/crypto/Base64.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using State = SiteListViewController::ImportState;

struct RecordedResults : WSResultDelegate {
    std::vector<WSResult> finished, errors;
    std::vector<std::string> rawAnswers;
    void requestDidFinish(const WSResult& result) override { finished.push_back(result); }
    void errorRequest(const WSResult& result) override { errors.push_back(result); }
    void data(const std::string& bytes) override { rawAnswers.push_back(bytes); }
};

// Imports from a web-service site, through the site list or through WSGet alone.
class ImportWebServiceTest : public test::ImportTest {
protected:
    RecordedResults results;

    void SetUp() override { serveWebService(); }
    // Asks for the directories, or for one's catalogue, and runs the main loop until it has reported.
    void fetch(const std::optional<std::string>& directory = std::nullopt) {
        results = {};
        downLoadFinished = 0;
        profile.ui().clear();
        WSGet get(0, &results);
        directory ? get.getCatalogueForService(*directory) : get.getServices();
        ASSERT_TRUE(runUntil(
            [&] { return !results.finished.empty() || !results.errors.empty() || downLoadFinished > 0; }));
    }
};

TEST_F(ImportWebServiceTest, TheDirectoryListThenTheChosenCatalogueFillTheDatabase) {
    SiteListViewController sites;
    profile.ui().queueAnswer(1); // the directories come sorted: "Cabinet Juridique", "Service Cardiologie"

    ASSERT_EQ(import(sites), State::Succeeded) << sites.importMessage();
    EXPECT_EQ(sites.offeredDirectories(),
              (std::vector<std::string>{"Cabinet Juridique", "Service Cardiologie"}));
    EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
    const auto requests = webService->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]["path"], "/Orvane.WebServices/Export/GetDirectory");
    EXPECT_EQ(requests[1]["path"],
              "/Orvane.WebServices/Export/GetCatalogue?directoryName=Service%20Cardiologie");
    EXPECT_EQ(requests[0]["authorization"], "Basic " + Base64::encode(test::kLogin + ":" + test::kPassword));
    EXPECT_EQ(profile.ui().messages("banner").back(), "Fin de l'importation");
}

TEST_F(ImportWebServiceTest, AnAddressWrittenWithItsSchemeReachesTheSameServer) {
    const std::string bare = webService->address();
    for (const std::string& written :
         {"https://" + bare, "HTTPS://" + bare + "  ", " http://" + bare, "Http://" + bare}) {
        SCOPED_TRACE(written);
        addSite(2, written);
        fetch();
        ASSERT_EQ(results.errors.size(), 0u);
        ASSERT_EQ(results.finished.size(), 1u);
        EXPECT_EQ(webService->requests().back()["path"], "/Orvane.WebServices/Export/GetDirectory");
    }
}

TEST_F(ImportWebServiceTest, FailuresShowTheirTextAndKeepTheWorkflow) {
    std::filesystem::create_directories(webService->catalogueRoot() / "Vide");
    struct Case {
        std::int32_t type;
        std::string password, directory, message;
    };
    const Case cases[] = {
        {2, "faux", "", "L'accès aux Web Services est refusé. Veuillez vérifier vos identifiants."},
        {4, test::kPassword, "Vide", "Il n'y a pas de catalogue pour ce service"},
        {7, test::kPassword, "",
         "Ce type de site ne fournit pas de catalogue : le workflow n'a pas été modifié."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        addSite(c.type, webService->address(), c.password);
        SiteListViewController sites;
        sites.setPresetDirectory(c.directory);

        EXPECT_EQ(import(sites), State::Failed);
        EXPECT_EQ(sites.importMessage(), c.message);
        EXPECT_EQ(profile.ui().messages("banner").back(), c.message);
        EXPECT_THAT(authors(), ElementsAre("avant"));
    }
}

// What only WSGet's delegate sees.
TEST_F(ImportWebServiceTest, APhpSiteGivesItsCatalogueByName) {
    addSite(7, webService->address());
    fetch("Service%20Cardiologie");
    EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
    EXPECT_THAT(profile.ui().messages("banner"), ElementsAre("Fin de l'importation"));
    EXPECT_EQ(downLoadFinished, 1);
    ASSERT_EQ(results.finished.size(), 1u);
    EXPECT_EQ(results.finished[0].getMethodName(), "GetCatalogue");
    ASSERT_EQ(webService->requests().size(), 1u);
    EXPECT_EQ(webService->requests()[0]["path"], "/getconfigxml.php?name=Service%20Cardiologie");
}

TEST_F(ImportWebServiceTest, ABrokenCatalogueOrAnAnswerThatIsNotJsonKeepsTheWorkflow) {
    std::filesystem::create_directories(webService->catalogueRoot() / "Casse");
    test::writeBytes(webService->catalogueRoot() / "Casse" / "Catalogue.xml", "<Catalogue><LoginUserInfos>");
    fetch("Casse");
    EXPECT_TRUE(results.finished.empty()) << "a failed import is not a finished fetch";
    ASSERT_EQ(results.errors.size(), 1u);
    // The parser's reason follows.
    EXPECT_THAT(
        results.errors[0].getResultText(),
        ::testing::StartsWith("Une erreur est survenue lors de l'importation, veuillez recommencer. ("));
    EXPECT_EQ(downLoadFinished, 1);
    EXPECT_THAT(authors(), ElementsAre("avant"));

    serveWebService({"--fault", "not-json"});
    fetch();
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Une erreur s'est produite lors de la requête."));
    ASSERT_EQ(results.rawAnswers.size(), 1u);
    EXPECT_THAT(results.rawAnswers[0], ::testing::HasSubstr("<html"));
    EXPECT_TRUE(results.finished.empty());
    EXPECT_EQ(downLoadFinished, 1);
}

} // namespace
} // namespace orvaneh
