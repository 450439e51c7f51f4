#include "Classes/core/OrvanehAppDelegate.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/RunLoop.h"
#include "support/TestDatabase.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

class DatabaseMigrationTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::vector<std::string> logLines;

    void SetUp() override {
        Log::setObserver([this](const std::string& line) { logLines.push_back(line); });
    }
    void TearDown() override { Log::setObserver({}); }

    static void exec(const std::string& sql) {
        auto connection = SqlConnection::open(test::databasePath());
        ASSERT_TRUE(connection);
        ASSERT_TRUE(Request::executeSqlStatement(*connection, sql)) << sql;
    }

    // The rows of a query as text, columns joined by "|".
    static std::vector<std::string> rows(const std::string& sql) {
        std::vector<std::string> result;
        auto connection = SqlConnection::open(test::databasePath());
        if (!connection) {
            return result;
        }
        SqlStatement statement(*connection, sql);
        while (statement.step() == SqlStatement::Step::Row) {
            std::string row;
            for (int column = 0; column < statement.columnCount(); ++column) {
                row += (column ? "|" : "") + statement.columnText(column);
            }
            result.push_back(row);
        }
        return result;
    }

    static std::vector<std::string> columns(const std::string& table) {
        std::vector<std::string> names;
        for (const auto& row : rows("select name from pragma_table_info('" + table + "')")) {
            names.push_back(row);
        }
        return names;
    }

    int startUp() {
        OrvanehAppDelegate application;
        application.startCore(false);
        return application.bddRq().numVersion();
    }

    // Waits in real time (virtual time stands still) for the sender's thread.
    static void waitFor(const std::function<bool()>& condition) {
        RunLoop::main().runUntil(condition, RunLoop::main().clock().now() + std::chrono::seconds(1),
                                 Seconds(10));
    }

    std::string version() { return rows("select numVersion from QuiraDataBase").back(); }

    bool logged(const std::string& text) const {
        return std::any_of(logLines.begin(), logLines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
};

TEST_F(DatabaseMigrationTest, FirstStartCreatesTheCurrentSchemaFromTheTemplate) {
    ASSERT_FALSE(std::filesystem::exists(test::databasePath()));
    startUp();
    EXPECT_EQ(version(), "8");
    EXPECT_EQ(rows("select count(*) from QuiraDataBase"), std::vector<std::string>{"1"});
    EXPECT_EQ(
        columns("dictee"),
        (std::vector<std::string>{
            "id",          "titre",      "date_heure",  "duree_dictee",    "duree_Instruction", "envoi",
            "auteur",      "contexte",   "secretaire",  "worktype",        "propriete",         "typeDictee",
            "indentValue", "idSite",     "masterJobId", "stateCorrection", "envoiEnCours",      "service",
            "brouillon",   "tsTransfert"}));
    EXPECT_EQ(columns("parametre"),
              (std::vector<std::string>{"ftpHost", "ftpLogin", "ftpMdp", "genInitiales", "auteur", "contexte",
                                        "secretaire", "worktype", "typeDictee", "propriete", "service"}));
    EXPECT_EQ(columns("user"), (std::vector<std::string>{"id", "login_name", "role", "groupe", "email",
                                                         "displayName", "login_id"}));
    EXPECT_EQ(columns("worktype"),
              (std::vector<std::string>{"id", "name", "type", "secretary", "tracage", "duree"}));
    for (const char* table : {"site", "service", "user_service", "worktype_service", "context"}) {
        EXPECT_FALSE(columns(table).empty()) << table;
    }
    // No parametre row: the first site cannot be made from it.
    EXPECT_EQ(rows("select count(*) from site"), std::vector<std::string>{"0"});
    EXPECT_EQ(rows("PRAGMA journal_mode"), std::vector<std::string>{"wal"});
}

TEST_F(DatabaseMigrationTest, VersionTwoWithAnFtpAccountBecomesSiteA) {
    test::createDatabase(profile, 2);
    exec("insert into parametre(ftpHost, ftpLogin, ftpMdp, genInitiales, auteur, contexte, secretaire, "
         "worktype) "
         "values ('ftp.cabinet.fr', 'jean', 'secret', '', 'JD', '', '', '')");
    exec("insert into dictee(titre, auteur, envoi) values ('Ancienne', 'JD', 0)");
    startUp();
    EXPECT_EQ(version(), "8");
    EXPECT_EQ(rows("select name, address, login, mdp, type, selected, email from site"),
              std::vector<std::string>{"Site A|ftp.cabinet.fr|jean|secret|1|1|0"});
    // Dictations from before the upgrade: no site, old job state, held back as drafts, never tried.
    EXPECT_EQ(
        rows("select idSite, masterJobId, stateCorrection, envoiEnCours, brouillon, tsTransfert from dictee"),
        std::vector<std::string>{"0||-1|0|1|0"});
}

TEST_F(DatabaseMigrationTest, VersionOneSplitsThePackedWorktypes) {
    test::createDatabase(profile, 1);
    exec("insert into worktype(worktype) values ('Courrier;Lettre;marie')");
    exec("insert into worktype(worktype) values (' Rapport ; Note ')");
    startUp();
    EXPECT_EQ(version(), "8");
    EXPECT_EQ(rows("select name, type, secretary, tracage, duree from worktype order by name"),
              (std::vector<std::string>{"Courrier|Lettre|marie|0|0", "Rapport|Note||0|0"}));
}

TEST_F(DatabaseMigrationTest, VersionThreeRunsTheLaterStepsOnly) {
    test::createDatabase(profile, 3);
    // Already in the split form: a reorganisation would wrongly re-read these names.
    exec("insert into worktype(name, type, secretary) values ('A;B;C', 'T', 'S')");
    exec("insert into dictee(titre, envoi) values ('x', 0)");
    startUp();
    EXPECT_EQ(version(), "8");
    EXPECT_EQ(rows("select name, type, secretary from worktype"), std::vector<std::string>{"A;B;C|T|S"});
    EXPECT_EQ(rows("select masterJobId, stateCorrection, brouillon, tsTransfert from dictee"),
              std::vector<std::string>{"|-1|1|0"});
}

TEST_F(DatabaseMigrationTest, CurrentOrNewerFilesAreLeftAlone) {
    for (int stored : {8, 9}) {
        SCOPED_TRACE(stored);
        test::createDatabase(profile, 0);
        exec("CREATE TABLE QuiraDataBase (numVersion INTEGER NOT NULL DEFAULT 0)");
        exec("INSERT INTO QuiraDataBase(numVersion) Values(" + std::to_string(stored) + ")");
        logLines.clear();
        startUp();
        EXPECT_EQ(version(), std::to_string(stored));
        // The template's columns only: no step ran.
        EXPECT_EQ(columns("dictee").size(), 11u);
        EXPECT_FALSE(logged("Erreur"));
        EXPECT_FALSE(logged("NOK"));
    }
}

TEST_F(DatabaseMigrationTest, RunningTheMigrationTwiceChangesNothing) {
    startUp();
    exec("insert into dictee(titre, brouillon, tsTransfert) values ('x', 0, 42)");
    OrvanehAppDelegate application;
    application.initDataBase();
    application.updateDataBase(0);
    EXPECT_TRUE(logged("Erreur lors de la création du Statement !"));
    EXPECT_EQ(rows("select brouillon, tsTransfert from dictee"), std::vector<std::string>{"0|42"});
}

TEST_F(DatabaseMigrationTest, AFileThatIsNotADatabaseIsKeptAsideAndReplaced) {
    profile.writeDocument("db_Quira.sql.sqlite", "ceci n'est pas une base de données");
    startUp();
    EXPECT_EQ(version(), "8");
    int keptAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(profile.documents())) {
        if (entry.path().filename().string().rfind("db_Quira.sql.sqlite.illisible-", 0) == 0) {
            ++keptAside;
            std::ifstream in(entry.path());
            std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(contents, "ceci n'est pas une base de données");
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

} // namespace
} // namespace orvaneh
