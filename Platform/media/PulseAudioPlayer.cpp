#include "Platform/media/PulseAudioPlayer.h"

#include "Platform/log/Log.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/PcmMetering.h"
#include "Platform/media/PulseContext.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>

namespace orvaneh {

namespace {

// What the server keeps ahead of the loudspeaker: short, so that pause and seeks answer at once.
constexpr pa_usec_t kBufferMicroseconds = 200 * 1000;
constexpr std::size_t kFramesPerWrite = 8 * 1024;

void onDrained(pa_stream* stream, int success, void* userdata);

} // namespace

// Touched with the mainloop's lock held (pulse's callbacks, or the main thread under
// PulseContext::Lock), except the volume.
struct PulseAudioPlayer::Feed {
    PulseContext* pulse = nullptr;
    PcmWaveReader wave;
    std::size_t next = 0; // the next frame to send
    std::atomic<float> volume{1};
    unsigned generation = 0;
    std::weak_ptr<PulseAudioPlayer*> owner;
    std::vector<std::int16_t> block;
    bool draining = false;
    bool ended = false;

    // Up to `bytes` of the file from `next`; the whole file sent, asks the server to play it out.
    void write(pa_stream* stream, std::size_t bytes) {
        const auto channels = static_cast<std::size_t>(wave.channels());
        const std::size_t frameBytes = channels * sizeof(std::int16_t);
        while (bytes >= frameBytes && next < wave.frameCount()) {
            const std::size_t frames =
                std::min({bytes / frameBytes, kFramesPerWrite, wave.frameCount() - next});
            wave.readFrames(next, frames, block);
            if (block.empty()) {
                Log::write("Lecture du fichier audio interrompue : erreur de lecture");
                next = wave.frameCount();
                break;
            }
            const float gain = volume;
            if (gain < 1) {
                for (auto& sample : block) {
                    sample = static_cast<std::int16_t>(std::lround(sample * gain));
                }
            }
            pa_stream_write(stream, block.data(), block.size() * sizeof(std::int16_t), nullptr, 0,
                            PA_SEEK_RELATIVE);
            next += block.size() / channels;
            bytes -= block.size() * sizeof(std::int16_t);
        }
        if (next >= wave.frameCount() && !draining) {
            draining = true;
            if (pa_operation* operation = pa_stream_drain(stream, onDrained, this)) {
                pa_operation_unref(operation);
            }
        }
    }

