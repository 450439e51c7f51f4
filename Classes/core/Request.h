#pragma once

#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/SqlTransaction.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// Base of every table-access class. Each operation opens its own connection to the file
// named by the preference "databasePath", prepares, steps, finalises and closes; every
// statement commits by itself, unless the object joined a transaction: its operations then
// run on the transaction's connection and are kept only if the whole transaction commits.
// Objects are cheap: create one per task. Values are always bound as parameters, never
// formatted into the SQL text.
class Request {
public:
    // Takes the database name and path from the preferences ("databaseName", "databasePath").
    Request();
    virtual ~Request() = default;

    const std::string& databaseName() const { return databaseName_; }
    const std::string& databasePath() const { return databasePath_; }

    // Prepares `sql` on the open connection, steps it once and finalises it. Logs
    // "Erreur lors de la création du Statement !, %s" when it cannot be prepared and
    // "NOK %s !" when it fails. True on success.
    static bool executeSqlStatement(const SqlConnection& connection, const std::string& sql);

    // Runs the following operations inside `transaction` (which must outlive them); nothing
    // goes back to a connection per operation. Once the transaction failed, every operation
    // is skipped.
    void joinTransaction(SqlTransaction* transaction) { transaction_ = transaction; }
    SqlTransaction* transaction() const { return transaction_; }

    // Why the last operation of this object that reached the database failed there (the file
    // could not be opened, a statement could not be prepared or run); nothing when it did not,
    // also when it found nothing. What a caller names to the user: a row that could not be read
    // is not a row that does not exist.
    const std::optional<SqlConnection::Failure>& failure() const { return failure_; }
    // The errno of a fault of the disk behind failure() (full, failing); 0 when none.
    int diskError() const { return failure_ ? failure_->diskError() : 0; }

protected:
    // Logged before the database's message when a statement cannot be prepared.
    static constexpr std::string_view kPrepareFailureLog = "Erreur lors de la création du Statement !, ";

    // The connection an operation runs on: its own, closed with the object, or the joined
    // transaction's.
    class Connection {
    public:
        Connection() = default;
        explicit Connection(std::unique_ptr<SqlConnection> owned)
            : owned_(std::move(owned)), connection_(owned_.get()) {}
        explicit Connection(const SqlConnection& shared) : connection_(&shared) {}

        explicit operator bool() const { return connection_ != nullptr; }
        const SqlConnection& operator*() const { return *connection_; }
        const SqlConnection* operator->() const { return connection_; }

    private:
        std::unique_ptr<SqlConnection> owned_;
        const SqlConnection* connection_ = nullptr;
    };

    // A statement and the connection it runs on, released together; a step that failed is
    // reported to `failed` then.
    class PreparedStatement {
    public:
        PreparedStatement(Connection connection, std::unique_ptr<SqlStatement> statement,
                          std::optional<SqlConnection::Failure>* failed = nullptr)
            : connection_(std::move(connection)), statement_(std::move(statement)), failed_(failed) {}
        ~PreparedStatement() {
            if (failed_ != nullptr && statement_ && statement_->failure()) {
                *failed_ = statement_->failure();
            }
        }
        PreparedStatement(PreparedStatement&&) = default;
        PreparedStatement& operator=(PreparedStatement&&) = delete;

        const SqlConnection& connection() const { return *connection_; }
        SqlStatement& statement() const { return *statement_; }

    private:
        Connection connection_;
        // Declared after the connection: finalised before it closes.
        std::unique_ptr<SqlStatement> statement_;
        std::optional<SqlConnection::Failure>* failed_;
    };

    // A new connection to the database, or nothing (silently, failure() saying why) when it
    // cannot be opened. Starts an operation: failure() is cleared.
    std::unique_ptr<SqlConnection> openDatabase() const;
    // The joined transaction's connection (nothing once it failed), else a new one. Starts an
    // operation as openDatabase() does.
    Connection connect() const;
    // To call after a statement failed: a joined transaction learns of it (and ends when the
    // failure is not one of the statement only).
    void noteFailure() const;

    // `sql` prepared on connect()'s connection. Nothing when the database cannot be opened (silently)
    // or when the statement cannot be prepared (logged as `failureLog`, the database's message,
    // then `failureLogEnd`).
    std::optional<PreparedStatement> prepare(std::string_view sql,
                                             std::string_view failureLog = kPrepareFailureLog,
                                             std::string_view failureLogEnd = {}) const;
    // The same on a connection already open.
    static std::unique_ptr<SqlStatement> prepare(const SqlConnection& connection, std::string_view sql,
                                                 std::string_view failureLog = kPrepareFailureLog,
                                                 std::string_view failureLogEnd = {});

    // The text in `column` of each row `sql` selects for the row id bound as its one parameter.
    // Ids below 1 name no row: nothing is asked of the database.
    std::vector<std::string> selectTexts(std::string_view sql, std::int64_t rowId, int column = 0) const;

    // Deletes every row of `table` on connect()'s connection and logs
    // "Les enregistrements de la table [table] ont été supprimés !" when done. The database's
    // message when the statement fails, for the caller to log; nothing otherwise, also when the
    // database cannot be opened.
    std::optional<std::string> deleteAllRows(std::string_view table) const;

private:
    std::string databaseName_;
    std::string databasePath_;
    SqlTransaction* transaction_ = nullptr;
    mutable std::optional<SqlConnection::Failure> failure_;
};

} // namespace orvaneh
