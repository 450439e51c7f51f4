#include "support/ProcessRunner.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Kind = test::OfficeSimulator::Kind;

// The network commands as a user runs them: a fresh process whose main loop nobody has bound
// beforehand, on a real profile, against the simulators.
class NetworkCommandProcessTest : public test::SendTest {
protected:
    NetworkCommandProcessTest() { profile.preferences().setDouble("NetworkStallTimeout", 2); }

    // Killed after a minute, so that a command that never ends fails instead of hanging.
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"/usr/bin/timeout", "-k", "5", "60", ORVANEH_CLI_PATH, "--home",
                                             profile.home().string()});
        return test::ProcessRunner::run(arguments);
    }
    // A simulator of the kind that serves `type`, made the default site.
    std::unique_ptr<test::OfficeSimulator> serve(std::int32_t type,
                                                 const std::vector<std::string>& options = {},
                                                 const std::string& password = test::kPassword) {
        auto server =
            std::make_unique<test::OfficeSimulator>(type == 1 ? Kind::Ftp : Kind::WebService, options);
        EXPECT_NE(server->port(), 0);
        addSite(type, server->address(), password);
        return server;
    }
    // The author "avant" alone, so that an import shows.
    static void seedWorkflow() {
        Entity::importCatalogue("<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role>"
                                "<LoginName>avant</LoginName></LoginUserInfo></LoginUserInfos></Catalogue>");
    }
    static bool workflowUntouched() {
        auto authors = test::rows("select login_name from user where role = 'Dictant'");
        return authors.size() == 1 && authors.front().at(0) == "avant";
    }
    // Each case starts with an empty outbox: what a case leaves would wait for its retry.
    static void clearOutbox() {
        for (const auto& row : test::rows("select id from dictee")) {
            DicteeRequest().deleteDicteeWithId(std::stoll(row.at(0)));
        }
    }
};

