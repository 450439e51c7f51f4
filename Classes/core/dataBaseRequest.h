#pragma once

#include "Classes/core/Request.h"

#include <string>
#include <vector>

namespace orvaneh {

// The schema version of the database file and the migration steps that bring an older file
// to the current version. A failed statement is logged and the step goes on with the next
// one, so running a step twice is harmless.
class dataBaseRequest : public Request {
public:
    static constexpr int kCurrentVersion = 8;

    // The version last read; 0 until read.
    int numVersion() const { return numVersion_; }

    // Reads "select numVersion from QuiraDataBase" into numVersion (unchanged when the table
    // is missing or empty).
    void selectDataBaseInfo();
    // Creates the version table and inserts its row (with 2, corrected once the chain ran).
    void createDataBaseTable();
    void updateNumVersionDataBase(int version);

    void updateDataBase0to1() { runStep(0); }
    void updateDataBase1to2() { runStep(1); }
    void updateDataBase2to3() { runStep(2); }
    void updateDataBase3to4() { runStep(3); }
    void updateDataBase4to5() { runStep(4); }
    void updateDataBase5to6() { runStep(5); }
    void updateDataBase6to7() { runStep(6); }
    void updateDataBase7to8() { runStep(7); }

    // Runs the step from `fromVersion` to the next, on its own connection.
    void runStep(int fromVersion);
    // The statements of that step, in order (empty outside 0 to 7).
    static const std::vector<std::string>& stepStatements(int fromVersion);

    // Empties the workflow directory (users, worktypes, contexts, default parameters,
    // services) before a new configuration is imported; dictations, sites and preferences
    // stay.
    void removeWorkflow();

private:
    int numVersion_ = 0;
};

} // namespace orvaneh
