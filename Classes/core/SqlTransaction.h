#pragma once

#include "Classes/core/SqlConnection.h"

#include <optional>

namespace orvaneh {

// One write transaction on a connection: begun with the object (taking the write lock at
// once, so no other writer slips in between our reads and writes), rolled back with it unless
// commit() succeeded. The requests that join it note their failures here: a failure of the
// statement or the data (a constraint not met) leaves the transaction going, as it does each
// row's own commit; a failure of the file, the disk or the system ends it, and every later
// statement is skipped.
class SqlTransaction {
public:
    explicit SqlTransaction(const SqlConnection& connection);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    const SqlConnection& connection() const { return connection_; }
    // Begun, not failed, not yet committed.
    bool active() const { return begun_ && !failure_ && !committed_; }
    // What ended the transaction, if anything did.
    const std::optional<SqlConnection::Failure>& failure() const { return failure_; }

    // Called after a statement of the transaction failed: records the connection's last
    // failure when it is not one of the statement only, or when the database rolled the whole
    // transaction back by itself.
    void noteFailure();
    // Makes every change durable. False (and nothing kept) when the transaction had failed or
    // the commit itself failed.
    bool commit();

private:
    void rollback();

    const SqlConnection& connection_;
    bool begun_ = false;
    bool committed_ = false;
    std::optional<SqlConnection::Failure> failure_;
};

} // namespace orvaneh
