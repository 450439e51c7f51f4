// "dictation record" in real orvaneh-cli processes against a PulseAudio server of the test's
// own, whose microphone says a 440 Hz tone: what is stored is what was heard, for as long as
// the person (or the script) said, and nothing is stored without a microphone.
#ifdef ORVANEH_HAVE_PULSE

#include "App/cli/LiveTakeConsole.h"
#include "Classes/core/DicteeRequest.h"
#include "audio/WaveTestFiles.h"
#include "support/CommandTest.h"
#include "support/PrivatePulseServer.h"
#include "support/ProcessRunner.h"
#include "support/RecordedWave.h"
#include "support/ToneMicrophone.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gmock/gmock.h>
#include <thread>
#include <unistd.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

class LiveRecordingTest : public test::AuthorCommandTest {
protected:
    void SetUp() override {
        test::AuthorCommandTest::SetUp();
        server = std::make_unique<test::PrivatePulseServer>(inputs.path() / "pulse", true);
        if (!server->ready()) {
            server.reset();
            GTEST_SKIP() << test::PrivatePulseServer::kSkipMessage;
        }
        microphone = std::make_unique<test::ToneMicrophone>(server->microphone());
    }
    void TearDown() override {
        microphone.reset();
        server.reset();
    }

    // "orvaneh-cli --home … dictation ARGUMENTS" for a shell line; a regression that blocks
    // fails after 60 s instead of hanging the run.
    std::string cliLine(const std::string& arguments) const {
        return "/usr/bin/timeout 60 '" + std::string(ORVANEH_CLI_PATH) + "' --home '" +
               profile.home().string() + "' dictation " + arguments;
    }
    // A shell line that runs `record ARGUMENTS` and, one second into the take (once its first
    // line is out), runs `then` with `$pid` the recording process and its standard input
    // reading what `then` writes.
    std::string oneSecondIn(const std::string& arguments, const std::string& then) const {
        const std::string directory = "'" + inputs.path().string() + "'";
        return "cd " + directory + " || exit 1; rm -f in err; mkfifo in; " + cliLine("record " + arguments) +
               " < in 2> err & pid=$!; (until grep -q 'Enregistrement au micro' err 2>/dev/null; do sleep "
               "0.05; done; sleep 1; " +
               then + ") > in; wait $pid; status=$?; cat err >&2; exit $status";
    }
    // A shell line run with the private server as the user's.
    test::ProcessResult shell(const std::string& line, const std::string& address) const {
        return test::ProcessRunner::run({"/bin/sh", "-c", line}, {{"PULSE_SERVER", address}});
    }
    test::ProcessResult record(const std::string& arguments) const {
        return shell("exec " + cliLine(arguments), server->address());
    }
    // The audio files of the documents directory.
    // Names only: the recorder renames its working files while this is looked at.
    std::vector<std::string> recordings() const {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator it(profile.documents(), error), end; !error && it != end;
             it.increment(error)) {
            if (const std::string name = it->path().filename().string(); name.ends_with(".wav")) {
                names.push_back(name);
            }
        }
        return names;
    }
    test::RecordedWave stored(const std::string& id) const {
        return test::RecordedWave::read(profile.documents() / (id + ".wav"));
    }

    std::unique_ptr<test::PrivatePulseServer> server;
    std::unique_ptr<test::ToneMicrophone> microphone;
};

TEST_F(LiveRecordingTest, ATimedTakeIsWhatTheMicrophoneSaidAndAnotherGoesInAtTheCursor) {
    // Standard input at its end from the start, as in a script: the duration decides.
    const auto made = record("record --duree 2 --author jdupont --title Essai < /dev/null");
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string id = std::to_string(std::stoll(made.out));
    EXPECT_THAT(made.err, HasSubstr("enregistrée comme brouillon"));
    EXPECT_THAT(made.err, HasSubstr("Enregistrement au micro"));
    EXPECT_THAT(made.err, Not(HasSubstr("\r"))) << "no level line redrawn off a terminal";
    auto wave = stored(id);
    EXPECT_EQ(wave.rate, 16000u);
    EXPECT_NEAR(wave.seconds(), 2.0, 0.3);
    EXPECT_NEAR(wave.frequency(), test::ToneMicrophone::kFrequency, 440 * 0.03);

    const auto added = record("record " + id + " --at 1 --duree 1 --send --json < /dev/null");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_THAT(added.out, HasSubstr("\"idDictee\": " + id));
    EXPECT_NEAR(stored(id).seconds(), wave.seconds() + 1, 0.3);
    EXPECT_EQ(DicteeRequest().selectDictee(std::stoll(id)).titre, "Essai");
}

