// The recorder of the real program killed at random points of an edit of a long dictation, and
// a second recorder on the same profile.
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/userRequest.h"
#include "Platform/files/FileLock.h"
#include "audio/WaveTestFiles.h"
#include "support/CommandTest.h"
#include "support/ProcessRunner.h"
#include "support/TestImages.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

class InterruptedEditTest : public test::AuthorCommandTest {
protected:
    std::vector<std::string> command(const std::vector<std::string>& arguments) const {
        std::vector<std::string> full{ORVANEH_CLI_PATH, "--home", profile.home().string(), "dictation"};
        full.insert(full.end(), arguments.begin(), arguments.end());
        return full;
    }
    test::ProcessResult cli(const std::vector<std::string>& arguments) const {
        return test::ProcessRunner::run(command(arguments));
    }
    std::string input(const std::string& name, const test::Samples& samples) {
        const auto path = inputs.path() / name;
        test::writeBytes(path, test::Wave{.samples = samples}.bytes());
        return path.string();
    }
    // Seconds of audio of a WAV file of the documents directory; -1 when it does not read back.
    double duration(const std::string& name) const {
        auto header = WaveHeader::readFile((profile.documents() / name).string());
        return header && header->sampleRate > 0
                   ? static_cast<double>(header->frameCount()) / header->sampleRate
                   : -1;
    }
    // Runs the command and kills it (SIGKILL) after `delay` unless it ended before. True when
    // it was killed.
    static bool runKilledAfter(const std::vector<std::string>& arguments, Clock::duration delay) {
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        const auto deadline = Clock::now() + delay;
        int status = 0;
        while (Clock::now() < deadline) {
            if (waitpid(child, &status, WNOHANG) == child) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return WIFSIGNALED(status);
    }
};

// Wherever the edit dies, the next one starts from a whole state, told when it is the
// interrupted edit taken up, and adds its take once.
TEST_F(InterruptedEditTest, KilledEditIsTakenUpOrSetAsideAndNeverSplicedTwice) {
    const std::string track = input("long.wav", test::signal(1, 600));
    const std::string take = input("take.wav", test::signal(-1, 5));
    const auto created = cli({"new", "--audio", track, "--author", "jdupont", "--draft"});
    ASSERT_EQ(created.status, 0) << created.err;
    const std::string id = std::to_string(std::stoll(created.out));
    const std::string stored = id + ".wav";
    const std::vector<std::string> interrupted{"edit", id, "--at", "300", "--take", take};

    const auto start = Clock::now();
    ASSERT_EQ(cli(interrupted).status, 0);
    const auto editTime = Clock::now() - start;
    double expected = 605;
    ASSERT_DOUBLE_EQ(duration(stored), expected);

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long> pick(
        0, std::chrono::duration_cast<std::chrono::microseconds>(editTime).count());
    int killed = 0;
    int takenUp = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const auto delay = std::chrono::microseconds(pick(random) * 5 / 4);
        SCOPED_TRACE("tué après " + std::to_string(delay.count()) + " µs");
        killed += runKilledAfter(command(interrupted), delay) ? 1 : 0;
        const double afterKill = duration(stored);
        ASSERT_TRUE(afterKill == expected || afterKill == expected + 5) << afterKill;

        const auto next = cli({"edit", id, "--at", "0", "--take", take});
        ASSERT_EQ(next.status, 0) << next.err;
        const bool resumed =
            next.err.find("La modification interrompue de cette dictée est reprise") != std::string::npos;
        takenUp += resumed ? 1 : 0;
        // Taken up: the interrupted edit counts whole; otherwise the next one starts from what
        // is stored.
        expected = (resumed ? expected + 5 : afterKill) + 5;
        ASSERT_DOUBLE_EQ(duration(stored), expected) << next.err;
        EXPECT_EQ(DicteeRequest().selectDictee(std::stoll(id)).dureeDictee,
                  static_cast<std::int64_t>(expected));
        for (const auto& [name, contents] : test::filesIn(profile.documents())) {
            // A take cut short by the kill is kept as it is; every track reads back.
            if (name.ends_with(".wav") && !name.starts_with("prise-")) {
                EXPECT_GE(duration(name), 0) << name << " ne se relit pas";
            }
            // The next start-up removed what the killed edit was writing.
            EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
        }
    }
    EXPECT_EQ(test::audioOf(profile.documents() / stored).front(), test::signal(-1, 5).front());
    RecordProperty("tues", killed);
    RecordProperty("reprises", takenUp);
}

