#include "Platform/files/AtomicFile.h"

#include "support/Files.h"
#include "support/TestProfile.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

TEST(AtomicFileTest, WritesTheWholeContentsWithThePermissions) {
    test::TemporaryDirectory directory;
    auto path = directory.path() / "job.json";
    std::string binary("a\0b\xFF\n", 5);
    ASSERT_TRUE(AtomicFile::write(path, binary));
    EXPECT_EQ(AtomicFile::read(path), binary);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    // Replacing the file also gives it the new permissions.
    auto readable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    ASSERT_TRUE(AtomicFile::write(path, "", readable));
    EXPECT_EQ(AtomicFile::read(path), "");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask, readable);
    EXPECT_EQ(test::entryNames(directory.path()), std::vector<std::string>{"job.json"});
}

TEST(AtomicFileTest, AFailedWriteLeavesNothingBehind) {
    test::TemporaryDirectory directory;
    std::string error;
    EXPECT_FALSE(AtomicFile::write(directory.path() / "absent" / "file", "x", fs::perms::owner_read, &error));
    EXPECT_NE(error.find("Impossible de créer un fichier temporaire"), std::string::npos) << error;
    // A directory in the way: it stays as it was and the temporary file goes.
    auto occupied = directory.path() / "occupied";
    fs::create_directory(occupied);
    std::ofstream(occupied / "inside") << "keep";
    EXPECT_FALSE(AtomicFile::write(occupied, "x", fs::perms::owner_read, &error));
    EXPECT_NE(error.find("Impossible d'écrire"), std::string::npos) << error;
    EXPECT_EQ(AtomicFile::read(occupied / "inside"), "keep");
    EXPECT_EQ(test::entryNames(directory.path()), std::vector<std::string>{"occupied"});
    EXPECT_EQ(AtomicFile::read(directory.path() / "absent"), std::nullopt);
    EXPECT_EQ(AtomicFile::read(directory.path()), std::nullopt);
}

// Offers "1.jpg", "2.jpg", ... in `directory`; `before(n)` runs just before name n is handed
// out, as another process taking that name at that instant would.
std::function<std::optional<fs::path>()> counter(const fs::path& directory, int last,
                                                 std::function<void(const fs::path&)> before = {}) {
    return [=, next = 0]() mutable -> std::optional<fs::path> {
        if (++next > last) {
            return std::nullopt;
        }
        auto name = directory / (std::to_string(next) + ".jpg");
        if (before) {
            before(name);
        }
        return name;
    };
}

TEST(AtomicFileTest, WriteNewNeverReplacesANameTakenBeforeItsPublication) {
    test::TemporaryDirectory directory;
    const auto& dir = directory.path();
    std::string error;

    auto free = AtomicFile::writeNew(counter(dir, 5), "premier", fs::perms::owner_read, &error);
    ASSERT_EQ(free, dir / "1.jpg") << error;
    EXPECT_EQ(AtomicFile::read(dir / "1.jpg"), "premier");
    EXPECT_EQ(fs::status(dir / "1.jpg").permissions() & fs::perms::mask, fs::perms::owner_read);

    // Names taken between the caller's look and the publication, a dangling link among them:
    // each keeps what it held and the picture goes to the first name still free.
    auto takeOne = [](const fs::path& name) {
        if (name.filename() == "1.jpg") {
            return; // taken from the start
        }
        if (name.filename() == "2.jpg") {
            fs::create_symlink("nulle-part", name);
        } else if (name.filename() == "3.jpg") {
            std::ofstream(name) << "autre processus";
        }
    };
    auto raced = AtomicFile::writeNew(counter(dir, 5, takeOne), "second", fs::perms::owner_read, &error);
    ASSERT_EQ(raced, dir / "4.jpg") << error;
    EXPECT_EQ(AtomicFile::read(dir / "1.jpg"), "premier");
    EXPECT_EQ(fs::read_symlink(dir / "2.jpg"), "nulle-part");
    EXPECT_EQ(AtomicFile::read(dir / "3.jpg"), "autre processus");
    EXPECT_EQ(AtomicFile::read(dir / "4.jpg"), "second");

    // Every name offered taken: nothing written, nothing left behind.
    auto full = AtomicFile::writeNew(counter(dir, 4), "troisième", fs::perms::owner_read, &error);
    EXPECT_FALSE(full);
    EXPECT_NE(error.find("tous les noms proposés sont déjà pris"), std::string::npos) << error;
    EXPECT_FALSE(AtomicFile::writeNew(counter(dir, 0), "x", fs::perms::owner_read, &error));
    EXPECT_FALSE(AtomicFile::writeNew(counter(dir / "absent", 3), "x", fs::perms::owner_read, &error));
    EXPECT_NE(error.find("Impossible de créer un fichier temporaire"), std::string::npos) << error;
    EXPECT_EQ(test::entryNames(dir), (std::vector<std::string>{"1.jpg", "2.jpg", "3.jpg", "4.jpg"}));
}

} // namespace
} // namespace orvaneh
