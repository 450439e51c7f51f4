#pragma once

namespace orvaneh {

class WSVelmoraSoapBindingOperation;
struct WSVelmoraSoapBindingResponse;

// Told once when a call of the transcription service completes, on the run loop of the thread
// that started it.
class WSVelmoraSoapBindingResponseDelegate {
public:
    virtual ~WSVelmoraSoapBindingResponseDelegate() = default;
    virtual void operationCompletedWithResponse(WSVelmoraSoapBindingOperation& operation,
                                                const WSVelmoraSoapBindingResponse& response) = 0;
};

} // namespace orvaneh
