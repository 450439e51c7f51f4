#include "App/cli/DictationFields.h"

#include "Classes/core/contextRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"

#include <algorithm>
#include <vector>

namespace orvaneh {

namespace {

// A directory may hold hundreds of names: the message shows the first ones.
constexpr std::size_t kListedValues = 12;

std::string listed(const std::vector<std::string>& values) {
    if (values.empty()) {
        return "aucune valeur possible";
    }
    std::string text;
    for (std::size_t index = 0; index < values.size() && index < kListedValues; ++index) {
        text += (index == 0 ? "" : ", ") + values[index];
    }
    if (values.size() > kListedValues) {
        text += " et " + std::to_string(values.size() - kListedValues) +
                " autres (« orvaneh-cli workflow show »)";
    }
    return text;
}

bool contains(const std::vector<std::string>& values, const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

std::string unknown(const std::string& what, const std::string& value,
                    const std::vector<std::string>& valid) {
    return what + " inconnu : « " + value + " » (valeurs possibles : " + listed(valid) + ")";
}

} // namespace

const std::set<std::string>& DictationFields::checkedOptions() {
    static const std::set<std::string> options = {"author",   "context", "typist",
                                                  "worktype", "type",    "service"};
    return options;
}

std::optional<std::string> DictationFields::check(const ParamWorkflow& parameters,
                                                  const std::set<std::string>& options) {
    auto asked = [&](const char* option) { return options.count(option) != 0; };

    userRequest users;
    users.selectAllAuteur();
    const std::vector<std::string> authors = users.tabNameUser;
    const std::vector<std::int64_t> authorIds = users.tabIdUser;
    if (asked("author")) {
        if (parameters.auteur.empty() && !authors.empty()) {
            return "il manque l'auteur (--author) : " + listed(authors);
        }
        if (!parameters.auteur.empty() && !contains(authors, parameters.auteur)) {
            return unknown("auteur", parameters.auteur, authors);
        }
    }
    if (asked("type")) {
        static const std::vector<std::string> types = {
            ParamWorkflow::labelForTypeCode("BatchModeRecognition"),
            ParamWorkflow::labelForTypeCode("DigitalDictation")};
        if (!parameters.typeDictee.empty() && !contains(types, parameters.typeDictee)) {
            return unknown("type de dictée", parameters.typeDictee, types);
        }
    }
    if (asked("context") && !parameters.contexte.empty()) {
        // The contexts are the author's own.
        auto author = std::find(authors.begin(), authors.end(), parameters.auteur);
        std::vector<std::string> contexts;
        if (author != authors.end()) {
            contexts = contextRequest().selectContextUser(
                authorIds[static_cast<std::size_t>(author - authors.begin())]);
        }
        if (!contains(contexts, parameters.contexte)) {
            return "contexte inconnu pour l'auteur « " + parameters.auteur + " » : « " + parameters.contexte +
                   " » (valeurs possibles : " + listed(contexts) + ")";
        }
    }

    // A chosen service narrows the worktypes and typists to its own.
    serviceRequest services;
    ServiceModel service;
    if (parameters.serviceID > 0) {
        service = services.selectServiceWithID(parameters.serviceID);
        if (asked("service") && service.idService == 0) {
            std::vector<std::string> known;
            for (const auto& each : services.selectAllServices()) {
                known.push_back(std::to_string(static_cast<std::int64_t>(each.idService)) + " (" + each.name +
                                ")");
            }
            return unknown("service", std::to_string(parameters.serviceID), known);
        }
    }
    const bool inService = service.idService > 0;
    if (asked("worktype") && !parameters.worktype.empty()) {
        std::vector<std::string> worktypes;
        if (inService) {
            worktypes = service.worktype;
        } else {
            worktypeRequest all;
            all.selectAllworktype();
            worktypes = all.getWorktypeNames();
            std::sort(worktypes.begin(), worktypes.end());
        }
        if (!contains(worktypes, parameters.worktype)) {
            return unknown(inService ? "worktype du service « " + service.name + " »"
                                     : std::string("worktype"),
                           parameters.worktype, worktypes);
        }
    }
    if (asked("typist") && !parameters.secretaire.empty()) {
        std::vector<std::string> typists = service.users;
        if (!inService) {
            users.selectAllSecretaire();
            typists = users.tabNameUser;
        }
        if (!contains(typists, parameters.secretaire)) {
            return unknown(inService ? "secrétaire du service « " + service.name + " »"
                                     : std::string("secrétaire"),
                           parameters.secretaire, typists);
        }
    }
    return std::nullopt;
}

} // namespace orvaneh
