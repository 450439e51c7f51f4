#include "Classes/casefile/WSFendraExpert.h"

#include "Classes/core/StoredPasswords.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/network/HttpCookieJar.h"
#include "Platform/network/Reachability.h"
#include "Platform/profile/Profile.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orvaneh {

namespace {

constexpr Seconds kGetTimeout{40};
constexpr Seconds kPostTimeout{120};

HttpCookieJar cookieJar() {
    return HttpCookieJar(Profile::current().configurationDirectory() / WSFendraExpert::kCookieFile);
}

// The host part of an endpoint URL, as the cookies are kept.
std::string hostOfUrl(const std::string& url) {
    std::string rest = url;
    if (auto scheme = rest.find("://"); scheme != std::string::npos) {
        rest.erase(0, scheme + 3);
    }
    return StringExtension::lowercased(rest.substr(0, rest.find('/')));
}

// The network check: a machine without any interface up reaches only itself. The loopback
// question (which may resolve the name) is asked only then.
std::optional<std::string> noNetwork(const std::string& host) {
    if (Reachability::shared().currentStatus() != NetworkStatus::None) {
        return std::nullopt;
    }
    std::string name = host;
    if (!name.empty() && name.front() == '[') {
        name = name.substr(0, name.find(']') + 1);
    } else if (std::count(name.begin(), name.end(), ':') == 1) {
        name.erase(name.find(':'));
    }
    if (!name.empty() && Reachability::isLoopbackHost(name)) {
        return std::nullopt;
    }
    return localized("kMssNoAvailableNetWork", "Aucun réseau disponible");
}

} // namespace

struct WSFendraExpert::Waiter {
    bool done = false;
    bool ok = false;
};

std::string WSFendraExpert::passwordItem(const std::string& host, const std::string& login) {
    const HostCheck checked = normalizeHost(host);
    return "dossier/" + StringExtension::lowercased(checked.host.empty() ? host : checked.host) + "/" + login;
}

std::string WSFendraExpert::passwordOutOfReachMessage() {
    return StoredPasswords::outOfReachMessage(
        "du serveur de dossiers",
        "Rien n'a été demandé au serveur. Reconnectez-vous dans une session de bureau où le trousseau est "
        "déverrouillé, ou avec « orvaneh-cli dossier login --host HÔTE --user UTILISATEUR --password-stdin » "
        "(sans trousseau, le mot de passe est gardé dans le profil).");
}

std::optional<std::string> WSFendraExpert::logInBodyMember(const std::string& body, const char* key) {
    const Json parsed = Json::parse(body, nullptr, false);
    if (!parsed.is_object()) {
        return std::nullopt;
    }
    const auto value = parsed.find(key);
    if (value == parsed.end() || !value->is_string()) {
        return std::nullopt;
    }
    return value->get<std::string>();
}

std::string WSFendraExpert::logInBodyWithPassword(const std::string& body, const std::string& password) {
    Json parsed = Json::parse(body, nullptr, false);
    if (!parsed.is_object()) {
        return body;
    }
    parsed["userpwd"] = password;
    return parsed.dump(-1, ' ', false, Json::error_handler_t::replace);
}

WSFendraExpert::HostCheck WSFendraExpert::normalizeHost(const std::string& typed) {
    std::string host = typed;
    host.erase(0, host.find_first_not_of(" \t\r\n"));
    host.erase(host.find_last_not_of(" \t\r\n") + 1);
    const std::string lower = StringExtension::lowercased(host);
    if (lower.rfind("http://", 0) == 0) {
        return {{},
                "Le serveur de dossiers se joint en HTTPS uniquement : saisissez son nom sans « http:// »."};
    }
    if (lower.rfind("https://", 0) == 0) {
        host.erase(0, 8);
    }
    host = host.substr(0, host.find('/'));
    const bool bad = std::any_of(host.begin(), host.end(), [](unsigned char c) {
        return c <= ' ' || c == '?' || c == '#' || c == '@' || c == '\\' || c == 0x7F;
    });
    if (bad) {
        return {{}, "Le nom du serveur de dossiers n'est pas valable : " + typed};
    }
    return {host, {}};
}

std::string WSFendraExpert::databasesUrl(const std::string& host) {
    return "https://" + host + kDatabasesPath;
}
std::string WSFendraExpert::logInUrl(const std::string& host) {
    return "https://" + host + kLogInPath;
}
std::string WSFendraExpert::recentUrl(const std::string& host) {
    return "https://" + host + kRecentPath;
}
std::string WSFendraExpert::searchUrl(const std::string& host, const std::string& searchText) {
    return "https://" + host + kSearchPath + encodeToPercentEscapeString(searchText);
}

