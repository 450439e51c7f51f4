#include "Classes/soap/WSVelmoraSoapBindingOperation.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/soap/WSVelmoraSoapBinding.h"
#include "Classes/soap/WSVelmoraSoapBindingResponseDelegate.h"
#include "Classes/soap/WSVelmoraSoapBinding_envelope.h"
#include "Platform/log/Log.h"
#include "Platform/network/HttpConnection.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>

namespace orvaneh {

namespace {

// Contents longer than this (chunks, documents) are summarised in the log.
constexpr std::size_t kLoggedContentLimit = 256;

std::string statusText(long status) {
    switch (status) {
    case 400:
        return "bad request";
    case 401:
        return "unauthorized";
    case 403:
        return "forbidden";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 408:
        return "request timed out";
    case 500:
        return "internal server error";
    case 502:
        return "bad gateway";
    case 503:
        return "service unavailable";
    case 504:
        return "gateway timed out";
    default:
        return status >= 500 ? "server error" : "client error";
    }
}

std::string headersText(const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string text;
    for (const auto& [name, value] : headers) {
        text += name + ": " + value + "\n";
    }
    return text;
}

} // namespace

WSVelmoraSoapBindingOperation::WSVelmoraSoapBindingOperation(std::shared_ptr<WSVelmoraSoapBinding> binding,
                                                             WSVelmoraMessage parameters,
                                                             std::optional<WSVelmoraMessage> securityHeader,
                                                             WSVelmoraSoapBindingResponseDelegate* delegate)
    : binding_(std::move(binding)), parameters_(std::move(parameters)),
      securityHeader_(std::move(securityHeader)), delegate_(delegate) {}

WSVelmoraSoapBindingOperation::~WSVelmoraSoapBindingOperation() = default;

std::string WSVelmoraSoapBindingOperation::envelope() const {
    WSVelmoraSoapBinding_envelope::Elements header;
    const auto* operation = WSVelmora::operation(name());
    if (securityHeader_ && operation != nullptr && operation->hasSecurityHeader) {
        header.emplace_back("SecurityHeader", &*securityHeader_);
    }
    WSVelmoraSoapBinding_envelope::Elements body{{name(), &parameters_}};
    return WSVelmoraSoapBinding_envelope::serializedFormUsingHeaderElements(header, body);
}

std::string WSVelmoraSoapBindingOperation::soapAction() const {
    return std::string(WSVelmora::kNamespace) + name();
}

std::string WSVelmoraSoapBindingOperation::textForLog(const std::string& text) {
    std::string shown;
    shown.reserve(std::min(text.size(), std::size_t(64 * 1024)));
    std::size_t position = 0;
    while (position < text.size()) {
        auto open = text.find('>', position);
        if (open == std::string::npos) {
            shown.append(text, position, std::string::npos);
            break;
        }
        shown.append(text, position, open + 1 - position);
        auto close = text.find('<', open + 1);
        if (close == std::string::npos) {
            shown.append(text, open + 1, std::string::npos);
            break;
        }
        // The element just opened: its name decides whether its content may be shown.
        auto start = text.rfind('<', open);
        std::string element = text.substr(start + 1, open - start - 1);
        element = element.substr(0, element.find_first_of(" \t\r\n/"));
        element = element.substr(element.find(':') == std::string::npos ? 0 : element.find(':') + 1);
        std::size_t length = close - open - 1;
        if (element == "Password" || element == "AuthenticatedToken" || element == "AuthenticateResult") {
            shown += length > 0 ? "****" : "";
        } else if (length > kLoggedContentLimit) {
            shown.append("[").append(std::to_string(length)).append(" caractères]");
        } else {
            shown.append(text, open + 1, length);
        }
        position = close;
    }
    return shown;
}

void WSVelmoraSoapBindingOperation::start(RunLoop& loop) {
    response_ = {};
    responseData_.clear();
    const std::string body = envelope();
    HttpConnection::Request request;
    request.method = "POST";
    request.url = binding_->address();
    // The line's patience ("NetworkStallTimeout") decides when a silent service has failed; the
    // whole exchange is bounded too, so an answer trickling in for ever ends, and never before
    // the binding's own time-out.
    const Seconds stall(ConfigurationManager::getNetworkStallTimeout());
    request.stallLimit = stall;
    request.answerWait = stall;
    request.timeout = std::max(binding_->defaultTimeout(), stall) * 2;
    if (!binding_->cookies().empty()) {
        std::string cookie;
        for (const auto& [name, value] : binding_->cookies()) {
            cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
        }
        request.headers.emplace_back("Cookie", cookie);
    }
    request.headers.emplace_back("User-Agent", "wsdl2objc");
    request.headers.emplace_back("SOAPAction", soapAction());
    request.headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
    request.challengeUser = binding_->authUsername();
    request.challengePassword = binding_->authPassword();
    request.session = binding_->session();
    request.body = body;
    if (binding_->logXMLInOut()) {
        Log::write("OutputHeaders:\n" + textForLog(headersText(request.headers)));
        Log::write("OutputBody:\n" + textForLog(body));
    }
    auto self = shared_from_this();
    urlConnection_ = std::make_unique<HttpConnection>(
        std::move(request), loop,
        HttpConnection::Callbacks{
            [self](const HttpConnection::Response& answer) {
                if (self->binding_->logXMLInOut()) {
                    Log::write("ResponseStatus: " + std::to_string(answer.status) + "\n");
                    Log::write("ResponseHeaders:\n" + textForLog(headersText(answer.headers)));
                }
                self->binding_->takeCookiesFromHeaders(answer.headers);
                // A SOAP fault comes with status 500 and is an answer like any other.
                if (answer.mimeType.find("text/xml") != std::string::npos ||
                    answer.mimeType == "application/soap+xml") {
                    self->xmlAnswer_ = true;
                    return;
                }
                if (answer.status < 400) {
                    self->fail({WSVelmoraSoapBindingResponse::kHttpDomain, 1,
                                "Unexpected response MIME type to SOAP call:" + answer.mimeType});
                } else {
                    self->fail({WSVelmoraSoapBindingResponse::kHttpDomain, answer.status,
                                statusText(answer.status)});
                }
            },
            [self](const std::string& bytes) { self->responseData_ += bytes; },
            [self](const NetworkError& error) {
                if (self->binding_->logXMLInOut()) {
                    Log::write("ResponseError:\n" + error.text());
                }
                self->fail({WSVelmoraSoapBindingResponse::kNetworkDomain, static_cast<long>(error.kind()),
                            error.text()});
            },
            [self] {
                if (self->binding_->logXMLInOut()) {
                    Log::write("ResponseBody:\n" + textForLog(self->responseData_));
                }
                self->response_ = WSVelmoraSoapBindingResponse::fromBody(self->responseData_, self->name());
                self->responseData_.clear();
                self->complete();
            },
        });
}

void WSVelmoraSoapBindingOperation::cancel() {
    delegate_ = nullptr;
    if (urlConnection_) {
        urlConnection_->cancel();
    }
}

void WSVelmoraSoapBindingOperation::fail(WSVelmoraSoapBindingResponse::Error error) {
    if (completed_) {
        return;
    }
    if (urlConnection_) {
        urlConnection_->cancel();
    }
    response_.error = std::move(error);
    complete();
}

void WSVelmoraSoapBindingOperation::complete() {
    if (completed_) {
        return;
    }
    completed_ = true;
    auto keepAlive = shared_from_this();
    if (auto* delegate = std::exchange(delegate_, nullptr)) {
        delegate->operationCompletedWithResponse(*this, response_);
    }
}

} // namespace orvaneh
