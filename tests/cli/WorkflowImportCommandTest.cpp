#include "App/cli/WorkflowCommand.h"
#include "Classes/core/userRequest.h"
#include "support/CommandTest.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

class WorkflowImportCommandTest : public test::CommandTest {
protected:
    WorkflowCommand workflow;

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

TEST_F(WorkflowImportCommandTest, AnImportedCatalogueReplacesTheDirectoryAndIsShown) {
    ASSERT_EQ(run(workflow, {"import-file", catalogue("avant")}), 0) << err.str();
    ASSERT_EQ(run(workflow, {"import-file", catalogue("jdupont")}), 0) << err.str();
    EXPECT_EQ(out.str(), "Fin de l'importation\n");

    ASSERT_EQ(run(workflow, {"show"}), 0);
    EXPECT_NE(out.str().find("Auteurs (1) :\n  jdupont ; contextes : Civil, Pénal"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("Lettre ; type : L ; secrétaire : amartin"), std::string::npos);
    EXPECT_EQ(out.str().find("avant"), std::string::npos);
}

TEST_F(WorkflowImportCommandTest, UnreadableOrMalformedFilesFailAndKeepTheDirectory) {
    ASSERT_EQ(run(workflow, {"import-file", catalogue("jdupont")}), 0);

    EXPECT_EQ(run(workflow, {"import-file", (profile.documents() / "absent.xml").string()}), 1);
    EXPECT_NE(err.str().find("impossible de lire"), std::string::npos);

    const auto broken = profile.writeDocument("broken.xml", "<Catalogue><LoginUserInfo>");
    EXPECT_EQ(run(workflow, {"import-file", broken.string()}), 1);
    EXPECT_NE(err.str().find("n'est pas un document XML valide"), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());

    EXPECT_EQ(run(workflow, {"import-file"}), 2);
    userRequest users;
    users.selectAllAuteur();
    EXPECT_EQ(users.tabNameUser, std::vector<std::string>{"jdupont"});
}

} // namespace
} // namespace orvaneh
