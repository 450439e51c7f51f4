#include "Classes/packaging/XMLForThirdParty.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"

namespace orvaneh {

namespace {

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char byte : text) {
        count += (static_cast<unsigned char>(byte) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return count;
}

// Broken bytes are made U+FFFD first, which the folding then turns into "e".
std::string folded(std::string_view text) {
    return StringExtension::replaceSpecialCharacters(XMLToSend::xmlSafeText(text));
}

} // namespace

XMLForThirdParty::XMLForThirdParty()
    : XMLToSend(kTag, {"IdentValue", "JobTitle", "TypistShortName", "DictateFileName", "JobPriority",
                       "InstructionFileName", "AuthorShortName", "Comment", "WorkTypeShortName",
                       "RecognitionType", "DictLengthInSec", "InstrLengthInSec", "ExtIdentifier1",
                       "ExtIdentifier2", "InputChannel", "TypistUserId", "Site", "Secteur"}) {}

void XMLForThirdParty::setIdentValue(std::string_view text) {
    bool blank = StringExtension::stringWithoutSpace(text).empty();
    setText("IdentValue", folded(blank ? std::string_view("Dictee iPhone") : text));
}

void XMLForThirdParty::setDictee(const DicteeModel& record) {
    XMLToSend::setDictee(record);
    setIfPresent("JobTitle", folded(record.titre));
    setIfPresent("AuthorShortName", record.auteur);
    setIfPresent("WorkTypeShortName", record.worktype);
    setText("InputChannel", "MobileDevice");
    setIfPresent("RecognitionType", record.getTypeDicteeXML());
    setText("ExtIdentifier1", "");
    setText("ExtIdentifier2", "");
    setText("Comment", "");

    const std::string& typist = record.secretaire;
    std::string typistId;
    if (characterCount(typist) >= kLongTypistLength) {
        typistId = userRequest().selectLongIdForSecretaireId(typist);
    }
    if (!typistId.empty()) {
        setText("TypistUserId", typistId);
    } else {
        setIfPresent("TypistShortName", typist);
    }

    std::string format = ConfigurationManager::getExportFileFormat();
    setText("DictateFileName", fileName() + "." + format);
    setNumber("DictLengthInSec", record.dureeDictee);
    setText("JobPriority", record.getPrioriteNameXML());
    if (record.dureeInstruction >= 1) {
        setText("InstructionFileName", fileName() + "-i." + format);
        setNumber("InstrLengthInSec", record.dureeInstruction);
    }

    setIdentValue(record.identValue);

    if (ConfigurationManager::shouldDisplayServices() && record.serviceID != 0) {
        ServiceModel service = serviceRequest().selectServiceWithID(record.serviceID);
        if (service.idService != 0) {
            if (service.isSite) {
                setText("Site", service.guid);
            } else {
                setText("Secteur", service.guid);
                setText("Site", service.idSite);
            }
        }
    }
}

} // namespace orvaneh
