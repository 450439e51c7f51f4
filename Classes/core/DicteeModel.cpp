#include "Classes/core/DicteeModel.h"

#include "Classes/core/DictationType.h"
#include "Classes/core/Priority.h"
#include "Platform/localisation/Localization.h"

namespace orvaneh {

DicteeModel::SendingState DicteeModel::sendingState() const {
    if (envoi == 1) {
        return SendingState::Sent;
    }
    if (brouillon) {
        return SendingState::Draft;
    }
    return tsTransfert > 0 ? SendingState::Attempted : SendingState::Waiting;
}

std::string DicteeModel::getTypeDicteeXML() const {
    return DictationType::codeForLabel(type);
}

std::string DicteeModel::getPrioriteNameXML() const {
    // A label no level has is sent as high: the office looks at it rather than miss it.
    for (const auto& row : Priority::table()) {
        if (priorite == localized(row.key, row.frenchLabel)) {
            return row.xmlName;
        }
    }
    return "High";
}

int DicteeModel::getPrioriteNum() const {
    return Priority::levelOfLabel(priorite);
}

Json DicteeModel::toJson() const {
    return Json{
        {"idDictee", idDictee},
        {"titre", titre},
        {"date", date},
        {"dureeDictee", dureeDictee},
        {"dureeInstruction", dureeInstruction},
        {"envoi", envoi},
        {"auteur", auteur},
        {"contexte", contexte},
        {"secretaire", secretaire},
        {"worktype", worktype},
        {"priorite", priorite},
        {"type", type},
        {"identValue", identValue},
        {"idSite", idSite},
        {"masterJobId", masterJobId},
        {"statut", statut},
        {"envoiEnCours", envoiEnCours},
        {"brouillon", brouillon},
        {"serviceID", serviceID},
        {"tsTransfert", tsTransfert},
        {"titreAuto", titreAuto},
    };
}

} // namespace orvaneh
