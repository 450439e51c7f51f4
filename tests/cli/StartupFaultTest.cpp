#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Platform/json/Json.h"
#include "audio/WaveTestFiles.h"
#include "support/CliProcess.h"
#include "support/CommandTest.h"
#include "support/Files.h"
#include "support/ProcessRunner.h"
#include "support/SmallDisk.h"
#include "support/TestDatabase.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gmock/gmock.h>
#include <random>
#include <unistd.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::ProcessRunner;
using ::testing::AllOf;
using ::testing::HasSubstr;

constexpr const char* kDatabase = "db_Quira.sql.sqlite";

bool anyNameContains(const fs::path& directory, const std::string& part) {
    auto names = test::entryNames(directory);
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return name.find(part) != std::string::npos; });
}

using test::SmallDisk;

class StartupFaultTest : public ::testing::Test {
protected:
    test::TemporaryDirectory scratch;
    fs::path home = scratch.path() / "profil";

    fs::path documents() const { return home / "Documents"; }
    fs::path database() const { return documents() / kDatabase; }

    ProcessResult cli(std::vector<std::string> arguments) { return test::runCli(home, std::move(arguments)); }
    ProcessResult cli(const std::string& line) { return cli(test::words(line)); }

    // A site, a workflow with the author "jdupont" and one dictation of a second.
    void makeProfile() {
        const auto catalogue = scratch.path() / "catalogue.xml";
        test::writeBytes(catalogue,
                         "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role>"
                         "<LoginName>jdupont</LoginName></LoginUserInfo></LoginUserInfos>"
                         "<Worktypes><Worktype>Lettre;L;amartin</Worktype></Worktypes></Catalogue>");
        const auto take = scratch.path() / "prise.wav";
        test::writeBytes(take, test::Wave{.samples = test::signal(-1, 1.0)}.bytes());
        for (const auto& arguments : std::vector<std::vector<std::string>>{
                 {"site", "add", "--name", "Cabinet", "--type", "1", "--address", "ftp.example.org",
                  "--login", "jean", "--password", "secret", "--default"},
                 {"workflow", "import-file", catalogue.string()},
                 {"dictation", "new", "--audio", take.string(), "--author", "jdupont", "--worktype", "Lettre",
                  "--title", "Compte rendu"}}) {
            auto result = cli(arguments);
            ASSERT_EQ(result.status, 0) << arguments.front() << ": " << result.err;
        }
    }
};

TEST_F(StartupFaultTest, AFullDiskRefusesWritesAndLosesNothing) {
    SmallDisk disk(home, "4m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "montage d'un tmpfs refusé ici (il faut être root)";
    }
    ASSERT_NO_FATAL_FAILURE(makeProfile());
    const std::string before = test::readBytes(database());
    ASSERT_NO_FATAL_FAILURE(disk.fill());

    // Reading goes on: the user can still see what is waiting.
    auto listed = cli("dictation list --all");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr("Compte rendu"));
    auto sites = cli("site list");
    EXPECT_EQ(sites.status, 0) << sites.err;
    EXPECT_THAT(sites.out, HasSubstr("Cabinet"));

    auto set = cli("settings set OptionMaxDate 30");
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.out, "");
    EXPECT_THAT(set.err, AllOf(HasSubstr("Erreur"), HasSubstr("OptionMaxDate"), HasSubstr("plus de place")));

    const auto take = scratch.path() / "prise.wav";
    auto made = cli({"dictation", "new", "--audio", take.string(), "--author", "jdupont", "--worktype",
                     "Lettre", "--title", "Disque plein"});
    EXPECT_EQ(made.status, 1) << made.out;
    EXPECT_THAT(made.err, HasSubstr("Erreur"));

    EXPECT_FALSE(anyNameContains(documents(), "illisible"));
    EXPECT_EQ(test::readBytes(database()), before);

    disk.free();
    EXPECT_EQ(cli("settings get OptionMaxDate").out, "120\n");
    auto all = cli("dictation list --all --json");
    ASSERT_EQ(all.status, 0) << all.err;
    auto dictations = Json::parse(all.out);
    ASSERT_EQ(dictations.size(), 1u) << all.out;
    EXPECT_THAT(cli("site list").out, HasSubstr("Cabinet"));
    EXPECT_THAT(cli("workflow show").out, HasSubstr("jdupont"));
    EXPECT_EQ(cli("settings set OptionMaxDate 30").status, 0);
    EXPECT_EQ(cli("settings get OptionMaxDate").out, "30\n");
}

