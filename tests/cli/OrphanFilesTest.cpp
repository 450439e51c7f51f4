// The real program on a profile where a dictation's row was deleted behind its back: the next
// new dictation gets the same number and must neither take nor send the old files.
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "support/CliProcess.h"
#include "support/ProcessRunner.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class OrphanFilesTest : public test::SendTest {};

TEST_F(OrphanFilesTest, NewDictationUnderAFreedNumberSendsOnlyItsOwnAudio) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    userRequest author;
    author.login_name = "jdupont";
    author.role = userRequest::kAuthorRole;
    ASSERT_GT(author.insertUser(), 0);
    worktypeRequest worktype;
    worktype.name = "Courrier";
    worktype.insertWorktype();
    test::TemporaryDirectory inputs;
    auto input = [&](const std::string& name, const test::Samples& samples) {
        test::writeBytes(inputs.path() / name, test::Wave{.samples = samples}.bytes());
        return (inputs.path() / name).string();
    };
    auto cli = [&](std::vector<std::string> arguments) {
        return test::runCli(profile.home(), std::move(arguments));
    };

    const auto oldAudio = test::signal(1, 3);
    const auto oldInstruction = test::signal(-1, 2);
    auto made = cli({"dictation", "new", "--audio", input("old.wav", oldAudio), "--instruction",
                     input("old-i.wav", oldInstruction), "--author", "jdupont", "--draft"});
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(made.out, "1\n");
    test::execute("delete from dictee where id = 1");

    const auto newAudio = test::signal(1, 1, 900);
    made = cli({"dictation", "new", "--audio", input("new.wav", newAudio), "--author", "jdupont",
                "--worktype", "Courrier", "--title", "Lettre", "--send"});
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(made.out, "1\n");
    EXPECT_THAT(made.err, HasSubstr("Des fichiers d'une ancienne dictée portaient le numéro de la nouvelle"));
    EXPECT_EQ(test::audioOf(profile.documents() / "1.wav"), newAudio);
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / "I1.wav"));
    EXPECT_EQ(record(1).dureeInstruction, 0);
    std::vector<std::string> orphans = documentsContaining("orphelin-1-");
    ASSERT_EQ(orphans.size(), 2U);
    EXPECT_THAT(orphans[0], MatchesRegex("orphelin-1-[0-9]{8}-[0-9]{6}-I\\.wav"));
    EXPECT_EQ(test::audioOf(profile.documents() / orphans[0]), oldInstruction);
    EXPECT_EQ(test::audioOf(profile.documents() / orphans[1]), oldAudio);

    const auto sent = cli({"send"});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(1).envoi, 1);
    // The office received one recording, of the new dictation's length, and no instruction.
    std::vector<std::string> audio;
    for (const auto& [name, contents] : test::filesIn(server.importDirectory())) {
        if (!name.ends_with(".XML") && !name.ends_with(".xml")) {
            audio.push_back(name);
        }
    }
    ASSERT_EQ(audio.size(), 1U) << ::testing::PrintToString(test::filesIn(server.importDirectory()).size());
    auto header = WaveHeader::readFile(server.importDirectory() / audio[0]);
    if (header) {
        EXPECT_EQ(header->frameCount(), newAudio.size());
    }
    EXPECT_EQ(documentsContaining("orphelin-1-"), orphans) << "kept after the send";
}

} // namespace
} // namespace orvaneh
