#pragma once

#include "Classes/core/Request.h"
#include "Platform/json/Json.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The worktypes of the workflow directory (table worktype). The public fields are the row
// being written; tabWorktype holds the last read, keyed by name.
class worktypeRequest : public Request {
public:
    std::string name;
    std::string type;
    std::string secretaire;
    bool tracage = false;
    std::int32_t duree = 0;

    // Worktype name -> {"Nom", "Type", "Secretaire", "Tracage", "Duree"}, every value as
    // text. A later row with the same name replaces an earlier one.
    Json tabWorktype = Json::object();

    // Writes the fields as a new row.
    void insertWorktype();
    void selectAllworktype();
    // Looks in the last read only.
    std::optional<Json> selectworktypeForName(const std::string& worktypeName) const;
    // The names of the last read, in no particular order.
    std::vector<std::string> getWorktypeNames() const;
    void deleteAllworktype();

    // Catalogue import: each entry either packs "name;type;typist" under "Worktype" or gives
    // "Nom", "Type" and "Secretaire"; both may add "Tracage" and "Duree".
    void saveDictionaryOfWortypes(const Json& entries);

    // After the 1->2 migration the name column holds the old packed values: splits them
    // into name, type and typist.
    void organizeWorktypeInNewDataBase();
};

} // namespace orvaneh
