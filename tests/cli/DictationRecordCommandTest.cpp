#include "App/cli/DictationCommand.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/userRequest.h"
#include "audio/WaveTestFiles.h"
#include "support/CommandTest.h"
#include "support/ProcessRunner.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using test::Samples;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Positive samples for the first recording, negative ones for later takes, so that a sample in
// the wrong place shows.
Samples signal(int sign, std::size_t count) {
    Samples samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(sign * static_cast<int>(1 + i % 30000));
    }
    return samples;
}

Samples slice(const Samples& samples, std::size_t from, std::size_t to) {
    return Samples(samples.begin() + static_cast<std::ptrdiff_t>(from),
                   samples.begin() + static_cast<std::ptrdiff_t>(to));
}

Samples joined(std::initializer_list<Samples> parts) {
    Samples all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class DictationRecordCommandTest : public test::CommandTest {
protected:
    test::TemporaryDirectory inputs;

    void SetUp() override {
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        ASSERT_GT(author.insertUser(), 0);
    }

    int run(const std::vector<std::string>& arguments) {
        DictationCommand command;
        return CommandTest::run(command, arguments);
    }

    std::string input(const std::string& name, const Samples& samples, std::uint32_t rate = 16000,
                      std::uint16_t channels = 1) {
        test::Wave wave;
        wave.samples = samples;
        wave.rate = rate;
        wave.channels = channels;
        auto path = inputs.path() / name;
        test::writeBytes(path, wave.bytes());
        return path.string();
    }

    Samples stored(std::int64_t id) const {
        auto bytes = test::readBytes(profile.documents() / (std::to_string(id) + ".wav"));
        auto data = bytes.find("data");
        return data == std::string::npos ? Samples{} : test::samplesFrom(bytes, data + 8);
    }

    std::int64_t printedId() const { return std::stoll(out.str()); }
};

TEST_F(DictationRecordCommandTest, NewThenEditKeepsEverySampleInPlace) {
    const Samples first = signal(1, 24000); // 1.5 s
    const Samples take = signal(-1, 8000);  // 0.5 s
    ASSERT_EQ(run({"new", "--audio", input("take.wav", first), "--author", "jdupont", "--worktype",
                   "Courrier", "--title", "Lettre", "--priority", "haute", "--send"}),
              0)
        << err.str();
    const std::int64_t id = printedId();
    EXPECT_EQ(stored(id), first);
    DicteeModel record = DicteeRequest().selectDictee(id);
    EXPECT_EQ(record.sendingState(), DicteeModel::SendingState::Waiting);
    EXPECT_EQ(record.titre, "Lettre");
    EXPECT_EQ(record.priorite, "Haute");
    EXPECT_EQ(record.dureeDictee, 1);

    // A take at 0.5 s goes between the first half second and the rest.
    ASSERT_EQ(run({"edit", std::to_string(id), "--at", "0.5", "--take", input("take2.wav", take)}), 0)
        << err.str();
    EXPECT_EQ(printedId(), id);
    const Samples edited = joined({slice(first, 0, 8000), take, slice(first, 8000, 24000)});
    EXPECT_EQ(stored(id), edited);
    EXPECT_EQ(DicteeRequest().selectDictee(id).sendingState(), DicteeModel::SendingState::Draft);

    // Markers given in reverse order cut the passage between them.
    ASSERT_EQ(run({"edit", std::to_string(id), "--cut", "1.25", "0.25", "--send"}), 0) << err.str();
    EXPECT_EQ(stored(id), joined({slice(edited, 0, 4000), slice(edited, 20000, edited.size())}));
    EXPECT_EQ(DicteeRequest().selectDictee(id).sendingState(), DicteeModel::SendingState::Waiting);
}

TEST_F(DictationRecordCommandTest, InstructionTakeGoesToItsOwnTrack) {
    const Samples instruction = signal(-1, 4000);
    ASSERT_EQ(run({"new", "--audio", input("a.wav", signal(1, 16000)), "--instruction",
                   input("i.wav", instruction), "--author", "jdupont"}),
              0)
        << err.str();
    const std::int64_t id = printedId();
    auto bytes = test::readBytes(profile.documents() / ("I" + std::to_string(id) + ".wav"));
    EXPECT_EQ(test::samplesFrom(bytes, bytes.find("data") + 8), instruction);
    EXPECT_EQ(DicteeRequest().selectDictee(id).sendingState(), DicteeModel::SendingState::Draft);
}

TEST_F(DictationRecordCommandTest, RefusesTakesOfAnotherFormatAndChangesNothing) {
    ASSERT_EQ(run({"new", "--audio", input("take.wav", signal(1, 16000)), "--author", "jdupont"}), 0);
    const std::int64_t id = printedId();
    const auto before = test::filesIn(profile.documents());

    struct Case {
        const char* name;
        std::uint32_t rate;
        std::uint16_t channels;
    };
    for (const Case& bad : {Case{"8k.wav", 8000, 1}, Case{"stereo.wav", 16000, 2}}) {
        const std::string path = input(bad.name, signal(-1, 800), bad.rate, bad.channels);
        EXPECT_EQ(run({"edit", std::to_string(id), "--take", path}), 1) << bad.name;
        EXPECT_THAT(err.str(), HasSubstr("format attendu : WAV PCM 16 bits mono à 16000 Hz")) << bad.name;
        EXPECT_EQ(run({"new", "--audio", path, "--author", "jdupont"}), 1) << bad.name;
    }
    test::writeBytes(inputs.path() / "text.wav", "not audio at all");
    EXPECT_EQ(run({"new", "--audio", (inputs.path() / "text.wav").string()}), 1);
    EXPECT_EQ(test::filesIn(profile.documents()).size(), before.size());
    EXPECT_EQ(DicteeRequest().getLastId(), id);
}

TEST_F(DictationRecordCommandTest, SendFollowsTheSiteTypeAndTheSummarySetting) {
    SiteModel site;
    site.name = "Courriel";
    site.address = "office.example";
    site.typeSite = 3;
    site.selected = true;
    site.idSite = siteRequest().addSite(site);
    siteRequest().updateSite(site); // the default mark is written by an update
    const std::string take = input("take.wav", signal(1, 16000));

    EXPECT_EQ(run({"new", "--audio", take, "--author", "jdupont", "--send"}), 1);
    EXPECT_THAT(profile.ui().messages("banner"), ElementsAre("L'envoi par mail n'est pas pris en charge"));
    EXPECT_EQ(DicteeRequest().getLastId(), 0);

    site.typeSite = 1;
    siteRequest().updateSite(site);
    profile.preferences().setBool("ValidateBeforeSend", true);
    ASSERT_EQ(run({"new", "--audio", take, "--author", "jdupont", "--title", "Rapport", "--send"}), 0)
        << err.str();
    auto confirmations = profile.ui().calls();
    auto summary = std::find_if(confirmations.begin(), confirmations.end(),
                                [](const auto& call) { return call.kind == "confirmation"; });
    ASSERT_NE(summary, confirmations.end());
    EXPECT_THAT(summary->message, HasSubstr("Auteur : jdupont\n"));
    EXPECT_EQ(summary->otherTitle, "Envoyer");
    EXPECT_EQ(DicteeRequest().selectDictee(printedId()).sendingState(), DicteeModel::SendingState::Waiting);
}

TEST_F(DictationRecordCommandTest, NewNeedsAnImportedWorkflow) {
    userRequest().deleteAlluser();
    EXPECT_EQ(run({"new", "--audio", input("take.wav", signal(1, 1600))}), 1);
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Vous devez importer les paramètres du workflow Tarnix pour créer une dictée !"));
}

// The whole road through the real program: recorded, then reported as waiting to be sent.
TEST_F(DictationRecordCommandTest, ProgramRecordsAndShowsTheDictation) {
    const auto home = (inputs.path() / "home").string();
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home});
        return test::ProcessRunner::run(arguments);
    };
    ASSERT_EQ(cli({"start"}).status, 0);
    test::writeBytes(
        inputs.path() / "cat.xml",
        "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role><LoginName>jdupont</LoginName>"
        "</LoginUserInfo></LoginUserInfos></Catalogue>");
    ASSERT_EQ(cli({"workflow", "import-file", (inputs.path() / "cat.xml").string()}).status, 0);
    auto created = cli({"dictation", "new", "--audio", input("take.wav", signal(1, 16000)), "--author",
                        "jdupont", "--worktype", "Courrier", "--title", "Lettre", "--send"});
    ASSERT_EQ(created.status, 0) << created.err;
    auto shown = cli({"dictation", "show", std::to_string(std::stoll(created.out))});
    EXPECT_THAT(shown.out, HasSubstr("État : En attente"));
}

} // namespace
} // namespace orvaneh
