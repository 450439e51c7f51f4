#include "Classes/core/DicteeRequest.h"

#include "Classes/core/SqlConnection.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/worktypeRequest.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/time/DateFormatter.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <thread>

namespace orvaneh {
namespace {

constexpr double kDay = 86400.0;

// Every field differs from its neighbours and from the defaults, so a value bound or read at
// the wrong position shows.
DicteeModel sample() {
    DicteeModel record;
    record.titre = "Compte rendu";
    record.dureeDictee = 75;
    record.dureeInstruction = 20;
    record.auteur = "jdupont";
    record.contexte = "Cardiologie";
    record.secretaire = "mmartin";
    record.worktype = "Courrier";
    record.priorite = "Haute";
    record.type = "Dictée numérique";
    record.identValue = "DOS-42";
    record.idSite = 3;
    record.masterJobId = "8F14E45F";
    record.brouillon = false;
    record.serviceID = 7;
    return record;
}

const char* const kAllColumns =
    "select titre,date_heure,duree_dictee,duree_Instruction,auteur,contexte,secretaire,"
    "worktype,propriete,typeDictee,indentValue,idSite,masterJobId,service,brouillon,"
    "envoiEnCours,envoi,stateCorrection,tsTransfert from dictee where id = ";

class DicteeRequestTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    std::vector<std::string> logLines;

    void SetUp() override {
        Log::setObserver([this](const std::string& line) { logLines.push_back(line); });
    }
    void TearDown() override { Log::setObserver({}); }

    void execute(const std::string& sql) {
        auto connection = SqlConnection::open(database);
        ASSERT_TRUE(Request::executeSqlStatement(*connection, sql)) << sql;
    }