TEST_F(InterruptedEditTest, SecondRecorderOnTheProfileIsRefused) {
    const std::string take = input("take.wav", test::signal(1, 1));
    const auto created = cli({"new", "--audio", take, "--author", "jdupont"});
    ASSERT_EQ(created.status, 0) << created.err;
    const std::string id = std::to_string(std::stoll(created.out));

    // The application's recording screen, or another command, holds the profile's recorder.
    FileLock screen(profile.documents() / "enregistreur.verrou");
    ASSERT_EQ(screen.tryLock(), FileLock::Result::Acquired);
    for (const auto& arguments : {std::vector<std::string>{"edit", id, "--take", take},
                                  std::vector<std::string>{"new", "--audio", take, "--author", "jdupont"}}) {
        const auto refused = cli(arguments);
        EXPECT_EQ(refused.status, 1);
        EXPECT_THAT(refused.err, HasSubstr("Erreur : Un enregistrement est déjà ouvert sur ce profil"));
    }
    EXPECT_DOUBLE_EQ(duration(id + ".wav"), 1);
    EXPECT_EQ(DicteeRequest().getLastId(), std::stoll(id));

    screen.unlock();
    EXPECT_EQ(cli({"edit", id, "--take", take}).status, 0);
    EXPECT_DOUBLE_EQ(duration(id + ".wav"), 2);
}

// A dictation open in the recording screen is neither deleted nor changed behind its back: the
// screen's later save would overwrite the change or fail on the deleted row.
TEST_F(InterruptedEditTest, ChangesWaitForTheRecorderOnTheProfileToClose) {
    const std::string take = input("take.wav", test::signal(1, 1));
    const auto created = cli({"new", "--audio", take, "--author", "jdupont", "--title", "Lettre"});
    ASSERT_EQ(created.status, 0) << created.err;
    const std::string id = std::to_string(std::stoll(created.out));
    const auto photo = inputs.path() / "photo.jpg";
    test::writeBytes(
        photo, test::jpeg(test::quarters(300, 600, test::kRed, test::kGreen, test::kBlue, test::kWhite)));
    ASSERT_EQ(cli({"pictures", id, "--add", photo.string()}).status, 0);
    const std::string picture = id + "-1.jpg";

    const std::vector<std::vector<std::string>> changes{
        {"params", id, "--title", "Autre"},
        {"pictures", id, "--add", photo.string()},
        {"pictures", id, "--delete", picture, "--yes"},
        {"delete", id, "--yes"},
    };
    FileLock screen(profile.documents() / "enregistreur.verrou");
    ASSERT_EQ(screen.tryLock(), FileLock::Result::Acquired);
    for (const auto& arguments : changes) {
        const auto refused = cli(arguments);
        EXPECT_EQ(refused.status, 1) << arguments.front() << " " << arguments[2];
        EXPECT_THAT(refused.err, HasSubstr("Erreur : la dictée " + id + " n'est pas"));
        EXPECT_THAT(refused.err, HasSubstr("Un enregistrement est déjà ouvert sur ce profil"));
    }
    // Reading is not a change.
    EXPECT_EQ(cli({"params", id}).status, 0);
    const DicteeModel kept = DicteeRequest().selectDictee(std::stoll(id));
    EXPECT_EQ(kept.titre, "Lettre");
    EXPECT_TRUE(std::filesystem::exists(profile.documents() / picture));
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / (id + "-2.jpg")));
    EXPECT_DOUBLE_EQ(duration(id + ".wav"), 1);

    screen.unlock();
    for (const auto& arguments : changes) {
        const auto done = cli(arguments);
        EXPECT_EQ(done.status, 0) << arguments.front() << " " << arguments[2] << ": " << done.err;
    }
    EXPECT_EQ(DicteeRequest().selectDictee(std::stoll(id)).idDictee, 0);
    // Each change released the lock when it ended: the screen can open again.
    EXPECT_EQ(screen.tryLock(), FileLock::Result::Acquired);
}

} // namespace
} // namespace orvaneh
