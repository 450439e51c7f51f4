#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orvaneh {

// The outline of a track for drawing its waveform: the largest |sample| of every hundredth of a
// second, as a byte (0 … 255 of full scale). Kept in a peak file beside the track
// ("dictee.wav" → "dictee.wav.peaks") whose header records the track's size and modification
// time: a file that does not match the track, or is short or damaged, is rebuilt, never
// trusted. Building reads the track block by block (flat memory, whatever its length) on a
// worker thread of this object; the answer comes back on the main run loop. Main run loop only,
// except the static functions, which any thread may call.
class TrackPeaks {
public:
    using Peaks = std::vector<std::uint8_t>;
    static constexpr int kPeaksPerSecond = 100;

    TrackPeaks();
    // Waits for the worker, which gives up the track it is reading at its next block.
    ~TrackPeaks();
    TrackPeaks(const TrackPeaks&) = delete;
    TrackPeaks& operator=(const TrackPeaks&) = delete;

    // Asks for the peaks of `track`; `ready` hears them on the main run loop (none when the
    // track is missing or unreadable). A later request replaces an earlier one not answered yet.
    void request(const std::filesystem::path& track, std::function<void(const Peaks&)> ready);

    static std::filesystem::path peakFileOf(const std::filesystem::path& track);
    // The peak file's contents when it matches the track as it is now; nothing otherwise.
    static std::optional<Peaks> readPeakFile(const std::filesystem::path& track);
    // The peaks read from the track; nothing when it is not a readable 16-bit PCM WAV file, or
    // when `giveUp` says so between blocks.
    static std::optional<Peaks> compute(const std::filesystem::path& track,
                                        const std::function<bool()>& giveUp = {});
    // The peak file's peaks when it matches, else computed and written to the peak file
    // (a write failure is logged; the peaks are still given).
    static std::optional<Peaks> load(const std::filesystem::path& track,
                                     const std::function<bool()>& giveUp = {});

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;

    static void work(const std::shared_ptr<Shared>& shared);
};

} // namespace orvaneh
