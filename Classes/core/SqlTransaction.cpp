#include "Classes/core/SqlTransaction.h"

#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"

#include <sqlite3.h>

namespace orvaneh {

SqlTransaction::SqlTransaction(const SqlConnection& connection) : connection_(connection) {
    SqlStatement begin(connection_, "BEGIN IMMEDIATE");
    begun_ = begin.prepared() && begin.step() == SqlStatement::Step::Done;
    if (!begun_) {
        failure_ = connection_.lastFailure();
        Log::write("La transaction n'a pas pu commencer : " + connection_.errorMessage());
    }
}

SqlTransaction::~SqlTransaction() {
    if (begun_ && !committed_) {
        rollback();
    }
}

void SqlTransaction::noteFailure() {
    if (!active()) {
        return;
    }
    const auto failure = connection_.lastFailure();
    // A disk-full or I/O error may already have undone the whole transaction.
    const bool undone = sqlite3_get_autocommit(connection_.handle()) != 0;
    if (!failure.statementError() || undone) {
        failure_ = failure;
    }
}

bool SqlTransaction::commit() {
    if (!active()) {
        return false;
    }
    SqlStatement commit(connection_, "COMMIT");
    if (commit.prepared() && commit.step() == SqlStatement::Step::Done) {
        committed_ = true;
        return true;
    }
    failure_ = connection_.lastFailure();
    Log::write("La transaction n'a pas pu être validée : " + connection_.errorMessage());
    return false;
}

void SqlTransaction::rollback() {
    if (sqlite3_get_autocommit(connection_.handle()) != 0) {
        return; // the database already undid it
    }
    SqlStatement rollback(connection_, "ROLLBACK");
    if (!rollback.prepared() || rollback.step() != SqlStatement::Step::Done) {
        Log::write("L'annulation de la transaction a échoué : " + connection_.errorMessage());
    }
}

} // namespace orvaneh
