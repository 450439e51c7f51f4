#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/siteRequest.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/runloop/RunLoop.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using test::execute;
using test::Rows;
using test::rows;

class DatabaseMigrationTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    test::LogCapture log;

    static std::vector<std::string> columns(const std::string& table) {
        std::vector<std::string> names;
        for (const auto& row : rows("select name from pragma_table_info('" + table + "')")) {
            names.push_back(row.front());
        }
        return names;
    }

    static void startUp() { OrvanehAppDelegate().startCore(false); }

    // Waits in real time (virtual time stands still) for the sender's thread.
    static void waitFor(const std::function<bool()>& condition) {
        RunLoop::main().runUntil(condition, RunLoop::main().clock().now() + std::chrono::seconds(1),
                                 Seconds(10));
    }

    std::string version() { return rows("select numVersion from QuiraDataBase").back().front(); }
};

TEST_F(DatabaseMigrationTest, FirstStartCreatesTheCurrentSchemaFromTheTemplate) {
    ASSERT_FALSE(std::filesystem::exists(test::databasePath()));
    startUp();
    EXPECT_EQ(rows("select numVersion from QuiraDataBase"), (Rows{{"9"}})); // one row
    // Every step ran once: the template's 11 columns of dictee and the 9 added to them.
    EXPECT_EQ(columns("dictee").size(), 20u);
    EXPECT_EQ(columns("user").back(), "login_id");
    // No parametre row: the first site cannot be made from it.
    EXPECT_EQ(rows("select count(*) from site"), (Rows{{"0"}}));
    EXPECT_EQ(rows("PRAGMA journal_mode"), (Rows{{"wal"}}));
}

TEST_F(DatabaseMigrationTest, VersionTwoWithAnFtpAccountBecomesSiteA) {
    test::createDatabase(profile, 2);
    execute("insert into parametre(ftpHost, ftpLogin, ftpMdp, genInitiales, auteur, contexte, secretaire, "
            "worktype) values ('ftp.cabinet.fr', 'jean', 'secret', '', 'JD', '', '', '')");
    execute("insert into dictee(titre, auteur, envoi) values ('Ancienne', 'JD', 0)");
    startUp();
    EXPECT_EQ(version(), "9");
    EXPECT_EQ(rows("select name, address, login, mdp, type, selected, email, ftps from site"),
              (Rows{{"Site A", "ftp.cabinet.fr", "jean", "secret", "1", "1", "0", "0"}}));
    // Dictations from before the upgrade: no site, old job state, held back as drafts, never tried.
    EXPECT_EQ(
        rows("select idSite, masterJobId, stateCorrection, envoiEnCours, brouillon, tsTransfert from dictee"),
        (Rows{{"0", "", "-1", "0", "1", "0"}}));
}

TEST_F(DatabaseMigrationTest, SitesOfAVersionEightProfileKeepPlainFtp) {
    test::createDatabase(profile, 8);
    execute(
        "insert into site(name, address, login, mdp, type, selected) values ('Cabinet', 'ftp.cabinet.fr', "
        "'jean', 'secret', 1, 1), ('Web', 'office.example', 'anne', 'x', 2, 0)");
    startUp();
    EXPECT_EQ(version(), "9");
    const auto sites = siteRequest().selectSites();
    ASSERT_EQ(sites.size(), 2u);
    for (const auto& site : sites) {
        EXPECT_EQ(site.ftps, FtpSecurity::Plain) << site.name;
    }
    EXPECT_EQ(sites[0].address, "ftp.cabinet.fr");
    EXPECT_TRUE(sites[0].selected);
}

TEST_F(DatabaseMigrationTest, VersionOneSplitsThePackedWorktypes) {
    test::createDatabase(profile, 1);
    execute(
        "insert into worktype(worktype) values ('Courrier;Lettre;marie'), (' Rapport ; Note '), ('Seul')");
    startUp();
    EXPECT_EQ(version(), "9");
    EXPECT_EQ(rows("select name, type, secretary, tracage, duree from worktype order by name"),
              (Rows{{"Courrier", "Lettre", "marie", "0", "0"},
                    {"Rapport", "Note", "", "0", "0"},
                    {"Seul", "", "", "0", "0"}}));
}

