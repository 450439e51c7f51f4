#include "Classes/packaging/XMLVelmora.h"

#include "Classes/core/Tools.h"

namespace orvaneh {

XMLVelmora::XMLVelmora()
    : XMLToSend(kTag, {"Durationdic", "Durationins", "DateCreation", "MasterJobId", "IdentNumber", "Jobtitle",
                       "Author", "Context", "RecipientName", "RecognitionType", "WorkType", "Jobvalidation",
                       "TpsystemIdGuid", "Jobpriority", "ExtIdentifier1", "ExtIdentifier2", "ExtIdentifier7",
                       "ExtIdentifier8"}) {}

void XMLVelmora::setDictee(const DicteeModel& record, const PossibleDate* date, const ModelDocument* model) {
    XMLToSend::setDictee(record);
    setNumber("Durationdic", record.dureeDictee);
    // Durationins stays unset: the service never receives the instruction's length.
    setText("DateCreation", Tools::getDateStrForFormat("dd/MM/yyyy HH:mm:ss"));
    setIfPresent("MasterJobId", record.masterJobId);
    setIfPresent("IdentNumber", record.identValue);
    setIfPresent("Jobtitle", record.titre);
    setIfPresent("Author", record.auteur);
    setIfPresent("Context", record.contexte);
    setIfPresent("RecipientName", record.secretaire);
    setText("RecognitionType", "Numerique");
    setIfPresent("WorkType", record.worktype);
    setText("Jobvalidation", "Non approuvee");
    setText("TpsystemIdGuid", "00000000-0000-0000-0000-000000000000");
    setText("Jobpriority", record.getPrioriteNameXML());
    setText("ExtIdentifier1", "");
    setText("ExtIdentifier2", "");
    PossibleDate noDate;
    const PossibleDate& d = date ? *date : noDate;
    setText("ExtIdentifier7", d.DateTimeReturn + "|" + d.IdOption + "|" + d.IdService);
    ModelDocument noModel;
    const ModelDocument& m = model ? *model : noModel;
    setText("ExtIdentifier8", m.IdModel + "|" + m.ModelFileName + "|" + m.ModelName + "|" + m.ModelType);
}

} // namespace orvaneh
