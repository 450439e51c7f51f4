#include "Classes/audio/TrackPeaks.h"

#include "Platform/files/AtomicFile.h"
#include "Platform/log/Log.h"
#include "Platform/media/PcmWaveReader.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

namespace orvaneh {

namespace {

constexpr std::array<char, 8> kMagic{'O', 'R', 'V', 'P', 'E', 'A', 'K', '1'};
// Magic, track size, track modification time, peaks per second, peak count.
constexpr std::size_t kHeaderSize = 8 + 8 + 8 + 4 + 4;
// Peaks read per block: ten seconds of audio at a time.
constexpr std::size_t kPeaksPerBlock = 1000;

struct Stamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

std::optional<Stamp> stampOf(const std::filesystem::path& track) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(track, error)) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(track, error);
    if (error) {
        return std::nullopt;
    }
    const auto modified = std::filesystem::last_write_time(track, error);
    if (error) {
        return std::nullopt;
    }
    return Stamp{size, static_cast<std::int64_t>(modified.time_since_epoch().count())};
}

void putLe(std::string& bytes, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::uint64_t getLe(const std::string& bytes, std::size_t at, int width) {
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        value |=
            static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]))
            << (8 * i);
    }
    return value;
}

} // namespace

struct TrackPeaks::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    // The request waiting for the worker, if any, and the number of the latest one.
    std::optional<std::filesystem::path> pending;
    std::uint64_t generation = 0;
    // Main run loop only.
    std::function<void(const Peaks&)> ready;
};

TrackPeaks::TrackPeaks() : shared_(std::make_shared<Shared>()) {
    worker_ = std::thread([shared = shared_] { work(shared); });
}

TrackPeaks::~TrackPeaks() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->wake.notify_all();
    worker_.join();
    // An answer already posted finds the callback gone.
    shared_->ready = nullptr;
}

void TrackPeaks::request(const std::filesystem::path& track, std::function<void(const Peaks&)> ready) {
    shared_->ready = std::move(ready);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->pending = track;
        ++shared_->generation;
    }
    shared_->wake.notify_all();
}

void TrackPeaks::work(const std::shared_ptr<Shared>& shared) {
    for (;;) {
        std::filesystem::path track;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return shared->stopping || shared->pending; });
            if (shared->stopping) {
                return;
            }
            track = std::move(*shared->pending);
            shared->pending.reset();
            generation = shared->generation;
        }
        // A newer request or the end of the object makes this reading pointless.
        const auto giveUp = [&] {
            std::lock_guard lock(shared->mutex);
            return shared->stopping || shared->generation != generation;
        };
        auto peaks = load(track, giveUp);
        if (giveUp()) {
            continue;
        }
        RunLoop::main().post([weak = std::weak_ptr<Shared>(shared), generation, peaks = std::move(peaks)] {
            const auto alive = weak.lock();
            if (!alive || !alive->ready) {
                return;
            }
            {
                std::lock_guard lock(alive->mutex);
                if (alive->generation != generation) {
                    return;
                }
            }
            alive->ready(peaks.value_or(Peaks()));
        });
    }
}

std::filesystem::path TrackPeaks::peakFileOf(const std::filesystem::path& track) {
    std::filesystem::path file = track;
    file += ".peaks";
    return file;
}

std::optional<TrackPeaks::Peaks> TrackPeaks::readPeakFile(const std::filesystem::path& track) {
    const auto stamp = stampOf(track);
    if (!stamp) {
        return std::nullopt;
    }
    const auto bytes = AtomicFile::read(peakFileOf(track));
    if (!bytes || bytes->size() < kHeaderSize ||
        std::memcmp(bytes->data(), kMagic.data(), kMagic.size()) != 0) {
        return std::nullopt;
    }
    const std::uint64_t size = getLe(*bytes, 8, 8);
    const auto modified = static_cast<std::int64_t>(getLe(*bytes, 16, 8));
    const std::uint64_t perSecond = getLe(*bytes, 24, 4);
    const std::uint64_t count = getLe(*bytes, 28, 4);
    if (size != stamp->size || modified != stamp->modified || perSecond != kPeaksPerSecond ||
        count != bytes->size() - kHeaderSize) {
        return std::nullopt;
    }
    return Peaks(bytes->begin() + static_cast<std::ptrdiff_t>(kHeaderSize), bytes->end());
}

std::optional<TrackPeaks::Peaks> TrackPeaks::compute(const std::filesystem::path& track,
                                                     const std::function<bool()>& giveUp) {
    const auto reader = PcmWaveReader::open(track);
    if (!reader) {
        return std::nullopt;
    }
    const std::size_t framesPerPeak =
        std::max<std::size_t>(1, static_cast<std::size_t>(reader->sampleRate() / kPeaksPerSecond));
    const std::size_t channels = static_cast<std::size_t>(std::max(1, reader->channels()));
    const std::size_t total = reader->frameCount();
    Peaks peaks;
    peaks.reserve((total + framesPerPeak - 1) / framesPerPeak);
    std::vector<std::int16_t> samples;
    for (std::size_t first = 0; first < total; first += framesPerPeak * kPeaksPerBlock) {
        if (giveUp && giveUp()) {
            return std::nullopt;
        }
        reader->readFrames(first, framesPerPeak * kPeaksPerBlock, samples);
        const std::size_t frames = samples.size() / channels;
        if (frames == 0) {
            break; // a read error: the peaks of what could be read
        }
        for (std::size_t start = 0; start < frames; start += framesPerPeak) {
            const std::size_t end = std::min(frames, start + framesPerPeak);
            int largest = 0;
            for (std::size_t i = start * channels; i < end * channels; ++i) {
                largest = std::max(largest, std::abs(static_cast<int>(samples[i])));
            }
            // 32768 / 128 would be 256: full scale is the largest byte.
            peaks.push_back(static_cast<std::uint8_t>(std::min(255, largest / 128)));
        }
    }
    return peaks;
}

std::optional<TrackPeaks::Peaks> TrackPeaks::load(const std::filesystem::path& track,
                                                  const std::function<bool()>& giveUp) {
    if (auto stored = readPeakFile(track)) {
        return stored;
    }
    // Taken before reading: a track changed meanwhile no longer matches the file written.
    const auto stamp = stampOf(track);
    auto peaks = compute(track, giveUp);
    if (!peaks || !stamp) {
        return peaks;
    }
    std::string bytes(kMagic.begin(), kMagic.end());
    putLe(bytes, stamp->size, 8);
    putLe(bytes, static_cast<std::uint64_t>(stamp->modified), 8);
    putLe(bytes, kPeaksPerSecond, 4);
    putLe(bytes, peaks->size(), 4);
    bytes.append(peaks->begin(), peaks->end());
    std::string error;
    if (!AtomicFile::write(peakFileOf(track), bytes,
                           std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, &error,
                           AtomicFile::Flush::Cached)) {
        Log::write("Aperçu de la piste non enregistré : " + error);
    }
    return peaks;
}

} // namespace orvaneh
