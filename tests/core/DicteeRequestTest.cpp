#include "Classes/core/DicteeRequest.h"

#include "Classes/core/SqlConnection.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/worktypeRequest.h"
#include "Platform/localisation/Localization.h"
#include "Platform/time/DateFormatter.h"
#include "support/TestDatabase.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <tuple>

namespace orvaneh {
namespace {

using test::execute;
using test::Rows;
using test::rows;

constexpr double kDay = 86400.0;

// Every field differs from its neighbours and from the defaults, so a value bound or read at
// the wrong position shows; the quotes must survive every write and read.
DicteeModel sample() {
    DicteeModel record;
    record.titre = "L'étude d'O'Brien";
    record.dureeDictee = 75;
    record.dureeInstruction = 20;
    record.auteur = "jdupont";
    record.contexte = "Cardiologie";
    record.secretaire = "mmartin";
    record.worktype = "Courrier";
    record.priorite = "Haute";
    record.type = "Dictée numérique";
    record.identValue = "x'); DROP TABLE dictee; --";
    record.idSite = 3;
    record.masterJobId = "8F14E45F";
    record.brouillon = false;
    record.serviceID = 7;
    return record;
}

// stateCorrection is left NULL by the writes.
Rows allColumns(std::int64_t id) {
    return rows("select titre,date_heure,duree_dictee,duree_Instruction,auteur,contexte,secretaire,worktype,"
                "propriete,typeDictee,indentValue,idSite,masterJobId,service,brouillon,envoiEnCours,envoi,"
                "typeof(stateCorrection),tsTransfert from dictee where id = " +
                std::to_string(id));
}

class DicteeRequestTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);

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
    static std::string formatted(double seconds, std::string_view pattern) {
        return DateFormatter::format(
            pattern, WallTime(std::chrono::duration_cast<WallTime::duration>(Seconds(seconds))));
    }
};

TEST_F(DicteeRequestTest, InsertAndUpdateBindEveryColumnAtItsPlaceAndSelectReadsItBack) {
    profile.clock().advance(Seconds(0.25));
    ASSERT_EQ(insert(), 1);
    EXPECT_EQ(allColumns(1),
              (Rows{{"L'étude d'O'Brien", "1768467600.25", "75", "20", "jdupont", "Cardiologie", "mmartin",
                     "Courrier", "Haute", "Dictée numérique", "x'); DROP TABLE dictee; --", "3", "8F14E45F",
                     "7", "0", "0", "0", "null", "0"}}));
    DicteeModel expected = sample();
    expected.idDictee = 1;
    expected.date = formatted(Tools::unixTsInSeconds(), "dd-MM_HH-mm");
    expected.statut = 0;
    EXPECT_EQ(DicteeRequest().selectDictee(1).toJson(), expected.toJson());

    // Saving again rewrites every field and moves the date.
    profile.clock().advance(Seconds(10.25));
    DicteeModel changed = DicteeRequest().selectDictee(1);
    for (auto* text :
         {&changed.titre, &changed.auteur, &changed.contexte, &changed.secretaire, &changed.worktype,
          &changed.priorite, &changed.type, &changed.identValue, &changed.masterJobId}) {
        *text += "2";
    }
    changed.dureeDictee = 9;
    changed.dureeInstruction = 8;
    changed.idSite = 5;
    changed.serviceID = 4;
    ASSERT_EQ(DicteeRequest().updateDictee(changed), 1);
    EXPECT_EQ(allColumns(1),
              (Rows{{"L'étude d'O'Brien2", "1768467610.5", "9", "8", "jdupont2", "Cardiologie2", "mmartin2",
                     "Courrier2", "Haute2", "Dictée numérique2", "x'); DROP TABLE dictee; --2", "5",
                     "8F14E45F2", "4", "0", "0", "0", "null", "0"}}));
    // A row deleted meanwhile is not reported saved.
    changed.idDictee = 999;
    EXPECT_EQ(DicteeRequest().updateDictee(changed), 0);
}

TEST_F(DicteeRequestTest, UnknownNullAndDeletedRows) {
    // A row numbered 0 exists: the answer for 0 cannot come from the table.
    execute("insert into dictee(id, titre, date_heure) values (0, 'zéro', 1), (5, null, 0)");
    EXPECT_EQ(DicteeRequest().selectDictee(0).toJson(), DicteeModel().toJson());
    EXPECT_EQ(DicteeRequest().selectDictee(42).toJson(), DicteeModel().toJson());
    DicteeModel nulls = DicteeRequest().selectDictee(5);
    EXPECT_EQ(nulls.idDictee, 5);
    EXPECT_EQ(nulls.titre + nulls.auteur + nulls.secretaire + nulls.worktype + nulls.masterJobId, "");
    EXPECT_EQ(DicteeRequest().getListDictee(DicteeRequest::kAll).front().titreAuto, "---");

    // The last id predicts the next insert; a delete says whether a row went.
    execute("insert into dictee(id, date_heure) values (41, 0)");
    EXPECT_EQ(DicteeRequest().getLastId(), 41);
    EXPECT_EQ(insert(), 42);
    EXPECT_TRUE(DicteeRequest().deleteDicteeWithId(42));
    EXPECT_EQ(DicteeRequest().getLastId(), 41);
    EXPECT_FALSE(DicteeRequest().deleteDicteeWithId(42));
}