    // The first row of a query: text as text, every number as a real, NULL as null.
    Json row(const std::string& sql) {
        auto connection = SqlConnection::open(database);
        sqlite3_stmt* statement = nullptr;
        Json values = Json::array();
        sqlite3_prepare_v2(connection->handle(), sql.c_str(), -1, &statement, nullptr);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                int type = sqlite3_column_type(statement, column);
                values.push_back(type == SQLITE_NULL   ? Json(nullptr)
                                 : type == SQLITE_TEXT ? Json(reinterpret_cast<const char*>(
                                                             sqlite3_column_text(statement, column)))
                                                       : Json(sqlite3_column_double(statement, column)));
            }
        }
        sqlite3_finalize(statement);
        return values;
    }

    static std::int64_t insert(const DicteeModel& record = sample()) {
        return DicteeRequest().insertDictee(record);
    }
    static std::int64_t nextId() {
        auto next = DicteeRequest().getNextDicteeToSend();
        return next ? next->idDictee : 0;
    }
    static std::vector<std::int64_t> listIds(int filter) {
        std::vector<std::int64_t> ids;
        for (const auto& record : DicteeRequest().getListDictee(filter)) {
            ids.push_back(record.idDictee);
        }
        return ids;
    }
    bool logged(const std::string& text) const {
        return std::any_of(logLines.begin(), logLines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
    static std::string formatted(double seconds, std::string_view pattern) {
        return DateFormatter::format(
            pattern, WallTime(std::chrono::duration_cast<WallTime::duration>(Seconds(seconds))));
    }
};

TEST_F(DicteeRequestTest, InsertBindsEveryColumnAtItsPlaceAndSelectReadsItBack) {
    profile.clock().advance(Seconds(0.25));
    double now = Tools::unixTsInSeconds();
    ASSERT_EQ(insert(), 1);
    EXPECT_EQ(row(std::string(kAllColumns) + "1"),
              (Json{"Compte rendu", now, 75.0, 20.0, "jdupont", "Cardiologie", "mmartin", "Courrier", "Haute",
                    "Dictée numérique", "DOS-42", 3.0, "8F14E45F", 7.0, 0.0, 0.0, 0.0, nullptr, 0.0}));

    DicteeModel expected = sample();
    expected.idDictee = 1;
    expected.date = formatted(now, "dd-MM_HH-mm");
    expected.statut = 0; // stateCorrection is NULL for new rows
    EXPECT_EQ(DicteeRequest().selectDictee(1).toJson(), expected.toJson());
    EXPECT_TRUE(logged("selectDictee Id : 1"));
}

TEST_F(DicteeRequestTest, SavingAgainRewritesFieldsMovesTheDateAndMakesAnAttemptEligible) {
    std::int64_t id = insert();
    DicteeRequest().updateDicteeTsTransfert(id);
    profile.clock().advance(Seconds(10.5));
    EXPECT_EQ(nextId(), 0);

    DicteeModel changed = DicteeRequest().selectDictee(id);
    for (auto* text :
         {&changed.titre, &changed.auteur, &changed.contexte, &changed.secretaire, &changed.worktype,
          &changed.priorite, &changed.type, &changed.identValue, &changed.masterJobId}) {
        *text += "2";
    }
    changed.dureeDictee = 9;
    changed.dureeInstruction = 8;
    changed.idSite = 5;
    changed.serviceID = 4;
    ASSERT_EQ(DicteeRequest().updateDictee(changed), id);
    EXPECT_EQ(row(kAllColumns + std::to_string(id)),
              (Json{"Compte rendu2", Tools::unixTsInSeconds(), 9.0, 8.0, "jdupont2", "Cardiologie2",
                    "mmartin2", "Courrier2", "Haute2", "Dictée numérique2", "DOS-422", 5.0, "8F14E45F2", 4.0,
                    0.0, 0.0, 0.0, nullptr, 0.0}));
    EXPECT_EQ(nextId(), id);

    changed.brouillon = true;
    ASSERT_EQ(DicteeRequest().updateDictee(changed), id);
    EXPECT_EQ(nextId(), 0);
    // A row deleted meanwhile is not reported saved.
    changed.idDictee = 999;
    EXPECT_EQ(DicteeRequest().updateDictee(changed), 0);
}

TEST_F(DicteeRequestTest, QuotesRoundTripThroughEveryWrite) {
    DicteeModel record = sample();
    record.titre = "L'étude d'O'Brien";
    record.identValue = "x'); DROP TABLE dictee; --";
    record.idDictee = insert(record);
    ASSERT_NE(record.idDictee, 0);
    record.contexte = "Cabinet l'Olivier";
    ASSERT_EQ(DicteeRequest().updateDictee(record), record.idDictee);
    auto list = DicteeRequest().getListDictee(DicteeRequest::kAll);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].titre, "L'étude d'O'Brien");
    EXPECT_EQ(list[0].identValue, "x'); DROP TABLE dictee; --");
    EXPECT_EQ(list[0].contexte, "Cabinet l'Olivier");
}

TEST_F(DicteeRequestTest, EmptyUnknownAndNullRows) {
    // A row numbered 0 exists: the answer for 0 cannot come from the table.
    execute("insert into dictee(id, titre, date_heure) values (0, 'zéro', 1)");
    EXPECT_EQ(DicteeRequest().selectDictee(0).toJson(), DicteeModel().toJson());
    DicteeModel unknown = DicteeRequest().selectDictee(42);
    EXPECT_EQ(unknown.idDictee, 0);
    EXPECT_EQ(unknown.date, "");
    EXPECT_TRUE(logged("selectDictee Id : 42"));

    execute("insert into dictee(id, date_heure) values (5, 0)");
    DicteeModel nulls = DicteeRequest().selectDictee(5);
    EXPECT_EQ(nulls.idDictee, 5);
    EXPECT_EQ(nulls.titre + nulls.auteur + nulls.secretaire + nulls.worktype + nulls.masterJobId, "");
    EXPECT_EQ(DicteeRequest().getListDictee(DicteeRequest::kAll).front().titreAuto, "---");
}