std::string WSFendraExpert::getJSONstring(const std::string& bytes) {
    if (bytes.empty() || !StringExtension::isValidUtf8(bytes)) {
        return {};
    }
    std::string text = StringExtension::replacingAll(bytes, "\\\\/", "");
    text = StringExtension::replacingAll(text, "\\\"", "\"");
    text = StringExtension::replacingAll(text, "\\\\", "\\");
    text = StringExtension::replacingAll(text, "/\\", "/");
    // The outer quotes are characters, not bytes: an answer ending in "é" keeps its text whole.
    return StringExtension::withoutFirstAndLastCharacter(text);
}

std::string WSFendraExpert::encodeToPercentEscapeString(const std::string& text) {
    std::string result;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            result += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            result += escaped;
        }
    }
    return result;
}

std::string WSFendraExpert::formatDate(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    const bool ascii = std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; });
    if (!ascii || (text.size() != 8 && text.size() < 10)) {
        return text;
    }
    if (text.size() == 8) {
        return text.substr(0, 2) + "/" + text.substr(2, 2) + "/" + text.substr(4, 4);
    }
    return text.substr(0, 2) + "/" + text.substr(3, 2) + "/" + text.substr(6, 4);
}

WSFendraExpert::WSFendraExpert(WSFendraExpertDelegate* delegate) : delegate_(delegate) {}

WSFendraExpert::~WSFendraExpert() {
    cancel();
}

void WSFendraExpert::cancel() {
    if (connection_) {
        connection_->cancel();
        retireConnection();
    }
    logMeIn_ = false;
}

bool WSFendraExpert::httpRequest(const std::string& url) {
    Waiter waiter;
    waiter_ = &waiter;
    respJSON_.clear();
    start("GET", url, {}, true);
    // The connection's own time-out ends every request (a re-login and a replay at most); the
    // margin only guards against a loop that is never fed.
    const Seconds limit = kGetTimeout * 2 + kPostTimeout + Seconds(5);
    RunLoop& loop = RunLoop::current();
    loop.runUntil([&] { return waiter.done; },
                  loop.clock().now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(limit),
                  limit);
    waiter_ = nullptr;
    if (!waiter.done) {
        cancel();
        lastError_ = "Le serveur de dossiers n'a pas répondu à temps.";
        return false;
    }
    return waiter.ok;
}

void WSFendraExpert::httpRequestAsync(const std::string& url) {
    start("GET", url, {}, true);
}

void WSFendraExpert::postRequestAsync(const std::string& url, const std::string& body) {
    start("POST", url, body, true);
}

void WSFendraExpert::start(const std::string& method, const std::string& url, const std::string& body,
                           bool userRequest) {
    if (connection_) {
        connection_->cancel();
        retireConnection();
    }
    if (firstRequest_) {
        firstRequest_ = false;
        getRequest_ = method == "GET";
        tempUrl_ = url;
        tempBody_ = body;
    }
    if (userRequest) {
        // Each request of the caller may cost one re-login, never more.
        replayed_ = false;
        logMeIn_ = false;
        lastError_.clear();
    }
    host_ = hostOfUrl(url);
    if (auto problem = noNetwork(host_)) {
        fail(*problem);
        return;
    }
    response_ = {};
    received_.clear();
    setProgress(0);

    HttpConnection::Request request;
    request.method = method;
    request.url = url;
    request.timeout = method == "GET" ? kGetTimeout : kPostTimeout;
    request.maxAnswerBytes = maxAnswerBytes_;
    request.headers.emplace_back("Accept", "application/json");
    if (method == "POST") {
        request.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
        request.body = body;
    }
    if (auto cookies = cookieJar().cookiesFor(host_); !cookies.empty()) {
        request.headers.emplace_back("Cookie", HttpCookieJar::cookieHeader(cookies));
    }
    Log::write("Dossiers : " + method + " " + url);

    std::weak_ptr<char> alive = alive_;
    HttpConnection::Callbacks callbacks;
    callbacks.response = [this, alive](const HttpConnection::Response& response) {
        if (alive.lock()) {
            onResponse(response);
        }
    };
    callbacks.data = [this, alive](const std::string& bytes) {
        if (alive.lock()) {
            onData(bytes);
        }
    };
    callbacks.failure = [this, alive](const NetworkError& error) {
        if (alive.lock()) {
            retireConnection();
            fail(error.text());
        }
    };
    callbacks.finished = [this, alive] {
        if (alive.lock()) {
            onFinished();
        }
    };
    connection_ =
        std::make_unique<HttpConnection>(std::move(request), RunLoop::current(), std::move(callbacks));
}

