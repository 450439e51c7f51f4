#include "Platform/files/AtomicFile.h"

#include "Platform/files/Resources.h"
#include "support/Files.h"
#include "support/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <fstream>
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

TEST(ResourcesTest, BesideTheExecutableUnlessTheEnvironmentSaysOtherwise) {
    {
        test::ScopedEnvironment unset("ORVANEH_RESOURCES", nullptr);
        auto expected = fs::read_symlink("/proc/self/exe").parent_path() / "resources";
        EXPECT_EQ(Resources::path("localisation/fr.json"), expected / "localisation/fr.json");
    }
    test::ScopedEnvironment set("ORVANEH_RESOURCES", "/opt/orvaneh/share");
    EXPECT_EQ(Resources::path("localisation/fr.json"), fs::path("/opt/orvaneh/share/localisation/fr.json"));
}

} // namespace
} // namespace orvaneh