TEST_F(DicteeRequestTest, DraftsWaitForeverAndFailedAttemptsMoreThanTwoMinutesUnlessSavedAgain) {
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
    EXPECT_EQ(rows("select tsTransfert, typeof(tsTransfert) from dictee where id = " + std::to_string(id)),
              (Rows{{std::to_string(static_cast<std::int64_t>(claimed)), "integer"}}));
    profile.clock().advance(Seconds(119));
    EXPECT_EQ(nextId(), 0);
    profile.clock().advance(Seconds(2));
    EXPECT_EQ(nextId(), id);

    // Saving clears the attempt; saving as a draft holds it back again.
    DicteeRequest().updateDicteeTsTransfert(id);
    DicteeModel saved = DicteeRequest().selectDictee(id);
    ASSERT_EQ(DicteeRequest().updateDictee(saved), id);
    EXPECT_EQ(nextId(), id);
    saved.brouillon = true;
    ASSERT_EQ(DicteeRequest().updateDictee(saved), id);
    EXPECT_EQ(nextId(), 0);
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
    EXPECT_EQ(rows("select envoi, envoiEnCours from dictee where id = " + std::to_string(first)),
              (Rows{{"1", "0"}}));
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
}

TEST_F(DicteeRequestTest, ListFiltersOrderDatesAndAutomaticTitles) {
    std::int64_t sent = insert();
    DicteeRequest().updateDicteeEnvoi(sent);
    profile.clock().advance(Seconds(60));
    DicteeModel draft = sample();
    draft.brouillon = true;
    std::int64_t drafted = insert(draft);
    std::int64_t waiting = insert(); // same date as the draft: higher id first

    EXPECT_EQ(listIds(DicteeRequest::kAll), (std::vector<std::int64_t>{waiting, drafted, sent}));
    EXPECT_EQ(listIds(DicteeRequest::kOutbox), (std::vector<std::int64_t>{waiting, drafted}));
    auto sentList = DicteeRequest().getListDictee(DicteeRequest::kSent);
    ASSERT_EQ(sentList.size(), 1u);
    EXPECT_EQ(sentList[0].date, formatted(Tools::unixTsInSeconds() - 60, "dd/MM/yy HH:mm"));
    EXPECT_EQ(sentList[0].titreAuto, "jdupont-Courrier-mmartin-x'); DROP TABLE dictee; --");
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

// What the callers tell the user: an operation that failed says why, one that found nothing is
// no failure, and each operation starts afresh.
TEST_F(DicteeRequestTest, FailureTellsAFailedOperationFromOneThatFoundNothing) {
    DicteeRequest dictations;
    EXPECT_EQ(dictations.selectDictee(42).idDictee, 0);
    EXPECT_FALSE(dictations.failure());

    DicteeModel record = sample();
    record.idDictee = insert();
    // A statement that fails when run.
    execute("create trigger refuse before update on dictee begin select raise(abort, 'refusée'); end");
    EXPECT_EQ(dictations.updateDictee(record), 0);
    ASSERT_TRUE(dictations.failure());
    EXPECT_TRUE(dictations.failure()->statementError());
    EXPECT_EQ(dictations.diskError(), 0);
    EXPECT_EQ(dictations.selectDictee(record.idDictee).idDictee, record.idDictee);
    EXPECT_FALSE(dictations.failure());

    // A statement that cannot be prepared.
    execute("alter table dictee rename to ailleurs");
    EXPECT_EQ(dictations.selectDictee(record.idDictee).idDictee, 0);
    EXPECT_TRUE(dictations.failure());
    execute("alter table ailleurs rename to dictee");

    // A database that cannot be opened; a missing file is not a fault of the disk.
    std::filesystem::remove(database);
    EXPECT_EQ(dictations.selectDictee(record.idDictee).idDictee, 0);
    ASSERT_TRUE(dictations.failure());
    EXPECT_NE(dictations.failure()->text().find("ne peut pas être ouvert"), std::string::npos)
        << dictations.failure()->text();
    EXPECT_EQ(dictations.diskError(), 0);
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

DicteeModel with(const std::string& priorite, const std::string& type = "") {
    DicteeModel record;
    record.priorite = priorite;
    record.type = type;
    return record;
}

TEST(DicteeModelTest, DerivedJobValuesWithUnknownPriorityHighButOne) {
    test::TestProfile profile;
    const std::tuple<const char*, const char*, int> priorities[] = {
        {"Basse", "Low", 0}, {"Moyenne", "Normal", 1}, {"Haute", "High", 2}, {"Urgente", "High", 1}};
    for (const auto& [label, name, number] : priorities) {
        EXPECT_EQ(with(label).getPrioriteNameXML(), name) << label;
        EXPECT_EQ(with(label).getPrioriteNum(), number) << label;
    }
    EXPECT_EQ(with("", "Reconnaissance vocale").getTypeDicteeXML(), "BatchModeRecognition");
    EXPECT_EQ(with("", "Code42").getTypeDicteeXML(), "Code42");
    // Labels come from the localisation table.
    ASSERT_TRUE(Localization::loadTable(profile.writeDocument("fr.json", R"({"PRIORITY_LOW": "Faible"})")));
    EXPECT_EQ(with("Faible").getPrioriteNum(), 0);
    EXPECT_EQ(with("Basse").getPrioriteNameXML(), "High");
    Localization::loadDefaultTable();
}

TEST(DicteeModelTest, SentWinsOverDraftAndDraftOverAttempt) {
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
