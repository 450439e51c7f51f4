#include "Classes/workflow/ParamWorkflow.h"

#include "Classes/core/DictationType.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/Priority.h"
#include "Classes/screens/Notification.h"
#include "Platform/localisation/Localization.h"

namespace orvaneh {

int ParamWorkflow::getParamWorkflow() {
    ParamRequest request;
    if (request.selectParam() != 1) {
        return 0;
    }
    auteur = request.wfAuteur;
    contexte = request.wfContexte;
    worktype = request.wfWorktype;
    priority = request.wfPriority;
    secretaire = request.wfSecretaire;
    serviceID = request.wfServiceID;
    typeDictee = labelForTypeCode(request.wfTypeDictee);
    firstField.clear();
    secondField.clear();
    return 1;
}

void ParamWorkflow::saveParamWorkflow() {
    ParamRequest request;
    const bool exists = request.selectParam() == 1;
    request.wfAuteur = auteur;
    request.wfWorktype = worktype;
    request.wfContexte = contexte;
    request.wfPriority = priority;
    request.wfSecretaire = secretaire;
    // As held: the screens hold the label.
    request.wfTypeDictee = typeDictee;
    request.wfServiceID = serviceID;
    if (exists) {
        request.updateParam();
    } else {
        request.insertParam();
    }
    Notification::pushNotification(
        localized("PARAM_WORKFLOW_DICTEE_CHANGES_SAVED", "Paramètres enregistrés"));
}

bool ParamWorkflow::getParamWorkflowDictee(std::int64_t idDictee,
                                           std::optional<SqlConnection::Failure>* unreadable) {
    DicteeRequest request;
    DicteeModel record = request.selectDictee(idDictee);
    if (record.date.empty()) {
        if (unreadable != nullptr) {
            *unreadable = request.failure();
        }
        return false;
    }
    auteur = record.auteur;
    contexte = record.contexte;
    secretaire = record.secretaire;
    worktype = record.worktype;
    firstField = record.titre;
    typeDictee = record.type;
    priority = record.priorite;
    secondField = record.identValue;
    serviceID = record.serviceID;
    return true;
}

void ParamWorkflow::setToDicteeModel(DicteeModel& record) const {
    record.titre = firstField;
    record.identValue = secondField;
    record.auteur = auteur;
    record.contexte = contexte;
    record.type = typeDictee;
    record.secretaire = secretaire;
    record.worktype = worktype;
    record.priorite = priority;
    record.serviceID = serviceID;
}

int ParamWorkflow::getParamPriorityNum() const {
    return Priority::levelOfLabel(priority);
}

std::string ParamWorkflow::getTypeDictee() const {
    return labelForTypeCode(typeDictee);
}

std::string ParamWorkflow::labelForTypeCode(const std::string& value) {
    return DictationType::labelForCode(value);
}

std::string ParamWorkflow::priorityLabel(int number) {
    return Priority::label(number);
}

} // namespace orvaneh
