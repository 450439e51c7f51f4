#pragma once

#include <string>
#include <vector>

namespace orvaneh {

// The types of dictation the office knows: the code the job descriptor and the parameter
// table carry ("DigitalDictation"), and the French label the record and the screens show.
class DictationType {
public:
    struct Row {
        const char* code;
        const char* label;
    };

    static constexpr const char* kSpeechRecognitionCode = "BatchModeRecognition";
    static constexpr const char* kSpeechRecognitionLabel = "Reconnaissance vocale";

    static const std::vector<Row>& table();
    // The label of a code; a label or any other text comes back as it is.
    static std::string labelForCode(const std::string& value);
    // The code of a label; a code or any other text comes back as it is.
    static std::string codeForLabel(const std::string& value);
    // True for the speech-recognition type, by code or by label.
    static bool isSpeechRecognition(const std::string& value);
};

} // namespace orvaneh
