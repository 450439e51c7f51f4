// The real orvaneh-cli on a real profile: what a user sees when the file handed to
// "workflow import-file" is not a catalogue, and that the workflow in place survives it.
#include "audio/WaveTestFiles.h"
#include "support/CliProcess.h"
#include "support/SmallDisk.h"
#include "support/TestProfile.h"
#include "workflow/LargeCatalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kCatalogue = R"(<?xml version="1.0" encoding="utf-8"?>
<Catalogue>
  <LoginUserInfos><LoginUserInfo><Role>Dictant</Role><LoginName>jdupont</LoginName>
    <DisplayName>Jean Dupont</DisplayName><Context>Civil</Context></LoginUserInfo></LoginUserInfos>
  <Worktypes><Worktype><Nom>Lettre</Nom><Type>L</Type></Worktype></Worktypes>
</Catalogue>
)";

TEST(CatalogueProcessTest, ADocumentThatIsNotAWholeCatalogueKeepsTheWorkflow) {
    test::TemporaryDirectory home;
    auto file = [&home](const std::string& name, const std::string& bytes) {
        test::writeBytes(home.path() / name, bytes);
        return (home.path() / name).string();
    };
    const auto imported =
        test::runCli(home.path(), {"workflow", "import-file", file("catalogue.xml", kCatalogue)});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const auto before = test::runCli(home.path(), {"workflow", "show", "--json"});
    ASSERT_EQ(before.status, 0) << before.err;
    ASSERT_THAT(before.out, HasSubstr("jdupont"));

    std::string truncated(kCatalogue);
    truncated.resize(truncated.find("<Worktypes>") + 20);
    const struct {
        std::string name, bytes, reason;
    } documents[] = {
        {"page.html", "<html><body>404</body></html>", "élément racine « html »"},
        {"foo.xml", "<foo/>", "élément racine « foo »"},
        {"maintenance.html",
         "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Maintenance</title></head></html>",
         "élément racine « html »"},
        {"texte.txt", "Service indisponible", "n'est pas un catalogue"},
        {"vide.xml", "", "est vide"},
        {"blanc.xml", " \n", "est vide"},
        {"tronque.xml", truncated, "tronqué"},
        {"garbled.xml", "<Catalogue><Version>3</version></Catalogue>", "erreur à la ligne 1"},
    };
    for (const auto& [name, bytes, reason] : documents) {
        SCOPED_TRACE(name);
        const auto result = test::runCli(home.path(), {"workflow", "import-file", file(name, bytes)});
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, HasSubstr(reason));
        EXPECT_THAT(result.err, HasSubstr("Le workflow actuel est conservé."));
        EXPECT_THAT(result.out, Not(HasSubstr("Fin de l'importation")));
        EXPECT_EQ(test::runCli(home.path(), {"workflow", "show", "--json"}).out, before.out);
    }

    // What is not a plain file of a sensible size is refused before a byte is read: a tube would
    // wait for ever, /dev/zero would fill the memory.
    const auto tube = home.path() / "tube";
    ASSERT_EQ(::mkfifo(tube.c_str(), 0600), 0);
    const auto huge = home.path() / "enorme.xml";
    test::writeBytes(huge, "<Catalogue>");
    std::filesystem::resize_file(huge, (std::uintmax_t{64} << 20) + 1);
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {home.path().string(), "n'est pas un fichier ordinaire"},
             {tube.string(), "n'est pas un fichier ordinaire"},
             {"/dev/zero", "n'est pas un fichier ordinaire"},
             {huge.string(), "dépasse 64 Mio"},
             {(home.path() / "absent.xml").string(), "impossible de lire"}}) {
        SCOPED_TRACE(path);
        const auto result = test::runCli(home.path(), {"workflow", "import-file", path});
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, HasSubstr(reason));
        EXPECT_THAT(result.err, HasSubstr("Le workflow actuel est conservé."));
    }
    EXPECT_EQ(test::runCli(home.path(), {"workflow", "show", "--json"}).out, before.out);

    test::writeBytes(home.path() / "take.wav", test::Wave{.samples = test::signal(1, 0.5)}.bytes());
    const auto dictation =
        test::runCli(home.path(), {"dictation", "new", "--audio", (home.path() / "take.wav").string(),
                                   "--author", "jdupont"});
    EXPECT_EQ(dictation.status, 0) << dictation.err;
}

// A disk that fills up while a large catalogue is being saved: the directory in place stays
// whole and the user is told why; with room again the same catalogue goes in whole.
TEST(CatalogueProcessTest, ADiskFullDuringTheSaveKeepsTheWorkflow) {
    test::TemporaryDirectory files;
    test::SmallDisk disk(files.path() / "disque", "8m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "montage d'un tmpfs refusé ici (il faut être root)";
    }
    const auto home = disk.path() / "profil";
    const auto small = files.path() / "catalogue.xml";
    const auto large = files.path() / "grand.xml";
    test::writeBytes(small, kCatalogue);
    test::writeBytes(large, test::largeCatalogue("Dossier"));
    ASSERT_EQ(test::runCli(home, {"workflow", "import-file", small.string()}).status, 0);
    const auto before = test::runCli(home, {"workflow", "show", "--json"});
    ASSERT_THAT(before.out, HasSubstr("jdupont"));

    disk.fill();
    disk.release(64 * 1024); // room for the old rows' deletion, not for the new ones
    const auto refused = test::runCli(home, {"workflow", "import-file", large.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("plus de place sur le disque"));
    EXPECT_THAT(refused.err, HasSubstr("Le workflow actuel est conservé."));
    disk.free();
    EXPECT_EQ(test::runCli(home, {"workflow", "show", "--json"}).out, before.out);

    const auto imported = test::runCli(home, {"workflow", "import-file", large.string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const auto after = test::runCli(home, {"workflow", "show", "--json"});
    EXPECT_THAT(after.out, AllOf(HasSubstr("\"u1998\""), HasSubstr("\"W1999\""), Not(HasSubstr("jdupont"))));
}

} // namespace
} // namespace orvaneh
