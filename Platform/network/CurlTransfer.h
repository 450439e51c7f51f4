#pragma once

#include "Platform/network/NetworkError.h"
#include "Platform/network/NetworkLimits.h"
#include "Platform/runloop/Clock.h"

#include <chrono>
#include <curl/curl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace orvaneh {

class RunLoop;

// Internal to the network layer: one libcurl easy handle run to its end on its own detached
// thread, with deliveries to a run loop that stop for good at cancel().
//
// The connection object keeps it inside a shared state that the worker thread also holds,
// so the caller may drop the connection at any moment. The run loop must outlive the
// connection object (or its cancel()): nothing is posted after cancel() returns, and the
// worker never touches the loop otherwise.
class CurlTransfer {
public:
    // libcurl's process-wide set-up, before any other of its calls (thread-safe, once).
    static void initialiseCurlOnce();
    explicit CurlTransfer(RunLoop& loop);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* handle() const { return easy_; }

    struct Limits {
        Seconds total{0};       // the whole transfer; zero: none
        Seconds stall{60};      // nothing moves while bytes should (connecting included)
        Seconds answerWait{60}; // once all is sent, the wait for the answer's first byte
        std::size_t maxAnswerBytes = kMaxAnswerBytes;
    };
    // Where the system's own certificate authorities live, kept beside the trusted file.
    static constexpr const char* kSystemCertificateDirectory = "/etc/ssl/certs";
    // Server certificates verified, host name included, against the system's authorities and
    // those of the preference "TrustedCertificatesFile" (a PEM file path), read now.
    void verifyServerCertificates();

    // No signals. The stall limit applies while bytes should be moving: connecting, sending,
    // receiving. Between the last byte sent and the first byte of the answer the server may
    // think for `answerWait`.
    void setLimits(const Limits& limits);

    // On the worker, for each block of the answer: false once the answer went past
    // maxAnswerBytes (the caller then stops the transfer).
    bool acceptAnswerBytes(std::size_t count);
    // On the worker: the answer began (an HTTP status line, before any body byte).
    void answerStarted() { answerStarted_ = true; }
    // On the worker, after perform(): the failure when one of the limits above ended it.
    std::optional<NetworkError> limitFailure() const;

    // Runs `body` on a new detached thread that holds `keepAlive` (the state that owns this
    // object) until `body` returns. False when no thread could be started.
    bool start(std::shared_ptr<void> keepAlive, std::function<void()> body);

    // On the worker: runs the transfer until it ends or cancel() is called (then
    // CURLE_ABORTED_BY_CALLBACK).
    CURLcode perform();
    // The server's last reply code (FTP reply, HTTP status), 0 when none.
    long replyCode() const;

    // From the worker: queues `task` on the loop unless cancel() came first. `task` must keep
    // this object alive (capture the owning state).
    void post(std::function<void()> task);
    // On the loop: a copy of `callback` to invoke, or an empty one after cancel(). Callers
    // invoke the copy, so a callback may drop the connection that delivers it.
    template <typename F> F callback(const F& callback) const {
        std::lock_guard lock(mutex_);
        return cancelled_ ? F{} : callback;
    }
    // Runs `change` under the lock that callback() takes (to clear the callbacks).
    void locked(const std::function<void()>& change);

    // Any thread. No delivery happens after it returns when called on the loop's thread.
    void cancel();
    bool isCancelled() const;

private:
    RunLoop* loop_;
    CURL* easy_;
    CURLM* multi_ = nullptr; // set while perform() runs, for cancel() to wake it
    mutable std::mutex mutex_;
    bool cancelled_ = false;

    // Worker only.
    using SteadyTime = std::chrono::steady_clock::time_point;
    Limits limits_;
    bool answerStarted_ = false;
    std::size_t answerBytes_ = 0;
    bool tooLarge_ = false;
    bool stalled_ = false;
    curl_off_t lastSent_ = -1;
    curl_off_t lastReceived_ = -1;
    SteadyTime lastMove_{};
    std::optional<SteadyTime> awaitingSince_;

    static int progress(void* user, curl_off_t receiveTotal, curl_off_t received, curl_off_t sendTotal,
                        curl_off_t sent);
};

} // namespace orvaneh
