#include "Classes/core/DicteeModel.h"

#include "Platform/localisation/Localization.h"

namespace orvaneh {

namespace {

std::string lowLabel() {
    return localized("PRIORITY_LOW", "Basse");
}
std::string normalLabel() {
    return localized("PRIORITY_NORMAL", "Moyenne");
}
std::string highLabel() {
    return localized("PRIORITY_HIGH", "Haute");
}

} // namespace

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
    if (type == "Reconnaissance vocale") {
        return "BatchModeRecognition";
    }
    if (type == "Dictée numérique") {
        return "DigitalDictation";
    }
    return type;
}

std::string DicteeModel::getPrioriteNameXML() const {
    if (priorite == lowLabel()) {
        return "Low";
    }
    if (priorite == normalLabel()) {
        return "Normal";
    }
    return "High";
}

int DicteeModel::getPrioriteNum() const {
    if (priorite == lowLabel()) {
        return 0;
    }
    if (priorite == normalLabel()) {
        return 1;
    }
    if (priorite == highLabel()) {
        return 2;
    }
    return 1;
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
