#pragma once

#include "Platform/json/Json.h"

#include <string>
#include <string_view>

namespace orvaneh {

// Base of the job-descriptor family. It also carries the entry point of the catalogue import:
// a downloaded catalogue is parsed and its four lists handed to the stores.
class Entity {
public:
    virtual ~Entity() = default;

    // Parses catalogue XML bytes; on success stores the result (SaveEntityInDataBase), on a
    // parse failure logs the parser's error and stores nothing. True when it was stored.
    static bool DeserializeObjectWithString(std::string_view bytes);
    // Replaces the workflow directory with a downloaded catalogue: parses first, then empties
    // the directory (removeWorkflow) and stores the new one in a single database transaction,
    // so a catalogue that does not parse, or a save that fails part way (a full disk), loses
    // nothing. False then, with a French sentence for the user in `error` when given.
    static bool importCatalogue(std::string_view bytes, std::string* error = nullptr);
    // Hands "Users", "Worktypes" and "Services" to the stores in one transaction and, once it
    // is committed, "Configuration" and the service display to the preferences. False (and
    // nothing written) when the rows could not all be saved, with the reason in `error`.
    static bool SaveEntityInDataBase(const Json& dictionary, std::string* error = nullptr);
};

} // namespace orvaneh
