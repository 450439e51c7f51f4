#include "Classes/transport/WSResult.h"

namespace orvaneh {

namespace {

std::string textMember(const Json& dico, const char* key) {
    if (!dico.is_object()) {
        return {};
    }
    auto found = dico.find(key);
    return found != dico.end() && found->is_string() ? found->get<std::string>() : std::string();
}

} // namespace

std::string WSResult::getMethodName() const {
    return textMember(dico, "methodeStr");
}

void WSResult::setMethodName(const std::string& name) {
    if (!dico.is_object()) {
        dico = Json::object();
    }
    dico["methodeStr"] = name;
}

const Json& WSResult::getResult() const {
    static const Json none;
    if (!dico.is_object()) {
        return none;
    }
    auto found = dico.find("resultStr");
    return found != dico.end() ? *found : none;
}

std::string WSResult::getResultText() const {
    return textMember(dico, "resultStr");
}

void WSResult::setResult(const Json& result) {
    if (!dico.is_object()) {
        dico = Json::object();
    }
    dico["resultStr"] = result;
}

std::string WSResult::getReason() const {
    return textMember(dico, "reasonStr");
}

} // namespace orvaneh
