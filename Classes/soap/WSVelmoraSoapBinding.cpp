#include "Classes/soap/WSVelmoraSoapBinding.h"

#include "Classes/soap/WSVelmoraSoapBindingOperation.h"
#include "Classes/soap/WSVelmoraSoapBindingResponseDelegate.h"
#include "Platform/network/HttpCookieJar.h"
#include "Platform/network/HttpSession.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>

namespace orvaneh {

namespace {

// Completes the synchronous form.
class SynchronousDelegate : public WSVelmoraSoapBindingResponseDelegate {
public:
    bool done = false;
    void operationCompletedWithResponse(WSVelmoraSoapBindingOperation&,
                                        const WSVelmoraSoapBindingResponse&) override {
        done = true;
    }
};

} // namespace

WSVelmoraSoapBinding::WSVelmoraSoapBinding(std::string address)
    : address_(std::move(address)), session_(std::make_shared<HttpSession>()) {}

void WSVelmoraSoapBinding::addCookie(Cookie cookie) {
    if (cookie.first.empty()) {
        return;
    }
    auto same = std::find_if(cookies_.begin(), cookies_.end(),
                             [&](const Cookie& c) { return c.first == cookie.first; });
    if (same != cookies_.end()) {
        same->second = std::move(cookie.second);
    } else {
        cookies_.push_back(std::move(cookie));
    }
}

void WSVelmoraSoapBinding::takeCookiesFromHeaders(
    const std::vector<std::pair<std::string, std::string>>& headers) {
    for (const auto& [name, value] : headers) {
        if (name != "set-cookie") {
            continue;
        }
        if (auto cookie = HttpCookieJar::parseSetCookie(value)) {
            addCookie(std::move(*cookie));
        }
    }
}

std::shared_ptr<WSVelmoraSoapBindingOperation>
WSVelmoraSoapBinding::makeOperation(const WSVelmoraMessage& parameters,
                                    const std::optional<WSVelmoraMessage>& securityHeader,
                                    WSVelmoraSoapBindingResponseDelegate* delegate) {
    return std::make_shared<WSVelmoraSoapBindingOperation>(shared_from_this(), parameters, securityHeader,
                                                           delegate);
}

WSVelmoraSoapBindingResponse
WSVelmoraSoapBinding::usingParameters(const WSVelmoraMessage& parameters,
                                      const std::optional<WSVelmoraMessage>& securityHeader) {
    SynchronousDelegate delegate;
    auto operation = makeOperation(parameters, securityHeader, &delegate);
    operation->start(RunLoop::current());
    // The connection's own limits end every call; the margin only guards against a loop
    // that is never fed.
    RunLoop::current().runUntil([&] { return delegate.done; }, defaultTimeout_ * 2 + Seconds(5));
    if (!delegate.done) {
        operation->cancel();
        WSVelmoraSoapBindingResponse response;
        response.error =
            WSVelmoraSoapBindingResponse::Error{WSVelmoraSoapBindingResponse::kNetworkDomain, 0,
                                                "Le service de transcription n'a pas répondu à temps."};
        return response;
    }
    return operation->response();
}

std::shared_ptr<WSVelmoraSoapBindingOperation>
WSVelmoraSoapBinding::asyncUsingParameters(const WSVelmoraMessage& parameters,
                                           const std::optional<WSVelmoraMessage>& securityHeader,
                                           WSVelmoraSoapBindingResponseDelegate* delegate) {
    auto operation = makeOperation(parameters, securityHeader, delegate);
    operation->start(RunLoop::current());
    return operation;
}

} // namespace orvaneh
