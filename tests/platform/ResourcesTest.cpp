#include "Platform/files/Resources.h"

#include "support/CliProcess.h"
#include "support/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

TEST(ResourcesTest, BesideTheExecutableUnlessTheEnvironmentSaysOtherwise) {
    {
        test::ScopedEnvironment unset("ORVANEH_RESOURCES", nullptr);
        auto expected = fs::read_symlink("/proc/self/exe").parent_path() / "resources";
        EXPECT_EQ(Resources::path("localisation/fr.json"), expected / "localisation/fr.json");
    }
    test::ScopedEnvironment set("ORVANEH_RESOURCES", "/opt/orvaneh/share");
    EXPECT_EQ(Resources::path("localisation/fr.json"), fs::path("/opt/orvaneh/share/localisation/fr.json"));
}

TEST(ResourcesTest, BuildTreeFirstThenTheInstalledShareDirectory) {
    struct Layout {
        const char* name;
        bool beside;
        bool installed;
        const char* expected; // relative to the prefix
    };
    const Layout layouts[] = {
        {"build tree", true, false, "bin/resources"},
        {"installed", false, true, "share/orvaneh"},
        {"both: the build tree wins", true, true, "bin/resources"},
        {"neither: named where expected", false, false, "bin/resources"},
    };
    for (const auto& layout : layouts) {
        test::TemporaryDirectory prefix;
        fs::create_directories(prefix.path() / "bin");
        if (layout.beside) {
            fs::create_directories(prefix.path() / "bin/resources");
        }
        if (layout.installed) {
            fs::create_directories(prefix.path() / "share/orvaneh");
        }
        EXPECT_EQ(Resources::directoryForExecutable(prefix.path() / "bin/orvaneh"),
                  prefix.path() / layout.expected)
            << layout.name;
    }
    // A file named like the directory is not one.
    test::TemporaryDirectory prefix;
    fs::create_directories(prefix.path() / "bin");
    fs::create_directories(prefix.path() / "share");
    std::ofstream(prefix.path() / "share/orvaneh") << "x";
    EXPECT_EQ(Resources::directoryForExecutable(prefix.path() / "bin/orvaneh-cli"),
              prefix.path() / "bin/resources");
}

// The real command line copied into an installed layout finds its database template and its
// French texts in <prefix>/share/orvaneh, and logs where it looked when they are missing.
TEST(ResourcesTest, AnInstalledCommandLineFindsItsShareDirectory) {
    test::ScopedEnvironment unset("ORVANEH_RESOURCES", nullptr);
    test::TemporaryDirectory prefix;
    fs::create_directories(prefix.path() / "bin");
    fs::create_directories(prefix.path() / "share");
    const fs::path cli = prefix.path() / "bin/orvaneh-cli";
    std::error_code error;
    fs::create_hard_link(ORVANEH_CLI_PATH, cli, error);
    if (error) {
        ASSERT_TRUE(fs::copy_file(ORVANEH_CLI_PATH, cli));
    }
    const fs::path home = prefix.path() / "profil";

    auto missing = test::ProcessRunner::run({cli.string(), "--home", home.string(), "start"},
                                            {{"ORVANEH_RESOURCES", ""}});
    EXPECT_EQ(missing.status, 1) << missing.out << missing.err;
    // The log names the template where it was expected: beside the program, as in a build tree.
    std::ifstream logFile(home / "config/orvaneh.log");
    const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find((prefix.path() / "bin/resources/db_Quira.sql").string()), std::string::npos) << log;

    fs::copy(fs::path(ORVANEH_CLI_PATH).parent_path() / "resources", prefix.path() / "share/orvaneh",
             fs::copy_options::recursive);
    auto started = test::ProcessRunner::run({cli.string(), "--home", home.string(), "start"},
                                            {{"ORVANEH_RESOURCES", ""}});
    EXPECT_EQ(started.status, 0) << started.out << started.err;
    EXPECT_TRUE(fs::is_regular_file(home / "Documents/db_Quira.sql.sqlite"));
}

} // namespace
} // namespace orvaneh
