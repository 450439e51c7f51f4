#include "Classes/transport/WSCommunication.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/StringExtension.h"
#include "Platform/crypto/Base64.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace orvaneh {

namespace {

std::string latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::optional<std::string> readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) {
        return std::nullopt;
    }
    return std::move(bytes).str();
}

} // namespace

std::shared_ptr<WSCommunication> WSCommunication::create(Delegate delegate) {
    return std::make_shared<WSCommunication>(std::move(delegate));
}

WSCommunication::WSCommunication(Delegate delegate) : delegate_(std::move(delegate)) {}

WSCommunication::~WSCommunication() {
    cancel();
}

HttpConnection::Request WSCommunication::buildHttpRequestWithAuthenticate(const std::string& login,
                                                                          const std::string& password,
                                                                          const std::string& method) const {
    HttpConnection::Request request;
    request.method = method;
    request.url = request_.url;
    request.body = request_.body;
    request.headers = {{"Authorization", getAuthenticateValue(login, password)},
                       {"Content-Type", std::string("multipart/form-data; boundary=") + kBoundary}};
    // A job may take long to go up while it moves; a question is answered within bounds.
    request.timeout = method == "GET" ? std::min(request_.timeout, kFetchTimeLimit) : Seconds::zero();
    request.stallLimit = std::min(request_.timeout, Seconds(ConfigurationManager::getNetworkStallTimeout()));
    // An office may take its time to accept a whole job, within the request's time-out.
    request.answerWait = request_.timeout;
    return request;
}

std::string WSCommunication::getAuthenticateValue(const std::string& login, const std::string& password) {
    return "Basic " + Base64::encode(login + ":" + password);
}

std::optional<std::string> WSCommunication::addAttachments(const Attachments& attachments) {
    const std::string separator = std::string("--") + kBoundary + "\r\n";
    std::string body;
    for (const auto& [name, value] : attachments) {
        body += separator;
        if (name == value) {
            auto bytes = readWhole(name);
            if (!bytes) {
                Log::write("Envoi WS : fichier illisible " + name);
                return std::nullopt;
            }
            body +=
                "Content-Disposition: form-data; name=\"" + name + "\" ; filename=\"" + name + "\"\r\n\r\n";
            body += *bytes;
        } else {
            body += "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n";
            body += value;
        }
        body += "\r\n";
    }
    body += std::string("--") + kBoundary + "--\r\n";
    return body;
}

void WSCommunication::postRequestAsyncWithAuthenticate(const std::string& login,
                                                       const std::string& password) {
    start(buildHttpRequestWithAuthenticate(login, password, "POST"), RunLoop::main());
}

void WSCommunication::httpRequestAsyncWithAuthenticate(const std::string& login,
                                                       const std::string& password) {
    start(buildHttpRequestWithAuthenticate(login, password, "GET"), RunLoop::current());
}

void WSCommunication::start(HttpConnection::Request request, RunLoop& loop) {
    urlConnect_.reset();
    request_.resetResponse();
    const std::uint64_t generation = ++generation_;
    inFlight_ = true;
    std::weak_ptr<WSCommunication> weak = weak_from_this();
    auto guarded = [weak, generation](auto member) {
        return [weak, generation, member](const auto&... arguments) {
            if (auto self = weak.lock()) {
                ((*self).*member)(generation, arguments...);
            }
        };
    };
    HttpConnection::Callbacks callbacks{
        guarded(&WSCommunication::didReceiveResponse),
        guarded(&WSCommunication::didReceiveData),
        guarded(&WSCommunication::didFailWithError),
        guarded(&WSCommunication::connectionDidFinishLoading),
    };
    urlConnect_ = std::make_unique<HttpConnection>(std::move(request), loop, std::move(callbacks));
}

void WSCommunication::cancel() {
    urlConnect_.reset();
    inFlight_ = false;
    delegate_ = {};
}

