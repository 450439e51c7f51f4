#pragma once

#include "Classes/core/DicteeModel.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// One row of the dictation list as its view draws it, built from the record and from the
// dictation the sender is transferring. A plain value: the list rebuilds its rows rather than
// update them.
class DictationCell {
public:
    // The status images.
    static constexpr const char* kDraftImage = "inEdition";
    static constexpr const char* kSendErrorImage = "sendError";

    // `transferringId`: the dictation the sender is working on (0 for none).
    DictationCell(const DicteeModel& record, std::int64_t transferringId);

    // The state word of a dictation, the same in the list's text views and on the command
    // line: "Brouillon", "En attente", "Envoi en cours", "Tentative échouée" or "Envoyée".
    static std::string stateWord(const DicteeModel& record, bool transferring);

    DicteeModel record;
    std::int64_t idDictee = 0;
    std::string title;         // the dictation's title
    std::string subtitle;      // author-worktype-typist-identifier
    std::string date;          // as the record was read ("dd/MM/yy HH:mm" for the list)
    std::string durations;     // "DIC : m:ss INS : m:ss"
    std::string statusImage;   // kDraftImage, kSendErrorImage or empty
    std::string priorityImage; // "priorite_basse", "priorite_moyenne", "priorite_haute"
    std::string priorityWord;  // "Basse", "Moyenne" or "Haute" (an unknown label is "Moyenne")
    std::string state;         // stateWord
    bool sent = false;
    bool transferring = false;
    bool settingsIconHidden = false;
    bool activityIndicatorShown = false;
};

} // namespace orvaneh
