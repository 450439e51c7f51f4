#include "Platform/media/SimulatedAudioPlayer.h"

#include "Platform/media/SimulatedMetering.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace orvaneh {

namespace {

MonotonicTime now() {
    return RunLoop::main().clock().now();
}

} // namespace

SimulatedAudioPlayer::SimulatedAudioPlayer(PcmWaveReader wave)
    : wave_(std::move(wave)), self_(std::make_shared<SimulatedAudioPlayer*>(this)),
      averagePowers_(static_cast<std::size_t>(wave_.channels()), SimulatedMetering::silence) {}

SimulatedAudioPlayer::~SimulatedAudioPlayer() {
    if (endTimer_) {
        endTimer_->invalidate();
    }
}

double SimulatedAudioPlayer::currentTime() const {
    if (!playing_ || position_ < 0 || position_ >= duration()) {
        return position_;
    }
    return std::min(position_ + Seconds(now() - since_).count(), duration());
}

void SimulatedAudioPlayer::setCurrentTime(double seconds) {
    position_ = seconds;
    if (playing_) {
        since_ = now();
        scheduleEnd();
    }
}

bool SimulatedAudioPlayer::play() {
    if (!playing_) {
        playing_ = true;
        since_ = now();
        scheduleEnd();
    }
    return true;
}

void SimulatedAudioPlayer::pause() {
    halt();
}

void SimulatedAudioPlayer::stop() {
    halt();
}

void SimulatedAudioPlayer::setVolume(float volume) {
    volume_ = std::clamp(volume, 0.0f, 1.0f);
}

void SimulatedAudioPlayer::halt() {
    if (!playing_) {
        return;
    }
    position_ = currentTime();
    playing_ = false;
    if (endTimer_) {
        endTimer_->invalidate();
        endTimer_.reset();
    }
}

void SimulatedAudioPlayer::scheduleEnd() {
    if (endTimer_) {
        endTimer_->invalidate();
    }
    // From outside the file, playing ends at once: on the next turn of the loop.
    auto remaining = position_ < 0 ? 0.0 : std::max(duration() - position_, 0.0);
    std::weak_ptr<SimulatedAudioPlayer*> self = self_;
    endTimer_ = RunLoop::main().scheduleTimer(Seconds(remaining), false, [self](Timer&) {
        if (auto player = self.lock()) {
            (*player)->finish();
        }
    });
}

void SimulatedAudioPlayer::finish() {
    playing_ = false;
    position_ = duration();
    endTimer_.reset();
    // A copy: the delegate may well destroy this player.
    auto delegate = delegate_;
    if (delegate) {
        delegate(true);
    }
}

void SimulatedAudioPlayer::setMeteringEnabled(bool enabled) {
    metering_ = enabled;
    if (!enabled) {
        std::fill(averagePowers_.begin(), averagePowers_.end(), SimulatedMetering::silence);
    }
}

void SimulatedAudioPlayer::updateMeters() {
    std::fill(averagePowers_.begin(), averagePowers_.end(), SimulatedMetering::silence);
    auto position = currentTime();
    if (!metering_ || !playing_ || position <= 0) {
        return;
    }
    auto frames = wave_.frameCount();
    auto end = std::min(static_cast<std::size_t>(std::llround(position * wave_.sampleRate())), frames);
    auto window = static_cast<std::size_t>(std::lround(wave_.sampleRate() * SimulatedMetering::window));
    auto begin = end - std::min(end, window);
    // Only the window is read: the player never holds the file.
    wave_.readFrames(begin, end - begin, window_);
    const auto channels = static_cast<std::size_t>(wave_.channels());
    const std::size_t read = window_.size() / channels;
    for (std::size_t channel = 0; channel < channels; ++channel) {
        double sumOfSquares = 0;
        for (std::size_t frame = 0; frame < read; ++frame) {
            double value = window_[frame * channels + channel];
            sumOfSquares += value * value;
        }
        averagePowers_[channel] = SimulatedMetering::averagePower(sumOfSquares, end - begin);
    }
}

float SimulatedAudioPlayer::averagePowerForChannel(int channel) const {
    return channel >= 0 && channel < wave_.channels() ? averagePowers_[static_cast<std::size_t>(channel)]
                                                      : SimulatedMetering::silence;
}

} // namespace orvaneh
