#include "App/cli/SiteCommand.h"
#include "App/cli/WorkflowCommand.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Platform/json/Json.h"
#include "support/CommandTest.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The site and workflow commands run in process on a fresh profile and database.
class DirectoryCommandTest : public test::CommandTest {
protected:
    std::string catalogue(const std::string& author) {
        return profile
            .writeDocument(author + ".xml",
                           "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role><LoginName>" +
                               author +
                               "</LoginName><Context>Civil;Pénal</Context></LoginUserInfo></LoginUserInfos>"
                               "<Worktypes><Worktype>Lettre;L;amartin</Worktype></Worktypes></Catalogue>")
            .string();
    }
};

TEST_F(DirectoryCommandTest, SitesAreAddedEditedChosenAndDeletedWithoutShowingPasswords) {
    SiteCommand site;
    ASSERT_EQ(run(site, {"add", "--name", "Étude d'Anne", "--type", "3", "--address", "ftp.x.fr", "--login",
                         "anne", "--password", "s3cr3t-pw", "--email"}),
              0)
        << err.str();
    ASSERT_EQ(run(site, {"add", "--name=Web", "--type=2", "--address=web.x.fr", "--login=anne",
                         "--password=pw", "--default"}),
              0)
        << err.str();
    std::int32_t first = siteRequest().selectSites().at(0).idSite;
    std::int32_t second = siteRequest().selectSites().at(1).idSite;
    EXPECT_EQ(siteRequest().selectDefaultSite().idSite, second);

    ASSERT_EQ(run(site, {"edit", std::to_string(first), "--address", "ftp.y.fr", "--no-email"}), 0);
    SiteModel edited = siteRequest().selectSiteWithId(first);
    EXPECT_EQ(edited.address + "|" + edited.name + "|" + edited.mdp, "ftp.y.fr|Étude d'Anne|s3cr3t-pw");
    EXPECT_FALSE(edited.emailPropose);

    ASSERT_EQ(run(site, {"default", std::to_string(first)}), 0);
    EXPECT_EQ(siteRequest().selectDefaultSite().idSite, first);
    EXPECT_FALSE(siteRequest().selectSiteWithId(second).selected);

    ASSERT_EQ(run(site, {"list", "--json"}), 0);
    Json listed = Json::parse(out.str());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["mdp"], "****");
    EXPECT_EQ(listed[0]["selected"], true);
    ASSERT_EQ(run(site, {"list"}), 0);
    EXPECT_NE(out.str().find("Étude d'Anne"), std::string::npos);
    EXPECT_EQ(out.str().find("s3cr3t"), std::string::npos);

    EXPECT_EQ(run(site, {"delete", std::to_string(second), "--yes"}), 0);
    EXPECT_EQ(run(site, {"delete", std::to_string(second), "--yes"}), 1);
    EXPECT_EQ(run(site, {"default", "999"}), 1);
    EXPECT_EQ(run(site, {"edit", "999", "--name", "X"}), 1);
    EXPECT_EQ(siteRequest().selectSites().size(), 1u);
}

TEST_F(DirectoryCommandTest, WrongSiteUsageIsRefusedWithStatusTwoAndChangesNothing) {
    SiteCommand site;
    for (const char* arguments :
         {"", "add --name A --type 9", "add --name A --type 0", "add --name A --type ftp", "add --name A",
          "add --type 1 --no-email", "edit abc", "delete", "list --xml", "rename"}) {
        EXPECT_EQ(run(site, test::words(arguments)), 2) << arguments;
        EXPECT_NE(err.str().find("Erreur : "), std::string::npos);
    }
    EXPECT_TRUE(siteRequest().selectSites().empty());
    ASSERT_EQ(run(site, {"list"}), 0);
    EXPECT_EQ(out.str(), "Aucun site.\n");
}

TEST_F(DirectoryCommandTest, WorkflowShowGathersTheWholeDirectory) {
    userRequest().saveDictionaryOfUser(Json::parse(R"([
        {"Role": "Dictant", "LoginName": "jdupont", "Context": "Cardio;Urgences"},
        {"Role": "Secretaire", "LoginName": "amartin", "Groupe": "Pool"}])"));
    worktypeRequest().saveDictionaryOfWortypes(Json::parse(R"([{"Worktype": "Courrier;Lettre;amartin"}])"));
    serviceRequest().saveDictionaryOfServices(Json::parse(R"([{"Guid": "G1", "Name": "Accueil",
        "ServiceUsers": ["amartin", "jdupont"], "ServiceWorktypes": ["Courrier"]}])"));
    ParamRequest parameters;
    parameters.ftpMdp = "ancien-mdp";
    parameters.wfAuteur = "jdupont";
    parameters.setWfTypeDictee("Dictée numérique");
    parameters.insertParam();

    WorkflowCommand workflow;
    ASSERT_EQ(run(workflow, {"show", "--json"}), 0) << err.str();
    Json shown = Json::parse(out.str());
    EXPECT_EQ(shown["auteurs"],
              Json::parse(R"([{"login": "jdupont", "contextes": ["Cardio", "Urgences"]}])"));
    EXPECT_EQ(shown["secretaires"], Json::parse(R"(["amartin", "Pool"])"));
    EXPECT_EQ(shown["worktypes"][0]["secretaire"], "amartin");
    EXPECT_EQ(shown["services"][0]["worktypes"], Json::parse(R"(["Courrier"])"));
    EXPECT_EQ(shown["parametres"]["typeDictee"], "Dictée numérique");
    EXPECT_EQ(shown["parametres"]["ftpMdp"], "****");

    ASSERT_EQ(run(workflow, {"show"}), 0);
    EXPECT_NE(out.str().find("jdupont ; contextes : Cardio, Urgences"), std::string::npos);
    EXPECT_EQ(out.str().find("ancien-mdp"), std::string::npos);
    EXPECT_EQ(run(workflow, {"list"}), 2);
}

// An imported catalogue replaces the directory; an unreadable or malformed file fails and keeps it.
TEST_F(DirectoryCommandTest, WorkflowImportFileReplacesTheDirectoryOrKeepsIt) {
    WorkflowCommand workflow;
    ASSERT_EQ(run(workflow, {"import-file", catalogue("avant")}), 0) << err.str();
    ASSERT_EQ(run(workflow, {"import-file", catalogue("jdupont")}), 0) << err.str();
    EXPECT_EQ(out.str(), "Fin de l'importation\n");

    EXPECT_EQ(run(workflow, {"import-file", (profile.documents() / "absent.xml").string()}), 1);
    EXPECT_THAT(err.str(), HasSubstr("impossible de lire"));
    const auto broken = profile.writeDocument("broken.xml", "<Catalogue><LoginUserInfo>");
    EXPECT_EQ(run(workflow, {"import-file", broken.string()}), 1);
    EXPECT_THAT(err.str(), HasSubstr("n'est pas un document XML valide"));
    EXPECT_TRUE(out.str().empty());
    EXPECT_EQ(run(workflow, {"import-file"}), 2);

    ASSERT_EQ(run(workflow, {"show"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("Auteurs (1) :\n  jdupont ; contextes : Civil, Pénal"));
    EXPECT_THAT(out.str(), HasSubstr("Lettre ; type : L ; secrétaire : amartin"));
    EXPECT_THAT(out.str(), Not(HasSubstr("avant")));
}

} // namespace
} // namespace orvaneh