TEST_F(DatabaseMigrationTest, VersionThreeRunsTheLaterStepsOnly) {
    test::createDatabase(profile, 3);
    // Already in the split form: a reorganisation would wrongly re-read these names.
    execute("insert into worktype(name, type, secretary) values ('A;B;C', 'T', 'S')");
    execute("insert into dictee(titre, envoi) values ('x', 0)");
    startUp();
    EXPECT_EQ(version(), "9");
    EXPECT_EQ(rows("select name, type, secretary from worktype"), (Rows{{"A;B;C", "T", "S"}}));
    EXPECT_EQ(rows("select masterJobId, stateCorrection, brouillon, tsTransfert from dictee"),
              (Rows{{"", "-1", "1", "0"}}));
}

TEST_F(DatabaseMigrationTest, CurrentOrNewerFilesAreLeftAlone) {
    for (int stored : {dataBaseRequest::kCurrentVersion, dataBaseRequest::kCurrentVersion + 1}) {
        SCOPED_TRACE(stored);
        test::createDatabase(profile);
        execute("UPDATE QuiraDataBase SET numVersion = " + std::to_string(stored));
        const auto before = columns("dictee").size();
        log.clear();
        startUp();
        EXPECT_EQ(version(), std::to_string(stored));
        // No step ran again.
        EXPECT_EQ(columns("dictee").size(), before);
        EXPECT_FALSE(log.contains("Erreur"));
        EXPECT_FALSE(log.contains("NOK"));
    }
}

TEST_F(DatabaseMigrationTest, RunningTheMigrationTwiceChangesNothing) {
    startUp();
    execute("insert into dictee(titre, brouillon, tsTransfert) values ('x', 0, 42)");
    OrvanehAppDelegate application;
    application.initDataBase();
    application.updateDataBase(0);
    EXPECT_TRUE(log.contains("Erreur lors de la création du Statement !"));
    EXPECT_EQ(rows("select brouillon, tsTransfert from dictee"), (Rows{{"0", "42"}}));
}

TEST_F(DatabaseMigrationTest, AFileThatIsNotADatabaseIsKeptAsideAndReplaced) {
    profile.writeDocument("db_Quira.sql.sqlite", "ceci n'est pas une base de données");
    startUp();
    EXPECT_EQ(version(), "9");
    int keptAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(profile.documents())) {
        if (entry.path().filename().string().starts_with("db_Quira.sql.sqlite.illisible-")) {
            ++keptAside;
            EXPECT_EQ(AtomicFile::read(entry.path()), "ceci n'est pas une base de données");
        }
    }
    EXPECT_EQ(keptAside, 1);
}

TEST_F(DatabaseMigrationTest, SenderIsPromptedOnceASecondAfterEachCallAndEveryMinute) {
    startUp();
    OrvanehAppDelegate application;
    application.sendDictees();
    application.sendDictees();
    // One repeating wake-up and one prompt per call.
    EXPECT_EQ(RunLoop::main().timerCount(), 3u);
    RunLoop::main().runFor(Seconds(0.999));
    EXPECT_EQ(application.uploader().runCount(), 0);
    RunLoop::main().runFor(Seconds(0.002));
    waitFor([&] { return application.uploader().runCount() >= 1 && !application.uploader().running(); });
    // Both prompts fell due together; whether the second found the first run finished depends
    // on the thread, so one or two runs.
    int afterPrompts = application.uploader().runCount();
    EXPECT_GE(afterPrompts, 1);

    // A run in progress is never doubled.
    application.uploader().setRunning(true);
    RunLoop::main().runFor(Seconds(60));
    EXPECT_EQ(application.uploader().runCount(), afterPrompts);
    application.uploader().setRunning(false);
    RunLoop::main().runFor(Seconds(60));
    waitFor([&] { return application.uploader().runCount() == afterPrompts + 1; });
    EXPECT_EQ(application.uploader().runCount(), afterPrompts + 1);
    EXPECT_EQ(RunLoop::main().timerCount(), 1u);
}

TEST_F(DatabaseMigrationTest, APromptStillPendingGoesWithTheApplication) {
    startUp();
    {
        OrvanehAppDelegate application;
        application.sendDictees();
    }
    // The prompt falls due after its application is gone: it must not reach it.
    RunLoop::main().runFor(Seconds(2));
    EXPECT_EQ(RunLoop::main().timerCount(), 0u);
}

} // namespace
} // namespace orvaneh
