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
    // Replaces the workflow directory with a downloaded catalogue: parses first, and only when
    // the bytes parse empties the directory (removeWorkflow) and stores the new one, so a
    // catalogue that does not parse loses nothing. False on a parse failure (also a document
    // that is not a catalogue, such as an error page), with a French sentence for the user in
    // `error` when given.
    static bool importCatalogue(std::string_view bytes, std::string* error = nullptr);
    // Hands "Users", "Worktypes", "Configuration" and "Services" to the stores, in that order.
    static void SaveEntityInDataBase(const Json& dictionary);
};

} // namespace orvaneh
