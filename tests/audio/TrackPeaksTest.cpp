// The waveform's peak file: the peaks of known tracks (mono, stereo, other rates, tracks longer
// than one block of reading), a peak file trusted only while it matches its track, and the
// worker's answers on the main run loop.
#include "Classes/audio/TrackPeaks.h"

#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace orvaneh {
namespace {

using Peaks = TrackPeaks::Peaks;
using test::Samples;
using test::operator+;

// The expected peaks, computed independently: largest |sample| of each group of frames / 128.
Peaks expectedPeaks(const Samples& samples, std::size_t framesPerPeak, std::size_t channels) {
    Peaks peaks;
    const std::size_t step = framesPerPeak * channels;
    for (std::size_t start = 0; start < samples.size(); start += step) {
        int largest = 0;
        for (std::size_t i = start; i < std::min(samples.size(), start + step); ++i) {
            largest = std::max(largest,
                               samples[i] < 0 ? -static_cast<int>(samples[i]) : static_cast<int>(samples[i]));
        }
        peaks.push_back(static_cast<std::uint8_t>(std::min(255, largest / 128)));
    }
    return peaks;
}

// Samples whose groups of `group` all have different peaks, signs alternating.
Samples varied(std::size_t count, std::size_t group) {
    Samples samples(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const int level = static_cast<int>(((i / group) * 997) % 32000);
        samples[i] =
            static_cast<std::int16_t>(i % 2 ? -level * static_cast<int>(i % group) / static_cast<int>(group)
                                            : level * static_cast<int>(i % group) / static_cast<int>(group));
    }
    return samples;
}

class TrackPeaksTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    std::filesystem::path track = directory.path() / "dictee.wav";

    void write(const test::Wave& wave) { test::writeBytes(track, wave.bytes()); }
};

TEST_F(TrackPeaksTest, PeaksOfKnownTracks) {
    struct Case {
        const char* name;
        test::Wave wave;
        std::size_t framesPerPeak;
    };
    Samples edges = Samples(160, 1000) + Samples(160, 0) + Samples(50, 0);
    edges[200] = -32768; // full scale, negative
    edges[365] = 12800;  // in the last, partial hundredth
    const Samples stereo = varied(2 * 441 * 30 + 7, 441);
    const Case cases[] = {
        {"bords", {.samples = edges}, 160},
        {"stéréo 44,1 kHz", {.samples = stereo, .rate = 44100, .channels = 2}, 441},
        {"8 kHz", {.samples = varied(8000 * 3, 80), .rate = 8000}, 80},
        // Longer than a block of reading: boundaries must not shift or drop peaks.
        {"25 s", {.samples = varied(16000 * 25 + 33, 160)}, 160},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        write(each.wave);
        const auto peaks = TrackPeaks::compute(track);
        ASSERT_TRUE(peaks);
        EXPECT_EQ(*peaks, expectedPeaks(each.wave.samples, each.framesPerPeak, each.wave.channels));
    }
    write({.samples = edges});
    EXPECT_EQ(*TrackPeaks::compute(track), (Peaks{7, 255, 100}));

    // Other chunks before the audio are skipped; a file that is no PCM WAV has no peaks.
    write({.samples = edges, .beforeData = {test::listMentioningData}});
    EXPECT_EQ(*TrackPeaks::compute(track), (Peaks{7, 255, 100}));
    test::writeBytes(track, "pas un fichier audio");
    EXPECT_FALSE(TrackPeaks::load(track));
    EXPECT_FALSE(TrackPeaks::load(directory.path() / "absent.wav"));
    EXPECT_FALSE(std::filesystem::exists(TrackPeaks::peakFileOf(directory.path() / "absent.wav")));
}

