#pragma once

#include "Classes/soap/ModelDocument.h"
#include "Classes/soap/PossibleDate.h"

#include <string>
#include <vector>

namespace orvaneh {

// Told of the outcomes of a WSVelmoraHelper, on the run loop of the thread that issued the calls.
class WSVelmoraHelperDelegate {
public:
    virtual ~WSVelmoraHelperDelegate() = default;
    virtual void requestAuthenticateDidFinished() = 0;
    virtual void requestGetModelListDidFinishedWithReturnValue(const std::vector<ModelDocument>& models) = 0;
    virtual void
    requestGetPossibleDatesDidFinishedWithReturnValue(const std::vector<PossibleDate>& dates) = 0;
    // The upload's outcome: true only when the service confirmed the whole file.
    virtual void requestUploadFinishDidFinishedWithReturnValue(bool ok) = 0;
    // A call failed: the French text to show, and the operation (or the fault's actor).
    virtual void requestDidFailed(const std::string& message, const std::string& method) = 0;
    // Chunk `sent` of `total` accepted; for progress only.
    virtual void uploadProgress(std::int32_t /*sent*/, std::int32_t /*total*/) {}
};

} // namespace orvaneh
