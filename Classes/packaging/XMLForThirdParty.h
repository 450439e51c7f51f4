#pragma once

#include "Classes/packaging/XMLToSend.h"

#include <string_view>

namespace orvaneh {

// The batch-import descriptor sent by the FTP and web-service transports.
class XMLForThirdParty : public XMLToSend {
public:
    static constexpr const char* kTag = "Lumetra_5.0_ThirdPartyBatchModeImport";
    // Typist names this long are login names, sent as the user's id when the directory knows it.
    static constexpr std::size_t kLongTypistLength = 15;

    XMLForThirdParty();

    // Fills every element from the dictation, the directory and the settings.
    void setDictee(const DicteeModel& record) override;
    // "Dictee iPhone" for an empty or blank value, then the accent folding.
    void setIdentValue(std::string_view text);
};

} // namespace orvaneh
