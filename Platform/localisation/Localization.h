#pragma once

#include <filesystem>
#include <string>

namespace orvaneh {

// Texts shown to the user, looked up by key with a French default. A table in resources/
// ("localisation/fr.json": an object of key → text) overrides the defaults. Thread-safe.
class Localization {
public:
    static std::string localized(const std::string& key, const std::string& frenchDefault);
    // Replaces the table with the one in `file`. False (and the table left empty) when the
    // file cannot be read or is not a JSON object of texts.
    static bool loadTable(const std::filesystem::path& file);
    // Loads resources/localisation/fr.json if present.
    static void loadDefaultTable();
    static void clear();
};

// Shorthand for Localization::localized.
std::string localized(const std::string& key, const std::string& frenchDefault);

} // namespace orvaneh
