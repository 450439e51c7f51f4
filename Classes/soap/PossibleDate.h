#pragma once

#include "Classes/workflow/ParserXML.h"
#include "Platform/runloop/Clock.h"

#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// A date of return the transcription service offers for a dictation sent now.
struct PossibleDate {
    std::string IdService;
    std::string IdOption;
    std::string DateTimeReturn; // as the service writes it
    std::optional<WallTime> dateReturn;
    bool isHeader = false; // a heading of the list, not a date to choose

    static constexpr const char* kXmlElementName = "PossibleDate";
    static const std::vector<XmlField<PossibleDate>>& xmlFields() {
        static const std::vector<XmlField<PossibleDate>> fields{
            {"IdService", &PossibleDate::IdService},
            {"IdOption", &PossibleDate::IdOption},
            {"DateTimeReturn", &PossibleDate::DateTimeReturn},
            {"isHeader", &PossibleDate::isHeader}};
        return fields;
    }
};

} // namespace orvaneh