// Room for a take but not for the working copy of the recording: the dictation is not opened,
// rather than shown empty and saved over its recording.
TEST_F(StartupFaultTest, AnEditWithoutRoomForItsWorkingCopyLeavesTheRecordingAsItWas) {
    SmallDisk disk(home, "4m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "montage d'un tmpfs refusé ici (il faut être root)";
    }
    ASSERT_NO_FATAL_FAILURE(makeProfile());
    const auto longTake = scratch.path() / "longue.wav";
    test::writeBytes(longTake, test::Wave{.samples = test::signal(1, 4.0)}.bytes());
    auto made = cli({"dictation", "new", "--audio", longTake.string(), "--author", "jdupont", "--worktype",
                     "Lettre", "--title", "Longue"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string id = std::to_string(std::stoll(made.out));
    const std::string recording = test::readBytes(documents() / (id + ".wav"));
    ASSERT_NO_FATAL_FAILURE(disk.fill());
    disk.release(96 * 1024); // a 1-second take fits, a copy of 4 seconds does not

    const auto take = scratch.path() / "prise.wav";
    auto edited = cli({"dictation", "edit", id, "--at", "0", "--take", take.string()});
    EXPECT_EQ(edited.status, 1) << edited.err;
    EXPECT_THAT(edited.err, AllOf(HasSubstr("ne peut pas être ouverte"), HasSubstr("plus de place")));
    EXPECT_EQ(test::readBytes(documents() / (id + ".wav")), recording);

    disk.free();
    edited = cli({"dictation", "edit", id, "--at", "0", "--take", take.string()});
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(fs::file_size(documents() / (id + ".wav")), recording.size() + 32000);
}

// A send whose claim the full disk refuses is not "nothing to send": it says why and fails, and
// the dictation still waits once there is room again.
TEST_F(StartupFaultTest, ASendThatCannotClaimOnAFullDiskFails) {
    SmallDisk disk(home, "4m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "montage d'un tmpfs refusé ici (il faut être root)";
    }
    ASSERT_NO_FATAL_FAILURE(makeProfile());
    const auto take = scratch.path() / "prise.wav";
    auto waiting = cli({"dictation", "new", "--audio", take.string(), "--author", "jdupont", "--worktype",
                        "Lettre", "--title", "En attente", "--send"});
    ASSERT_EQ(waiting.status, 0) << waiting.err;
    const std::string before = test::readBytes(database());
    ASSERT_NO_FATAL_FAILURE(disk.fill());

    auto sent = cli("send");
    EXPECT_EQ(sent.status, 1);
    EXPECT_THAT(sent.err, AllOf(HasSubstr("n'ont pas pu être envoyées"), HasSubstr("plus de place")));
    EXPECT_EQ(sent.out, "Reste à envoyer : 1 dictée.\n");
    EXPECT_EQ(test::readBytes(database()), before);

    disk.free();
    auto all = cli("dictation list --all --json");
    ASSERT_EQ(all.status, 0) << all.err;
    auto dictations = Json::parse(all.out);
    ASSERT_EQ(dictations.size(), 2u) << all.out;
    for (const auto& dictation : dictations) {
        EXPECT_EQ(dictation.value("envoi", -1), 0) << all.out;
    }
}

TEST_F(StartupFaultTest, OnlyTheCommandsThatWriteSettingsFailWhenTheyCannotBeStored) {
    SmallDisk disk(home / "config", "4m"); // the database keeps its room
    if (!disk.mounted()) {
        GTEST_SKIP() << "montage d'un tmpfs refusé ici (il faut être root)";
    }
    ASSERT_NO_FATAL_FAILURE(makeProfile());
    ASSERT_NO_FATAL_FAILURE(disk.fill());

    auto listed = cli("dictation list --all");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr("Compte rendu"));

    const auto catalogue = scratch.path() / "options.xml";
    test::writeBytes(catalogue, "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role>"
                                "<LoginName>jdupont</LoginName></LoginUserInfo></LoginUserInfos>"
                                "<TypeOfDelivery>FTP</TypeOfDelivery></Catalogue>");
    auto imported = cli({"workflow", "import-file", catalogue.string()});
    EXPECT_EQ(imported.status, 1);
    EXPECT_THAT(imported.err,
                AllOf(HasSubstr("réglages n'ont pas été enregistrés"), HasSubstr("plus de place")));
    EXPECT_EQ(cli("settings set OptionMaxDate 30").status, 1);

    disk.free();
    EXPECT_EQ(cli("settings get OptionMaxDate").out, "120\n");
}

TEST_F(StartupFaultTest, AMigrationStoppedByAFullDiskIsNotRecordedAsDone) {
    SmallDisk disk(home, "4m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "montage d'un tmpfs refusé ici (il faut être root)";
    }
    {
        // An installation still at version 2, in write-ahead-log mode as every start leaves it.
        test::TestProfile old;
        fs::create_directories(documents());
        fs::copy_file(test::createDatabase(old, 2), database());
        auto connection = SqlConnection::open(database());
        ASSERT_TRUE(connection);
        ASSERT_TRUE(SqlStatement(*connection, "PRAGMA journal_mode=WAL").execute());
        ASSERT_TRUE(SqlStatement(*connection, "select count(*) from sqlite_master").execute());
    }
    const std::string before = test::readBytes(database());
    ASSERT_NO_FATAL_FAILURE(disk.fill());

    auto refused = cli("start");
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, AllOf(HasSubstr("n'a pas pu être mise à jour"), HasSubstr(database().string()),
                                   HasSubstr("plus de place")));
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(test::readBytes(database()), before);

    disk.free();
    auto started = cli("start");
    ASSERT_EQ(started.status, 0) << started.err;
    EXPECT_THAT(started.out, HasSubstr("(version " + std::to_string(dataBaseRequest::kCurrentVersion) + ")"));
}

