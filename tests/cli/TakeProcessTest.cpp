// The real orvaneh-cli on a real profile, for what only a separate process shows: a take that
// cannot be read must not hang or leave a dictation, and the dates stored are the wall clock's
// even though an hour of audio is recorded in no time.
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/userRequest.h"
#include "audio/WaveTestFiles.h"
#include "support/CommandTest.h"
#include "support/ProcessRunner.h"

#include <chrono>
#include <gmock/gmock.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

class TakeProcessTest : public test::AuthorCommandTest {
protected:
    // A regression that blocks fails after 60 s instead of hanging the run.
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"/usr/bin/timeout", "60", ORVANEH_CLI_PATH, "--home",
                                             profile.home().string(), "dictation"});
        return test::ProcessRunner::run(arguments);
    }
    std::string input(const std::string& name, const test::Wave& wave) const {
        const auto path = inputs.path() / name;
        test::writeBytes(path, wave.bytes());
        return path.string();
    }
    // The audio files of the documents directory, with their contents.
    std::map<std::string, std::string> recordings() const {
        auto files = test::filesIn(profile.documents());
        std::erase_if(files, [](const auto& file) { return !file.first.ends_with(".wav"); });
        return files;
    }
    double storedDate(std::int64_t id) const {
        auto connection = SqlConnection::open(database);
        SqlStatement select(*connection, "select date_heure from dictee where id = ?");
        select.bindInt(1, id);
        select.step();
        return select.columnDouble(0);
    }
};

TEST_F(TakeProcessTest, UnusableTakesAreRefusedWithoutWaitingOrWriting) {
    const auto first =
        cli({"new", "--audio", input("take.wav", {.samples = test::signal(1, 1)}), "--author", "jdupont"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string id = std::to_string(std::stoll(first.out));
    const auto fifo = inputs.path() / "tube.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::tuple<std::string, std::string, std::string>> takes{
        {"tube", fifo.string(), "fichier ordinaire"},
        {"directory", inputs.path().string(), "fichier ordinaire"},
        {"block align 4", input("align.wav", {.samples = test::signal(-1, 0.5), .blockAlign = 4}),
         "taille d'une trame de 4 octets au lieu de 2"},
        {"byte rate", input("rate.wav", {.samples = test::signal(-1, 0.5), .byteRate = 8000}),
         "débit de 8000 octets par seconde au lieu de 32000"},
    };
    const auto before = recordings();
    for (const auto& [what, path, reason] : takes) {
        SCOPED_TRACE(what);
        for (const auto& arguments : {std::vector<std::string>{"new", "--audio", path, "--author", "jdupont"},
                                      std::vector<std::string>{"edit", id, "--take", path}}) {
            const auto result = cli(arguments);
            EXPECT_EQ(result.status, 1) << arguments[0];
            EXPECT_THAT(result.err, HasSubstr(reason)) << arguments[0];
        }
    }
    EXPECT_EQ(DicteeRequest().getLastId(), std::stoll(id));
    EXPECT_TRUE(recordings() == before) << "no recording touched";
}

TEST_F(TakeProcessTest, AnElevenMinuteTakeIsDatedWhenItWasMade) {
    const std::string take = input("long.wav", {.samples = test::Samples(11 * 60 * 16000, 100)});
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 2; ++i) {
        const auto made =
            cli({"new", "--audio", take, "--author", "jdupont", "--title", "Dictée " + std::to_string(i)});
        const double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        ASSERT_EQ(made.status, 0) << made.err;
        ids.push_back(std::stoll(made.out));
        EXPECT_NEAR(storedDate(ids.back()), now, 10.0) << "the take's length must not move the date";
    }
    EXPECT_LE(storedDate(ids[0]), storedDate(ids[1]));
    const auto listed = cli({"list", "--all"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_LT(listed.out.find("Dictée 1"), listed.out.find("Dictée 0")) << "newest first:\n" << listed.out;
}

} // namespace
} // namespace orvaneh
