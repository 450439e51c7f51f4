#include "Platform/media/SimulatedAudioPlayer.h"

#include "Platform/media/PcmMetering.h"
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
      averagePowers_(static_cast<std::size_t>(wave_.channels()), PcmMetering::silence) {}

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
        std::fill(averagePowers_.begin(), averagePowers_.end(), PcmMetering::silence);
    }
}

void SimulatedAudioPlayer::updateMeters() {
    if (!metering_ || !playing_) {
        std::fill(averagePowers_.begin(), averagePowers_.end(), PcmMetering::silence);
        return;
    }
    PcmMetering::powersBefore(wave_, currentTime(), 1.0F, window_, averagePowers_);
}

float SimulatedAudioPlayer::averagePowerForChannel(int channel) const {
    return channel >= 0 && channel < wave_.channels() ? averagePowers_[static_cast<std::size_t>(channel)]
                                                      : PcmMetering::silence;
}

} // namespace orvaneh
