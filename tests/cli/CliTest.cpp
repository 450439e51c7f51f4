#include "Platform/json/Json.h"
#include "support/CommandTest.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <gmock/gmock.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

using test::ProcessResult;
using test::ProcessRunner;
using ::testing::HasSubstr;

class CliTest : public ::testing::Test {
protected:
    test::TemporaryDirectory home;

    ProcessResult cli(std::vector<std::string> arguments,
                      const std::map<std::string, std::string>& env = {}) {
        arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home.path().string()});
        return ProcessRunner::run(arguments, env);
    }
    unsigned permissions(const std::string& relative) const {
        struct stat info {};
        stat((home.path() / relative).c_str(), &info);
        return info.st_mode & 0777u;
    }
};

TEST_F(CliTest, SettingsAreListedSetReadBackAndPersist) {
    auto listed = cli({"settings", "list", "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.err, "") << "the log stays out of the way unless asked for";
    const Json defaults = Json::parse(listed.out);
    EXPECT_EQ(defaults.size(), 19u);
    EXPECT_EQ(defaults["OptionMaxDate"]["value"], 120);
    EXPECT_EQ(defaults["ExportFileFormat"]["value"], "wav");

    EXPECT_EQ(cli({"settings", "set", "LinkDictationToSite", "1"}).out, "LinkDictationToSite = true\n");
    EXPECT_EQ(cli({"settings", "set", "AudioSampleRate", "8000"}).out, "AudioSampleRate = 8000\n");
    EXPECT_EQ(cli({"settings", "get", "LinkDictationToSite"}).out, "true\n");
    EXPECT_EQ(Json::parse(cli({"settings", "list", "--json"}).out)["AudioSampleRate"]["value"], 8000);

    auto verbose = cli({"--verbose", "settings", "set", "JobTitlPref", "Dossier"});
    ASSERT_EQ(verbose.status, 0);
    EXPECT_THAT(verbose.err, HasSubstr("after set JobTitlPref : object Dossier"));
}

TEST_F(CliTest, WrongUsageIsExplainedInFrenchWithStatusTwo) {
    for (const char* arguments :
         {"inconnue", "settings", "settings get", "settings get PasUneCle", "settings set OptionMaxDate",
          "settings list --xml", "settings frobnicate", "--pas-une-option", ""}) {
        SCOPED_TRACE(arguments);
        auto result = cli(test::words(arguments));
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, HasSubstr("Erreur"));
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ProcessRunner::run({ORVANEH_CLI_PATH, "--home"}).status, 2);
    auto help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("settings set"));
}

TEST_F(CliTest, ProfileLivesInTheHomeGivenWithOwnerOnlyPermissions) {
    auto result = cli({"start"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Démarrage terminé"));
    EXPECT_EQ(permissions("Documents"), 0700u);
    EXPECT_EQ(permissions("config"), 0700u);
    EXPECT_EQ(permissions("config/preferences.json"), 0600u);
    EXPECT_EQ(permissions("config/orvaneh.log"), 0600u);

    // Without --home, the environment names the profile; --home wins over it.
    test::TemporaryDirectory other;
    const std::map<std::string, std::string> env{{"ORVANEH_HOME", other.path().string()}};
    ASSERT_EQ(ProcessRunner::run({ORVANEH_CLI_PATH, "settings", "set", "OptionMaxDate", "7"}, env).status, 0);
    EXPECT_TRUE(std::filesystem::exists(other.path() / "config" / "preferences.json"));
    EXPECT_EQ(cli({"settings", "get", "OptionMaxDate"}, env).out, "120\n");
}

} // namespace
} // namespace orvaneh