    void end(bool successfully, std::string reason) {
        if (ended) {
            return;
        }
        ended = true;
        RunLoop::main().post(
            [owner = owner, generation = generation, successfully, reason = std::move(reason)] {
                if (auto player = owner.lock()) {
                    (*player)->ended(generation, successfully, reason);
                }
            });
    }
};

namespace {

void onWrite(pa_stream* stream, std::size_t bytes, void* userdata) {
    static_cast<PulseAudioPlayer::Feed*>(userdata)->write(stream, bytes);
}

void onDrained(pa_stream* /*stream*/, int success, void* userdata) {
    // A failed drain is the stream failing: onState tells.
    if (success != 0) {
        static_cast<PulseAudioPlayer::Feed*>(userdata)->end(true, {});
    }
}

void onState(pa_stream* stream, void* userdata) {
    auto* feed = static_cast<PulseAudioPlayer::Feed*>(userdata);
    feed->pulse->signal();
    // The player clears the callbacks before it closes the stream: an end seen here is a loss.
    const auto state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        feed->end(false, pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    }
}

} // namespace

PulseAudioPlayer::PulseAudioPlayer(PcmWaveReader wave, std::string path, std::shared_ptr<PulseContext> pulse)
    : wave_(std::move(wave)), path_(std::move(path)), pulse_(std::move(pulse)),
      averagePowers_(static_cast<std::size_t>(wave_.channels()), PcmMetering::silence),
      self_(std::make_shared<PulseAudioPlayer*>(this)) {}

PulseAudioPlayer::~PulseAudioPlayer() {
    PulseContext::Lock lock(*pulse_);
    closeStream();
}

double PulseAudioPlayer::currentTime() const {
    if (!playing_ || stream_ == nullptr) {
        return position_;
    }
    PulseContext::Lock lock(*pulse_);
    pa_usec_t heard = 0;
    if (pa_stream_get_time(stream_, &heard) == 0) {
        lastTime_ = std::min(position_ + static_cast<double>(heard) / 1e6, duration());
    }
    return lastTime_;
}

void PulseAudioPlayer::setCurrentTime(double seconds) {
    if (playing_) {
        halt();
        position_ = seconds;
        play();
    } else {
        position_ = seconds;
    }
}

bool PulseAudioPlayer::play() {
    if (playing_) {
        return true;
    }
    const unsigned generation = ++generation_;
    if (position_ < 0 || position_ >= duration()) {
        // From outside the file, playing ends at once: on the next turn of the loop.
        playing_ = true;
        std::weak_ptr<PulseAudioPlayer*> owner = self_;
        RunLoop::main().post([owner, generation] {
            if (auto player = owner.lock()) {
                (*player)->ended(generation, true, {});
            }
        });
        return true;
    }
    if (!openStream()) {
        return false;
    }
    playing_ = true;
    lastTime_ = position_;
    return true;
}

bool PulseAudioPlayer::openStream() {
    PulseContext::Lock lock(*pulse_);
    std::string error;
    pa_context* context = pulse_->connected(&error);
    if (context == nullptr) {
        Log::write("La lecture ne peut pas démarrer : " + error);
        return false;
    }
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(wave_.sampleRate()),
                              static_cast<std::uint8_t>(wave_.channels())};
    pa_channel_map map;
    pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    stream_ = pa_stream_new(context, "Lecture", &spec, &map);
    if (stream_ == nullptr) {
        Log::write("La lecture ne peut pas démarrer : " + pulse_->lastError());
        return false;
    }
    feed_ = std::make_unique<Feed>();
    feed_->pulse = pulse_.get();
    feed_->wave = wave_;
    feed_->next = static_cast<std::size_t>(std::llround(position_ * wave_.sampleRate()));
    feed_->volume = volume_;
    feed_->generation = generation_;
    feed_->owner = self_;
    pa_stream_set_state_callback(stream_, onState, feed_.get());
    pa_stream_set_write_callback(stream_, onWrite, feed_.get());
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kBufferMicroseconds, &spec));
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    bool started = pa_stream_connect_playback(stream_, nullptr, &attributes, flags, nullptr, nullptr) == 0;
    started = started && pulse_->waitFor(
                             [this] {
                                 const auto state = pa_stream_get_state(stream_);
                                 return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                             },
                             PulseContext::kRequestTimeout);
    if (!started || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        Log::write("La lecture ne peut pas démarrer : sortie audio indisponible (" + pulse_->lastError() +
                   ")");
        closeStream();
        return false;
    }
    return true;
}

void PulseAudioPlayer::closeStream() {
    if (stream_ != nullptr) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        // Disconnecting cancels the pending drain: the feed is no longer reachable.
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    feed_.reset();
}

void PulseAudioPlayer::halt() {
    if (!playing_) {
        return;
    }
    position_ = currentTime();
    {
        PulseContext::Lock lock(*pulse_);
        closeStream();
    }
    playing_ = false;
    ++generation_; // what the closed stream posted is stale
}

void PulseAudioPlayer::pause() {
    halt();
}

void PulseAudioPlayer::stop() {
    halt();
}

void PulseAudioPlayer::setVolume(float volume) {
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    if (feed_) {
        feed_->volume = volume_;
    }
}

void PulseAudioPlayer::ended(unsigned generation, bool successfully, const std::string& reason) {
    if (!playing_ || generation != generation_) {
        return;
    }
    const double heard = currentTime();
    {
        PulseContext::Lock lock(*pulse_);
        closeStream();
    }
    playing_ = false;
    position_ = successfully ? duration() : heard;
    if (!successfully) {
        Log::write("Sortie audio perdue pendant la lecture de « " + path_ + " » (" + reason + ")");
        NotificationCenter::defaultCenter().post(
            MediaBackend::kDeviceLostNotification,
            Json{{"message", "La sortie audio n'est plus disponible : la lecture est arrêtée."},
                 {"path", path_}});
    }
    // A copy: the delegate may well destroy this player.
    auto delegate = delegate_;
    if (delegate) {
        delegate(successfully);
    }
}

void PulseAudioPlayer::setMeteringEnabled(bool enabled) {
    metering_ = enabled;
    if (!enabled) {
        std::fill(averagePowers_.begin(), averagePowers_.end(), PcmMetering::silence);
    }
}

void PulseAudioPlayer::updateMeters() {
    if (!metering_ || !playing_) {
        std::fill(averagePowers_.begin(), averagePowers_.end(), PcmMetering::silence);
        return;
    }
    PcmMetering::powersBefore(wave_, currentTime(), volume_, window_, averagePowers_);
}

float PulseAudioPlayer::averagePowerForChannel(int channel) const {
    return channel >= 0 && channel < wave_.channels() ? averagePowers_[static_cast<std::size_t>(channel)]
                                                      : PcmMetering::silence;
}

} // namespace orvaneh
