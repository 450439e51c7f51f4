#pragma once

#include "Classes/core/DicteeModel.h"
#include "Classes/core/SqlConnection.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvaneh {

// The workflow parameters of one dictation, or the defaults of new ones: a plain value owned
// by whoever edits it.
class ParamWorkflow {
public:
    std::string auteur;
    std::string contexte;
    std::string typeDictee; // a label ("Reconnaissance vocale", "Dictée numérique") or other text
    std::string secretaire;
    std::string worktype;
    std::string priority;       // localised label
    std::string firstField;     // the dictation's title
    std::string secondField;    // its identification value
    std::int32_t serviceID = 0; // 0 none, -1 explicitly cleared
    bool isChanged = false;

    // Loads the stored defaults (title and identifier emptied, a type code turned into its
    // label). 1 when defaults exist, else 0 with the fields unchanged.
    int getParamWorkflow();
    // Stores the fields as the defaults (insert or update of the single row), then shows the
    // banner "Paramètres enregistrés".
    void saveParamWorkflow();
    // Loads the fields of a stored dictation; false (fields unchanged) when it does not exist,
    // or when it could not be read: `unreadable` then receives why.
    bool getParamWorkflowDictee(std::int64_t idDictee,
                                std::optional<SqlConnection::Failure>* unreadable = nullptr);
    // Writes the fields into a record: title, identification value, author, context, type,
    // typist, worktype, priority, service.
    void setToDicteeModel(DicteeModel& record) const;
    // 0 "Basse", 1 "Moyenne", 2 "Haute" (localised labels); any other label is 1.
    int getParamPriorityNum() const;
    // The label of a type code, else the text as held.
    std::string getTypeDictee() const;

    // "BatchModeRecognition" → "Reconnaissance vocale", "DigitalDictation" → "Dictée
    // numérique", anything else unchanged.
    static std::string labelForTypeCode(const std::string& value);
    // The localised label of a priority number (0, 1, 2; others count as 1).
    static std::string priorityLabel(int number);
};

} // namespace orvaneh
