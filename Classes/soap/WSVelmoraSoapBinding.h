#pragma once

#include "Classes/soap/WSVelmoraMessage.h"
#include "Classes/soap/WSVelmoraSoapBindingResponse.h"
#include "Platform/runloop/Clock.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvaneh {

class HttpSession;
class WSVelmoraSoapBindingOperation;
class WSVelmoraSoapBindingResponseDelegate;

// The client side of the transcription service at one address: posts one envelope per call
// over HTTPS (certificates verified, "TrustedCertificatesFile" adds authorities), carries the
// service's cookies from answer to call, offers the account when the server challenges.
//
// Held by shared_ptr (each call keeps its binding). Use it on one thread: calls complete
// through that thread's run loop.
class WSVelmoraSoapBinding : public std::enable_shared_from_this<WSVelmoraSoapBinding> {
public:
    using Cookie = std::pair<std::string, std::string>;

    explicit WSVelmoraSoapBinding(std::string address);

    const std::string& address() const { return address_; }
    void setAddress(std::string address) { address_ = std::move(address); }
    Seconds defaultTimeout() const { return defaultTimeout_; }
    void setDefaultTimeout(Seconds timeout) { defaultTimeout_ = timeout; }
    const std::vector<Cookie>& cookies() const { return cookies_; }
    // Adds or replaces the cookie of that name.
    void addCookie(Cookie cookie);
    // The Set-Cookie values of an answer, merged by name into the cookies.
    void takeCookiesFromHeaders(const std::vector<std::pair<std::string, std::string>>& headers);
    bool logXMLInOut() const { return logXMLInOut_; }
    void setLogXMLInOut(bool log) { logXMLInOut_ = log; }
    const std::string& authUsername() const { return authUsername_; }
    const std::string& authPassword() const { return authPassword_; }
    void setAuthUsername(std::string name) { authUsername_ = std::move(name); }
    void setAuthPassword(std::string password) { authPassword_ = std::move(password); }
    // The connection its calls share (one per binding unless given): successive calls reuse the
    // open connection and its TLS session instead of a handshake each.
    const std::shared_ptr<HttpSession>& session() const { return session_; }
    void setSession(std::shared_ptr<HttpSession> session) { session_ = std::move(session); }

    // Synchronous form: runs the calling thread's run loop until the answer (bounded by the
    // time-out) and returns it. `parameters` names the operation; the security header is
    // ignored for AreYouAlive and GetExtensionsList, which carry none.
    WSVelmoraSoapBindingResponse usingParameters(const WSVelmoraMessage& parameters,
                                                 const std::optional<WSVelmoraMessage>& securityHeader);
    // Asynchronous form: the delegate is told on the calling thread's run loop. The returned
    // operation may be kept to cancel the call.
    std::shared_ptr<WSVelmoraSoapBindingOperation>
    asyncUsingParameters(const WSVelmoraMessage& parameters,
                         const std::optional<WSVelmoraMessage>& securityHeader,
                         WSVelmoraSoapBindingResponseDelegate* delegate);

private:
    std::string address_;
    Seconds defaultTimeout_{30};
    std::vector<Cookie> cookies_;
    bool logXMLInOut_ = false;
    std::string authUsername_;
    std::string authPassword_;
    std::shared_ptr<HttpSession> session_;

    std::shared_ptr<WSVelmoraSoapBindingOperation>
    makeOperation(const WSVelmoraMessage& parameters, const std::optional<WSVelmoraMessage>& securityHeader,
                  WSVelmoraSoapBindingResponseDelegate* delegate);
};

} // namespace orvaneh
