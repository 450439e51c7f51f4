#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvaneh {

// A service (department or site) of the organisation; services form a tree through
// parentService. The picker's fields (nivImbrication, position, visible) are not stored.
struct ServiceModel {
    double idService = 0; // row id in the service table
    std::string guid;     // the server's identifier (column idService)
    std::string name;
    bool isSite = false;
    std::string idSite;
    std::string parentService;         // guid of the parent, "" at the top
    std::vector<std::string> users;    // login names; after a read, the typists only
    std::vector<std::string> worktype; // worktype identifiers as the server gives them
    std::int32_t nivImbrication = 0;
    std::int32_t position = -1;
    bool visible = true;
};

} // namespace orvaneh
