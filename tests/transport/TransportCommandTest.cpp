#include "support/ProcessRunner.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

class TransportCommandTest : public test::SendTest {};

// The real program against the FTP simulator: the workflow import, then send passes that fail
// while a dictation stays pending.
TEST_F(TransportCommandTest, WorkflowImportAndSendUseTheDefaultSite) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", profile.home().string()});
        return test::ProcessRunner::run(arguments);
    };
    ASSERT_EQ(cli({"site", "add", "--name", "Clinique", "--type", "1", "--address", server.address(),
                   "--login", test::kLogin, "--password", test::kPassword, "--default"})
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
    auto missing = cli({"workflow", "import", "--dir", "Absent"});
    EXPECT_EQ(missing.status, 1);
    // Told once: the banner already says it on the same stream.
    const std::string absent = "Le dossier n'existe pas sur le serveur : Absent";
    ASSERT_THAT(missing.err, HasSubstr(absent));
    EXPECT_EQ(missing.err.find(absent), missing.err.rfind(absent)) << missing.err;
    EXPECT_THAT(cli({"workflow", "show"}).out,
                HasSubstr("plefebvre ; contextes : Consultation, Échographie"));

    const auto letter = addDictation("Lettre");
    auto result = cli({"send"});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string first = "dictée " + std::to_string(letter) + " « Lettre »";
    EXPECT_THAT(result.err, HasSubstr("Envoi de la " + first + "…\n"));
    EXPECT_EQ(result.out, "Envoyée : " + first + "\n");
    EXPECT_EQ(record(letter).envoi, 1);

    addSite(1, server.address(), "faux");
    const auto reminder = addDictation("Relance");
    result = cli({"send"});
    EXPECT_EQ(result.status, 1) << result.err;
    const std::string second = "dictée " + std::to_string(reminder) + " « Relance »";
    EXPECT_THAT(result.err, HasSubstr("Problème lors de l'envoi."));
    EXPECT_THAT(result.out, HasSubstr("Non envoyée : " + second + " : reste en attente"));
    EXPECT_EQ(record(reminder).envoi, 0);

    // Tried a moment ago: it waits its turn, which is not an empty outbox.
    result = cli({"send"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, HasSubstr("Reste à envoyer : 1 dictée ; prochain essai à partir de "));
}

} // namespace
} // namespace orvaneh