TEST_F(DicteeRequestTest, LastIdPredictsTheNextInsertAndDeleteSaysWhetherARowWent) {
    EXPECT_EQ(DicteeRequest().getLastId(), 0);
    execute("insert into dictee(id, date_heure) values (41, 0)");
    EXPECT_EQ(DicteeRequest().getLastId(), 41);
    EXPECT_EQ(insert(), 42);

    EXPECT_TRUE(DicteeRequest().deleteDicteeWithId(42));
    EXPECT_TRUE(logged("La dictée a été supprimée de la BDD !"));
    EXPECT_EQ(DicteeRequest().getLastId(), 41);
    EXPECT_FALSE(DicteeRequest().deleteDicteeWithId(42));
    EXPECT_TRUE(logged("La dictée n'a pas été supprimée de la BDD  : "));
}

TEST_F(DicteeRequestTest, DraftsWaitForeverAndFailedAttemptsMoreThanTwoMinutes) {
    DicteeModel draft = sample();
    draft.brouillon = true;
    insert(draft);
    profile.clock().advance(Seconds(400 * kDay));
    EXPECT_EQ(nextId(), 0);

    std::int64_t id = insert();
    EXPECT_EQ(nextId(), id);
    profile.clock().advance(Seconds(0.75));
    double claimed = Tools::unixTsInSeconds();
    DicteeRequest().updateDicteeTsTransfert(id);
    EXPECT_EQ(row("select tsTransfert, typeof(tsTransfert) from dictee where id = " + std::to_string(id)),
              (Json{std::floor(claimed), "integer"}));

    profile.clock().advance(Seconds(119));
    EXPECT_EQ(nextId(), 0);
    profile.clock().advance(Seconds(2));
    EXPECT_EQ(nextId(), id);
}

TEST_F(DicteeRequestTest, QueueTakesOldestAmongEqualTransferFlagsAndSkipsSent) {
    std::int64_t first = insert();
    std::int64_t second = insert();
    std::int64_t third = insert();
    EXPECT_EQ(nextId(), first);
    execute("update dictee set envoiEnCours = 1 where id = " + std::to_string(first));
    EXPECT_EQ(nextId(), second);
    DicteeRequest().updateDicteeEnvoi(second);
    EXPECT_EQ(nextId(), third);
    DicteeRequest().updateDicteeEnvoi(third);
    DicteeRequest().updateDicteeEnvoi(first);
    EXPECT_EQ(row("select envoi, envoiEnCours from dictee where id = " + std::to_string(first)),
              (Json{1.0, 0.0}));
    EXPECT_EQ(nextId(), 0);
}

TEST_F(DicteeRequestTest, TypistComesFromRecordPackedWorktypeDirectoryOrAuthor) {
    worktypeRequest directory;
    directory.name = "Courrier";
    directory.secretaire = "lpetit";
    directory.insertWorktype();

    auto stored = [&](const std::string& secretaire, const std::string& worktype, const std::string& auteur) {
        DicteeModel record = sample();
        record.secretaire = secretaire;
        record.worktype = worktype;
        record.auteur = auteur;
        return DicteeRequest().selectDictee(insert(record)).secretaire;
    };
    EXPECT_EQ(stored("mmartin", "Courrier", "jdupont"), "mmartin");
    EXPECT_EQ(stored("", "Lettre;DigitalDictation;marie", "jdupont"), "marie");
    EXPECT_EQ(stored("mmartin", "Lettre;DigitalDictation;marie;extra", "jdupont"), "marie");
    // An empty packed typist leaves the one chosen by the user.
    EXPECT_EQ(stored("mmartin", "Lettre;DigitalDictation;", "jdupont"), "mmartin");
    EXPECT_EQ(stored("", "Courrier", "jdupont"), "lpetit");
    EXPECT_EQ(stored("", "Lettre;DigitalDictation", "jdupont"), "jdupont");
    EXPECT_EQ(stored("", "", ""), "");

    DicteeModel record = sample();
    record.idDictee = insert();
    record.secretaire = "";
    DicteeRequest().updateDictee(record);
    EXPECT_EQ(DicteeRequest().selectDictee(record.idDictee).secretaire, "lpetit");
}

