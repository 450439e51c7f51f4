#pragma once

#include <memory>

namespace orvaneh {

// What successive requests to one server may share: the open connection (kept alive between
// requests, so one TLS handshake serves them all), the TLS session and the name lookups.
// Requests that carry the same session reuse them; one session may serve requests on several
// threads, one after the other or at once. Held by shared_ptr: each request keeps its session.
class HttpSession {
public:
    HttpSession();
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // libcurl's share handle (a CURLSH*), for HttpConnection.
    void* shareHandle() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace orvaneh
