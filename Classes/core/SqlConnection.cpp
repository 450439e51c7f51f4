#include "Classes/core/SqlConnection.h"

#include "Platform/files/SystemErrorText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sqlite3.h>
#include <unistd.h>

namespace orvaneh {

namespace {

// The errno of the last system call SQLite saw fail on this thread since a connection was opened
// on it, as its log gives it (kept: a failure is asked for more than once):
// sqlite3_system_errno() reads errno after SQLite's own clean-up calls, and a write that found
// the disk full may come back as a stale "no such file".
thread_local int loggedSystemError = 0;

// SQLite's system-call failures read "os_unix.c:NNN: (errno) call(file) - text".
void sqliteLogged(void*, int code, const char* message) {
    const int primary = code & 0xff;
    if ((primary != SQLITE_CANTOPEN && primary != SQLITE_IOERR && primary != SQLITE_FULL) ||
        message == nullptr) {
        return;
    }
    const char* open = std::strstr(message, ": (");
    if (open != nullptr) {
        const int number = std::atoi(open + 3);
        if (number > 0) {
            loggedSystemError = number;
        }
    }
}

void listenToSqlite() {
    static std::once_flag once;
    // Only possible before SQLite's first use; refused harmlessly afterwards.
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_LOG, sqliteLogged, nullptr); });
}

// A database that exists but cannot be opened with only a stale "no such file" for a cause: a
// file made beside it says whether the disk takes one; 0 when it does, the cause then unknown.
int openingCause(const char* path, int reported) {
    std::error_code error;
    if (reported != ENOENT || path == nullptr || *path == '\0' || !std::filesystem::exists(path, error)) {
        return reported;
    }
    std::string probe = std::string(path) + ".ouverture-XXXXXX";
    const int descriptor = ::mkstemp(probe.data());
    if (descriptor < 0) {
        return errno;
    }
    ::close(descriptor);
    ::unlink(probe.c_str());
    return 0;
}

// The failure SQLite last reported on `handle` (which may be a connection that failed to open,
// to the file `path`).
SqlConnection::Failure lastFailureOn(sqlite3* handle, int fallbackCode, const char* path = nullptr) {
    SqlConnection::Failure failure;
    failure.code = handle != nullptr ? sqlite3_extended_errcode(handle) : fallbackCode;
    if (failure.code == SQLITE_OK) {
        failure.code = fallbackCode;
    }
    failure.systemError = handle != nullptr ? sqlite3_system_errno(handle) : 0;
    const int primary = failure.code & 0xff;
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR || primary == SQLITE_FULL) {
        if (loggedSystemError != 0) {
            failure.systemError = loggedSystemError;
        }
        if (primary == SQLITE_CANTOPEN) {
            if (path == nullptr && handle != nullptr) {
                path = sqlite3_db_filename(handle, "main");
            }
            failure.systemError = openingCause(path, failure.systemError);
        }
    }
    return failure;
}

} // namespace

int SqlConnection::Failure::diskError() const {
    switch (code & 0xff) {
    case SQLITE_FULL:
        return ENOSPC;
    case SQLITE_IOERR:
        return systemError == ENOSPC || systemError == EDQUOT ? systemError : EIO;
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
        return isDiskError(systemError) ? systemError : 0; // not a missing file or a permission
    default:
        return 0;
    }
}

SqlConnection::Failure SqlConnection::failureOf(sqlite3* handle) {
    return lastFailureOn(handle, SQLITE_ERROR);
}

std::string SqlConnection::Failure::text() const {
    // The system's reason says more than SQLite's class of error ("plus de place sur le disque"
    // rather than "erreur d'entrée-sortie").
    const int primary = code & 0xff;
    const bool fromTheSystem = primary == SQLITE_IOERR || primary == SQLITE_FULL ||
                               primary == SQLITE_CANTOPEN || primary == SQLITE_PERM ||
                               primary == SQLITE_READONLY;
    if (systemError != 0 && fromTheSystem) {
        return primary == SQLITE_CANTOPEN
                   ? "le fichier ne peut pas être ouvert (" + systemErrorText(systemError) + ")"
                   : systemErrorText(systemError);
    }
    switch (primary) {
    case SQLITE_FULL:
        return "plus de place sur le disque";
    case SQLITE_IOERR:
        return "erreur d'entrée-sortie";
    case SQLITE_CANTOPEN:
        return "le fichier ne peut pas être ouvert (le système n'en dit pas la cause ; vérifiez la place et "
               "l'état du disque)";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "permission refusée";
    case SQLITE_READONLY:
        return "base de données en lecture seule";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "base de données occupée par un autre programme";
    case SQLITE_CORRUPT:
        return "base de données endommagée";
    case SQLITE_NOTADB:
        return "ce n'est pas une base de données SQLite";
    case SQLITE_NOMEM:
        return "mémoire insuffisante";
    case SQLITE_NOLFS:
    case SQLITE_TOOBIG:
        return "base de données trop grande";
    default:
        return "erreur de la base de données (code " + std::to_string(code) + ")";
    }
}

bool SqlConnection::Failure::notADatabase() const {
    return (code & 0xff) == SQLITE_NOTADB;
}

bool SqlConnection::Failure::damaged() const {
    return (code & 0xff) == SQLITE_CORRUPT;
}

bool SqlConnection::Failure::statementError() const {
    switch (code & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_NOMEM:
    case SQLITE_NOLFS:
    case SQLITE_PROTOCOL:
        return false;
    default: // a missing table, a column already there, a constraint the data does not meet
        return true;
    }
}

std::unique_ptr<SqlConnection> SqlConnection::open(const std::filesystem::path& path, Failure* failure) {
    if (path.empty()) {
        if (failure != nullptr) {
            *failure = Failure{SQLITE_CANTOPEN, 0};
        }
        return nullptr;
    }
    listenToSqlite();
    loggedSystemError = 0;
    sqlite3* handle = nullptr;
    // No SQLITE_OPEN_CREATE: a missing file is a failure, never a new empty database.
    int status =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (status != SQLITE_OK) {
        if (failure != nullptr) {
            *failure = lastFailureOn(handle, status, path.c_str());
        }
        sqlite3_close(handle);
        return nullptr;
    }
    sqlite3_busy_timeout(handle, kBusyTimeoutMilliseconds);
    // Neither touches the file: they only say what the last close does with the log.
    int persist = 1;
    sqlite3_file_control(handle, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_exec(handle, ("PRAGMA journal_size_limit=" + std::to_string(kJournalSizeLimit)).c_str(), nullptr,
                 nullptr, nullptr);
    return std::unique_ptr<SqlConnection>(new SqlConnection(handle));
}

SqlConnection::~SqlConnection() {
    sqlite3_close_v2(handle_);
}

std::string SqlConnection::errorMessage() const {
    const char* message = sqlite3_errmsg(handle_);
    return message ? message : "";
}

SqlConnection::Failure SqlConnection::lastFailure() const {
    return lastFailureOn(handle_, SQLITE_ERROR);
}

std::int64_t SqlConnection::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(handle_);
}

int SqlConnection::changes() const {
    return sqlite3_changes(handle_);
}

} // namespace orvaneh
