#include "Classes/core/SqlConnection.h"

#include <sqlite3.h>

namespace orvaneh {

std::unique_ptr<SqlConnection> SqlConnection::open(const std::filesystem::path& path) {
    if (path.empty()) {
        return nullptr;
    }
    sqlite3* handle = nullptr;
    // No SQLITE_OPEN_CREATE: a missing file is a failure, never a new empty database.
    int status =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (status != SQLITE_OK) {
        sqlite3_close(handle);
        return nullptr;
    }
    sqlite3_busy_timeout(handle, kBusyTimeoutMilliseconds);
    return std::unique_ptr<SqlConnection>(new SqlConnection(handle));
}

SqlConnection::~SqlConnection() {
    sqlite3_close_v2(handle_);
}

std::string SqlConnection::errorMessage() const {
    const char* message = sqlite3_errmsg(handle_);
    return message ? message : "";
}

std::int64_t SqlConnection::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(handle_);
}

int SqlConnection::changes() const {
    return sqlite3_changes(handle_);
}

} // namespace orvaneh
