#include "support/TestDatabase.h"

#include "Classes/core/SqlConnection.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/dataBaseRequest.h"
#include "Platform/files/Resources.h"

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

} // namespace orvaneh::test
