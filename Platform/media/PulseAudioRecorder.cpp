#include "Platform/media/PulseAudioRecorder.h"

#include "Platform/log/Log.h"
#include "Platform/media/InPlaceWaveWriter.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/PcmMetering.h"
#include "Platform/media/PulseContext.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"

#include <atomic>
#include <cmath>
#include <filesystem>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <unistd.h>

namespace orvaneh {

namespace {

// A block of about 1/20 s: short enough for lively meters, long enough to keep wake-ups rare.
constexpr pa_usec_t kBlockMicroseconds = 50 * 1000;

} // namespace

// The writer and the stream are touched with the mainloop's lock held (pulse's callbacks, or
// the main thread under PulseContext::Lock); the counters are read freely from the main thread.
struct PulseAudioRecorder::Take {
    PulseContext* pulse = nullptr;
    InPlaceWaveWriter writer;
    unsigned generation = 0;
    std::weak_ptr<PulseAudioRecorder*> owner;
    std::atomic<std::uint64_t> frames{0};
    std::atomic<float> power{PcmMetering::silence};
    bool failed = false;

    // Everything the stream holds, into the file.
    void read(pa_stream* stream) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (!failed && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            const std::size_t count = bytes / sizeof(std::int16_t);
            bool written = false;
            if (data == nullptr) {
                written = writer.appendSilence(count); // a gap the server could not fill
            } else {
                const auto* samples = static_cast<const std::int16_t*>(data);
                written = writer.append(samples, count);
                double sumOfSquares = 0;
                for (std::size_t i = 0; i < count; ++i) {
                    sumOfSquares += static_cast<double>(samples[i]) * samples[i];
                }
                power = PcmMetering::averagePower(sumOfSquares, count);
            }
            pa_stream_drop(stream);
            frames = writer.frames();
            if (!written) {
                fail(false, "écriture du fichier impossible");
            }
        }
    }

    // Keeps the file valid as it stands and tells the main run loop, once.
    void fail(bool deviceLost, std::string reason) {
        if (failed) {
            return;
        }
        failed = true;
        writer.refreshHeader();
        RunLoop::main().post(
            [owner = owner, generation = generation, deviceLost, reason = std::move(reason)] {
                if (auto recorder = owner.lock()) {
                    (*recorder)->takeFailed(generation, deviceLost, reason);
                }
            });
    }
};

namespace {

void onRead(pa_stream* stream, std::size_t /*bytes*/, void* userdata) {
    static_cast<PulseAudioRecorder::Take*>(userdata)->read(stream);
}

void onState(pa_stream* stream, void* userdata) {
    auto* take = static_cast<PulseAudioRecorder::Take*>(userdata);
    take->pulse->signal();
    // The recorder clears the callbacks before it closes the stream: an end seen here is a loss.
    const auto state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        take->fail(true, pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    }
}

} // namespace

PulseAudioRecorder::PulseAudioRecorder(std::string path, AudioRecorderSettings settings,
                                       std::shared_ptr<PulseContext> pulse)
    : path_(std::move(path)), settings_(std::move(settings)),
      sampleRate_(static_cast<int>(std::lround(settings_.sampleRate))), pulse_(std::move(pulse)),
      averagePower_(PcmMetering::silence), self_(std::make_shared<PulseAudioRecorder*>(this)) {}

PulseAudioRecorder::~PulseAudioRecorder() {
    stop();
}

bool PulseAudioRecorder::prepareToRecord() {
    auto directory = std::filesystem::path(path_).parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    std::error_code error;
    return std::filesystem::is_directory(directory, error) && ::access(directory.c_str(), W_OK) == 0;
}

