#include "Classes/core/Pictures.h"
#include "Platform/image/ImageFile.h"
#include "support/Files.h"
#include "support/ProcessRunner.h"
#include "support/TestImages.h"
#include "transport/OfficeFixture.h"

#include <future>
#include <gmock/gmock.h>
#include <set>
#include <thread>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// The pictures of a dictation as a user handles them from the command line, up to the office.
class PicturesCommandTest : public test::SendTest {
protected:
    test::TemporaryDirectory elsewhere;

    PicturesCommandTest() { profile.preferences().setDouble("NetworkStallTimeout", 2); }

    test::ProcessResult cli(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"/usr/bin/timeout", "-k", "5", "60", ORVANEH_CLI_PATH, "--home",
                                             profile.home().string()});
        return test::ProcessRunner::run(arguments);
    }
    std::string imageFile(const std::string& name, const std::string& bytes) const {
        const auto path = elsewhere.path() / name;
        test::writeBytes(path, bytes);
        return path.string();
    }
};

TEST_F(PicturesCommandTest, PicturesAddedAreListedDeletedOnAnswerAndSentWithTheDictation) {
    const auto letter = addDictation("Lettre");
    const auto n = std::to_string(letter);
    const auto photo =
        imageFile("photo.jpg",
                  test::jpeg(test::quarters(300, 600, test::kRed, test::kGreen, test::kBlue, test::kWhite)));

    auto added = cli({"dictation", "pictures", n, "--add", photo, "--add", photo, "--add", photo});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "Photo ajoutée : " + n + "-1.jpg\nPhoto ajoutée : " + n +
                             "-2.jpg\nPhoto ajoutée : " + n + "-3.jpg\n");
    const auto stored = ImageFile::read(profile.documents() / (n + "-1.jpg"));
    ASSERT_TRUE(stored.ok()) << stored.error;
    EXPECT_EQ(stored.image.width(), 1200);
    EXPECT_EQ(stored.image.height(), 800);

    // A file that is no image: said, nothing added.
    auto refused = cli({"dictation", "pictures", n, "--add", imageFile("note.png", "texte")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err,
                HasSubstr("La photo n'a pas pu être ajoutée : ce n'est pas une image JPEG ni PNG"));

    // Deleting asks: without a terminal, only --yes answers.
    auto unasked = cli({"dictation", "pictures", n, "--delete", n + "-2.jpg"});
    EXPECT_EQ(unasked.status, 2);
    EXPECT_THAT(unasked.err, HasSubstr("--yes"));
    auto deleted = cli({"dictation", "pictures", n, "--delete", n + "-2.jpg", "--yes"});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_THAT(deleted.err, HasSubstr("Supprimer la photo ?"));
    auto absent = cli({"dictation", "pictures", n, "--delete", n + "-2.jpg", "--yes"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_THAT(absent.err, HasSubstr("n'a pas de photo « " + n + "-2.jpg »"));

    auto listed = cli({"dictation", "pictures", n, "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    auto names = std::vector<std::string>{};
    for (const auto& item : Json::parse(listed.out)) {
        names.push_back(item["name"]);
        EXPECT_TRUE(item["readable"].get<bool>());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{n + "-1.jpg", n + "-3.jpg"}));

    struct Usage {
        std::vector<std::string> arguments;
        int status;
        std::string text;
    };
    const Usage usages[] = {
        {{"dictation", "pictures", "999"}, 1, "Erreur : aucune dictée n'a l'identifiant 999."},
        {{"dictation", "pictures"}, 2, "il manque l'identifiant de la dictée"},
        {{"dictation", "pictures", n, "--add", photo, "--delete", n + "-1.jpg"},
         2,
         "--add et --delete s'excluent"},
        {{"dictation", "pictures", n, "--yes"}, 2, "--yes s'emploie avec --delete"},
        {{"dictation", "pictures", n, "--add", ""}, 2, "--add attend le chemin d'une image"},
    };
    for (const auto& usage : usages) {
        auto result = cli(usage.arguments);
        EXPECT_EQ(result.status, usage.status) << result.err;
        EXPECT_THAT(result.err, HasSubstr(usage.text));
    }

    // The office receives the pictures as they are stored.
    const std::string first = test::readBytes(profile.documents() / (n + "-1.jpg"));
    const std::string third = test::readBytes(profile.documents() / (n + "-3.jpg"));
    test::OfficeSimulator office(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(office.port(), 0);
    addSite(1, office.address());
    auto sent = cli({"send"});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(letter).envoi, 1);
    std::vector<std::string> received;
    for (const auto& name : office.storedInOrder()) {
        if (name.find("-pictures-") != std::string::npos) {
            received.push_back(test::readBytes(office.importDirectory() / name));
        }
    }
    std::sort(received.begin(), received.end());
    std::vector<std::string> expected{first, third};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(received, expected);

    // Sent: the pictures are still listed, in their order, but no longer change.
    const auto before = test::entryNames(profile.documents());
    auto addedLate = cli({"dictation", "pictures", n, "--add", photo});
    EXPECT_EQ(addedLate.status, 1);
    EXPECT_THAT(addedLate.err, HasSubstr("La dictée " + n + " est envoyée : ses photos ne changent plus."));
    auto deletedLate = cli({"dictation", "pictures", n, "--delete", n + "-1.jpg", "--yes"});
    EXPECT_EQ(deletedLate.status, 1);
    EXPECT_THAT(deletedLate.err, HasSubstr("ses photos ne changent plus"));
    EXPECT_THAT(deletedLate.err, Not(HasSubstr("Supprimer la photo ?"))) << "nothing is asked";
    EXPECT_EQ(test::entryNames(profile.documents()), before);
    auto listedLate = cli({"dictation", "pictures", n});
    EXPECT_EQ(listedLate.status, 0) << listedLate.err;
    EXPECT_EQ(listedLate.out, n + "-1.jpg\n" + n + "-3.jpg\n");
}

TEST_F(PicturesCommandTest, TwoProcessesAddingAtOnceKeepBothPictures) {
    const auto n = std::to_string(addDictation("Constat"));
    const auto photo = imageFile(
        "photo.jpg", test::jpeg(test::quarters(40, 30, test::kRed, test::kGreen, test::kBlue, test::kWhite)));
    std::set<std::string> names;
    for (int round = 1; round <= 8; ++round) {
        SCOPED_TRACE(round);
        test::ProcessResult results[2];
        std::thread other([&] { results[1] = cli({"dictation", "pictures", n, "--add", photo}); });
        results[0] = cli({"dictation", "pictures", n, "--add", photo});
        other.join();
        for (const auto& result : results) {
            ASSERT_EQ(result.status, 0) << result.err;
            ASSERT_THAT(result.out, ::testing::StartsWith("Photo ajoutée : "));
            names.insert(result.out.substr(std::string("Photo ajoutée : ").size()));
        }
        // Each process said its own name, and both files are there.
        ASSERT_EQ(names.size(), static_cast<std::size_t>(2 * round)) << results[0].out << results[1].out;
        std::size_t stored = 0;
        for (const auto& entry : fs::directory_iterator(profile.documents())) {
            const auto name = entry.path().filename().string();
            stored +=
                name.rfind(n + "-", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".jpg";
        }
        EXPECT_EQ(stored, names.size());
    }
}

// While another process sends the dictation, its pictures stay as the send read them: the
// office gets exactly the set that was there when the send began.
TEST_F(PicturesCommandTest, PicturesOfADictationBeingSentDoNotChange) {
    // A slow office, patiently waited for.
    profile.preferences().setDouble("NetworkStallTimeout", 30);
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp, {"--read-limit", "65536"});
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto id = addDictation("En route", 6);
    const auto n = std::to_string(id);
    const auto photo = imageFile(
        "photo.jpg", test::jpeg(test::quarters(60, 40, test::kRed, test::kGreen, test::kBlue, test::kWhite)));
    ASSERT_EQ(cli({"dictation", "pictures", n, "--add", photo, "--add", photo}).status, 0);
    const std::string job = record(id).masterJobId;
    auto send = std::async(std::launch::async, [this] { return cli({"send"}); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(server.importDirectory() / (job + ".wav")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto added = cli({"dictation", "pictures", n, "--add", photo});
    const auto deleted = cli({"dictation", "pictures", n, "--delete", n + "-2.jpg", "--yes"});
    const auto listed = cli({"dictation", "pictures", n});
    const auto sent = send.get();

    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(added.status, 1) << added.out;
    EXPECT_THAT(added.err, HasSubstr("Cette dictée est en cours d'envoi"));
    EXPECT_EQ(deleted.status, 1);
    EXPECT_THAT(deleted.err, HasSubstr("en cours d'envoi"));
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, n + "-1.jpg\n" + n + "-2.jpg\n");
    std::size_t pictures = 0;
    for (const auto& name : server.storedInOrder()) {
        pictures += name.find("-pictures-") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(pictures, 2u);
    EXPECT_EQ(Pictures::picturesForDictation(id).size(), 2u);
}

} // namespace
} // namespace orvaneh
