#pragma once

#include "Classes/packaging/XMLToSend.h"
#include "Classes/soap/ModelDocument.h"
#include "Classes/soap/PossibleDate.h"

namespace orvaneh {

// The descriptor of a dictation sent to the transcription service.
class XMLVelmora : public XMLToSend {
public:
    static constexpr const char* kTag = "ExportJobType";

    XMLVelmora();

    using XMLToSend::setDictee;
    // Fills the elements from the dictation as stored (no folding, no directory lookup) and the
    // chosen date of return and document model. Without a choice (nullptr) the composite keeps
    // its separators with empty parts ("||", "|||"), so the server still finds its fields.
    void setDictee(const DicteeModel& record, const PossibleDate* date, const ModelDocument* model);
};

} // namespace orvaneh