TEST_F(TrackPeaksTest, PeakFileIsTrustedOnlyWhileItMatchesItsTrack) {
    const Samples first = varied(16000 * 2, 160);
    write({.samples = first});
    const Peaks firstPeaks = expectedPeaks(first, 160, 1);
    EXPECT_FALSE(TrackPeaks::readPeakFile(track));
    EXPECT_EQ(TrackPeaks::load(track), firstPeaks);
    EXPECT_EQ(TrackPeaks::readPeakFile(track), firstPeaks) << "written beside the track";

    // While it matches, the file is what is read (a marked peak shows it was not recomputed).
    std::string stored = test::readBytes(TrackPeaks::peakFileOf(track));
    stored.back() = '\x01';
    test::writeBytes(TrackPeaks::peakFileOf(track), stored);
    EXPECT_EQ(TrackPeaks::load(track)->back(), 1);

    // A take or a cut changes the track: its size, or at least its modification time, each
    // enough on its own.
    const auto firstTime = std::filesystem::last_write_time(track);
    const Samples longer = first + varied(1600, 160);
    write({.samples = longer});
    std::filesystem::last_write_time(track, firstTime);
    EXPECT_FALSE(TrackPeaks::readPeakFile(track));
    EXPECT_EQ(TrackPeaks::load(track), expectedPeaks(longer, 160, 1));

    const Samples sameSize = varied(longer.size(), 80);
    write({.samples = sameSize});
    std::filesystem::last_write_time(track,
                                     std::filesystem::last_write_time(track) + std::chrono::seconds(5));
    EXPECT_EQ(TrackPeaks::load(track), expectedPeaks(sameSize, 160, 1));
    EXPECT_EQ(TrackPeaks::readPeakFile(track), expectedPeaks(sameSize, 160, 1)) << "rewritten";
}

TEST_F(TrackPeaksTest, DamagedPeakFileIsRebuiltNotTrusted) {
    const Samples audio = varied(16000, 160);
    write({.samples = audio});
    const Peaks right = expectedPeaks(audio, 160, 1);
    ASSERT_EQ(TrackPeaks::load(track), right);
    const std::string good = test::readBytes(TrackPeaks::peakFileOf(track));

    std::string wrongMagic = good;
    wrongMagic[0] = 'X';
    std::string wrongRate = good;
    wrongRate[24] = 50;
    std::string extraByte = good + '\x07';
    const std::pair<const char*, std::string> damaged[] = {
        {"vide", ""},
        {"en-tête coupé", good.substr(0, 20)},
        {"pics coupés", good.substr(0, good.size() - 10)},
        {"octet de trop", extraByte},
        {"signature", wrongMagic},
        {"autre cadence", wrongRate},
    };
    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        test::writeBytes(TrackPeaks::peakFileOf(track), bytes);
        EXPECT_FALSE(TrackPeaks::readPeakFile(track));
        EXPECT_EQ(TrackPeaks::load(track), right);
        EXPECT_EQ(test::readBytes(TrackPeaks::peakFileOf(track)), good);
    }
}

TEST_F(TrackPeaksTest, AnswersComeOnTheMainLoopTheLatestRequestWinning) {
    test::TemporaryDirectory other;
    const Samples audio = varied(16000 * 3, 160);
    write({.samples = audio});
    test::writeBytes(other.path() / "instruction.wav", test::Wave{.samples = Samples(1600, 640)}.bytes());

    auto peaks = std::make_unique<TrackPeaks>();
    std::vector<Peaks> answers;
    const auto mainThread = std::this_thread::get_id();
    bool onMainThread = true;
    const auto keep = [&](const Peaks& answer) {
        onMainThread = onMainThread && std::this_thread::get_id() == mainThread;
        answers.push_back(answer);
    };
    peaks->request(track, keep);
    peaks->request(other.path() / "instruction.wav", keep);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !answers.empty(); }, Seconds(10)));
    RunLoop::main().runFor(Seconds(0.05));
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(answers, std::vector<Peaks>{Peaks(10, 5)}) << "the first request was overtaken";

    answers.clear();
    peaks->request(directory.path() / "absent.wav", keep);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !answers.empty(); }, Seconds(10)));
    EXPECT_EQ(answers, std::vector<Peaks>{Peaks()}) << "an unreadable track draws nothing";

    // Gone before its answer: the answer is dropped.
    answers.clear();
    peaks->request(track, keep);
    peaks.reset();
    RunLoop::main().runFor(Seconds(0.2));
    EXPECT_TRUE(answers.empty());
}

} // namespace
} // namespace orvaneh
