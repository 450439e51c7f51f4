#pragma once

#include "Classes/core/SqlConnection.h"

#include <memory>
#include <string>

namespace orvaneh {

// Base of every table-access class. Each operation opens its own connection to the file
// named by the preference "databasePath", prepares, steps, finalises and closes; every
// statement commits by itself. Objects are cheap: create one per task. Values are always
// bound as parameters, never formatted into the SQL text.
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

protected:
    // A new connection to the database, or nothing (silently) when it cannot be opened.
    std::unique_ptr<SqlConnection> openDatabase() const;

private:
    std::string databaseName_;
    std::string databasePath_;
};

} // namespace orvaneh
