#pragma once

#include "Platform/json/Json.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// One dictation: its workflow fields, durations and sending state, as read from or written to
// the dictee table by DicteeRequest. A plain value: a snapshot owned by whoever holds it,
// not refreshed when the row changes.
class DicteeModel {
public:
    // Where the dictation stands on its way to the office.
    enum class SendingState { Draft, Waiting, Attempted, Sent };

    std::int64_t idDictee = 0; // 0 for a record not stored yet
    std::string titre;
    std::string date;                  // date of the last save, formatted by the read that filled the record
    std::int64_t dureeDictee = 0;      // seconds
    std::int64_t dureeInstruction = 0; // seconds
    int envoi = 0;                     // 1 once sent
    std::string auteur;
    std::string contexte;
    std::string secretaire;
    std::string worktype; // a name, or "name;type;typist"
    std::string priorite; // localised label: "Basse", "Moyenne" or "Haute"
    std::string type;     // dictation type, label or code
    std::string identValue;
    std::int32_t idSite = -1;
    std::string masterJobId;
    std::int32_t statut = -1; // correction state, read only
    bool envoiEnCours = false;
    bool brouillon = true; // a draft is never picked by the send queue
    std::int32_t serviceID = 0;
    std::int64_t tsTransfert = 0; // Unix seconds of the start of the last attempt; 0 = none
    std::string titreAuto;        // "auteur-worktype-secretaire-identValue", set by the list read

    // Sent wins over everything; a draft is never sent automatically; a dictation with an
    // attempt stamp waits for the retry delay.
    SendingState sendingState() const;

    // The dictation type as job descriptors name it.
    std::string getTypeDicteeXML() const;
    // "Low", "Normal" or "High" (an unknown label is High).
    std::string getPrioriteNameXML() const;
    // 0, 1 or 2 (an unknown label is 1).
    int getPrioriteNum() const;

    // Every field under its own name.
    Json toJson() const;
};

} // namespace orvaneh
