#pragma once

#include "Classes/casefile/WSFendraExpertDelegate.h"
#include "Platform/network/HttpConnection.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

// The client of the practice-management server's JSON API (HTTPS only, certificates verified;
// "TrustedCertificatesFile" adds authorities). The server's session is a cookie, kept per host
// in the profile so that later clients and later processes present it.
//
// When an answer says the session is gone ("invalid token", or its "Log On" page), the client
// logs in again once with the body of the last successful log-in (the file "JSON.txt" of the
// documents directory; its password is the keyring's when the file's is empty, see
// StoredPasswords) and replays the first request made through this object: screens use
// one object per request, so that request is the current one. A second refusal after the
// replay ends the request with an error instead of looping.
//
// Answers are capped at maxAnswerBytes; an HTML page, a non-2xx status or a refused re-login
// is an error in French, never data. Main run loop only (callbacks arrive on the loop that
// made the request).
class WSFendraExpert {
public:
    static constexpr const char* kDatabasesPath = "/FendraWebMvcApp/Login/Databases";
    static constexpr const char* kLogInPath = "/FendraWebMvcApp/Login/LogMeIn";
    static constexpr const char* kRecentPath = "/FendraWebMvcApp/Dossier/R%C3%A9cents";
    static constexpr const char* kSearchPath = "/FendraWebMvcApp/Dossier/Rechercher?value=";
    // The last successful log-in's body, in the documents directory (owner-only: it holds the
    // password).
    static constexpr const char* kLogInBodyFile = "JSON.txt";
    // Where the server's cookies are kept, in the configuration directory.
    static constexpr const char* kCookieFile = "cookies-dossiers.json";
    static constexpr std::size_t kDefaultMaxAnswerBytes = std::size_t(8) << 20;
    static constexpr const char* kSessionExpiredMessage =
        "La session du serveur de dossiers a expiré ; reconnectez-vous.";

    // The host as the user may type or paste it: "host", "host:port", "https://host/" (scheme
    // and trailing path removed). "http://" is refused: the server is reached over HTTPS only.
    struct HostCheck {
        std::string host;  // empty when refused or empty
        std::string error; // French reason when refused
    };
    static HostCheck normalizeHost(const std::string& typed);
    // The endpoints on a host (as normalizeHost gives it).
    static std::string databasesUrl(const std::string& host);
    static std::string logInUrl(const std::string& host);
    static std::string recentUrl(const std::string& host);
    static std::string searchUrl(const std::string& host, const std::string& searchText);
    // The keyring's item of the password of `login` on `host` (as typed or normalised).
    static std::string passwordItem(const std::string& host, const std::string& login);
    // Said when the re-login's password is in the keyring and this session cannot reach it.
    static std::string passwordOutOfReachMessage();
    // A text member of a log-in body ("userlogin", "userpwd"); nothing when the body is not a
    // JSON object or the member not a text.
    static std::optional<std::string> logInBodyMember(const std::string& body, const char* key);
    // The body with its password replaced (emptied while the keyring keeps it).
    static std::string logInBodyWithPassword(const std::string& body, const std::string& password);

    // The answer's unwrapping: the case routes answer a JSON document written as a JSON
    // string. Text that is not UTF-8 gives "".
    static std::string getJSONstring(const std::string& bytes);
    // UTF-8 percent-escapes of everything but letters, digits and "-._~".
    static std::string encodeToPercentEscapeString(const std::string& text);
    // "ddMMyyyy" or "dd?MM?yyyy..." as "dd/MM/yyyy"; "" stays ""; any other text is shown as it is.
    static std::string formatDate(const std::string& text);

    explicit WSFendraExpert(WSFendraExpertDelegate* delegate = nullptr);
    ~WSFendraExpert();
    WSFendraExpert(const WSFendraExpert&) = delete;
    WSFendraExpert& operator=(const WSFendraExpert&) = delete;

    void setDelegate(WSFendraExpertDelegate* delegate) { delegate_ = delegate; }
    std::size_t maxAnswerBytes() const { return maxAnswerBytes_; }
    void setMaxAnswerBytes(std::size_t bytes) { maxAnswerBytes_ = bytes; }
    // Whether errors are also shown as alerts (the screens' way); the command line turns it off.
    void setShowsAlerts(bool shows) { showsAlerts_ = shows; }

    // Synchronous GET: runs the current run loop until the answer. True when there is one; its
    // unwrapped text is then in s_RespJSON(), else lastError() says why.
    bool httpRequest(const std::string& url);
    const std::string& s_RespJSON() const { return respJSON_; }
    // Asynchronous GET (40 s) and POST of a JSON body (120 s); the delegate hears the outcome.
    void httpRequestAsync(const std::string& url);
    void postRequestAsync(const std::string& url, const std::string& body);
    // Stops the request in flight; the delegate hears nothing more.
    void cancel();

    bool busy() const { return static_cast<bool>(connection_); }
    double progress() const { return progress_; }
    const std::string& lastError() const { return lastError_; }
    // True while the re-login is on its way.
    bool vb_LogMeIn() const { return logMeIn_; }

private:
    WSFendraExpertDelegate* delegate_;
    std::size_t maxAnswerBytes_ = kDefaultMaxAnswerBytes;
    bool showsAlerts_ = true;

    // The first request of this object, replayed after a re-login.
    bool firstRequest_ = true;
    bool getRequest_ = true;
    std::string tempUrl_;
    std::string tempBody_;
    bool logMeIn_ = false;
    bool replayed_ = false;

    std::unique_ptr<HttpConnection> connection_;
    std::string host_;
    HttpConnection::Response response_;
    std::string received_;
    double progress_ = 0;
    std::string lastError_;
    std::string respJSON_;
    // Set by the synchronous form while it waits.
    struct Waiter;
    Waiter* waiter_ = nullptr;
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    void start(const std::string& method, const std::string& url, const std::string& body, bool userRequest);
    void onResponse(const HttpConnection::Response& response);
    void onData(const std::string& bytes);
    void onFinished();
    void fail(const std::string& text);
    void deliver(const std::string& bytes);
    void logInAgain();
    void replay();
    void retireConnection();
    void setProgress(double fraction);
};

} // namespace orvaneh