TEST_F(DicteeRequestTest, ListFiltersOrderDatesAndAutomaticTitles) {
    std::int64_t sent = insert();
    DicteeRequest().updateDicteeEnvoi(sent);
    profile.clock().advance(Seconds(60));
    DicteeModel draft = sample();
    draft.brouillon = true;
    draft.identValue = "BROUILLON-1";
    std::int64_t drafted = insert(draft);
    std::int64_t waiting = insert(); // same date as the draft: higher id first

    EXPECT_EQ(listIds(DicteeRequest::kAll), (std::vector<std::int64_t>{waiting, drafted, sent}));
    EXPECT_EQ(listIds(DicteeRequest::kOutbox), (std::vector<std::int64_t>{waiting, drafted}));
    auto sentList = DicteeRequest().getListDictee(DicteeRequest::kSent);
    ASSERT_EQ(sentList.size(), 1u);
    EXPECT_EQ(sentList[0].date, formatted(Tools::unixTsInSeconds() - 60, "dd/MM/yy HH:mm"));
    EXPECT_EQ(sentList[0].titreAuto, "jdupont-Courrier-mmartin-DOS-42");
    EXPECT_TRUE(logged("Ident de la dictée : BROUILLON-1"));
    EXPECT_TRUE(listIds(7).empty());
}

TEST_F(DicteeRequestTest, CleansingListTakesSentDictationsOlderThanTheSetting) {
    std::int64_t oldSent = insert();
    insert(); // old, not sent
    DicteeRequest().updateDicteeEnvoi(oldSent);
    profile.clock().advance(Seconds(121 * kDay));
    DicteeRequest().updateDicteeEnvoi(insert());

    UserDefaultManager::setInt(0, "OptionMaxDate");
    EXPECT_TRUE(listIds(DicteeRequest::kToCleanse).empty());
    EXPECT_FALSE(logged("Ident de la dictée")); // no query ran
    UserDefaultManager::setInt(120, "OptionMaxDate");
    EXPECT_EQ(listIds(DicteeRequest::kToCleanse), std::vector<std::int64_t>{oldSent});
    UserDefaultManager::setInt(122, "OptionMaxDate");
    EXPECT_TRUE(listIds(DicteeRequest::kToCleanse).empty());
}

TEST_F(DicteeRequestTest, MissingDatabaseAnswersEmptyResultsAndIsNotCreated) {
    std::filesystem::remove(database);
    DicteeModel record = sample();
    record.idDictee = 1;
    EXPECT_EQ(insert(), 0);
    EXPECT_EQ(DicteeRequest().updateDictee(record), 0);
    EXPECT_TRUE(listIds(DicteeRequest::kAll).empty());
    EXPECT_EQ(nextId(), 0);
    EXPECT_FALSE(DicteeRequest().deleteDicteeWithId(1));
    DicteeRequest().updateDicteeEnvoi(1);
    EXPECT_FALSE(std::filesystem::exists(database));
}

