#pragma once

#include <string>

namespace orvaneh {

// A document model the transcription service may type a dictation into.
struct ModelDocument {
    std::string IdModel;
    std::string ModelFileName;
    std::string ModelName;
    std::string ModelType;
};

} // namespace orvaneh
