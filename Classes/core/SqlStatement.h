#pragma once

#include "Classes/core/SqlConnection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace orvaneh {

// One prepared statement, finalised with the object. Parameters are positional, from 1;
// text is bound as a copy, and a missing text as NULL. Columns are numbered from 0; a NULL
// column reads as 0 or as the empty text.
class SqlStatement {
public:
    // Prepares the whole text; check prepared() before use.
    SqlStatement(const SqlConnection& connection, std::string_view sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool prepared() const { return statement_ != nullptr; }

    void bindNull(int index);
    void bindInt(int index, std::int64_t value);
    void bindDouble(int index, double value);
    void bindText(int index, std::string_view value);
    void bindText(int index, const std::string& value) { bindText(index, std::string_view(value)); }
    void bindText(int index, const char* value) { bindText(index, std::string_view(value)); }
    void bindText(int index, const std::optional<std::string>& value);

    enum class Step { Row, Done, Error };
    Step step();
    // Steps to the end; true when the statement finished without error.
    bool execute();

    // Why the preparation or a step failed, worked out when it did; nothing while none has.
    const std::optional<SqlConnection::Failure>& failure() const { return failure_; }

    int columnCount() const;
    bool columnIsNull(int column) const;
    std::int64_t columnInt(int column) const;
    double columnDouble(int column) const;
    std::string columnText(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
    std::optional<SqlConnection::Failure> failure_;
};

} // namespace orvaneh
