#pragma once

#include "Classes/workflow/ParserXML.h"

#include <string>
#include <vector>

namespace orvaneh {

// A document model the transcription service may type a dictation into.
struct ModelDocument {
    std::string IdModel;
    std::string ModelFileName;
    std::string ModelName;
    std::string ModelType;

    static constexpr const char* kXmlElementName = "ModelDocument";
    static const std::vector<XmlField<ModelDocument>>& xmlFields() {
        static const std::vector<XmlField<ModelDocument>> fields{
            {"IdModel", &ModelDocument::IdModel},
            {"ModelFileName", &ModelDocument::ModelFileName},
            {"ModelName", &ModelDocument::ModelName},
            {"ModelType", &ModelDocument::ModelType}};
        return fields;
    }
};

} // namespace orvaneh
