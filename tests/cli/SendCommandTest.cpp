// `send` as a real process against the FTP simulator: what it says and its exit status while
// dictations are left unsent, --now, one dictation by its identifier, and a profile without site.
#include "Classes/core/siteRequest.h"
#include "Platform/json/Json.h"
#include "support/CliProcess.h"
#include "transport/OfficeFixture.h"

#include <fstream>
#include <gmock/gmock.h>
#include <iterator>
#include <sstream>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class SendCommandTest : public test::SendTest {
protected:
    test::ProcessResult send(std::vector<std::string> arguments = {}) const {
        arguments.insert(arguments.begin(), "send");
        auto result = test::runCli(profile.home(), std::move(arguments));
        // What the person reads on a terminal, where both streams mix: each thing said once.
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.size() > 2) {
                EXPECT_THAT(result.err, Not(HasSubstr(line))) << "said twice";
            }
        }
        return result;
    }
    static std::string named(std::int64_t id, const std::string& title) {
        return "dictée " + std::to_string(id) + " « " + title + " »";
    }
};

TEST_F(SendCommandTest, WithoutAnySiteSaysSoAndNamesTheCommandThatAddsOne) {
    const auto letter = addDictation("Lettre");
    const auto result = send();
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("aucun site n'est configuré"));
    EXPECT_THAT(result.err, HasSubstr("« orvaneh-cli site add --name NOM --type TYPE --address ADRESSE "
                                      "--login UTILISATEUR --password-stdin »"));
    EXPECT_THAT(result.err, Not(HasSubstr("n'existe plus")));
    EXPECT_THAT(result.out, HasSubstr("Reste à envoyer : 1 dictée"));
    EXPECT_EQ(record(letter).tsTransfert, 0) << "not attempted";

    // A site, but none chosen as the default (the first one added was, and is deleted): that is
    // what is said, with the command to choose.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"site", "add", "--name", "Ancien", "--type", "3"},
             {"site", "add", "--name", "Cabinet", "--type", "1", "--address", "127.0.0.1:1", "--login", "u",
              "--password", "p"},
             {"site", "delete", "1", "--yes"}}) {
        ASSERT_EQ(test::runCli(profile.home(), arguments).status, 0) << arguments[1];
    }
    const auto undecided = send();
    EXPECT_EQ(undecided.status, 1);
    EXPECT_THAT(undecided.err, HasSubstr("aucun site n'est choisi par défaut"));
    EXPECT_THAT(undecided.err, HasSubstr("« orvaneh-cli site default ID »"));
    EXPECT_THAT(undecided.err, Not(HasSubstr("n'existe plus")));
    EXPECT_EQ(record(letter).tsTransfert, 0) << "not attempted";
}

TEST_F(SendCommandTest, FailsWhileDictationsWaitAndSaysWhenTheNextAttemptIs) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    const auto site = addSite(1, server.address(), "faux");
    const auto letter = addDictation("Lettre");

    auto result = send();
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("Envoi de la " + named(letter, "Lettre") + "…"));
    EXPECT_THAT(result.out, HasSubstr("Non envoyée : " + named(letter, "Lettre") + " : reste en attente\n"));
    EXPECT_THAT(result.out, HasSubstr("Reste à envoyer : 1 dictée ; prochain essai à partir de "));

    // Tried a moment ago: not tried again, but not an empty outbox either.
    result = send();
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, Not(HasSubstr("Envoi de la")));
    EXPECT_THAT(result.out, HasSubstr("(« orvaneh-cli send --now » pour réessayer tout de suite)"));

    // --now tries it again at once, and once only in the pass.
    result = send({"--now"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.find("Envoi de la"), result.err.rfind("Envoi de la")) << result.err;
    EXPECT_NE(result.err.find("Envoi de la"), std::string::npos);

    // The right password; the identifier sends that dictation and no other.
    SiteModel fixed = siteRequest().selectSiteWithId(site);
    fixed.mdp = test::kPassword;
    siteRequest().updateSite(fixed);
    const auto note = addDictation("Note");
    result = send({std::to_string(note)});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Envoyée : " + named(note, "Note") + "\n");
    EXPECT_EQ(record(letter).envoi, 0);

    // --now does not wait for the retry delay, and gives each dictation one attempt.
    result = send({"--now", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const Json report = Json::parse(result.out);
    ASSERT_EQ(report["tentatives"].size(), 1u);
    EXPECT_EQ(report["tentatives"][0]["idDictee"], letter);
    EXPECT_EQ(report["tentatives"][0]["etat"], "Envoyée");
    EXPECT_EQ(report["resteAEnvoyer"], 0);
    EXPECT_EQ(record(letter).envoi, 1);
    EXPECT_EQ(send().out, "Aucune dictée à envoyer.\n");

    for (const auto& [arguments, status] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"99"}, 1}, {{"x1"}, 2}, {{"1", "2"}, 2}, {{"--later"}, 2}}) {
        EXPECT_EQ(send(arguments).status, status) << arguments.front();
    }
}

// A site stored by `site add --ftps required` and a dictation sent to it by `send`, both real
// processes; then the same site on plain FTP: warned of, and turned away by the server.
TEST_F(SendCommandTest, AnFtpsSiteAddedOnTheCommandLineIsSentToEncrypted) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp, {"--tls-required"});
    ASSERT_NE(server.port(), 0);
    const auto added =
        test::runCli(profile.home(),
                     {"site", "add", "--name", "Cabinet", "--type", "1", "--address", server.address(),
                      "--login", test::kLogin, "--password-stdin", "--ftps", "required"},
                     test::kPassword + "\n");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_THAT(added.err, Not(HasSubstr("en clair")));
    const auto letter = addDictation("Lettre chiffrée");

    auto result = send({"--now"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Envoyée : " + named(letter, "Lettre chiffrée") + "\n"));
    const auto stored = server.journal(" STOR ");
    ASSERT_EQ(stored.size(), 2u); // the audio, then the descriptor
    EXPECT_THAT(stored, ::testing::Each(HasSubstr("control=TLS data=TLS")));

    const auto plain = test::runCli(profile.home(), {"site", "edit", "1", "--ftps", "off"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_THAT(plain.err, HasSubstr("Attention : En FTP sans chiffrement, le mot de passe et les dictées "
                                     "circulent en clair sur le réseau."));
    const auto note = addDictation("Note");
    result = send({"--now"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, HasSubstr("Non envoyée : " + named(note, "Note")));
    EXPECT_EQ(server.journal(" STOR ").size(), 2u);
    EXPECT_EQ(record(note).envoi, 0);
    std::ifstream log(profile.home() / "config" / "orvaneh.log");
    const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_THAT(logged, Not(HasSubstr(test::kPassword)));
}

// A dictation the sender cannot send as it is goes back to draft: said as such, and a failure.
TEST_F(SendCommandTest, ADictationPutBackToDraftIsToldSo) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto id = addDictation("Sans worktype");
    DicteeModel incomplete = record(id);
    incomplete.worktype.clear();
    DicteeRequest().updateDictee(incomplete);

    const auto result = send({"--now"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out,
                HasSubstr("Non envoyée : " + named(id, "Sans worktype") + " : remise en brouillon"));
    EXPECT_THAT(result.out, Not(HasSubstr("en attente")));
    EXPECT_TRUE(record(id).brouillon);
    const auto draft = send({std::to_string(id)});
    EXPECT_EQ(draft.status, 1);
    EXPECT_THAT(draft.err, HasSubstr("est un brouillon"));
}

} // namespace
} // namespace orvaneh
