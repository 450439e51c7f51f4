// What the table-access layer adds to reading the dictee table: the outbox list and the send
// queue's pick through DicteeRequest, against the same statements on a bare sqlite3 handle,
// over 10,000 dictations. The log goes to the profile's file, as in the application.
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/dataBaseRequest.h"
#include "Platform/files/Resources.h"
#include "Platform/log/Log.h"
#include "Platform/profile/ProfileSetup.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace orvaneh;

constexpr int kDictations = 10000;

const char* const kListSql =
    "select id,titre,date_heure,duree_dictee,duree_Instruction,envoi,auteur,contexte,secretaire,worktype,"
    "propriete,typeDictee,indentValue,idSite,masterJobId,stateCorrection,envoiEnCours,service,brouillon,"
    "tsTransfert from dictee where envoi = ? order by date_heure DESC, id DESC";
const char* const kSelectSql =
    "select id,titre,date_heure,duree_dictee,duree_Instruction,envoi,auteur,contexte,secretaire,worktype,"
    "propriete,typeDictee,indentValue,idSite,masterJobId,stateCorrection,envoiEnCours,service,brouillon,"
    "tsTransfert from dictee where id = ?";
const char* const kNextSql =
    "select id from dictee where brouillon = 0 and envoi = 0 and (tsTransfert = 0 or ? > "
    "tsTransfert) order by envoiEnCours asc, id asc";

// The bare reading: every column into plain members, nothing formatted.
struct RawRow {
    std::int64_t id = 0;
    std::string titre;
    double date = 0;
    std::int64_t duree = 0;
    std::int64_t dureeInstruction = 0;
    std::int64_t envoi = 0;
    std::string auteur, contexte, secretaire, worktype, propriete, type, identValue;
    std::int64_t idSite = 0;
    std::string masterJobId;
    std::int64_t statut = 0, envoiEnCours = 0, service = 0, brouillon = 0, tsTransfert = 0;
};

