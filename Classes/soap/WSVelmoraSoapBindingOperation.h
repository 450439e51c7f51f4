#pragma once

#include "Classes/soap/WSVelmoraMessage.h"
#include "Classes/soap/WSVelmoraSoapBindingResponse.h"

#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

class HttpConnection;
class RunLoop;
class WSVelmoraSoapBinding;
class WSVelmoraSoapBindingResponseDelegate;

// One call of the transcription service: the envelope posted to the binding's address, the
// answer read into a response, the delegate told once.
//
// Held by shared_ptr; while the call runs, its connection keeps it alive. Start, cancel and
// destroy it on the thread whose run loop receives the callbacks. The delegate must outlive
// the call or cancel it first. Every call completes exactly once unless cancelled, an empty
// answer included (reported as unreadable XML).
class WSVelmoraSoapBindingOperation : public std::enable_shared_from_this<WSVelmoraSoapBindingOperation> {
public:
    WSVelmoraSoapBindingOperation(std::shared_ptr<WSVelmoraSoapBinding> binding, WSVelmoraMessage parameters,
                                  std::optional<WSVelmoraMessage> securityHeader,
                                  WSVelmoraSoapBindingResponseDelegate* delegate);
    ~WSVelmoraSoapBindingOperation();
    WSVelmoraSoapBindingOperation(const WSVelmoraSoapBindingOperation&) = delete;
    WSVelmoraSoapBindingOperation& operator=(const WSVelmoraSoapBindingOperation&) = delete;

    // Builds the envelope and opens the connection; callbacks on `loop`.
    void start(RunLoop& loop);
    // No delegate call after it returns.
    void cancel();

    // The operation's name ("FileUploadSendChunk").
    const std::string& name() const { return parameters_.name(); }
    const WSVelmoraMessage& parameters() const { return parameters_; }
    const std::optional<WSVelmoraMessage>& securityHeader() const { return securityHeader_; }
    const WSVelmoraSoapBindingResponse& response() const { return response_; }
    bool completed() const { return completed_; }

    // The envelope text as it goes out.
    std::string envelope() const;
    // SOAPAction: the service namespace followed by the operation name.
    std::string soapAction() const;
    // `text` for the log: passwords, the token and long Base64 contents left out.
    static std::string textForLog(const std::string& text);

private:
    std::shared_ptr<WSVelmoraSoapBinding> binding_;
    WSVelmoraMessage parameters_;
    std::optional<WSVelmoraMessage> securityHeader_;
    WSVelmoraSoapBindingResponseDelegate* delegate_;
    WSVelmoraSoapBindingResponse response_;
    std::string responseData_;
    std::unique_ptr<HttpConnection> urlConnection_;
    bool completed_ = false;
    bool xmlAnswer_ = false;

    void complete();
    void fail(WSVelmoraSoapBindingResponse::Error error);
};

} // namespace orvaneh
