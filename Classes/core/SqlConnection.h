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
// Not shared between threads.
class SqlConnection {
public:
    // Nothing when the file does not exist or cannot be opened as a database.
    static std::unique_ptr<SqlConnection> open(const std::filesystem::path& path);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    sqlite3* handle() const { return handle_; }
    // The database's message about the last failure.
    std::string errorMessage() const;
    std::int64_t lastInsertRowId() const;
    // Rows changed by the last statement.
    int changes() const;

    // How long a statement waits for a lock held by another connection.
    static constexpr int kBusyTimeoutMilliseconds = 10000;

private:
    explicit SqlConnection(sqlite3* handle) : handle_(handle) {}
    sqlite3* handle_;
};

} // namespace orvaneh