TEST_F(NetworkCommandProcessTest, WorkflowImportEndsOnEverySiteType) {
    struct Case {
        std::int32_t type;
        int withDirectory; // exit status of "import --dir"
        std::string withDirectoryText;
        std::string wrongPasswordText;
    };
    const Case cases[] = {
        {1, 0, "Fin de l'importation",
         "Erreur de téléchargement! Les identifiants sont refusés par le serveur"},
        {2, 0, "Fin de l'importation", "L'accès aux Web Services est refusé"},
        {7, 1, "ne fournit pas de catalogue", "L'accès aux Web Services est refusé"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        seedWorkflow();
        auto server = serve(c.type);

        // No terminal to choose on: the directories, and how to name one.
        auto offered = cli({"workflow", "import"});
        EXPECT_EQ(offered.status, 1) << offered.err;
        EXPECT_THAT(offered.out, HasSubstr("Service Cardiologie\n"));
        EXPECT_THAT(offered.err, HasSubstr("--dir"));

        auto chosen = cli({"workflow", "import", "--dir", "Service Cardiologie"});
        EXPECT_EQ(chosen.status, c.withDirectory) << chosen.err;
        EXPECT_THAT(chosen.out + chosen.err, HasSubstr(c.withDirectoryText));
        EXPECT_EQ(workflowUntouched(), c.withDirectory != 0);

        addSite(c.type, server->address(), "faux");
        auto refused = cli({"workflow", "import", "--dir", "Service Cardiologie"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_THAT(refused.err, HasSubstr(c.wrongPasswordText));
    }
}

TEST_F(NetworkCommandProcessTest, SendDeliversOnEverySiteTypeAndSaysWhyNot) {
    struct Case {
        std::int32_t type;
        std::string refusal;
    };
    const Case cases[] = {
        {1, "Problème lors de l'envoi. Les identifiants sont refusés par le serveur (err. 530)."},
        {2, "L'accès aux Web Services est refusé"},
        {7, "L'accès aux Web Services est refusé"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        auto server = serve(c.type);
        const auto letter = addDictation("Lettre");
        auto sent = cli({"send"});
        EXPECT_EQ(sent.status, 0) << sent.err;
        EXPECT_EQ(record(letter).envoi, 1);
        if (c.type == 1) {
            EXPECT_EQ(server->storedInOrder().size(), 2u);
        } else {
            ASSERT_EQ(server->jobs().size(), 1u);
            EXPECT_EQ(server->requests().back()["path"],
                      c.type == 7 ? "/upload.php" : "/Orvane.WebServices/Import/PostFile");
        }

        addSite(c.type, server->address(), "faux");
        const auto reminder = addDictation("Relance");
        auto refused = cli({"send"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_THAT(refused.err, HasSubstr(c.refusal));
        EXPECT_EQ(record(reminder).envoi, 0);
        clearOutbox();
    }
}

// Answers no office should give: each ends the command with its reason and changes nothing.
TEST_F(NetworkCommandProcessTest, HostileWebServiceAnswersEndTheCommandWithTheirReason) {
    struct Case {
        std::string fault;
        std::vector<std::string> command;
        std::string reason;
    };
    const std::vector<std::string> import{"workflow", "import", "--dir", "Service Cardiologie"};
    const std::vector<std::string> offer{"workflow", "import"};
    const Case cases[] = {
        {"endless", import, "Réponse du serveur trop volumineuse (plus de 64 Mio)."},
        {"wrong-method", import, "Réponse inattendue du serveur"},
        {"wrong-method", offer, "Réponse inattendue du serveur"},
        {"302", import, "Réponse inattendue du serveur (err. 302)"},
        {"302", {"send"}, "Réponse inattendue du serveur (err. 302)"},
        {"wrong-method", {"send"}, "Réponse inattendue du serveur"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault + " " + c.command.front());
        seedWorkflow();
        auto server = serve(2, {"--fault", c.fault});
        const auto letter = addDictation("Lettre");
        auto result = cli(c.command);
        EXPECT_EQ(result.status, 1) << result.out;
        EXPECT_THAT(result.err, HasSubstr(c.reason));
        EXPECT_THAT(result.out, Not(HasSubstr("Fin de l'importation")));
        EXPECT_TRUE(workflowUntouched());
        EXPECT_EQ(record(letter).envoi, 0);
        // One request per command: an answer to another question is not followed up.
        EXPECT_LE(server->requests().size(), 2u);
        clearOutbox();
    }
}

TEST_F(NetworkCommandProcessTest, AnEndlessFtpListingIsCutAtTheLimit) {
    auto server = serve(1, {"--endless-listing"});
    auto result = cli({"workflow", "import"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err,
                HasSubstr("Erreur de téléchargement! Réponse du serveur trop volumineuse (plus de 64 Mio)."));
}

TEST_F(NetworkCommandProcessTest, AnOfficeSlowToAcceptAWholeJobIsWaitedFor) {
    // Longer than the stall limit, well within the request's time-out.
    auto server = serve(2, {"--accept-delay", "4"});
    const auto letter = addDictation("Lettre");
    auto sent = cli({"send"});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(letter).envoi, 1);
    EXPECT_EQ(server->requests().size(), 1u);
}

// A server under maintenance hands out its HTML page where the catalogue should be.
TEST_F(NetworkCommandProcessTest, AMaintenancePageForACatalogueReplacesNothing) {
    const std::string page = "<html><body><h1>Service en maintenance</h1></body></html>";
    for (const std::int32_t type : {1, 2}) {
        SCOPED_TRACE("type " + std::to_string(type));
        seedWorkflow();
        auto server = serve(type, type == 1 ? std::vector<std::string>{}
                                            : std::vector<std::string>{"--fault", "maintenance"});
        if (type == 1) {
            test::writeBytes(server->catalogueRoot() / "Service Cardiologie" / "Catalogue.xml", page);
        }
        auto result = cli({"workflow", "import", "--dir", "Service Cardiologie"});
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err,
                    HasSubstr("Une erreur est survenue lors de l'importation, veuillez recommencer. ("));
        EXPECT_THAT(result.out, Not(HasSubstr("Fin de l'importation")));
        EXPECT_TRUE(workflowUntouched());
    }
}

} // namespace
} // namespace orvaneh
