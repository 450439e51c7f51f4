#include "Classes/casefile/Dossier.h"

#include "Classes/casefile/WSFendraExpert.h"
#include "Classes/core/Tools.h"

namespace orvaneh {

namespace {

// The server's value as text: anything but a string (null included) shows nothing.
std::string text(const Json& object, const char* key) {
    const auto value = object.find(key);
    return value != object.end() && value->is_string() ? value->get<std::string>() : std::string();
}

} // namespace

Dossier Dossier::fromJson(const Json& object) {
    Dossier dossier;
    if (!object.is_object()) {
        return dossier;
    }
    dossier.s_Id = text(object, "id");
    dossier.s_Code = text(object, "code");
    dossier.s_Label = text(object, "label");
    dossier.s_Nature = text(object, "nature");
    dossier.s_Resp = text(object, "responsable");
    dossier.s_Collaborateur1 = text(object, "collaborateur1");
    dossier.s_Collaborateur2 = text(object, "collaborateur2");
    dossier.s_Secretaire = text(object, "secrétaire");
    dossier.s_Archive = text(object, "archive");
    dossier.s_Matiere = text(object, "matière");
    dossier.s_Type = text(object, "type");
    dossier.s_DateCreation = WSFendraExpert::formatDate(text(object, "datedecréation"));
    dossier.s_Etat = text(object, "état");
    dossier.s_Provenance = text(object, "provenance");
    dossier.s_Stockage = text(object, "stockage");
    dossier.s_Memo = text(object, "mémo");
    return dossier;
}

bool Dossier::listFromAnswer(const std::string& text, std::vector<Dossier>& dossiers) {
    dossiers.clear();
    const auto answer = Tools::parseJSON(text);
    if (!answer || !answer->is_array()) {
        return false;
    }
    for (const auto& element : *answer) {
        if (element.is_object()) {
            dossiers.push_back(fromJson(element));
        }
    }
    return true;
}

} // namespace orvaneh
