#pragma once

#include "Platform/network/NetworkError.h"
#include "Platform/network/NetworkLimits.h"
#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvaneh {

class HttpSession;
class RunLoop;

// One asynchronous HTTP(S) request, started by the constructor and run on a worker thread of
// its own. Redirections are not followed: a 3xx answer is a response like any other, and so
// are 4xx and 5xx answers (only the absence of an answer, or one past maxAnswerBytes, is a
// failure).
//
// Server certificates are always verified, host name included. The preference
// "TrustedCertificatesFile" (a PEM file path) adds certificate authorities to the system's.
//
// Callbacks arrive on `loop`, in this order: response once, data zero or more times, then
// finished, or failure at any point instead of what is left (failure may come after the
// response and some data). Create the object on any thread; cancel and destroy it on the
// loop's thread (from another thread, a callback already running may end after cancel()
// returns). The loop must outlive the object. Destroying it cancels the request.
class HttpConnection {
public:
    struct Request {
        std::string method = "GET";
        std::string url;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;       // bytes, sent as they are
        Seconds timeout{120};   // the whole exchange; zero: no limit
        Seconds stallLimit{60}; // no byte sent or received for this long while some should be: failure
        // Once the whole body is sent, how long the server may take to begin its answer.
        Seconds answerWait{120};
        // A longer answer fails ("trop volumineuse") instead of being held.
        std::size_t maxAnswerBytes = kMaxAnswerBytes;
        // Offered only when the server asks for them (401 with a challenge), never sent ahead.
        std::string challengeUser;
        std::string challengePassword;
        // Requests of one session reuse its open connection and TLS session.
        std::shared_ptr<HttpSession> session;
    };

    struct Response {
        long status = 0;
        std::string mimeType;                    // "application/json": no parameters, lower case
        std::int64_t expectedContentLength = -1; // -1 when the server declares none
        // Every header line of the answer as (lower-case name, value), in order.
        std::vector<std::pair<std::string, std::string>> headers;
    };

    struct Callbacks {
        std::function<void(const Response&)> response;
        std::function<void(const std::string& bytes)> data;
        std::function<void(const NetworkError&)> failure;
        std::function<void()> finished;
    };

    HttpConnection(Request request, RunLoop& loop, Callbacks callbacks);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Stops the request; no callback is delivered after it returns. Safe to call again or
    // from a callback.
    void cancel();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace orvaneh