void WSFendraExpert::onResponse(const HttpConnection::Response& response) {
    response_ = response;
    std::string error;
    if (!cookieJar().takeFromHeaders(host_, response.headers, &error)) {
        Log::write("Dossiers : la session n'a pas pu être gardée : " + error);
    }
}

void WSFendraExpert::onData(const std::string& bytes) {
    received_ += bytes;
    if (response_.expectedContentLength > 0) {
        setProgress(std::min(1.0, double(received_.size()) / double(response_.expectedContentLength)));
    }
}

void WSFendraExpert::setProgress(double fraction) {
    progress_ = fraction;
    if (delegate_ && !waiter_) {
        delegate_->progressBar(fraction);
    }
}

void WSFendraExpert::onFinished() {
    retireConnection();
    const std::string text = getJSONstring(received_);
    const bool sessionRefused =
        text.find("invalid token") != std::string::npos || text.find("Log On") != std::string::npos;
    if (sessionRefused) {
        if (replayed_ || logMeIn_) {
            Log::write("Dossiers : session refusée encore après une nouvelle connexion.");
            fail(kSessionExpiredMessage);
            return;
        }
        logInAgain();
        return;
    }
    if (response_.status < 200 || response_.status > 299) {
        fail("Le serveur de dossiers a répondu par une erreur (" + std::to_string(response_.status) + ").");
        return;
    }
    if (response_.mimeType == "text/html" ||
        StringExtension::lowercased(received_.substr(0, 200)).find("<html") != std::string::npos) {
        fail("Le serveur de dossiers a répondu par une page web au lieu de données.");
        return;
    }
    if (!logMeIn_) {
        deliver(received_);
        return;
    }
    logMeIn_ = false;
    const Json answer = Tools::parseJSON(received_).value_or(Json());
    if (!answer.is_object()) {
        fail("La reconnexion au serveur de dossiers a échoué : réponse illisible.");
        return;
    }
    const auto code = answer.find("code");
    if (code == answer.end() || !code->is_number() || code->get<double>() >= 100) {
        const auto description = answer.find("description");
        std::string reason = description != answer.end() && description->is_string()
                                 ? description->get<std::string>()
                                 : std::string("réponse sans code");
        fail("La reconnexion au serveur de dossiers a été refusée : " + reason);
        return;
    }
    replay();
}

void WSFendraExpert::logInAgain() {
    Log::write("Dossiers : session expirée, nouvelle connexion.");
    logMeIn_ = true;
    setProgress(0.5);
    const auto file = std::filesystem::path(Tools::documentsDirectory()) / kLogInBodyFile;
    std::string body = AtomicFile::read(file).value_or("");
    const HostCheck host = normalizeHost(UserDefaultManager::getStringForKey("host").value_or(""));
    if (host.host.empty()) {
        logMeIn_ = false;
        fail(host.error.empty() ? std::string(kSessionExpiredMessage) : host.error);
        return;
    }
    // A body without its password: the keyring has it.
    if (logInBodyMember(body, "userpwd") == std::optional<std::string>("") &&
        StoredPasswords::profileUsesKeyring()) {
        const auto found =
            StoredPasswords::read(passwordItem(host.host, logInBodyMember(body, "userlogin").value_or("")));
        if (found.status != SecretStore::Status::Found) {
            logMeIn_ = false;
            fail(passwordOutOfReachMessage());
            return;
        }
        body = logInBodyWithPassword(body, found.secret);
    }
    start("POST", logInUrl(host.host), body, false);
}

void WSFendraExpert::replay() {
    replayed_ = true;
    start(getRequest_ ? "GET" : "POST", tempUrl_, tempBody_, false);
}

void WSFendraExpert::deliver(const std::string& bytes) {
    setProgress(1);
    if (waiter_) {
        respJSON_ = getJSONstring(bytes);
        waiter_->ok = true;
        waiter_->done = true;
        return;
    }
    if (delegate_) {
        delegate_->getDataRequest(bytes);
    }
}

void WSFendraExpert::fail(const std::string& text) {
    lastError_ = text;
    logMeIn_ = false;
    Log::write("Dossiers : " + text);
    if (waiter_) {
        waiter_->ok = false;
        waiter_->done = true;
        return;
    }
    // The delegate may release this client: nothing of it is read afterwards.
    const bool showsAlert = showsAlerts_;
    if (delegate_) {
        delegate_->erreurRequest(text);
    }
    if (showsAlert) {
        UserInterface::shared().showAlert("", text);
    }
}

void WSFendraExpert::retireConnection() {
    if (!connection_) {
        return;
    }
    // Released on a later turn: this may run inside one of the connection's own callbacks.
    std::shared_ptr<HttpConnection> old(connection_.release());
    RunLoop::current().post([old] {});
}

} // namespace orvaneh
