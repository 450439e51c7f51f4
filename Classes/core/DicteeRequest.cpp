#include "Classes/core/DicteeRequest.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/Tools.h"
#include "Classes/core/worktypeRequest.h"
#include "Platform/log/Log.h"
#include "Platform/time/DateFormatter.h"

#include <chrono>
#include <limits>
#include <string_view>

namespace orvaneh {

namespace {

constexpr const char* kInsertSql =
    "INSERT INTO dictee(titre,date_heure,duree_dictee,duree_Instruction,auteur,contexte,secretaire,worktype,"
    "propriete,typedictee,indentValue, idSite,masterJobId,envoiEnCours,service,brouillon) "
    "Values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kUpdateSql =
    "UPDATE dictee Set titre = ?,date_heure = ?,duree_dictee = ?,duree_Instruction = ?,auteur = ?,"
    "contexte = ?,secretaire = ?,worktype = ?,propriete = ?, typedictee = ?,indentValue = ?, idSite = ? , "
    "masterJobId = ?, service = ?, brouillon = ?, tsTransfert = 0 where id = ?";
#define ORVANEH_DICTEE_COLUMNS                                                                               \
    "select id,titre,date_heure,duree_dictee,duree_Instruction,envoi,auteur,contexte,secretaire,worktype,"   \
    "propriete,typeDictee,indentValue,idSite,masterJobId,stateCorrection,envoiEnCours,service,brouillon,"    \
    "tsTransfert from dictee "
constexpr const char* kSelectSql = ORVANEH_DICTEE_COLUMNS "where id = ?";
constexpr const char* kListAllSql = ORVANEH_DICTEE_COLUMNS "order by date_heure DESC, id DESC";
constexpr const char* kListBySentSql =
    ORVANEH_DICTEE_COLUMNS "where envoi = ? order by date_heure DESC, id DESC";
constexpr const char* kListToCleanseSql =
    ORVANEH_DICTEE_COLUMNS "where envoi = ?  and ? > date_heure order by date_heure DESC, id DESC";
#undef ORVANEH_DICTEE_COLUMNS
// Equal envoiEnCours: the oldest dictation goes first, so none waits behind newer ones.
constexpr const char* kNextToSendSql =
    "select id from dictee where brouillon = 0 and envoi = 0 and (tsTransfert = 0 or ? > tsTransfert) "
    "order by envoiEnCours asc, id asc";

// The sender's rule narrowed by a claim rule: an optional single id, and ids to skip given as
// ",1,5," (one parameter whatever their number).
constexpr const char* kClaimSql =
    "select id from dictee where brouillon = 0 and envoi = 0 and (tsTransfert = 0 or ? > tsTransfert) "
    "and (? = 0 or id = ?) and instr(?, ',' || id || ',') = 0 order by envoiEnCours asc, id asc";

constexpr std::string_view kSinglePattern = "dd-MM_HH-mm";
constexpr std::string_view kListPattern = "dd/MM/yy HH:mm";

std::string formatDate(double secondsSince1970, std::string_view pattern) {
    auto since = std::chrono::duration_cast<WallTime::duration>(Seconds(secondsSince1970));
    return DateFormatter::format(pattern, WallTime(since), DateFormatter::Zone::Local);
}

// Columns in the order of ORVANEH_DICTEE_COLUMNS.
DicteeModel readRow(const SqlStatement& row, std::string_view datePattern) {
    DicteeModel record;
    record.idDictee = row.columnInt(0);
    record.titre = row.columnText(1);
    record.date = formatDate(row.columnDouble(2), datePattern);
    record.dureeDictee = row.columnInt(3);
    record.dureeInstruction = row.columnInt(4);
    record.envoi = static_cast<int>(row.columnInt(5));
    record.auteur = row.columnText(6);
    record.contexte = row.columnText(7);
    record.secretaire = row.columnText(8);
    record.worktype = row.columnText(9);
    record.priorite = row.columnText(10);
    record.type = row.columnText(11);
    record.identValue = row.columnText(12);
    record.idSite = static_cast<std::int32_t>(row.columnInt(13));
    record.masterJobId = row.columnText(14);
    record.statut = static_cast<std::int32_t>(row.columnInt(15));
    record.envoiEnCours = row.columnInt(16) != 0;
    record.serviceID = static_cast<std::int32_t>(row.columnInt(17));
    record.brouillon = row.columnInt(18) == 1;
    record.tsTransfert = row.columnInt(19);
    return record;
}

// Positions 1 to 13, shared by the insert and the update.
void bindCommonFields(SqlStatement& statement, const DicteeModel& record, const std::string& typist) {
    statement.bindText(1, std::string_view(record.titre));
    statement.bindDouble(2, Tools::unixTsInSeconds());
    statement.bindInt(3, record.dureeDictee);
    statement.bindInt(4, record.dureeInstruction);
    statement.bindText(5, std::string_view(record.auteur));
    statement.bindText(6, std::string_view(record.contexte));
    statement.bindText(7, std::string_view(typist));
    statement.bindText(8, std::string_view(record.worktype));
    statement.bindText(9, std::string_view(record.priorite));
    statement.bindText(10, std::string_view(record.type));
    statement.bindText(11, std::string_view(record.identValue));
    statement.bindInt(12, record.idSite);
    statement.bindText(13, std::string_view(record.masterJobId));
}

void bindIntegers(SqlStatement& statement, int firstIndex, const std::vector<std::int64_t>& values) {
    int index = firstIndex;
    for (std::int64_t value : values) {
        statement.bindInt(index++, value);
    }
}

} // namespace

std::string DicteeRequest::getTypistToAssignWithWorktypeIfNeeded(const DicteeModel& record) {
    std::string typist = record.secretaire;
    // A packed worktype "name;type;typist" names its typist in the third part; an empty third
    // part leaves the typist the user chose.
    std::size_t first = record.worktype.find(';');
    std::size_t second = first == std::string::npos ? first : record.worktype.find(';', first + 1);
    if (second != std::string::npos) {
        std::size_t end = record.worktype.find(';', second + 1);
        std::string packed =
            record.worktype.substr(second + 1, end == std::string::npos ? end : end - second - 1);
        if (!packed.empty()) {
            typist = std::move(packed);
        }
    }
    if (typist.empty()) {
        worktypeRequest worktypes;
        worktypes.selectAllworktype();
        if (auto entry = worktypes.selectworktypeForName(record.worktype)) {
            auto found = entry->find("Secretaire");
            if (found != entry->end() && found->is_string()) {
                typist = found->get<std::string>();
            }
        }
    }
    if (typist.empty()) {
        typist = record.auteur;
    }
    return typist;
}

std::optional<Request::PreparedStatement> DicteeRequest::write(std::string_view operation, const char* sql,
                                                               const DicteeModel& record,
                                                               const std::vector<std::int64_t>& lastFields) {
    // Read before our own connection opens: the worktype lookup uses one of its own.
    std::string typist = getTypistToAssignWithWorktypeIfNeeded(record);
    auto query = prepare(sql, std::string(operation) + " : " + std::string(kPrepareFailureLog));
    if (!query) {
        return std::nullopt;
    }
    SqlStatement& statement = query->statement();
    bindCommonFields(statement, record, typist);
    bindIntegers(statement, 14, lastFields);
    if (!statement.execute()) {
        Log::write(std::string(operation) + " : Problème lors de la requête : \"INSERT INTO\" !, " +
                   query->connection().errorMessage());
        return std::nullopt;
    }
    return query;
}

std::int64_t DicteeRequest::insertDictee(const DicteeModel& record) {
    auto query = write("insertDictee", kInsertSql, record, {0, record.serviceID, record.brouillon ? 1 : 0});
    return query ? query->connection().lastInsertRowId() : 0;
}

std::int64_t DicteeRequest::updateDictee(const DicteeModel& record) {
    auto query = write("updateDictee", kUpdateSql, record,
                       {record.serviceID, record.brouillon ? 1 : 0, record.idDictee});
    if (!query) {
        return 0;
    }
    // A row deleted meanwhile (the list and the queue run at once) was not saved.
    if (query->connection().changes() == 0) {
        Log::write("updateDictee : aucune dictée " + std::to_string(record.idDictee) + " dans la BDD");
        return 0;
    }
    return record.idDictee;
}

DicteeModel DicteeRequest::selectDictee(std::int64_t idDictee, std::string_view datePattern) {
    Log::write("selectDictee Id : " + std::to_string(idDictee));
    if (idDictee == 0) {
        return {};
    }
    auto query = prepare(kSelectSql);
    if (!query) {
        return {};
    }
    SqlStatement& statement = query->statement();
    statement.bindInt(1, idDictee);
    if (statement.step() != SqlStatement::Step::Row) {
        return {};
    }
    return readRow(statement, datePattern.empty() ? kSinglePattern : datePattern);
}

std::vector<DicteeModel> DicteeRequest::getListDictee(int filter, std::string_view datePattern) {
    const char* sql = nullptr;
    std::int64_t maxDays = 0;
    switch (filter) {
    case kAll:
        sql = kListAllSql;
        break;
    case kOutbox:
    case kSent:
        sql = kListBySentSql;
        break;
    case kToCleanse:
        maxDays = ConfigurationManager::getCleansingMaxDate();
        if (maxDays < 1) {
            return {};
        }
        sql = kListToCleanseSql;
        break;
    default:
        // The clean-up deletes what it is given: an unknown filter must not mean "everything".
        return {};
    }
    std::vector<DicteeModel> list;
    {
        auto query = prepare(sql);
        if (!query) {
            return {};
        }
        SqlStatement& statement = query->statement();
        if (filter == kOutbox) {
            statement.bindInt(1, 0);
        } else if (filter == kSent) {
            statement.bindInt(1, 1);
        } else if (filter == kToCleanse) {
            statement.bindInt(1, 1);
            statement.bindDouble(2, Tools::unixTsInSeconds() - static_cast<double>(maxDays) * 86400.0);
        }
        while (statement.step() == SqlStatement::Step::Row) {
            DicteeModel record = readRow(statement, datePattern.empty() ? kListPattern : datePattern);
            record.titreAuto =
                record.auteur + "-" + record.worktype + "-" + record.secretaire + "-" + record.identValue;
            list.push_back(std::move(record));
        }
    }
    // One line per read, not per row: with thousands of dictations a line each would push the
    // rest of the log out of its rotation at every redraw of the list, and cost more than the read.
    Log::write("Liste des dictées lue : " + std::to_string(list.size()) + " dictée(s)");
    return list;
}

std::int64_t DicteeRequest::getLastId() {
    auto query = prepare("select max(id) from dictee");
    if (!query) {
        return 0;
    }
    SqlStatement& statement = query->statement();
    // max() of an empty table is NULL, read as 0.
    return statement.step() == SqlStatement::Step::Row ? statement.columnInt(0) : 0;
}

std::int64_t DicteeRequest::idForMasterJob(const std::string& masterJobId) {
    auto query = prepare("select id from dictee where masterJobId = ? order by id limit 1");
    if (!query) {
        return 0;
    }
    SqlStatement& statement = query->statement();
    statement.bindText(1, std::string_view(masterJobId));
    return statement.step() == SqlStatement::Step::Row ? statement.columnInt(0) : 0;
}

std::optional<DicteeModel> DicteeRequest::getNextDicteeToSend() {
    std::int64_t found = 0;
    {
        auto query = prepare(kNextToSendSql);
        if (!query) {
            return std::nullopt;
        }
        SqlStatement& statement = query->statement();
        // Truncated: an attempt stamped T is eligible again once this exceeds T.
        statement.bindInt(1, static_cast<std::int64_t>(Tools::unixTsInSeconds() - kRetryDelaySeconds));
        if (statement.step() != SqlStatement::Step::Row) {
            return std::nullopt;
        }
        found = statement.columnInt(0);
    }
    DicteeModel record = selectDictee(found);
    if (record.idDictee == 0) {
        return std::nullopt; // deleted between the two reads
    }
    return record;
}

void DicteeRequest::updateDicteeTsTransfert(std::int64_t idDictee) {
    runTransferUpdate("UPDATE dictee Set tsTransfert = ? where id = ?",
                      {static_cast<std::int64_t>(Tools::unixTsInSeconds()), idDictee});
}

std::optional<DicteeRequest::Claim> DicteeRequest::claimNextDicteeToSend(std::string* failure,
                                                                         const ClaimRule& rule) {
    SqlConnection::Failure openFailure;
    auto connection = SqlConnection::open(databasePath(), &openFailure);
    if (!connection) {
        Log::write("claimNextDicteeToSend : la base de données n'a pas pu être ouverte, " +
                   openFailure.text());
        if (failure) {
            *failure = openFailure.text();
        }
        return std::nullopt;
    }
    // IMMEDIATE takes the write lock before the read: another sender's claim waits for our
    // COMMIT (busy timeout) and then sees our stamp.
    if (!executeSqlStatement(*connection, "BEGIN IMMEDIATE")) {
        Log::write("claimNextDicteeToSend : la file d'envoi n'a pas pu être réservée");
        if (failure) {
            *failure = connection->lastFailure().text();
        }
        return std::nullopt;
    }
    std::optional<Claim> claim;
    bool failed = false;
    {
        std::int64_t found = 0;
        if (auto next = prepare(*connection, kClaimSql)) {
            next->bindInt(1, rule.ignoreRetryDelay
                                 ? std::numeric_limits<std::int64_t>::max()
                                 : static_cast<std::int64_t>(Tools::unixTsInSeconds() - kRetryDelaySeconds));
            next->bindInt(2, rule.onlyId);
            next->bindInt(3, rule.onlyId);
            std::string skipped = ",";
            for (std::int64_t id : rule.skipIds) {
                skipped += std::to_string(id) + ",";
            }
            next->bindText(4, skipped);
            const auto step = next->step();
            failed = step == SqlStatement::Step::Error;
            found = step == SqlStatement::Step::Row ? next->columnInt(0) : 0;
        } else {
            failed = true;
        }
        const auto stamp = static_cast<std::int64_t>(Tools::unixTsInSeconds());
        if (found != 0) {
            auto update = prepare(*connection, "UPDATE dictee Set tsTransfert = ? where id = ?");
            auto select = prepare(*connection, kSelectSql);
            if (update && select) {
                bindIntegers(*update, 1, {stamp, found});
                select->bindInt(1, found);
                failed = !update->execute() || select->step() != SqlStatement::Step::Row;
                if (!failed) {
                    claim = Claim{readRow(*select, kSinglePattern), stamp};
                }
            } else {
                failed = true;
            }
        }
    }
    if (failed || !executeSqlStatement(*connection, "COMMIT")) {
        Log::write("claimNextDicteeToSend : " + connection->errorMessage());
        // Read before the rollback, which would report its own outcome.
        if (failure) {
            *failure = connection->lastFailure().text();
        }
        executeSqlStatement(*connection, "ROLLBACK");
        return std::nullopt;
    }
    return claim;
}

bool DicteeRequest::updateDicteeEnvoiIfClaimed(std::int64_t idDictee, std::int64_t stamp) {
    return runTransferUpdate("UPDATE dictee Set envoi = 1, envoiEnCours = 0 where id = ? and tsTransfert = ?",
                             {idDictee, stamp}) == 1;
}

void DicteeRequest::releaseClaim(std::int64_t idDictee, std::int64_t stamp) {
    runTransferUpdate("UPDATE dictee Set tsTransfert = 0 where id = ? and tsTransfert = ?",
                      {idDictee, stamp});
}

bool DicteeRequest::holdBackForSave(std::int64_t idDictee) {
    return runTransferUpdate("UPDATE dictee Set brouillon = 1, tsTransfert = 0 where id = ?", {idDictee}) ==
           1;
}

bool DicteeRequest::reopenAfterEdit(std::int64_t idDictee) {
    return runTransferUpdate("UPDATE dictee Set envoi = 0, envoiEnCours = 0, tsTransfert = 0 where id = ?",
                             {idDictee}) >= 0;
}

void DicteeRequest::updateDicteeEnvoi(std::int64_t idDictee) {
    runTransferUpdate("UPDATE dictee Set envoi = ?, envoiEnCours = ? where id = ?", {1, 0, idDictee});
}

int DicteeRequest::runTransferUpdate(const char* sql, const std::vector<std::int64_t>& values) {
    auto query = prepare(sql);
    if (!query) {
        return -1;
    }
    bindIntegers(query->statement(), 1, values);
    if (!query->statement().execute()) {
        Log::write("Problème lors de la requête : \"UPDATE\" !, " + query->connection().errorMessage());
        return -1;
    }
    return query->connection().changes();
}

bool DicteeRequest::deleteDicteeWithId(std::int64_t idDictee) {
    constexpr std::string_view kNotDeleted = "La dictée n'a pas été supprimée de la BDD  : ";
    auto query = prepare("delete from dictee where id = ?", kNotDeleted);
    if (!query) {
        return false;
    }
    query->statement().bindInt(1, idDictee);
    if (!query->statement().execute()) {
        Log::write(std::string(kNotDeleted) + query->connection().errorMessage());
        return false;
    }
    if (query->connection().changes() == 0) {
        Log::write(std::string(kNotDeleted) + "aucune dictée " + std::to_string(idDictee));
        return false;
    }
    Log::write("La dictée a été supprimée de la BDD !");
    return true;
}

} // namespace orvaneh
