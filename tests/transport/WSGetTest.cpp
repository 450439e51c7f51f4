#include "Classes/transport/WSGet.h"

#include "Classes/core/siteRequest.h"
#include "Classes/packaging/Entity.h"
#include "Platform/crypto/Base64.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/TestDatabase.h"
#include "transport/WSFixture.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class WSGetTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    fs::path database = test::createDatabase(profile);
    test::RecordedResults results;
    int downLoadFinished = 0;
    Observation observation = NotificationCenter::defaultCenter().addObserver(
        "DownLoadFinished", [this](const PostedNotification&) { ++downLoadFinished; });
    std::unique_ptr<test::OfficeWebService> server;

    WSGetTest() {
        // A workflow in place before the import, that a failed import must keep.
        Entity::importCatalogue("<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role>"
                                "<LoginName>avant</LoginName></LoginUserInfo></LoginUserInfos></Catalogue>");
    }

    void serve(const std::vector<std::string>& options = {}, std::int32_t type = 2) {
        server = std::make_unique<test::OfficeWebService>(profile, options);
        ASSERT_NE(server->port(), 0) << "le simulateur des Web Services n'a pas démarré";
        SiteModel site{0,     "Cabinet", server->address(), test::kWSLogin, test::kWSPassword, type,
                       false, false};
        site.idSite = siteRequest().addSite(site);
        siteRequest().unselectSite();
        site.selected = true;
        siteRequest().updateSite(site);
    }

    // Starts the fetch and runs the main loop until it has reported.
    void fetch(const std::function<void(WSGet&)>& start) {
        results = {};
        downLoadFinished = 0;
        profile.ui().clear();
        WSGet get(0, &results);
        start(get);
        RunLoop& main = RunLoop::main();
        ASSERT_TRUE(main.runUntil(
            [&] { return !results.finished.empty() || !results.errors.empty() || downLoadFinished > 0; },
            main.clock().now() + std::chrono::hours(1), Seconds(30)));
    }

    static std::vector<std::string> users() {
        std::vector<std::string> names;
        for (const auto& row : test::rows("select login_name from user order by login_name")) {
            names.push_back(row.at(0));
        }
        return names;
    }
};

TEST_F(WSGetTest, GetDirectoryListsTheConfigurationDirectories) {
    serve();
    fetch([](WSGet& get) { get.getServices(); });

    ASSERT_EQ(results.finished.size(), 1u);
    EXPECT_EQ(results.finished[0].getMethodName(), "GetDirectory");
    EXPECT_EQ(results.finished[0].getResult(), Json::array({"Cabinet Juridique", "Service Cardiologie"}));
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"], "/Orvane.WebServices/Export/GetDirectory");
    EXPECT_EQ(requests[0]["authorization"], "Basic " + Base64::encode("log@in:pa:ss"));
    EXPECT_THAT(users(), ElementsAre("avant"));
}

TEST_F(WSGetTest, GetCatalogueReplacesTheWorkflow) {
    for (const std::int32_t type : {2, 7}) {
        SCOPED_TRACE(type);
        serve({}, type);
        fetch([](WSGet& get) { get.getCatalogueForService("Service%20Cardiologie"); });

        EXPECT_THAT(users(), ElementsAre("Secrétariat cardio", "cmoreau", "plefebvre", "sbernard"));
        EXPECT_THAT(profile.ui().messages("banner"), ElementsAre("Fin de l'importation"));
        EXPECT_EQ(downLoadFinished, 1);
        ASSERT_EQ(results.finished.size(), 1u);
        EXPECT_EQ(results.finished.back().getMethodName(), "GetCatalogue");
        EXPECT_EQ(server->requests().at(0)["path"],
                  type == 2 ? "/Orvane.WebServices/Export/GetCatalogue?directoryName=Service%20Cardiologie"
                            : "/getconfigxml.php?name=Service%20Cardiologie");
    }
}

// Neither an empty catalogue nor one that does not parse touches the workflow in place.
TEST_F(WSGetTest, CatalogueThatCannotBeImportedKeepsTheWorkflow) {
    serve();
    fs::create_directories(server->catalogueRoot() / "Vide");
    fs::create_directories(server->catalogueRoot() / "Casse");
    test::writeBytes(server->catalogueRoot() / "Casse" / "Catalogue.xml", "<Catalogue><LoginUserInfos>");
    const std::pair<const char*, const char*> cases[] = {
        {"Vide", "Il n'y a pas de catalogue pour ce service"},
        {"Casse", "Une erreur est survenue lors de l'importation, veuillez recommencer."},
    };
    for (const auto& [directory, alert] : cases) {
        SCOPED_TRACE(directory);
        fetch([&](WSGet& get) { get.getCatalogueForService(directory); });

        if (std::string(directory) == "Vide") {
            EXPECT_THAT(profile.ui().messages("banner"), ElementsAre(alert));
        } else {
            // The delegate tells the failure: a failed import is not a finished fetch.
            EXPECT_TRUE(results.finished.empty());
            ASSERT_EQ(results.errors.size(), 1u);
            EXPECT_EQ(results.errors[0].getResultText(), alert);
        }
        EXPECT_EQ(downLoadFinished, 1);
        EXPECT_THAT(users(), ElementsAre("avant"));
    }
}

TEST_F(WSGetTest, FailedRequestsReachTheDelegate) {
    serve({"--fault", "401"});
    fetch([](WSGet& get) { get.getServices(); });
    ASSERT_EQ(results.errors.size(), 1u);
    EXPECT_EQ(results.errors[0].getResultText(),
              "L'accès aux Web Services est refusé. Veuillez vérifier vos identifiants.");

    serve({"--fault", "not-json"});
    fetch([](WSGet& get) { get.getServices(); });
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Une erreur s'est produite lors de la requête."));
    ASSERT_EQ(results.rawAnswers.size(), 1u);
    EXPECT_THAT(results.rawAnswers[0], ::testing::HasSubstr("<html"));
    EXPECT_EQ(downLoadFinished, 1);
    EXPECT_THAT(results.finished, IsEmpty());
}

} // namespace
} // namespace orvaneh