void WSCommunication::failLater(const std::string& text) {
    urlConnect_.reset();
    const std::uint64_t generation = ++generation_;
    inFlight_ = true;
    RunLoop::current().post([weak = weak_from_this(), generation, text] {
        if (auto self = weak.lock(); self && self->isCurrent(generation)) {
            self->finish(true, text);
        }
    });
}

void WSCommunication::didReceiveResponse(std::uint64_t generation, const HttpConnection::Response& response) {
    if (!isCurrent(generation)) {
        return;
    }
    if (response.status == 401 || response.status == 403) {
        finish(true, localized("WS_ACCESS_DENIED",
                               "L'accès aux Web Services est refusé. Veuillez vérifier vos identifiants."));
    } else if (response.status == 404) {
        finish(true, localized("kMss404Error", "Erreur 404") +
                         " : le service web est introuvable à cette adresse ; vérifiez l'adresse du site.");
    } else if (response.status >= 500) {
        // The usual text, then what the status really says: a 503 is an office in maintenance.
        const bool unavailable = response.status == 502 || response.status == 503 || response.status == 504;
        finish(true,
               localized("WS_SERVER_ERROR", "Erreur interne du serveur.") +
                   (unavailable ? " Le serveur est momentanément indisponible (maintenance ou surcharge)"
                                : " Le serveur n'a pas pu traiter la demande") +
                   " (err. " + std::to_string(response.status) + ").");
    } else if (response.status < 200 || response.status >= 300) {
        // A redirection (to a login page, say) is no answer of the office, whatever its body.
        finish(true, localized("NETWORK_UNEXPECTED_REPLY", "Réponse inattendue du serveur") + " (err. " +
                         std::to_string(response.status) + ").");
    } else {
        request_.contentLenght = response.expectedContentLength;
    }
}

void WSCommunication::didReceiveData(std::uint64_t generation, const std::string& bytes) {
    if (isCurrent(generation)) {
        request_.data += bytes;
    }
}

void WSCommunication::didFailWithError(std::uint64_t generation, const NetworkError& error) {
    if (isCurrent(generation)) {
        finish(true, error.text());
    }
}

void WSCommunication::connectionDidFinishLoading(std::uint64_t generation) {
    // A declared length of 0 hands over the empty text: the transports read it as an answer
    // that is not JSON, so the exchange still ends with an outcome.
    if (isCurrent(generation)) {
        finish(false, getJSONstring(request_.data));
    }
}

void WSCommunication::finish(bool failed, const std::string& text) {
    if (failed) {
        Log::write("Web service " + request_.url + " : " + text);
    }
    urlConnect_.reset();
    inFlight_ = false;
    Delegate delegate = std::exchange(delegate_, {});
    auto& handler = failed ? delegate.erreurRequest : delegate.getDataRequest;
    if (handler) {
        handler(text);
    }
}

std::string WSCommunication::unexpectedMethodText(const std::string& received, const std::string& asked) {
    // The server's text: short, and without control characters that could fake a line.
    std::string shown = received.substr(0, 40);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return localized("NETWORK_UNEXPECTED_REPLY", "Réponse inattendue du serveur") + " : « " +
           (shown.empty() ? "?" : shown) + " » " + localized("WS_METHOD_INSTEAD_OF", "au lieu de") + " « " +
           asked + " ».";
}

std::string WSCommunication::getJSONstring(std::string_view bytes) {
    if (!StringExtension::isValidUtf8(bytes)) {
        return latin1ToUtf8(bytes);
    }
    if (bytes.empty()) {
        return {};
    }
    std::string text = StringExtension::replacingAll(bytes, "\\\"", "\"");
    text = StringExtension::replacingAll(text, "\\\\", "\\");
    text = StringExtension::replacingAll(text, "/\\", "/");
    return StringExtension::withoutFirstAndLastCharacter(text);
}

} // namespace orvaneh
