#pragma once

#include "Platform/runloop/Clock.h"

#include <curl/curl.h>
#include <functional>
#include <memory>
#include <mutex>

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
    explicit CurlTransfer(RunLoop& loop);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* handle() const { return easy_; }

    // No signals; fails when nothing moves for `stall` (also while connecting) or when the
    // whole transfer exceeds `total` (zero: no total limit).
    void setLimits(Seconds total, Seconds stall);

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
};

} // namespace orvaneh
