// The practice-management server's answers: unwrapped as the client unwraps them, then read as
// a case list, a database list or a log-in answer. Input: one byte choosing whether the case
// list is read from the unwrapped text (as the screens do) or from the bytes themselves.
#include "Classes/casefile/CaseFileAnswers.h"
#include "Classes/casefile/Dossier.h"
#include "Classes/casefile/WSFendraExpert.h"
#include "Classes/core/StringExtension.h"
#include "Platform/log/Log.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace orvaneh;

namespace {

void checkText(const std::string& text) {
    if (!StringExtension::isValidUtf8(text)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const bool unwrapped = (input.byte() & 1) != 0;
    const std::string bytes(input.rest());
    const std::string text = WSFendraExpert::getJSONstring(bytes);
    checkText(text);

    std::vector<Dossier> dossiers;
    if (Dossier::listFromAnswer(unwrapped ? text : bytes, dossiers)) {
        for (const auto& dossier : dossiers) {
            checkText(dossier.s_Id + dossier.s_Code + dossier.s_Label + dossier.s_DateCreation +
                      dossier.s_Memo);
        }
    } else if (!dossiers.empty()) {
        std::abort();
    }
    if (auto databases = CaseFileAnswers::databases(bytes)) {
        for (const auto& database : *databases) {
            if (database.nom.empty()) {
                std::abort();
            }
            checkText(database.nom + database.libelle);
        }
    }
    if (auto answer = CaseFileAnswers::logIn(bytes)) {
        checkText(answer->description + answer->versionWS + answer->intervenantId);
    }
    return 0;
}