// What start-up does with each kind of file found where the database (or the preferences)
// should be.
struct FoundFile {
    const char* name;
    std::function<void(const fs::path& database, const fs::path& preferences)> damage;
    int status;
    bool keptAside;        // the file is kept under another name and a new database is made
    const char* told;      // on stderr
    bool unchanged = true; // without a new database, the file is left exactly as it was
};

class FoundFileTest : public StartupFaultTest, public ::testing::WithParamInterface<FoundFile> {};

TEST_P(FoundFileTest, OnlyWhatIsNotADatabaseIsKeptAside) {
    const FoundFile& found = GetParam();
    ASSERT_EQ(cli("start").status, 0);
    const fs::path preferences = home / "config" / "preferences.json";
    found.damage(database(), preferences);
    const auto beforeDatabase = fs::is_regular_file(database()) ? test::readBytes(database()) : "";

    auto result = cli("dictation list --all --json");
    EXPECT_EQ(result.status, found.status) << result.err;
    EXPECT_THAT(result.err, HasSubstr(found.told));
    if (found.status == 0) {
        EXPECT_EQ(Json::parse(result.out), Json::array());
        EXPECT_EQ(cli("start").err, "") << "said once, at the start that found it";
    } else {
        EXPECT_EQ(result.out, "");
        EXPECT_THAT(result.err, HasSubstr(database().string()));
    }
    EXPECT_EQ(anyNameContains(documents(), ".illisible-") || anyNameContains(home / "config", ".corrompu-"),
              found.keptAside);
    if (found.status != 0 && found.unchanged && fs::is_regular_file(database())) {
        EXPECT_EQ(test::readBytes(database()), beforeDatabase);
    }
}

void writeRandom(const fs::path& path, std::string prefix, std::size_t size) {
    std::mt19937 random(7);
    while (prefix.size() < size) {
        prefix.push_back(static_cast<char>(random()));
    }
    test::writeBytes(path, prefix);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FoundFileTest,
    ::testing::Values(FoundFile{"RandomBytes",
                                [](const fs::path& db, const fs::path&) { writeRandom(db, "", 8192); }, 0,
                                true, "n'était pas une base SQLite"},
                      FoundFile{"TextFile",
                                [](const fs::path& db, const fs::path&) {
                                    test::writeBytes(db, "ceci n'est pas une base");
                                },
                                0, true, "n'était pas une base SQLite"},
                      FoundFile{"HeaderThenGarbage",
                                [](const fs::path& db, const fs::path&) {
                                    writeRandom(db, std::string("SQLite format 3\0", 16), 8192);
                                },
                                0, true, "n'était pas une base SQLite"},
                      // A real database whose schema page is broken: damaged, not foreign; the user may
                      // still recover most of it.
                      FoundFile{"DamagedDatabase",
                                [](const fs::path& db, const fs::path&) {
                                    std::string bytes = test::readBytes(db);
                                    bytes[100] = '\x42'; // not a b-tree page type
                                    test::writeBytes(db, bytes);
                                },
                                1, false, "est endommagée"},
                      FoundFile{"Directory",
                                [](const fs::path& db, const fs::path&) {
                                    fs::remove(db);
                                    fs::create_directory(db);
                                },
                                1, false, "c'est un répertoire"},
                      // A log left without its database would be replayed into the new one: kept aside.
                      FoundFile{"LogWithoutItsDatabase",
                                [](const fs::path& db, const fs::path&) {
                                    fs::remove(db);
                                    test::writeBytes(db.string() + "-wal", "pages d'une autre base");
                                },
                                0, true, "était resté sans sa base de données"},
                      FoundFile{"EmptyFile",
                                [](const fs::path& db, const fs::path&) { test::writeBytes(db, ""); }, 0,
                                false, ""},
                      FoundFile{"UnreadablePreferences",
                                [](const fs::path&, const fs::path& preferences) {
                                    test::writeBytes(preferences, "{ pas du");
                                },
                                0, true, "Attention : Les préférences"}),
    [](const ::testing::TestParamInfo<FoundFile>& parameter) { return std::string(parameter.param.name); });

} // namespace
} // namespace orvaneh
