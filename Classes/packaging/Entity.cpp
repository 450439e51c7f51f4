#include "Classes/packaging/Entity.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/workflow/XMLCatalogueParser.h"
#include "Platform/log/Log.h"

namespace orvaneh {

bool Entity::DeserializeObjectWithString(std::string_view bytes) {
    XMLCatalogueParser parser;
    if (!parser.parse(bytes)) {
        Log::write("Erreur lors de la lecture du catalogue : " + parser.errorDescription());
        return false;
    }
    SaveEntityInDataBase(parser.getDataFromDictionary());
    return true;
}

bool Entity::importCatalogue(std::string_view bytes, std::string* error) {
    XMLCatalogueParser parser;
    if (!parser.parse(bytes)) {
        Log::write("Erreur lors de la lecture du catalogue : " + parser.errorDescription());
        if (error != nullptr) {
            *error = parser.errorDescription();
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
    userRequest().saveDictionaryOfUser(list("Users"));
    worktypeRequest().saveDictionaryOfWortypes(list("Worktypes"));
    ConfigurationManager::addObjectsFromArray(list("Configuration"));
    serviceRequest().saveDictionaryOfServices(list("Services"));
}

} // namespace orvaneh