bool PulseAudioRecorder::record() {
    if (recording_) {
        return true;
    }
    takeError_ = 0;
    PulseContext::Lock lock(*pulse_);
    std::string error;
    pa_context* context = pulse_->connected(&error);
    if (context == nullptr) {
        Log::write("L'enregistrement ne peut pas démarrer : " + error);
        return false;
    }
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(sampleRate_),
                              static_cast<std::uint8_t>(settings_.numberOfChannels)};
    pa_channel_map map;
    pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    stream_ = pa_stream_new(context, "Dictée", &spec, &map);
    if (stream_ == nullptr) {
        Log::write("L'enregistrement ne peut pas démarrer : " + pulse_->lastError());
        return false;
    }
    auto take = std::make_unique<Take>();
    take->pulse = pulse_.get();
    take->generation = ++generation_;
    take->owner = self_;
    if (!take->writer.create(path_, settings_.numberOfChannels, sampleRate_, 1.0, &error)) {
        takeError_ = take->writer.error();
        pa_stream_unref(stream_);
        stream_ = nullptr;
        Log::write("L'enregistrement ne peut pas démarrer : " + error);
        return false;
    }
    take_ = std::move(take);
    pa_stream_set_state_callback(stream_, onState, take_.get());
    pa_stream_set_read_callback(stream_, onRead, take_.get());
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kBlockMicroseconds, &spec));
    bool started = pa_stream_connect_record(stream_, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY) == 0;
    started = started && pulse_->waitFor(
                             [this] {
                                 const auto state = pa_stream_get_state(stream_);
                                 return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                             },
                             PulseContext::kRequestTimeout);
    if (!started || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        Log::write("L'enregistrement ne peut pas démarrer : entrée audio indisponible (" +
                   pulse_->lastError() + ")");
        closeStream();
        take_->writer.finish();
        take_.reset();
        return false;
    }
    recording_ = true;
    takeLength_ = 0;
    return true;
}

void PulseAudioRecorder::closeStream() {
    if (stream_ == nullptr) {
        return;
    }
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (take_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        take_->read(stream_); // what already reached us belongs to the take
    }
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulseAudioRecorder::endTake() {
    {
        PulseContext::Lock lock(*pulse_);
        closeStream();
    }
    // Pulse's thread no longer touches the take.
    std::string error;
    if (!take_->writer.finish(&error)) {
        Log::write("Enregistrement incomplet : " + error);
    }
    takeError_ = take_->writer.error();
    takeLength_ = static_cast<double>(take_->frames) / sampleRate_;
    take_.reset();
    recording_ = false;
    averagePower_ = PcmMetering::silence;
}

void PulseAudioRecorder::stop() {
    if (recording_) {
        endTake();
    }
}

void PulseAudioRecorder::takeFailed(unsigned generation, bool deviceLost, const std::string& reason) {
    if (!recording_ || generation != generation_) {
        return;
    }
    endTake();
    const std::string message =
        deviceLost ? "Le micro n'est plus disponible : l'enregistrement est arrêté. Ce qui a été dicté "
                     "jusqu'ici est conservé."
                   : "L'enregistrement est arrêté : le fichier ne peut plus être écrit. Ce qui a été dicté "
                     "jusqu'ici est conservé.";
    Log::write((deviceLost ? "Entrée audio perdue pendant l'enregistrement de « "
                           : "Écriture impossible pendant "
                             "l'enregistrement de « ") +
               path_ + " » (" + reason + ") : " + std::to_string(takeLength_) + " s conservées");
    NotificationCenter::defaultCenter().post(deviceLost ? MediaBackend::kDeviceLostNotification
                                                        : MediaBackend::kRecordingFailedNotification,
                                             Json{{"message", message}, {"path", path_}});
}

double PulseAudioRecorder::currentTime() const {
    return recording_ ? static_cast<double>(take_->frames) / sampleRate_ : takeLength_;
}

void PulseAudioRecorder::setMeteringEnabled(bool enabled) {
    metering_ = enabled;
    if (!enabled) {
        averagePower_ = PcmMetering::silence;
    }
}

void PulseAudioRecorder::updateMeters() {
    averagePower_ = metering_ && recording_ ? take_->power.load() : PcmMetering::silence;
}

float PulseAudioRecorder::averagePowerForChannel(int channel) const {
    return channel >= 0 && channel < settings_.numberOfChannels ? averagePower_ : PcmMetering::silence;
}

} // namespace orvaneh
