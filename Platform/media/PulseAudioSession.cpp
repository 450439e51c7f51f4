#include "Platform/media/PulseAudioSession.h"

#include "Platform/log/Log.h"
#include "Platform/media/PulseContext.h"

#include <pulse/introspect.h>
#include <pulse/operation.h>

namespace orvaneh {

namespace {

struct SourceCount {
    PulseContext* pulse = nullptr;
    int microphones = 0;
    bool done = false;
};

void onSource(pa_context* /*context*/, const pa_source_info* source, int last, void* userdata) {
    auto* count = static_cast<SourceCount*>(userdata);
    if (last != 0) {
        count->done = true;
        count->pulse->signal();
    } else if (source != nullptr && source->monitor_of_sink == PA_INVALID_INDEX) {
        ++count->microphones;
    }
}

} // namespace

PulseAudioSession::PulseAudioSession(std::shared_ptr<PulseContext> pulse) : pulse_(std::move(pulse)) {}

AudioSession::RecordPermission PulseAudioSession::recordPermission() const {
    PulseContext::Lock lock(*pulse_);
    std::string error;
    pa_context* context = pulse_->connected(&error);
    if (context == nullptr) {
        Log::write("Pas de micro : " + error);
        return RecordPermission::Denied;
    }
    SourceCount count{pulse_.get()};
    pa_operation* operation = pa_context_get_source_info_list(context, onSource, &count);
    if (operation == nullptr) {
        return RecordPermission::Denied;
    }
    pulse_->waitFor([&count] { return count.done; }, PulseContext::kRequestTimeout);
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_operation_cancel(operation); // `count` is about to go
    }
    pa_operation_unref(operation);
    if (count.done && count.microphones == 0) {
        Log::write("Pas de micro : le serveur audio n'a aucune entrée");
    }
    return count.done && count.microphones > 0 ? RecordPermission::Granted : RecordPermission::Denied;
}

void PulseAudioSession::requestRecordPermission(std::function<void(bool granted)> response) {
    const bool granted = recordPermission() == RecordPermission::Granted;
    if (response) {
        response(granted);
    }
}

bool PulseAudioSession::setCategory(Category category) {
    category_ = category;
    return true;
}

bool PulseAudioSession::setActive(bool active) {
    active_ = active;
    return true;
}

bool PulseAudioSession::overrideOutputAudioPortToSpeaker(std::string& /*error*/) {
    return true;
}

} // namespace orvaneh
