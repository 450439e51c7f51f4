#pragma once

#include "Classes/core/Request.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvaneh {

// The contexts of each author (table context, keyed by the user row id).
class contextRequest : public Request {
public:
    std::string context;
    std::int64_t idUser = 0;
    std::vector<std::string> tabContext;

    // Sets the fields and stores them as a new row.
    void initializeContextAndInsert(const std::string& contextName, std::int64_t userRowId);
    // Ids below 1 name no user (contexts of a user that was already there are stored with
    // 0): the list is then empty without asking the database.
    const std::vector<std::string>& selectContextUser(std::int64_t userRowId);
    void deleteAllcontext();
};

} // namespace orvaneh
