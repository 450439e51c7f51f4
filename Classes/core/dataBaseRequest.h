#pragma once

#include "Classes/core/Request.h"

#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The schema version of the database file and the migration steps that bring an older file
// to the current version. A statement that fails as a statement (the column or table is
// already there) is logged and the step goes on with the next one, so running a step twice is
// harmless; any other failure (disk full, I/O error, locked, damaged file) ends the step and
// is returned, so that the version is not moved past a step that did not run.
class dataBaseRequest : public Request {
public:
    static constexpr int kCurrentVersion = 9;

    // The version last read; 0 until read.
    int numVersion() const { return numVersion_; }

    // Reads "select numVersion from QuiraDataBase" into numVersion (unchanged when the table
    // is missing or empty, as in a file from before the table). The failure when the file could
    // not be read.
    std::optional<SqlConnection::Failure> selectDataBaseInfo();
    // Creates the version table and gives it its one row (0, set once the chain ran; a second
    // call adds no row).
    std::optional<SqlConnection::Failure> createDataBaseTable();
    std::optional<SqlConnection::Failure> updateNumVersionDataBase(int version);

    void updateDataBase0to1() { runStep(0); }
    void updateDataBase1to2() { runStep(1); }
    void updateDataBase2to3() { runStep(2); }
    void updateDataBase3to4() { runStep(3); }
    void updateDataBase4to5() { runStep(4); }
    void updateDataBase5to6() { runStep(5); }
    void updateDataBase6to7() { runStep(6); }
    void updateDataBase7to8() { runStep(7); }
    void updateDataBase8to9() { runStep(8); }

    // Runs the step from `fromVersion` to the next, on its own connection. The failure that
    // stopped it, if any.
    std::optional<SqlConnection::Failure> runStep(int fromVersion);
    // The statements of that step, in order (empty outside 0 to 8).
    static const std::vector<std::string>& stepStatements(int fromVersion);

    // Empties the workflow directory (users, worktypes, contexts, default parameters,
    // services) before a new configuration is imported; dictations, sites and preferences
    // stay. Inside this object's transaction when it joined one.
    void removeWorkflow();

private:
    int numVersion_ = 0;
};

} // namespace orvaneh
