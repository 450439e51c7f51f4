#pragma once

#include <chrono>
#include <functional>
#include <string>

struct pa_context;
struct pa_threaded_mainloop;

namespace orvaneh {

// The link to a PulseAudio server: a pa_threaded_mainloop (pulse's own thread, where every
// stream callback runs) and a context on it, connected on demand and again after it was lost.
// Shared by the back-end, its session, recorders and players, which keep it alive.
//
// Everything but the constructor and destructor needs the mainloop's lock (Lock), taken on the
// main thread only: pulse's callbacks run with it held and must never take it.
class PulseContext {
public:
    // Holds the mainloop's lock for its life.
    class Lock {
    public:
        explicit Lock(PulseContext& context);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* mainloop_;
    };

    // `server`: a server string ("unix:/path"), or empty for libpulse's own choice (PULSE_SERVER,
    // then the user's server). Starts pulse's thread; connects only when asked.
    explicit PulseContext(std::string server);
    ~PulseContext();
    PulseContext(const PulseContext&) = delete;
    PulseContext& operator=(const PulseContext&) = delete;

    // The ready context, connecting first when there is none or the last one failed, waiting at
    // most kConnectTimeout: a missing server is an error, never a hang. Null with `error`
    // (French) otherwise. A server is never started for us.
    pa_context* connected(std::string* error = nullptr);

    // Waits, releasing the lock meanwhile, until `done` holds or `timeout` passes; returns
    // `done`'s last value. Callbacks that change what `done` reads call signal().
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Wakes waitFor (from pulse's thread).
    void signal();

    pa_threaded_mainloop* mainloop() const { return mainloop_; }
    // The French text of the current context's last error.
    std::string lastError() const;

    static constexpr std::chrono::milliseconds kConnectTimeout{3000};
    static constexpr std::chrono::milliseconds kRequestTimeout{2000};

private:
    void dropContext();

    std::string server_;
    pa_threaded_mainloop* mainloop_ = nullptr;
    bool running_ = false;
    pa_context* context_ = nullptr;
};

} // namespace orvaneh
