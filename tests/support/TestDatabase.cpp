#include "support/TestDatabase.h"

#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/dataBaseRequest.h"
#include "Platform/files/Resources.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace orvaneh::test {

std::filesystem::path databasePath() {
    return std::filesystem::path(Profile::current().documentsDirectory()) / "db_Quira.sql.sqlite";
}

std::filesystem::path createDatabase(TestProfile&, int version) {
    auto path = databasePath();
    std::filesystem::remove(path);
    std::filesystem::copy_file(Resources::path("db_Quira.sql"), path);
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    UserDefaultManager::setObject("db_Quira.sql", "databaseName");
    UserDefaultManager::setObject(path.string(), "databasePath");
    dataBaseRequest database;
    for (int step = 0; step < version && step < dataBaseRequest::kCurrentVersion; ++step) {
        database.runStep(step);
    }
    if (version >= 1) {
        auto connection = SqlConnection::open(path);
        if (!connection) {
            throw std::runtime_error("base de test illisible");
        }
        Request::executeSqlStatement(*connection,
                                     "CREATE TABLE QuiraDataBase (numVersion INTEGER NOT NULL DEFAULT 0)");
        Request::executeSqlStatement(*connection, "INSERT INTO QuiraDataBase(numVersion) Values(" +
                                                      std::to_string(version) + ")");
    }
    return path;
}

void execute(const std::string& sql) {
    auto connection = SqlConnection::open(databasePath());
    if (!connection) {
        ADD_FAILURE() << "base de test introuvable pour : " << sql;
        return;
    }
    EXPECT_TRUE(Request::executeSqlStatement(*connection, sql)) << sql;
}

Rows rows(const std::string& sql) {
    Rows result;
    auto connection = SqlConnection::open(databasePath());
    if (!connection) {
        ADD_FAILURE() << "base de test introuvable pour : " << sql;
        return result;
    }
    SqlStatement statement(*connection, sql);
    EXPECT_TRUE(statement.prepared()) << sql << " : " << connection->errorMessage();
    while (statement.step() == SqlStatement::Step::Row) {
        std::vector<std::string> row;
        for (int column = 0; column < statement.columnCount(); ++column) {
            row.push_back(statement.columnText(column));
        }
        result.push_back(std::move(row));
    }
    return result;
}

} // namespace orvaneh::test
