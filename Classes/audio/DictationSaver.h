#pragma once

#include "Classes/audio/RecorderTrackFiles.h"
#include "Classes/core/DicteeModel.h"
#include "Classes/workflow/ParamWorkflow.h"

#include <cstdint>
#include <optional>

namespace orvaneh {

// Stores what the recording screen holds: the dictation's row (new; existing; or, for a sent
// dictation, a new copy titled "-1" with a new job id, the sent one left as it was), then its
// tracks moved to the stored names of its identifier.
//
// The row is held back from the sender (a draft) until the recordings are in place, and only
// then written as chosen: a save cut short never leaves a dictation that goes out with another
// version's recordings, or without any. Nothing is stored under identifier 0: when the row
// cannot be written the working files stay for a new attempt.
class DictationSaver {
public:
    struct Request {
        bool isNew = true;
        // The dictation's identifier; for a new one, the identifier it expects to get.
        std::int64_t idDictee = 0;
        double dictationDuration = 0; // seconds
        double instructionDuration = 0;
        bool draft = true;
    };
    struct Outcome {
        // The row written (even when a later step failed); 0 when none was.
        std::int64_t identifier = 0;
        // The stored record; nothing when any step failed (logged).
        std::optional<DicteeModel> record;
        // The errno of a fault behind the step that failed (ENOSPC: the disk is full), for the
        // user's message; 0 when none or the disk was not the cause.
        int diskError = 0;
    };

    // `parameters` fill the row; a sent dictation's copy renames them ("-1").
    static Outcome save(const Request& request, ParamWorkflow& parameters, RecorderTrackFiles& files);
};

} // namespace orvaneh
