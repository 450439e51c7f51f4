#include "Platform/preferences/PreferenceStore.h"
#include "transport/ImportFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using State = SiteListViewController::ImportState;

class ImportWebServiceTest : public test::ImportTest {
protected:
    test::OfficeSimulator server{"office-https-server.py"};

    void SetUp() override {
        ASSERT_NE(server.port(), 0);
        profile.preferences().setString("TrustedCertificatesFile", server.value("CA"));
    }
};

TEST_F(ImportWebServiceTest, TheDirectoryListThenTheChosenCatalogueFillTheDatabase) {
    addSite(2, server.address());
    SiteListViewController sites;
    profile.ui().queueAnswer(1); // the directories come sorted: "Cabinet Juridique", "Service Cardiologie"

    ASSERT_EQ(import(sites), State::Succeeded) << sites.importMessage();
    EXPECT_EQ(sites.offeredDirectories(),
              (std::vector<std::string>{"Cabinet Juridique", "Service Cardiologie"}));
    EXPECT_THAT(authors(), ElementsAre("cmoreau", "plefebvre"));
    EXPECT_THAT(server.requestedPaths(),
                ElementsAre("/Orvane.WebServices/Export/GetDirectory",
                            "/Orvane.WebServices/Export/GetCatalogue?directoryName=Service%20Cardiologie"));
    EXPECT_EQ(profile.ui().messages("banner").back(), "Fin de l'importation");
}

TEST_F(ImportWebServiceTest, ADirectoryWithoutCatalogueKeepsTheWorkflow) {
    std::filesystem::create_directories(server.catalogueRoot() / "Vide");
    addSite(4, server.address());
    SiteListViewController sites;
    sites.setPresetDirectory("Vide");

    EXPECT_EQ(import(sites), State::Failed);
    EXPECT_EQ(sites.importMessage(), "Il n'y a pas de catalogue pour ce service");
    EXPECT_EQ(profile.ui().messages("banner").back(), "Il n'y a pas de catalogue pour ce service");
    EXPECT_EQ(authors(), std::vector<std::string>{"avant"});
}

TEST_F(ImportWebServiceTest, RefusedCredentialsAndSitesWithoutCatalogueKeepTheWorkflow) {
    struct Case {
        std::int32_t type;
        std::string password;
        std::string message;
    };
    const Case cases[] = {
        {2, "faux", "L'accès aux Web Services est refusé. Veuillez vérifier vos identifiants."},
        {7, test::kImportPassword,
         "Ce type de site ne fournit pas de catalogue : le workflow n'a pas été modifié."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.type);
        addSite(test.type, server.address(), test.password);
        SiteListViewController sites;
        sites.setPresetDirectory("");

        EXPECT_EQ(import(sites), State::Failed);
        EXPECT_EQ(sites.importMessage(), test.message);
        EXPECT_EQ(profile.ui().messages("banner").back(), test.message);
        EXPECT_EQ(authors(), std::vector<std::string>{"avant"});
        test::execute("delete from site");
    }
}

} // namespace
} // namespace orvaneh
