#include "Classes/core/DatabaseProbe.h"

#include "Classes/core/Request.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"

namespace orvaneh {

std::optional<std::string> DatabaseProbe::failure(std::string_view sql, std::optional<std::int64_t> id,
                                                  int* rows) {
    SqlConnection::Failure failed;
    auto connection = SqlConnection::open(Request().databasePath(), &failed);
    if (!connection) {
        return failed.text();
    }
    SqlStatement statement(*connection, sql);
    if (!statement.prepared()) {
        return connection->lastFailure().text();
    }
    if (id) {
        statement.bindInt(1, *id);
    }
    int count = 0;
    SqlStatement::Step step = SqlStatement::Step::Row;
    while ((step = statement.step()) == SqlStatement::Step::Row) {
        ++count;
    }
    if (step == SqlStatement::Step::Error) {
        return connection->lastFailure().text();
    }
    if (rows != nullptr) {
        *rows = count;
    }
    return std::nullopt;
}

} // namespace orvaneh
