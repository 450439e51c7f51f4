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
    };
    return steps;
}

// Runs `sql` on `connection` and logs `done`, or `failed` followed by the database's message.
void runLogged(const SqlConnection& connection, std::string_view sql, std::string_view done,
               std::string_view failed) {
    SqlStatement statement(connection, sql);
    if (statement.step() == SqlStatement::Step::Done) {
        Log::write(done);
    } else {
        Log::write(std::string(failed) + connection.errorMessage());
    }
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

void dataBaseRequest::runStep(int fromVersion) {
    auto connection = openDatabase();
    if (!connection) {
        return;
    }
    for (const auto& sql : stepStatements(fromVersion)) {
        executeSqlStatement(*connection, sql);
    }
}

void dataBaseRequest::selectDataBaseInfo() {
    auto query = prepare("select numVersion from QuiraDataBase", "Erreur lors du select numversion!, ");
    if (!query) {
        return;
    }
    SqlStatement& statement = query->statement();
    while (statement.step() == SqlStatement::Step::Row) {
        numVersion_ = static_cast<int>(statement.columnInt(0));
        Log::write("Id version from Database : " + std::to_string(numVersion_));
    }
}

void dataBaseRequest::createDataBaseTable() {
    auto connection = openDatabase();
    if (!connection) {
        return;
    }
    runLogged(*connection, "CREATE TABLE QuiraDataBase (numVersion INTEGER NOT NULL DEFAULT 0)",
              "Creation de la table QuiraDataBase ",
              "Erreur lors de la Creation de la table QuiraDataBase !, ");
    runLogged(*connection, "INSERT INTO QuiraDataBase(numVersion) Values(2);", "Insertion numversion ",
              "Erreur lors de l'Insertion numversion!, ");
}

void dataBaseRequest::updateNumVersionDataBase(int version) {
    auto connection = openDatabase();
    if (!connection) {
        return;
    }
    SqlStatement update(*connection, "update QuiraDataBase set numVersion = ?;");
    update.bindInt(1, version);
    if (update.prepared() && update.step() == SqlStatement::Step::Done) {
        Log::write("version database  " + std::to_string(version) + ";");
    } else {
        Log::write("Erreur !, " + connection->errorMessage());
    }
}

} // namespace orvaneh
