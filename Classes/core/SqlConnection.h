#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

struct sqlite3;

namespace orvaneh {

// One connection to the database file, opened for one operation and closed with the object.
// A busy timeout makes a writer wait for another connection instead of failing, and the file
// is kept in write-ahead-log mode so the sender and the screens can read while one writes.
// The log and its shared-memory file stay beside the database after the last close (the log
// emptied): a full disk then still lets every reader in, since they need no new space.
// Not shared between threads.
class SqlConnection {
public:
    // Why SQLite refused an operation: its extended result code and the system's error number
    // behind it (0 when none).
    struct Failure {
        int code = 0;
        int systemError = 0;
        // What went wrong, in French ("plus de place sur le disque", "base de données endommagée").
        std::string text() const;
        // The errno of the disk's fault behind it (full, failing); 0 when it is not the disk's.
        int diskError() const;
        // The file is not a database at all (SQLITE_NOTADB).
        bool notADatabase() const;
        // The file is a database whose contents are damaged (SQLITE_CORRUPT).
        bool damaged() const;
        // A fault of the statement or the data (no such table, column already there, a
        // constraint not met), not of the file, the disk or the system.
        bool statementError() const;
    };

    // Nothing when the file does not exist or cannot be opened as a database; `failure` then
    // says why.
    static std::unique_ptr<SqlConnection> open(const std::filesystem::path& path, Failure* failure = nullptr);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    sqlite3* handle() const { return handle_; }
    // The database's message about the last failure.
    std::string errorMessage() const;
    // The last failure of this connection.
    Failure lastFailure() const;
    // The last failure on `handle`, worked out when it happens: SQLite's own later calls on the
    // thread may hide its errno.
    static Failure failureOf(sqlite3* handle);
    std::int64_t lastInsertRowId() const;
    // Rows changed by the last statement.
    int changes() const;

    // How long a statement waits for a lock held by another connection.
    static constexpr int kBusyTimeoutMilliseconds = 10000;
    // The write-ahead log is cut back to this size when it restarts, and emptied at the last close.
    static constexpr int kJournalSizeLimit = 1 << 20;

private:
    explicit SqlConnection(sqlite3* handle) : handle_(handle) {}
    sqlite3* handle_;
};

} // namespace orvaneh
