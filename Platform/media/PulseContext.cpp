#include "Platform/media/PulseContext.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/thread-mainloop.h>

namespace orvaneh {

namespace {

void onContextState(pa_context* /*context*/, void* userdata) {
    static_cast<PulseContext*>(userdata)->signal();
}

struct Deadline {
    PulseContext* owner;
    bool expired = false;
};

void onDeadline(pa_mainloop_api* /*api*/, pa_time_event* /*event*/, const struct timeval* /*when*/,
                void* userdata) {
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->expired = true;
    deadline->owner->signal();
}

bool settled(pa_context_state_t state) {
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

} // namespace

PulseContext::Lock::Lock(PulseContext& context) : mainloop_(context.mainloop_) {
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_lock(mainloop_);
    }
}

PulseContext::Lock::~Lock() {
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_unlock(mainloop_);
    }
}

PulseContext::PulseContext(std::string server) : server_(std::move(server)) {
    mainloop_ = pa_threaded_mainloop_new();
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_set_name(mainloop_, "orvaneh-pulse");
        running_ = pa_threaded_mainloop_start(mainloop_) == 0;
    }
}

PulseContext::~PulseContext() {
    if (mainloop_ == nullptr) {
        return;
    }
    {
        Lock lock(*this);
        dropContext();
    }
    if (running_) {
        pa_threaded_mainloop_stop(mainloop_);
    }
    pa_threaded_mainloop_free(mainloop_);
}

void PulseContext::dropContext() {
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        // Streams still open on it hold their own reference.
        pa_context_unref(context_);
        context_ = nullptr;
    }
}

pa_context* PulseContext::connected(std::string* error) {
    auto fail = [&](const std::string& why) -> pa_context* {
        if (error != nullptr) {
            *error = "Serveur audio injoignable : " + why;
        }
        dropContext();
        return nullptr;
    };
    if (!running_) {
        return fail("la boucle audio n'a pas pu démarrer");
    }
    if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        return context_;
    }
    dropContext();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), "Orvaneh");
    if (context_ == nullptr) {
        return fail("contexte impossible à créer");
    }
    pa_context_set_state_callback(context_, onContextState, this);
    if (pa_context_connect(context_, server_.empty() ? nullptr : server_.c_str(), PA_CONTEXT_NOAUTOSPAWN,
                           nullptr) < 0) {
        return fail(lastError());
    }
    waitFor([this] { return settled(pa_context_get_state(context_)); }, kConnectTimeout);
    const auto state = pa_context_get_state(context_);
    if (state != PA_CONTEXT_READY) {
        return fail(PA_CONTEXT_IS_GOOD(state) ? "pas de réponse à temps" : lastError());
    }
    return context_;
}

bool PulseContext::waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    if (done()) {
        return true;
    }
    if (context_ == nullptr) {
        return false;
    }
    Deadline deadline{this};
    const auto micros =
        static_cast<pa_usec_t>(std::chrono::duration_cast<std::chrono::microseconds>(timeout).count());
    pa_time_event* event = pa_context_rttime_new(context_, pa_rtclock_now() + micros, onDeadline, &deadline);
    if (event == nullptr) {
        return done();
    }
    while (!done() && !deadline.expired) {
        pa_threaded_mainloop_wait(mainloop_);
    }
    // Held again here: the event cannot be firing.
    pa_threaded_mainloop_get_api(mainloop_)->time_free(event);
    return done();
}

void PulseContext::signal() {
    pa_threaded_mainloop_signal(mainloop_, 0);
}

std::string PulseContext::lastError() const {
    return context_ != nullptr ? pa_strerror(pa_context_errno(context_)) : "pas de connexion";
}

} // namespace orvaneh
