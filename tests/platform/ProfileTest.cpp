#include "Platform/profile/Profile.h"

#include "support/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnvironment;

fs::perms modeOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

TEST(ProfileTest, ResolveTakesTheOptionThenTheEnvironmentThenXdg) {
    ScopedEnvironment home("HOME", "/home/jean");
    ScopedEnvironment orvanehHome("ORVANEH_HOME", "/srv/env");
    ScopedEnvironment data("XDG_DATA_HOME", "/xdg/data");
    ScopedEnvironment config("XDG_CONFIG_HOME", "/xdg/config");

    auto option = Profile::resolve(fs::path("/srv/option"));
    EXPECT_EQ(option.documentsDirectory(), fs::path("/srv/option/Documents"));
    EXPECT_EQ(option.logFile(), fs::path("/srv/option/config/orvaneh.log"));
    EXPECT_EQ(Profile::resolve(std::nullopt).configurationDirectory(), fs::path("/srv/env/config"));
    EXPECT_EQ(Profile::resolve(fs::path("relative")).documentsDirectory(),
              fs::current_path() / "relative/Documents");
    {
        ScopedEnvironment empty("ORVANEH_HOME", "");
        auto profile = Profile::resolve(std::nullopt);
        EXPECT_EQ(profile.documentsDirectory(), fs::path("/xdg/data/orvaneh/Documents"));
        EXPECT_EQ(profile.preferencesFile(), fs::path("/xdg/config/orvaneh/preferences.json"));
    }
    ScopedEnvironment unset("ORVANEH_HOME", nullptr);
    ScopedEnvironment noData("XDG_DATA_HOME", nullptr);
    ScopedEnvironment relativeConfig("XDG_CONFIG_HOME", "relative/config"); // not to be used
    auto profile = Profile::resolve(std::nullopt);
    EXPECT_EQ(profile.documentsDirectory(), fs::path("/home/jean/.local/share/orvaneh/Documents"));
    EXPECT_EQ(profile.configurationDirectory(), fs::path("/home/jean/.config/orvaneh"));
}

TEST(ProfileTest, CreateDirectoriesMakesThemOwnerOnlyOrExplainsAFailure) {
    test::TemporaryDirectory root;
    auto outerMode = modeOf(root.path());
    Profile profile(root.path() / "data" / "orvaneh" / "Documents", root.path() / "config" / "orvaneh");
    std::string error;
    auto previousMask = ::umask(0277); // whatever the umask says
    bool created = profile.createDirectories(&error);
    ::umask(previousMask);
    ASSERT_TRUE(created) << error;
    EXPECT_EQ(modeOf(profile.documentsDirectory()), fs::perms::owner_all);
    EXPECT_EQ(modeOf(profile.configurationDirectory()), fs::perms::owner_all);
    EXPECT_EQ(modeOf(root.path() / "data" / "orvaneh"), fs::perms::owner_all);
    EXPECT_EQ(modeOf(root.path()), outerMode); // what existed before is left alone

    // Existing directories are made owner-only again.
    ::chmod(profile.documentsDirectory().c_str(), 0755);
    ASSERT_TRUE(profile.createDirectories(&error)) << error;
    EXPECT_EQ(modeOf(profile.documentsDirectory()), fs::perms::owner_all);

    // A file in the way is explained.
    std::ofstream(root.path() / "file") << "x";
    EXPECT_FALSE(Profile::inHome(root.path() / "file").createDirectories(&error));
    EXPECT_NE(error.find("Impossible de créer le répertoire « " + (root.path() / "file/Documents").string()),
              std::string::npos)
        << error;
    EXPECT_FALSE(Profile(root.path() / "Documents", root.path() / "file").createDirectories(&error));
    EXPECT_NE(error.find("n'est pas un répertoire"), std::string::npos) << error;
}

TEST(ProfileTest, AReplacedProfileStaysReadable) {
    auto& before = Profile::current();
    auto documents = before.documentsDirectory();
    Profile::install(Profile::inHome("/srv/installed"));
    EXPECT_EQ(Profile::current().configurationDirectory(), fs::path("/srv/installed/config"));
    EXPECT_EQ(before.documentsDirectory(), documents);
}

} // namespace
} // namespace orvaneh
