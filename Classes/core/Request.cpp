#include "Classes/core/Request.h"

#include "Classes/core/UserDefaultManager.h"
#include "Platform/log/Log.h"

namespace orvaneh {

Request::Request()
    : databaseName_(UserDefaultManager::getStringForKey("databaseName").value_or("")),
      databasePath_(UserDefaultManager::getStringForKey("databasePath").value_or("")) {}

std::unique_ptr<SqlConnection> Request::openDatabase() const {
    failure_.reset();
    SqlConnection::Failure failed;
    auto connection = SqlConnection::open(databasePath_, &failed);
    if (!connection) {
        failure_ = failed;
    }
    return connection;
}

Request::Connection Request::connect() const {
    if (transaction_ != nullptr) {
        failure_ = transaction_->failure();
        return transaction_->active() ? Connection(transaction_->connection()) : Connection();
    }
    return Connection(openDatabase());
}

void Request::noteFailure() const {
    if (transaction_ != nullptr) {
        transaction_->noteFailure();
    }
}

std::unique_ptr<SqlStatement> Request::prepare(const SqlConnection& connection, std::string_view sql,
                                               std::string_view failureLog, std::string_view failureLogEnd) {
    auto statement = std::make_unique<SqlStatement>(connection, sql);
    if (!statement->prepared()) {
        Log::write(std::string(failureLog) + connection.errorMessage() + std::string(failureLogEnd));
        return nullptr;
    }
    return statement;
}

std::optional<Request::PreparedStatement> Request::prepare(std::string_view sql, std::string_view failureLog,
                                                           std::string_view failureLogEnd) const {
    auto connection = connect();
    if (!connection) {
        return std::nullopt;
    }
    auto statement = prepare(*connection, sql, failureLog, failureLogEnd);
    if (!statement) {
        failure_ = connection->lastFailure();
        noteFailure();
        return std::nullopt;
    }
    return PreparedStatement(std::move(connection), std::move(statement), &failure_);
}

std::vector<std::string> Request::selectTexts(std::string_view sql, std::int64_t rowId, int column) const {
    std::vector<std::string> texts;
    if (rowId < 1) {
        return texts;
    }
    auto query = prepare(sql);
    if (!query) {
        return texts;
    }
    SqlStatement& statement = query->statement();
    statement.bindInt(1, rowId);
    while (statement.step() == SqlStatement::Step::Row) {
        texts.push_back(statement.columnText(column));
    }
    return texts;
}

std::optional<std::string> Request::deleteAllRows(std::string_view table) const {
    auto connection = connect();
    if (!connection) {
        return std::nullopt;
    }
    SqlStatement statement(*connection, "delete from " + std::string(table));
    if (statement.step() != SqlStatement::Step::Done) {
        std::string message = connection->errorMessage();
        failure_ = statement.failure();
        noteFailure();
        return message;
    }
    Log::write("Les enregistrements de la table [" + std::string(table) + "] ont été supprimés !");
    return std::nullopt;
}

bool Request::executeSqlStatement(const SqlConnection& connection, const std::string& sql) {
    auto statement = prepare(connection, sql);
    if (!statement) {
        return false;
    }
    if (statement->step() == SqlStatement::Step::Error) {
        Log::write("NOK " + connection.errorMessage() + " !");
        return false;
    }
    return true;
}

} // namespace orvaneh