std::string text(sqlite3_stmt* statement, int column) {
    const auto* value = sqlite3_column_text(statement, column);
    return value ? std::string(reinterpret_cast<const char*>(value),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                 : std::string();
}

RawRow readRaw(sqlite3_stmt* s) {
    RawRow row;
    row.id = sqlite3_column_int64(s, 0);
    row.titre = text(s, 1);
    row.date = sqlite3_column_double(s, 2);
    row.duree = sqlite3_column_int64(s, 3);
    row.dureeInstruction = sqlite3_column_int64(s, 4);
    row.envoi = sqlite3_column_int64(s, 5);
    row.auteur = text(s, 6);
    row.contexte = text(s, 7);
    row.secretaire = text(s, 8);
    row.worktype = text(s, 9);
    row.propriete = text(s, 10);
    row.type = text(s, 11);
    row.identValue = text(s, 12);
    row.idSite = sqlite3_column_int64(s, 13);
    row.masterJobId = text(s, 14);
    row.statut = sqlite3_column_int64(s, 15);
    row.envoiEnCours = sqlite3_column_int64(s, 16);
    row.service = sqlite3_column_int64(s, 17);
    row.brouillon = sqlite3_column_int64(s, 18);
    row.tsTransfert = sqlite3_column_int64(s, 19);
    return row;
}

void execute(sqlite3* handle, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(handle, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s : %s\n", sql, message ? message : "");
        std::exit(1);
    }
}

// A profile in a temporary directory with a version-8 database of kDictations rows: all in
// the outbox, every one but the last attempted a moment ago, so the queue scans them all.
class Fixture {
public:
    Fixture()
        : home_(std::filesystem::temp_directory_path() / ("orvaneh-bench-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(home_);
        std::string error;
        if (!ProfileSetup::install(Profile::inHome(home_), &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        Log::setEchoToStderr(false);
        path_ = Profile::current().documentsDirectory() / "db_Quira.sql.sqlite";
        std::filesystem::copy_file(Resources::path("db_Quira.sql"), path_);
        UserDefaultManager::setObject("db_Quira.sql", "databaseName");
        UserDefaultManager::setObject(path_.string(), "databasePath");
        dataBaseRequest database;
        for (int step = 0; step < dataBaseRequest::kCurrentVersion; ++step) {
            database.runStep(step);
        }
        fill();
    }
    ~Fixture() { std::filesystem::remove_all(home_); }
    const std::filesystem::path& path() const { return path_; }

private:
    void fill() {
        sqlite3* handle = nullptr;
        sqlite3_open(path_.c_str(), &handle);
        execute(handle, "PRAGMA journal_mode=WAL");
        execute(handle, "BEGIN");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(
            handle,
            "INSERT INTO dictee(titre,date_heure,duree_dictee,duree_Instruction,auteur,contexte,"
            "secretaire,worktype,propriete,typedictee,indentValue,idSite,masterJobId,envoiEnCours,"
            "service,brouillon,tsTransfert) Values(?,?,?,?,?,?,?,?,?,?,?,?,?,0,?,0,?)",
            -1, &insert, nullptr);
        double now = Tools::unixTsInSeconds();
        for (int index = 0; index < kDictations; ++index) {
            std::string titre = "Compte rendu de consultation " + std::to_string(index);
            std::string ident = "DOS-" + std::to_string(100000 + index);
            std::string job = Tools::generateUUID();
            sqlite3_bind_text(insert, 1, titre.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 2, now - (kDictations - index) * 600.0);
            sqlite3_bind_int(insert, 3, 60 + index % 600);
            sqlite3_bind_int(insert, 4, index % 30);
            sqlite3_bind_text(insert, 5, "jdupont", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 6, "Cardiologie", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 7, "mmartin", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 8, "Courrier", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 9, "Moyenne", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 10, "Dictée numérique", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 11, ident.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 12, 1);
            sqlite3_bind_text(insert, 13, job.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 14, 2);
            sqlite3_bind_int64(insert, 15, index + 1 == kDictations ? 0 : static_cast<std::int64_t>(now));
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        execute(handle, "COMMIT");
        sqlite3_close(handle);
    }

    std::filesystem::path home_;
    std::filesystem::path path_;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void BM_OutboxList_DicteeRequest(benchmark::State& state) {
    fixture();
    for (auto _ : state) {
        auto list = DicteeRequest().getListDictee(DicteeRequest::kOutbox);
        if (list.size() != kDictations) {
            state.SkipWithError("liste incomplète");
        }
        benchmark::DoNotOptimize(list);
    }
}
BENCHMARK(BM_OutboxList_DicteeRequest)->Unit(benchmark::kMillisecond);

// Same discipline as the table-access layer: open, prepare, step, finalise, close.
void BM_OutboxList_RawSqlite(benchmark::State& state) {
    const auto& path = fixture().path();
    for (auto _ : state) {
        sqlite3* handle = nullptr;
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(handle, kListSql, -1, &statement, nullptr);
        sqlite3_bind_int(statement, 1, 0);
        std::vector<RawRow> rows;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            rows.push_back(readRaw(statement));
        }
        sqlite3_finalize(statement);
        sqlite3_close(handle);
        if (rows.size() != kDictations) {
            state.SkipWithError("liste incomplète");
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_OutboxList_RawSqlite)->Unit(benchmark::kMillisecond);

void BM_NextToSend_DicteeRequest(benchmark::State& state) {
    fixture();
    for (auto _ : state) {
        auto next = DicteeRequest().getNextDicteeToSend();
        if (!next || next->idDictee != kDictations) {
            state.SkipWithError("mauvaise dictée");
        }
        benchmark::DoNotOptimize(next);
    }
}
BENCHMARK(BM_NextToSend_DicteeRequest)->Unit(benchmark::kMicrosecond);

void BM_NextToSend_RawSqlite(benchmark::State& state) {
    const auto& path = fixture().path();
    for (auto _ : state) {
        sqlite3* handle = nullptr;
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
        sqlite3_stmt* next = nullptr;
        sqlite3_prepare_v2(handle, kNextSql, -1, &next, nullptr);
        sqlite3_bind_int64(next, 1, static_cast<std::int64_t>(Tools::unixTsInSeconds() - 120.0));
        std::int64_t id = sqlite3_step(next) == SQLITE_ROW ? sqlite3_column_int64(next, 0) : 0;
        sqlite3_finalize(next);
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(handle, kSelectSql, -1, &select, nullptr);
        sqlite3_bind_int64(select, 1, id);
        RawRow row;
        if (sqlite3_step(select) == SQLITE_ROW) {
            row = readRaw(select);
        }
        sqlite3_finalize(select);
        sqlite3_close(handle);
        if (row.id != kDictations) {
            state.SkipWithError("mauvaise dictée");
        }
        benchmark::DoNotOptimize(row);
    }
}
BENCHMARK(BM_NextToSend_RawSqlite)->Unit(benchmark::kMicrosecond);

} // namespace
