#include "Classes/core/SqlStatement.h"

#include "Classes/core/SqlConnection.h"

#include <sqlite3.h>

namespace orvaneh {

SqlStatement::SqlStatement(const SqlConnection& connection, std::string_view sql) {
    if (sqlite3_prepare_v2(connection.handle(), sql.data(), static_cast<int>(sql.size()), &statement_,
                           nullptr) != SQLITE_OK) {
        failure_ = SqlConnection::failureOf(connection.handle());
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(statement_);
}

void SqlStatement::bindNull(int index) {
    sqlite3_bind_null(statement_, index);
}

void SqlStatement::bindInt(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void SqlStatement::bindDouble(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
}

void SqlStatement::bindText(int index, std::string_view value) {
    sqlite3_bind_text64(statement_, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqlStatement::bindText(int index, const std::optional<std::string>& value) {
    if (value) {
        bindText(index, std::string_view(*value));
    } else {
        bindNull(index);
    }
}

SqlStatement::Step SqlStatement::step() {
    if (statement_ == nullptr) {
        return Step::Error;
    }
    switch (sqlite3_step(statement_)) {
    case SQLITE_ROW:
        return Step::Row;
    case SQLITE_DONE:
        return Step::Done;
    default:
        failure_ = SqlConnection::failureOf(sqlite3_db_handle(statement_));
        return Step::Error;
    }
}

bool SqlStatement::execute() {
    Step result = step();
    while (result == Step::Row) {
        result = step();
    }
    return result == Step::Done;
}

int SqlStatement::columnCount() const {
    return sqlite3_column_count(statement_);
}

bool SqlStatement::columnIsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t SqlStatement::columnInt(int column) const {
    return sqlite3_column_int64(statement_, column);
}

double SqlStatement::columnDouble(int column) const {
    return sqlite3_column_double(statement_, column);
}

std::string SqlStatement::columnText(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    if (text == nullptr) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

} // namespace orvaneh