TEST_F(LiveRecordingTest, TheTakeEndsOnAKeyTheEndOfInputOrASignalAndIsKept) {
    const std::vector<std::tuple<std::string, std::string, std::string>> endings{
        {"space", oneSecondIn("--author jdupont", "printf ' '; sleep 3"), ""},
        {"Enter", oneSecondIn("--author jdupont", "echo; sleep 3"), ""},
        {"end of input", oneSecondIn("--author jdupont", "true"), ""},
        // With --duree, the end of input only stops the reading.
        {"SIGINT", oneSecondIn("--author jdupont --duree 30", "kill -INT $pid; sleep 3"),
         "Interrompu : la prise est gardée."},
        {"SIGTERM", oneSecondIn("--author jdupont --duree 30", "kill -TERM $pid; sleep 3"),
         "Interrompu : la prise est gardée."},
    };
    for (const auto& [ending, line, told] : endings) {
        SCOPED_TRACE(ending);
        const auto started = std::chrono::steady_clock::now();
        const auto result = shell(line, server->address());
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_THAT(result.err, HasSubstr(told));
        const auto wave = stored(std::to_string(std::stoll(result.out)));
        EXPECT_NEAR(wave.seconds(), 1.0, 0.4);
        EXPECT_NEAR(wave.frequency(), test::ToneMicrophone::kFrequency, 440 * 0.03);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
    }
}

TEST_F(LiveRecordingTest, TheTerminalIsGivenBackAsItWasAfterASignal) {
    if (::access("/usr/bin/script", X_OK) != 0) {
        GTEST_SKIP() << "script (util-linux) absent : pas de terminal pour l'essai";
    }
    const auto directory = inputs.path();
    for (const std::string signal : {"INT", "TERM"}) {
        SCOPED_TRACE(signal);
        // On a terminal of its own (script's), the take's keys are read from it: the recording
        // process is in the terminal's foreground group, as when typed at a prompt.
        std::string recording = cliLine("record --author jdupont");
        recording.replace(0, recording.find(" 60 "), "/usr/bin/timeout --foreground");
        test::writeBytes(
            directory / "terminal.sh",
            "cd '" + directory.string() +
                "' || exit 1\nrm -f err status before during after\nstty -g > before\n" + recording +
                " < /dev/tty 2> err &\npid=$!\nn=0\n" +
                "until grep -q 'Enregistrement au micro' err || [ $n -gt 600 ]; do sleep 0.05; " +
                "n=$((n + 1)); done\nsleep 1\nstty -g > during\nkill -" + signal +
                " $pid\nwait $pid\necho $? > status\nstty -g > after\n");
        shell("cd '" + directory.string() +
                  "' && /usr/bin/timeout 90 /usr/bin/script -qec 'sh terminal.sh' /dev/null > /dev/null",
              server->address());
        const auto read = [&](const char* name) { return test::readBytes(directory / name); };
        EXPECT_EQ(read("status"), "0\n") << read("err");
        EXPECT_NE(read("during"), read("before")) << "keys read one by one during the take";
        EXPECT_EQ(read("after"), read("before"));
        EXPECT_THAT(read("err"), HasSubstr("Interrompu : la prise est gardée."));
    }
}

TEST_F(LiveRecordingTest, WithoutAMicrophoneNothingIsStored) {
    test::PrivatePulseServer silent(inputs.path() / "silent", false);
    std::vector<std::pair<std::string, std::string>> servers{
        {"no server", "unix:" + (inputs.path() / "nowhere").string()}};
    if (silent.ready()) {
        servers.emplace_back("server without input", silent.address());
    }
    for (const auto& [what, address] : servers) {
        SCOPED_TRACE(what);
        const auto result = shell(cliLine("record --author jdupont --duree 1 < /dev/null"), address);
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, HasSubstr("Erreur : aucun micro n'est disponible"));
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(DicteeRequest().getLastId(), 0);
    EXPECT_TRUE(recordings().empty()) << "no recording left behind";
}

TEST_F(LiveRecordingTest, AMicrophoneLostMidTakeKeepsWhatWasHeard) {
    // One second into the take: its working file is there from the start.
    std::thread crash([this] {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (recordings().empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(1s);
        microphone.reset();
        server->stop(SIGKILL);
    });
    const auto result = record("record --author jdupont --duree 20 < /dev/null");
    crash.join();
    ASSERT_EQ(result.status, 0) << result.err;
    // Told once, by the recording screen's banner or by the command.
    EXPECT_THAT(result.err, HasSubstr("Le micro n'est plus disponible"));
    const auto wave = stored(std::to_string(std::stoll(result.out)));
    EXPECT_NEAR(wave.seconds(), 1.0, 0.4);
    EXPECT_NEAR(wave.frequency(), test::ToneMicrophone::kFrequency, 440 * 0.03);
}

TEST(LiveTakeConsoleTest, TheLevelLineFollowsTheMeterAndStaysInItsBounds) {
    const std::vector<std::tuple<float, std::string, std::string>> levels{
        {-160.0f, "[------------------------------]", "< -60 dBFS"},
        {-60.0f, "[------------------------------]", "< -60 dBFS"},
        {0.0f, "[##############################]", "0 dBFS"},
        {6.0f, "[##############################]", "0 dBFS"},
        {-20.0f, "[#########---------------------]", "-20 dBFS"},
    };
    for (const auto& [level, bar, text] : levels) {
        const std::string line = LiveTakeConsole::levelLine(75.25, level);
        EXPECT_THAT(line, HasSubstr("1:15.3")) << level;
        EXPECT_THAT(line, HasSubstr(bar)) << level;
        EXPECT_THAT(line, testing::EndsWith(text)) << level;
    }
}

} // namespace
} // namespace orvaneh

#endif
