#include "Classes/casefile/CaseFileAnswers.h"

#include "Classes/core/Tools.h"
#include "Platform/json/Json.h"

namespace orvaneh {

namespace {

// A value of the server's answer as text: numbers are written as numbers, anything else "".
std::string answerText(const Json& answer, const char* key) {
    const auto value = answer.find(key);
    if (value == answer.end()) {
        return {};
    }
    if (value->is_string()) {
        return value->get<std::string>();
    }
    return value->is_number() ? value->dump() : std::string();
}

} // namespace

std::optional<std::vector<CaseFileAnswers::Database>> CaseFileAnswers::databases(std::string_view bytes) {
    const auto answer = Tools::parseJSON(bytes);
    if (!answer || !answer->is_array()) {
        return std::nullopt;
    }
    std::vector<Database> databases;
    for (const auto& entry : *answer) {
        if (entry.is_object()) {
            Database database{answerText(entry, "Nom"), answerText(entry, "Libelle")};
            if (!database.nom.empty()) {
                databases.push_back(std::move(database));
            }
        }
    }
    return databases;
}

std::optional<CaseFileAnswers::LogIn> CaseFileAnswers::logIn(std::string_view bytes) {
    const auto answer = Tools::parseJSON(bytes);
    if (!answer || !answer->is_object()) {
        return std::nullopt;
    }
    const auto code = answer->find("code");
    if (code == answer->end() || !code->is_number()) {
        return std::nullopt;
    }
    return LogIn{code->get<double>(), answerText(*answer, "description"), answerText(*answer, "versionWS"),
                 answerText(*answer, "intervenantId")};
}

} // namespace orvaneh
