#include "Classes/core/DictationType.h"

namespace orvaneh {

const std::vector<DictationType::Row>& DictationType::table() {
    static const std::vector<Row> rows{
        {"DigitalDictation", "Dictée numérique"},
        {kSpeechRecognitionCode, kSpeechRecognitionLabel},
    };
    return rows;
}

std::string DictationType::labelForCode(const std::string& value) {
    for (const auto& row : table()) {
        if (value == row.code) {
            return row.label;
        }
    }
    return value;
}

std::string DictationType::codeForLabel(const std::string& value) {
    for (const auto& row : table()) {
        if (value == row.label) {
            return row.code;
        }
    }
    return value;
}

bool DictationType::isSpeechRecognition(const std::string& value) {
    return value == kSpeechRecognitionCode || value == kSpeechRecognitionLabel;
}

} // namespace orvaneh
