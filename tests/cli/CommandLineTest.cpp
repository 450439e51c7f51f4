// The real program as a person learns it: help for every command and action, the version,
// usage errors that leave no profile behind, the cut's confirmation asked on a terminal, takes
// that hold less audio than announced, and lengths and dates shown one way.
#include "App/cli/DictationFormat.h"
#include "Platform/json/Json.h"
#include "audio/WaveTestFiles.h"
#include "support/CliProcess.h"
#include "support/CommandTest.h"

#include <cerrno>
#include <filesystem>
#include <gmock/gmock.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvaneh {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;

// Runs the program on a pseudo-terminal, typing `typed`; what the terminal showed and the
// exit status.
std::pair<std::string, int> runOnTerminal(const std::vector<std::string>& arguments,
                                          const std::string& typed) {
    std::vector<std::string> command{"/usr/bin/timeout", "60", ORVANEH_CLI_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv;
        for (auto& argument : command) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0) {
        return {"forkpty: " + std::string(std::strerror(errno)), -1};
    }
    // Kept by the terminal until the program reads its answer.
    EXPECT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    std::string shown;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(terminal, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
        shown.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    return {shown, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

class CommandLineTest : public test::AuthorCommandTest {
protected:
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        return test::runCli(profile.home(), std::move(arguments));
    }
    std::string input(const std::string& name, const test::Wave& wave) const {
        const auto path = inputs.path() / name;
        test::writeBytes(path, wave.bytes());
        return path.string();
    }
    std::int64_t create(double seconds) const {
        const auto made =
            cli({"dictation", "new", "--audio", input("take.wav", {.samples = test::signal(1, seconds)}),
                 "--author", "jdupont", "--worktype", "Courrier", "--title", "Lettre"});
        EXPECT_EQ(made.status, 0) << made.err;
        return std::stoll(made.out);
    }
    std::size_t trackSamples(std::int64_t id) const {
        return test::audioOf(profile.documents() / (std::to_string(id) + ".wav")).size();
    }
};

TEST_F(CommandLineTest, HelpAndVersionForEveryCommandAndNoProfileFromAUsageError) {
    test::TemporaryDirectory parent;
    const auto home = parent.path() / "profil";
    const std::vector<std::pair<std::string, std::string>> helps{
        {"--version", "orvaneh-cli "},
        {"--help", "dictation new --audio WAV"},
        {"dictation --help", "dictation list"},
        {"dictation new --help", "dictation new --audio WAV"},
        {"dictation edit -h", "[--cut DE A [--yes]]"},
        {"send --help", "send [ID] [--now] [--json]"},
        {"start --help", "start "},
        {"settings set --help", "settings "},
        {"site add --help", "site add"},
        {"workflow import --help", "workflow import"},
    };
    for (const auto& [arguments, shown] : helps) {
        SCOPED_TRACE(arguments);
        const auto result = test::runCli(home, test::words(arguments));
        EXPECT_EQ(result.status, 0);
        EXPECT_THAT(result.out, HasSubstr(shown));
        EXPECT_EQ(result.err, "");
    }
    EXPECT_THAT(test::runCli(home, {"dictation", "new", "--help"}).out, Not(HasSubstr("dictation list")));
    for (const char* arguments :
         {"dictation", "dictation frob", "dictation new --bogus", "dictation new", "dictation show",
          "dictation show 1 2", "dictation edit 1 --cut 1", "dictation edit 1 --cut 1 2", "send --later",
          "send 1 2", "start now", "workflow frob", "workflow import-file", "workflow import --bogus",
          "workflow show --bogus"}) {
        SCOPED_TRACE(arguments);
        const auto result = test::runCli(home, test::words(arguments));
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, StartsWith("Erreur : "));
    }
    EXPECT_FALSE(std::filesystem::exists(home)) << "a usage error leaves no profile behind";
}

TEST_F(CommandLineTest, TheCutIsConfirmedOnTheTerminalOrByYes) {
    const auto id = create(2);
    const std::string number = std::to_string(id);
    const auto before = trackSamples(id);

    const auto unasked = cli({"dictation", "edit", number, "--cut", "0.5", "1"});
    EXPECT_EQ(unasked.status, 2);
    EXPECT_THAT(unasked.err, HasSubstr("ajoutez --yes"));
    EXPECT_EQ(trackSamples(id), before);

    const std::vector<std::string> cut{
        "--home", profile.home().string(), "dictation", "edit", number, "--cut", "0.5", "1"};
    auto [declined, declinedStatus] = runOnTerminal(cut, "Non\n");
    EXPECT_EQ(declinedStatus, 1) << declined;
    EXPECT_THAT(declined, HasSubstr("Voulez-supprimer cette partie ?"));
    EXPECT_EQ(trackSamples(id), before);
    // Declined, or refused for a position past the end: no working copy is left for the next
    // screen to set aside as unsaved recordings.
    EXPECT_EQ(cli({"dictation", "edit", number, "--cut", "1", "9", "--yes"}).status, 2);
    for (const char* left : {"dictee.wav", "instruction.wav", "enregistreur.journal"}) {
        EXPECT_FALSE(std::filesystem::exists(profile.documents() / left)) << left;
    }

    auto [accepted, acceptedStatus] = runOnTerminal(cut, "o\n");
    EXPECT_EQ(acceptedStatus, 0) << accepted;
    EXPECT_EQ(trackSamples(id), before - 8000);

    const auto scripted = cli({"dictation", "edit", number, "--cut", "0", "0.5", "--yes", "--json"});
    ASSERT_EQ(scripted.status, 0) << scripted.err;
    EXPECT_EQ(trackSamples(id), before - 16000);
    EXPECT_EQ(Json::parse(scripted.out)["dureeDicteeSecondes"], 1.0);
}

// On one terminal the result and the messages mix: a result the console already showed as a
// message is not printed again; apart, a script still reads it as the result.
TEST_F(CommandLineTest, AMessageShownOnTheTerminalIsNotRepeatedAsTheResult) {
    const auto catalogue = inputs.path() / "Catalogue.xml";
    test::writeBytes(catalogue,
                     "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role><LoginName>jdupont"
                     "</LoginName></LoginUserInfo></LoginUserInfos></Catalogue>");
    const std::vector<std::string> import{"--home", profile.home().string(), "workflow", "import-file",
                                          catalogue.string()};
    auto [shown, status] = runOnTerminal(import, "");
    EXPECT_EQ(status, 0) << shown;
    const auto first = shown.find("Fin de l'importation");
    EXPECT_NE(first, std::string::npos) << shown;
    EXPECT_EQ(shown.find("Fin de l'importation", first + 1), std::string::npos) << shown;

    const auto piped = cli({"workflow", "import-file", catalogue.string()});
    EXPECT_EQ(piped.out, "Fin de l'importation\n");

    // Both streams into one file, as "2>&1" does: once there as well.
    const auto both = inputs.path() / "journal.txt";
    const auto redirected = test::ProcessRunner::run(
        {"/bin/sh", "-c", "\"$0\" --home \"$1\" workflow import-file \"$2\" >\"$3\" 2>&1", ORVANEH_CLI_PATH,
         profile.home().string(), catalogue.string(), both.string()});
    ASSERT_EQ(redirected.status, 0) << redirected.err;
    const std::string written = test::readBytes(both);
    const auto once = written.find("Fin de l'importation");
    ASSERT_NE(once, std::string::npos) << written;
    EXPECT_EQ(written.find("Fin de l'importation", once + 1), std::string::npos) << written;
}

TEST_F(CommandLineTest, ATakeThatHoldsLessThanItsHeaderAnnouncesIsRecordedWithAWarning) {
    const auto samples = test::signal(1, 1.25);
    const auto made = cli({"dictation", "new", "--author", "jdupont", "--audio",
                           input("cut-short.wav", {.samples = samples, .dataSize = 16000 * 2 * 3})});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_THAT(made.err, HasSubstr("son en-tête annonce 0:03.0 d'audio, il n'en contient que 0:01.3"));
    EXPECT_EQ(test::audioOf(profile.documents() / (made.out.substr(0, made.out.size() - 1) + ".wav")),
              samples);

    // A writer that did not know the length announces 0xFFFFFFFF: nothing to warn of.
    const auto streamed = cli({"dictation", "new", "--author", "jdupont", "--audio",
                               input("streamed.wav", {.samples = samples, .dataSize = 0xFFFFFFFFu})});
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_THAT(streamed.err, Not(HasSubstr("Attention")));

    // A recorder stopped before writing its sizes: "no audio", then all of it.
    const auto unfinished = cli({"dictation", "new", "--author", "jdupont", "--audio",
                                 input("unfinished.wav", {.samples = samples, .dataSize = 0})});
    ASSERT_EQ(unfinished.status, 0) << unfinished.err;
    EXPECT_THAT(unfinished.err,
                HasSubstr("son en-tête annonce 0:00.0 d'audio, mais 0:01.3 de données le suivent"));
}

TEST_F(CommandLineTest, ListsShowLengthsToTheTenthAndOneDateFormat) {
    const auto id = create(1.6);
    const std::string number = std::to_string(id);
    EXPECT_THAT(cli({"dictation", "list", "--all"}).out,
                ContainsRegex("[0-9]{4}-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]  Brouillon +0:01\\.6 \\+ "
                              "0:00\\.0 +Moyenne  Lettre"));
    EXPECT_THAT(cli({"dictation", "show", number}).out, HasSubstr("Durées : 0:01.6 (instruction 0:00.0)"));
    Json shown = Json::parse(cli({"dictation", "show", number, "--json"}).out);
    Json listed = Json::parse(cli({"dictation", "list", "--all", "--json"}).out).at(0);
    listed.erase("titreAuto"); // made for the list only
    shown.erase("titreAuto");
    EXPECT_EQ(shown, listed);
    EXPECT_THAT(
        shown["date"].get<std::string>(),
        MatchesRegex(
            "[0-9]{4}-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9](Z|[+-][0-9][0-9]:[0-9][0-9])"));
    EXPECT_EQ(shown["etat"], "Brouillon");

    for (const auto& [seconds, text] : std::vector<std::pair<double, std::string>>{{119.6, "1:59.6"},
                                                                                   {59.96, "1:00.0"},
                                                                                   {3725.25, "1:02:05.3"},
                                                                                   {3599.96, "1:00:00.0"},
                                                                                   {0, "0:00.0"},
                                                                                   {-4, "0:00.0"}}) {
        EXPECT_EQ(DictationFormat::duration(seconds), text) << seconds;
    }
}

} // namespace
} // namespace orvaneh
