#include "Classes/app/DictationCell.h"

#include "Classes/core/Priority.h"
#include "Classes/core/Tools.h"
#include "Platform/localisation/Localization.h"

namespace orvaneh {

DictationCell::DictationCell(const DicteeModel& dictation, std::int64_t transferringId)
    : record(dictation), idDictee(dictation.idDictee), title(dictation.titre), subtitle(dictation.titreAuto),
      date(dictation.date) {
    durations = "DIC : " + Tools::timeIntervalToString(static_cast<double>(record.dureeDictee)) +
                " INS : " + Tools::timeIntervalToString(static_cast<double>(record.dureeInstruction));
    sent = record.envoi == 1;
    transferring = transferringId != 0 && record.idDictee == transferringId;
    if (!sent && record.brouillon) {
        statusImage = kDraftImage;
    } else if (!sent && record.tsTransfert >= 1 && !record.envoiEnCours) {
        statusImage = kSendErrorImage;
    }
    // The parameters of a dictation on its way cannot change; nor can those of a sent one.
    activityIndicatorShown = transferring;
    settingsIconHidden = transferring || sent;
    const Priority::Level level = Priority::levelOfLabel(record.priorite);
    priorityImage = Priority::image(level);
    priorityWord = Priority::label(level);
    state = stateWord(record, transferring);
}

std::string DictationCell::stateWord(const DicteeModel& record, bool transferring) {
    if (transferring && record.envoi != 1) {
        return localized("LISTE_DICT_ETAT_ENVOI_EN_COURS", "Envoi en cours");
    }
    switch (record.sendingState()) {
    case DicteeModel::SendingState::Draft:
        return localized("LISTE_DICT_ETAT_BROUILLON", "Brouillon");
    case DicteeModel::SendingState::Waiting:
        return localized("LISTE_DICT_ETAT_EN_ATTENTE", "En attente");
    case DicteeModel::SendingState::Attempted:
        return localized("LISTE_DICT_ETAT_TENTATIVE_ECHOUEE", "Tentative échouée");
    case DicteeModel::SendingState::Sent:
        return localized("LISTE_DICT_ETAT_ENVOYEE", "Envoyée");
    }
    return {};
}

} // namespace orvaneh