TEST_F(DicteeRequestTest, WriterWaitsForAnotherConnectionInsteadOfLosingItsWrite) {
    execute("PRAGMA journal_mode=WAL");
    DicteeModel record = sample();
    record.idDictee = insert();
    auto holder = SqlConnection::open(database);
    ASSERT_TRUE(Request::executeSqlStatement(*holder, "BEGIN IMMEDIATE"));
    ASSERT_TRUE(Request::executeSqlStatement(*holder, "update dictee set contexte = 'tenu'"));

    std::atomic<std::int64_t> updated{-1};
    std::atomic<std::int64_t> inserted{-1};
    std::thread writer([&] {
        record.titre = "après le verrou";
        updated = DicteeRequest().updateDictee(record);
        inserted = insert();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(updated.load(), -1); // still waiting for the lock
    ASSERT_TRUE(Request::executeSqlStatement(*holder, "COMMIT"));
    writer.join();
    EXPECT_EQ(updated.load(), record.idDictee);
    EXPECT_EQ(inserted.load(), record.idDictee + 1);
    EXPECT_EQ(DicteeRequest().selectDictee(record.idDictee).titre, "après le verrou");
}

TEST_F(DicteeRequestTest, ConcurrentWritersLoseNothing) {
    execute("PRAGMA journal_mode=WAL");
    constexpr int kPerThread = 40;
    auto work = [](std::string name, std::atomic<int>& saved) {
        for (int index = 0; index < kPerThread; ++index) {
            DicteeModel record = sample();
            record.titre = name + std::to_string(index);
            record.idDictee = DicteeRequest().insertDictee(record);
            record.dureeDictee = index;
            saved += record.idDictee != 0 && DicteeRequest().updateDictee(record) == record.idDictee;
            DicteeRequest().updateDicteeTsTransfert(record.idDictee);
            DicteeRequest().getListDictee(DicteeRequest::kOutbox);
        }
    };
    std::atomic<int> saved{0};
    std::thread left(work, "gauche-", std::ref(saved));
    std::thread right(work, "droite-", std::ref(saved));
    left.join();
    right.join();
    EXPECT_EQ(saved.load(), 2 * kPerThread);
    std::map<std::string, std::int64_t> durations;
    for (const auto& record : DicteeRequest().getListDictee(DicteeRequest::kAll)) {
        durations[record.titre] = record.dureeDictee;
    }
    ASSERT_EQ(durations.size(), 2u * kPerThread);
    for (int index = 0; index < kPerThread; ++index) {
        EXPECT_EQ(durations["gauche-" + std::to_string(index)], index);
        EXPECT_EQ(durations["droite-" + std::to_string(index)], index);
    }
}

class DicteeModelTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    static DicteeModel with(const std::string& priorite, const std::string& type = "") {
        DicteeModel record;
        record.priorite = priorite;
        record.type = type;
        return record;
    }
};

TEST_F(DicteeModelTest, DerivedJobValuesWithUnknownPriorityHighButOne) {
    EXPECT_EQ(with("Basse").getPrioriteNameXML() + with("Moyenne").getPrioriteNameXML() +
                  with("Haute").getPrioriteNameXML() + with("Urgente").getPrioriteNameXML(),
              "LowNormalHighHigh");
    EXPECT_EQ((std::vector<int>{with("Basse").getPrioriteNum(), with("Moyenne").getPrioriteNum(),
                                with("Haute").getPrioriteNum(), with("Urgente").getPrioriteNum()}),
              (std::vector<int>{0, 1, 2, 1}));
    EXPECT_EQ(with("", "Reconnaissance vocale").getTypeDicteeXML(), "BatchModeRecognition");
    EXPECT_EQ(with("", "Dictée numérique").getTypeDicteeXML(), "DigitalDictation");
    EXPECT_EQ(with("", "Code42").getTypeDicteeXML(), "Code42");

    // Labels come from the localisation table.
    ASSERT_TRUE(Localization::loadTable(profile.writeDocument("fr.json", R"({"PRIORITY_LOW": "Faible"})")));
    EXPECT_EQ(with("Faible").getPrioriteNum(), 0);
    EXPECT_EQ(with("Basse").getPrioriteNameXML(), "High");
    Localization::loadDefaultTable();
}

TEST_F(DicteeModelTest, SentWinsOverDraftAndDraftOverAttempt) {
    DicteeModel record;
    record.tsTransfert = 1000;
    EXPECT_EQ(record.sendingState(), DicteeModel::SendingState::Draft);
    record.brouillon = false;
    EXPECT_EQ(record.sendingState(), DicteeModel::SendingState::Attempted);
    record.tsTransfert = 0;
    EXPECT_EQ(record.sendingState(), DicteeModel::SendingState::Waiting);
    record.envoi = 1;
    record.brouillon = true;
    EXPECT_EQ(record.sendingState(), DicteeModel::SendingState::Sent);
}

} // namespace
} // namespace orvaneh
