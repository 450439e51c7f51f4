#include "Classes/core/dataBaseRequest.h"

#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"

#include <string_view>

namespace orvaneh {

namespace {

const std::vector<std::vector<std::string>>& allSteps() {
    static const std::vector<std::vector<std::string>> steps{
        // 0 -> 1
        {"Alter table dictee add column typeDictee VARCHAR(80) NOT NULL DEFAULT '';",
         "Alter table dictee add column indentValue VARCHAR(80) NOT NULL DEFAULT '';",
         "Alter table 'parametre' add column typeDictee VARCHAR(80) NOT NULL DEFAULT '';",
         "Alter table 'parametre' add column propriete VARCHAR(80) NOT NULL DEFAULT '';",
         "Alter table user add column 'groupe' VARCHAR(80) NOT NULL DEFAULT '';"},
        // 1 -> 2
        {"ALTER TABLE worktype RENAME to tmp_worktype;",
         "CREATE TABLE worktype (id INTEGER PRIMARY KEY,name VARCHAR(80) NOT NULL DEFAULT '',type "
         "VARCHAR(80) NOT "
         "NULL DEFAULT '',secretary VARCHAR(80) NOT NULL DEFAULT '',tracage INTEGER NOT NULL DEFAULT 0,duree "
         "INTEGER NOT NULL DEFAULT 0);",
         "INSERT INTO worktype (name) SELECT worktype FROM tmp_worktype;", "DROP TABLE tmp_worktype;",
         "Alter table user add email VARCHAR(80) NOT NULL DEFAULT '';",
         "Alter table user add displayName VARCHAR(80) NOT NULL DEFAULT '';"},
        // 2 -> 3
        {"CREATE TABLE site (idSite INTEGER PRIMARY KEY, name VARCHAR(100) NOT NULL DEFAULT '',address "
         "VARCHAR(80) "
         "NOT NULL DEFAULT '',login VARCHAR(80) NOT NULL DEFAULT '',mdp VARCHAR(80) NOT NULL DEFAULT '',type "
         "INTEGER "
         "NOT NULL DEFAULT 0,selected INTEGER NOT NULL DEFAULT 0,email INTEGER NOT NULL DEFAULT 0);",
         "INSERT INTO site (name,address,login,mdp,type,selected,email) values ('Site A',(SELECT ftpHost "
         "FROM "
         "parametre),(SELECT ftpLogin FROM parametre),(SELECT ftpMdp FROM parametre),1,1,0);",
         "ALTER TABLE dictee ADD Column idSite int NOT NULL DEFAULT 0 CONSTRAINT fkDicteeSite REFERENCES "
         "site "
         "(idSite) ON DELETE CASCADE;",
         "UPDATE dictee set idSite = 0;"},
        // 3 -> 4
        {"ALTER TABLE dictee ADD Column masterJobId VARCHAR(80);",
         "ALTER TABLE dictee ADD Column stateCorrection int;", "UPDATE dictee set masterJobId = ''",
         "UPDATE dictee set stateCorrection = -1"},
        // 4 -> 5
        {"ALTER TABLE dictee ADD Column envoiEnCours BIT NOT NULL DEFAULT 0;",
         "CREATE TABLE service (id INTEGER PRIMARY KEY, idService VARCHAR(80),name VARCHAR(50) NOT NULL "
         "DEFAULT "
         "'',isSite BIT not null Default 0,idSite VARCHAR(80) NOT NULL DEFAULT '',parentService VARCHAR(80) "
         "DEFAULT "
         "'');",
         "CREATE TABLE user_service (idUser VARCHAR(80) DEFAULT '' CONSTRAINT fkUsereService REFERENCES user "
         "(id), "
         "idService INTEGER CONSTRAINT fkServiceUser REFERENCES service (id), PRIMARY "
         "KEY(idUser,idService));",
         "CREATE TABLE worktype_service (idWorktype INTEGER CONSTRAINT fkWorktypeService REFERENCES worktype "
         "(id), "
         "idService INTEGER CONSTRAINT fkServiceWorktype REFERENCES service (id), PRIMARY "
         "KEY(idWorktype,idService));",
         "ALTER TABLE parametre ADD Column service INTEGER CONSTRAINT fkParametrService REFERENCES service "
         "(id);",
         "ALTER TABLE dictee ADD Column service INTEGER CONSTRAINT fkDicteeService REFERENCES service (id);"},
        // 5 -> 6
        {"ALTER TABLE user ADD Column login_id VARCHAR(80) NOT NULL  DEFAULT '';"},
        // 6 -> 7
        {"ALTER TABLE dictee ADD Column brouillon BIT NOT NULL DEFAULT 1;"},
        // 7 -> 8
        {"ALTER TABLE dictee ADD Column tsTransfert INT NOT NULL DEFAULT 0;"},
        // 8 -> 9: the sites stored before FTPS keep plain FTP (0)
        {"ALTER TABLE site ADD Column ftps INTEGER NOT NULL DEFAULT 0;"},
    };
    return steps;
}

// Runs `sql` on `connection` and logs `done`, or `failed` followed by the database's message.
// The failure, unless it is one of the statement only.
std::optional<SqlConnection::Failure> runLogged(const SqlConnection& connection, std::string_view sql,
                                                std::string_view done, std::string_view failed) {
    SqlStatement statement(connection, sql);
    if (statement.step() == SqlStatement::Step::Done) {
        Log::write(done);
        return std::nullopt;
    }
    auto failure = connection.lastFailure();
    Log::write(std::string(failed) + connection.errorMessage());
    if (failure.statementError()) {
        return std::nullopt;
    }
    return failure;
}

} // namespace

const std::vector<std::string>& dataBaseRequest::stepStatements(int fromVersion) {
    static const std::vector<std::string> none;
    const auto& steps = allSteps();
    if (fromVersion < 0 || fromVersion >= static_cast<int>(steps.size())) {
        return none;
    }
    return steps[static_cast<std::size_t>(fromVersion)];
}

std::optional<SqlConnection::Failure> dataBaseRequest::runStep(int fromVersion) {
    SqlConnection::Failure failure;
    auto connection = SqlConnection::open(databasePath(), &failure);
    if (!connection) {
        Log::write("Migration de la base impossible, étape " + std::to_string(fromVersion) + " : " +
                   failure.text());
        return failure;
    }
    for (const auto& sql : stepStatements(fromVersion)) {
        SqlStatement statement(*connection, sql);
        if (statement.prepared() && statement.step() != SqlStatement::Step::Error) {
            continue;
        }
        failure = connection->lastFailure();
        if (!statement.prepared()) {
            Log::write(std::string(kPrepareFailureLog) + connection->errorMessage());
        } else {
            Log::write("NOK " + connection->errorMessage() + " !");
        }
        if (!failure.statementError()) {
            return failure;
        }
    }
    return std::nullopt;
}

std::optional<SqlConnection::Failure> dataBaseRequest::selectDataBaseInfo() {
    SqlConnection::Failure failure;
    auto connection = SqlConnection::open(databasePath(), &failure);
    if (!connection) {
        return failure;
    }
    SqlStatement statement(*connection, "select numVersion from QuiraDataBase");
    if (!statement.prepared()) {
        failure = connection->lastFailure();
        Log::write("Erreur lors du select numversion!, " + connection->errorMessage());
        // A file from before the version table: version 0.
        return failure.statementError() ? std::nullopt : std::optional(failure);
    }
    SqlStatement::Step step;
    while ((step = statement.step()) == SqlStatement::Step::Row) {
        numVersion_ = static_cast<int>(statement.columnInt(0));
        Log::write("Id version from Database : " + std::to_string(numVersion_));
    }
    if (step == SqlStatement::Step::Error) {
        return connection->lastFailure();
    }
    return std::nullopt;
}

std::optional<SqlConnection::Failure> dataBaseRequest::createDataBaseTable() {
    SqlConnection::Failure failure;
    auto connection = SqlConnection::open(databasePath(), &failure);
    if (!connection) {
        return failure;
    }
    if (auto failed =
            runLogged(*connection, "CREATE TABLE QuiraDataBase (numVersion INTEGER NOT NULL DEFAULT 0)",
                      "Creation de la table QuiraDataBase ",
                      "Erreur lors de la Creation de la table QuiraDataBase !, ")) {
        return failed;
    }
    // Once only: a chain interrupted after this point finds the row at 0 and runs again whole.
    return runLogged(
        *connection,
        "INSERT INTO QuiraDataBase(numVersion) SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM QuiraDataBase);",
        "Insertion numversion ", "Erreur lors de l'Insertion numversion!, ");
}

std::optional<SqlConnection::Failure> dataBaseRequest::updateNumVersionDataBase(int version) {
    SqlConnection::Failure failure;
    auto connection = SqlConnection::open(databasePath(), &failure);
    if (!connection) {
        return failure;
    }
    SqlStatement update(*connection, "update QuiraDataBase set numVersion = ?;");
    update.bindInt(1, version);
    if (update.prepared() && update.step() == SqlStatement::Step::Done) {
        Log::write("version database  " + std::to_string(version) + ";");
        return std::nullopt;
    }
    Log::write("Erreur !, " + connection->errorMessage());
    return connection->lastFailure();
}

} // namespace orvaneh
