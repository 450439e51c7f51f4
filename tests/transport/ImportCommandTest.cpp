#include "support/ProcessRunner.h"
#include "transport/ImportFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

TEST(ImportCommandTest, WorkflowImportFetchesTheChosenDirectoryFromTheDefaultSite) {
    test::OfficeSimulator server("office-ftp-server.py");
    test::TemporaryDirectory home;
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home.path().string()});
        return test::ProcessRunner::run(arguments);
    };
    ASSERT_EQ(cli({"site", "add", "--name", "Clinique", "--type", "1", "--address", server.address(),
                   "--login", test::kImportLogin, "--password", test::kImportPassword, "--default"})
                  .status,
              0);

    auto unanswered = cli({"workflow", "import"});
    EXPECT_EQ(unanswered.status, 1);
    EXPECT_THAT(unanswered.out, HasSubstr("Service Cardiologie\n"));
    EXPECT_THAT(unanswered.out, HasSubstr("Cabinet Juridique\n"));
    EXPECT_THAT(unanswered.err, HasSubstr("--dir"));

    auto imported = cli({"workflow", "import", "--dir", "Service Cardiologie"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "Fin de l'importation\n");
    EXPECT_THAT(cli({"workflow", "show"}).out,
                HasSubstr("plefebvre ; contextes : Consultation, Échographie"));

    auto missing = cli({"workflow", "import", "--dir", "Absent"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("Erreur : Le dossier n'existe pas sur le serveur : Absent"));
    EXPECT_THAT(cli({"workflow", "show"}).out, HasSubstr("plefebvre"));
}

} // namespace
} // namespace orvaneh
