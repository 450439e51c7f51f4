#include "Platform/json/Json.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

using test::ProcessResult;
using test::ProcessRunner;

class CliTest : public ::testing::Test {
protected:
    test::TemporaryDirectory home;

    ProcessResult cli(std::vector<std::string> arguments,
                      const std::map<std::string, std::string>& env = {}) {
        arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home.path().string()});
        return ProcessRunner::run(arguments, env);
    }

    static unsigned permissions(const std::filesystem::path& path) {
        struct stat info {};
        stat(path.c_str(), &info);
        return info.st_mode & 0777u;
    }
};

TEST_F(CliTest, SettingsListShowsEveryKeyWithItsDefault) {
    auto result = cli({"settings", "list", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    Json settings = Json::parse(result.out);
    EXPECT_EQ(settings.size(), 16u);
    EXPECT_EQ(settings["OptionMaxDate"], 120);
    EXPECT_EQ(settings["OptionUseBarCodeReader"], true);
    EXPECT_EQ(settings["AudioSampleRate"], 16000);
    EXPECT_EQ(settings["ExportFileFormat"], "wav");
    EXPECT_EQ(settings["JobTitlPref"], "Titre");
    EXPECT_EQ(settings["IdentPref"], "Identifiant");
    EXPECT_EQ(settings["TypeOfDelivery"], 0);
    EXPECT_EQ(settings["versionWS"], 0);
    for (const char* key :
         {"ValidateBeforeSend", "ShowSettingsForRecord", "CompresseFile", "PushToRecordAndPlay",
          "BlockRecipient", "ServicesDisplay", "SendToVelmora", "LinkDictationToSite"}) {
        EXPECT_EQ(settings[key], false) << key;
    }
    // The log stays out of the way unless asked for.
    EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, SetValuesAreReadBackThroughTheAccessorsAndPersist) {
    EXPECT_EQ(cli({"settings", "set", "OptionMaxDate", "30"}).out, "OptionMaxDate = 30\n");
    EXPECT_EQ(cli({"settings", "set", "CompresseFile", "true"}).out, "CompresseFile = true\n");
    EXPECT_EQ(cli({"settings", "set", "LinkDictationToSite", "1"}).out, "LinkDictationToSite = true\n");
    EXPECT_EQ(cli({"settings", "set", "ExportFileFormat", ""}).out, "ExportFileFormat = wav\n");
    EXPECT_EQ(cli({"settings", "set", "AudioSampleRate", "8000"}).out, "AudioSampleRate = 8000\n");
    EXPECT_EQ(cli({"settings", "get", "OptionMaxDate"}).out, "30\n");
    EXPECT_EQ(cli({"settings", "get", "AudioSampleRate"}).out, "8000\n");

    auto list = cli({"settings", "list"});
    ASSERT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("CompresseFile"), std::string::npos);
    EXPECT_NE(list.out.find("true"), std::string::npos);
}

TEST_F(CliTest, WrongUsageIsExplainedInFrenchWithStatusTwo) {
    const std::vector<std::vector<std::string>> wrong{
        {"inconnue"},
        {"settings"},
        {"settings", "get"},
        {"settings", "get", "PasUneCle"},
        {"settings", "set", "OptionMaxDate"},
        {"settings", "list", "--xml"},
        {"settings", "frobnicate"},
        {"--pas-une-option"},
        {},
    };
    for (const auto& arguments : wrong) {
        auto result = cli(arguments);
        std::string shown;
        for (const auto& argument : arguments) {
            shown += argument + " ";
        }
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_NE(result.err.find("Erreur"), std::string::npos) << shown << result.err;
        EXPECT_EQ(result.out, "") << shown;
    }
    auto missingHome = ProcessRunner::run({ORVANEH_CLI_PATH, "--home"});
    EXPECT_EQ(missingHome.status, 2);
}

TEST_F(CliTest, HelpListsTheCommands) {
    auto result = cli({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* expected : {"start", "settings list", "settings get", "settings set", "--home"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected;
    }
}

TEST_F(CliTest, ProfileLivesInTheHomeGivenWithOwnerOnlyPermissions) {
    auto result = cli({"start"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Démarrage terminé"), std::string::npos);
    EXPECT_NE(result.out.find("« Titre » et « Identifiant »"), std::string::npos);
    EXPECT_EQ(permissions(home.path() / "Documents"), 0700u);
    EXPECT_EQ(permissions(home.path() / "config"), 0700u);
    EXPECT_EQ(permissions(home.path() / "config" / "preferences.json"), 0600u);
    EXPECT_EQ(permissions(home.path() / "config" / "orvaneh.log"), 0600u);
}

TEST_F(CliTest, EnvironmentVariableNamesTheProfileWhenNoOptionDoes) {
    test::TemporaryDirectory other;
    auto result = ProcessRunner::run({ORVANEH_CLI_PATH, "settings", "set", "OptionMaxDate", "7"},
                                     {{"ORVANEH_HOME", other.path().string()}});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::filesystem::exists(other.path() / "config" / "preferences.json"));
    // --home wins over the environment.
    auto mine = cli({"settings", "get", "OptionMaxDate"}, {{"ORVANEH_HOME", other.path().string()}});
    EXPECT_EQ(mine.out, "120\n");
}

TEST_F(CliTest, CorruptPreferencesFileIsSetAsideAndDefaultsApply) {
    std::filesystem::create_directories(home.path() / "config");
    std::ofstream(home.path() / "config" / "preferences.json") << "{ pas du JSON";
    auto result = cli({"settings", "get", "OptionMaxDate"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "120\n");
    bool keptAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(home.path() / "config")) {
        keptAside |= entry.path().filename().string().rfind("preferences.json.corrompu-", 0) == 0;
    }
    EXPECT_TRUE(keptAside);
}

TEST_F(CliTest, VerboseCopiesTheLogToStderr) {
    auto result = cli({"--verbose", "settings", "set", "JobTitlPref", "Dossier"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("after set JobTitlPref : object Dossier"), std::string::npos) << result.err;
}

} // namespace
} // namespace orvaneh
