#include "Classes/packaging/Entity.h"

#include "Classes/core/ConfigurationManager.h"
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

} // namespace

bool Entity::DeserializeObjectWithString(std::string_view bytes) {
    XMLCatalogueParser parser;
    if (!parser.parse(bytes)) {
        logParseFailure(parser);
        return false;
    }
    SaveEntityInDataBase(parser.getDataFromDictionary());
    return true;
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
    dataBaseRequest().removeWorkflow();
    SaveEntityInDataBase(parser.getDataFromDictionary());
    return true;
}

void Entity::SaveEntityInDataBase(const Json& dictionary) {
    // A missing list counts as an empty one: the service import still turns the service
    // display off then.
    auto list = [&dictionary](const char* key) {
        if (dictionary.is_object() && dictionary.contains(key)) {
            return dictionary.at(key);
        }
        return Json::array();
    };
    const Json users = list("Users");
    const Json worktypes = list("Worktypes");
    const Json options = list("Configuration");
    const Json services = list("Services");
    userRequest().saveDictionaryOfUser(users);
    worktypeRequest().saveDictionaryOfWortypes(worktypes);
    ConfigurationManager::addObjectsFromArray(options);
    serviceRequest().saveDictionaryOfServices(services);
    // One line per table: a catalogue of thousands of entries must not flood the log.
    Log::write("Catalogue importé : " + std::to_string(users.size()) + " utilisateur(s)");
    Log::write("Catalogue importé : " + std::to_string(worktypes.size()) + " type(s) de travail");
    Log::write("Catalogue importé : " + std::to_string(options.size()) + " option(s)");
    Log::write("Catalogue importé : " + std::to_string(services.size()) + " service(s)");
}

} // namespace orvaneh
