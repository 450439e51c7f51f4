#include "Platform/json/Json.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

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
    EXPECT_EQ(Json::parse(result.out), Json::parse(R"({
        "AudioSampleRate": 16000, "BlockRecipient": false, "CompresseFile": false, "ExportFileFormat": "wav",
        "IdentPref": "Identifiant", "JobTitlPref": "Titre", "LinkDictationToSite": false, "OptionMaxDate": 120,
        "NetworkStallTimeout": 60, "TrustedCertificatesFile": "",
        "OptionUseBarCodeReader": true, "PushToRecordAndPlay": false, "SendToVelmora": false,
        "ServicesDisplay": false, "ShowSettingsForRecord": false, "TypeOfDelivery": 0,
        "ValidateBeforeSend": false, "versionWS": 0})"));
    // The log stays out of the way unless asked for.
    EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, SetValuesAreReadBackThroughTheAccessorsAndPersist) {
    EXPECT_EQ(cli({"settings", "set", "LinkDictationToSite", "1"}).out, "LinkDictationToSite = true\n");
    EXPECT_EQ(cli({"settings", "set", "AudioSampleRate", "8000"}).out, "AudioSampleRate = 8000\n");
    EXPECT_EQ(cli({"settings", "get", "LinkDictationToSite"}).out, "true\n");
    EXPECT_EQ(cli({"settings", "list"}).status, 0);
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
        auto shown = ::testing::PrintToString(arguments);
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
    for (const char* expected : {"start", "settings set", "--home"}) {
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

TEST_F(CliTest, VerboseCopiesTheLogToStderr) {
    auto result = cli({"--verbose", "settings", "set", "JobTitlPref", "Dossier"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("after set JobTitlPref : object Dossier"), std::string::npos) << result.err;
}

} // namespace
} // namespace orvaneh
