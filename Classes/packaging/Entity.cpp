#include "Classes/packaging/Entity.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/SqlTransaction.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/workflow/XMLCatalogueParser.h"
#include "Platform/log/Log.h"

namespace orvaneh {

namespace {

void logParseFailure(const XMLCatalogueParser& parser) {
    std::string line = "Erreur lors de la lecture du catalogue : " + parser.errorDescription();
    if (!parser.errorDetail().empty()) {
        line += " [" + parser.errorDetail() + "]";
    }
    Log::write(line);
}

// A missing list counts as an empty one: the service import still turns the service display
// off then.
Json listOf(const Json& dictionary, const char* key) {
    if (dictionary.is_object() && dictionary.contains(key)) {
        return dictionary.at(key);
    }
    return Json::array();
}

// Writes the catalogue's rows (after emptying the directory when `replacing`) in one
// transaction, so that a full disk, an I/O error or a crash part way keeps the directory as
// it was; then, only once they are committed, the options and the service display, which
// live in the preferences.
bool storeCatalogue(const Json& dictionary, bool replacing, std::string* error) {
    const Json users = listOf(dictionary, "Users");
    const Json worktypes = listOf(dictionary, "Worktypes");
    const Json options = listOf(dictionary, "Configuration");
    const Json services = listOf(dictionary, "Services");

    dataBaseRequest directory;
    SqlConnection::Failure failure;
    std::size_t serviceCount = 0;
    bool committed = false;
    if (auto connection = SqlConnection::open(directory.databasePath(), &failure)) {
        SqlTransaction transaction(*connection);
        directory.joinTransaction(&transaction);
        if (replacing) {
            directory.removeWorkflow();
        }
        userRequest userStore;
        userStore.joinTransaction(&transaction);
        userStore.saveDictionaryOfUser(users);
        worktypeRequest worktypeStore;
        worktypeStore.joinTransaction(&transaction);
        worktypeStore.saveDictionaryOfWortypes(worktypes);
        serviceRequest serviceStore;
        serviceStore.joinTransaction(&transaction);
        serviceCount = serviceStore.storeServices(services);
        committed = transaction.commit();
        if (!committed) {
            failure = transaction.failure().value_or(connection->lastFailure());
        }
    }
    if (!committed) {
        Log::write("Le catalogue n'a pas été enregistré, le workflow actuel est conservé : " +
                   failure.text());
        if (error != nullptr) {
            *error = "Le workflow n'a pas pu être enregistré (" + failure.text() +
                     "). Le workflow actuel est conservé.";
        }
        return false;
    }
    ConfigurationManager::addObjectsFromArray(options);
    ConfigurationManager::setShouldDisplayServices(serviceCount > 0);
    // One line per table: a catalogue of thousands of entries must not flood the log.
    Log::write("Catalogue importé : " + std::to_string(users.size()) + " utilisateur(s)");
    Log::write("Catalogue importé : " + std::to_string(worktypes.size()) + " type(s) de travail");
    Log::write("Catalogue importé : " + std::to_string(options.size()) + " option(s)");
    Log::write("Catalogue importé : " + std::to_string(services.size()) + " service(s)");
    return true;
}

} // namespace

bool Entity::DeserializeObjectWithString(std::string_view bytes) {
    XMLCatalogueParser parser;
    if (!parser.parse(bytes)) {
        logParseFailure(parser);
        return false;
    }
    return SaveEntityInDataBase(parser.getDataFromDictionary());
}

bool Entity::importCatalogue(std::string_view bytes, std::string* error) {
    XMLCatalogueParser parser;
    if (!parser.parse(bytes)) {
        logParseFailure(parser);
        if (error != nullptr) {
            *error = parser.errorDescription() + ". Le workflow actuel est conservé.";
        }
        return false;
    }
    return storeCatalogue(parser.getDataFromDictionary(), true, error);
}

bool Entity::SaveEntityInDataBase(const Json& dictionary, std::string* error) {
    return storeCatalogue(dictionary, false, error);
}

} // namespace orvaneh
