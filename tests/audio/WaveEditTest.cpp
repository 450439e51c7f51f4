// Insertion of a take into a track and cut of a passage, checked sample by sample against the
// expected audio, with the sizes a player relies on.
#include "Classes/core/FileManagerHelper.h"
#include "Platform/log/Log.h"
#include "audio/WaveTestFiles.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>
#include <limits>

namespace orvaneh {
namespace {

using test::ramp;
using test::readBytes;
using test::Samples;

Samples spliced(Samples samples, std::size_t at, const Samples& inserted) {
    samples.insert(samples.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
    return samples;
}

Samples without(Samples samples, std::size_t from, std::size_t to) {
    samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(from),
                  samples.begin() + static_cast<std::ptrdiff_t>(to));
    return samples;
}

class WaveEditTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    std::string base = path("dictee.wav");
    std::string take = path("dictee2.wav");
    std::string output = path("temp3.wav");
    // One second of track (1 … 16000) and a quarter-second take (−1 … −4000) at 16 kHz. Before
    // the track's audio, an odd-sized chunk (with its pad byte) and a "LIST" chunk whose text
    // says "data": kept. After it, a chunk that is not audio: left out.
    test::Wave track{.samples = ramp(1, 16000),
                     .beforeData = {{"fact", "odd"}, test::listMentioningData},
                     .afterData = {{"id3 ", "tag bytes"}}};
    test::Wave added{.samples = ramp(-1, 4000, -1)};

    std::string path(const std::string& name) const { return (directory.path() / name).string(); }

    // Refusals are logged; keep them off the test's output.
    void SetUp() override {
        Log::setEchoToStderr(false);
        writeFiles();
    }
    void TearDown() override { Log::setEchoToStderr(true); }

    void writeFiles() {
        test::writeBytes(base, track.bytes());
        test::writeBytes(take, added.bytes());
    }

    // The output holds the track's chunks and exactly `expected` (so an insertion grows it by
    // exactly the take's audio) then `stray` bytes, and its sizes agree with its length.
    void expectOutput(const Samples& expected, std::size_t stray = 0) {
        const auto dataOffset = track.dataOffset();
        const auto out = readBytes(output);
        EXPECT_EQ(out.substr(8, dataOffset - 4), track.bytes().substr(8, dataOffset - 4));
        EXPECT_EQ(out.size(), dataOffset + 8 + expected.size() * 2 + stray);
        EXPECT_EQ(test::le32(out, 4), out.size() - 8);
        EXPECT_EQ(test::le32(out, dataOffset + 4), out.size() - dataOffset - 8);
        EXPECT_EQ(test::samplesFrom(out, dataOffset + 8), expected);
    }
};

TEST_F(WaveEditTest, InsertionPutsTheWholeTakeAtTheFrameOfItsTime) {
    // 0.25003 s is 4000.48 samples; 0.7 s in single precision is 11199.9998: the nearest frame.
    // Past the end appends.
    const std::vector<std::pair<double, std::size_t>> cases{
        {0.0, 0},        {0.5, 8000},
        {0.25003, 4000}, {static_cast<double>(0.7F), 11200},
        {5.0, 16000},    {std::numeric_limits<double>::quiet_NaN(), 0}};
    const auto inputs = test::filesIn(directory.path());
    for (const auto& [seconds, sample] : cases) {
        SCOPED_TRACE(seconds);
        ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, seconds));
        expectOutput(spliced(track.samples, sample, added.samples));
        auto files = test::filesIn(directory.path());
        EXPECT_EQ(files.erase("temp3.wav"), 1U);
        EXPECT_EQ(files, inputs) << "inputs unchanged, nothing else left";
    }

    // Stereo at 1000 Hz: 0.0013 s is 5.2 bytes, which only a 4-byte frame keeps from landing
    // between the channels of a frame.
    const test::Wave stereo{.samples = ramp(1, 200), .rate = 1000, .channels = 2};
    const test::Wave frames{.samples = {1000, -1000, 1001, -1001}, .rate = 1000, .channels = 2};
    test::writeBytes(base, stereo.bytes());
    test::writeBytes(take, frames.bytes());
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 0.0013));
    EXPECT_EQ(test::samplesFrom(readBytes(output), 44), spliced(stereo.samples, 2, frames.samples));
}

TEST_F(WaveEditTest, CutRemovesExactlyThePassageInEitherOrder) {
    struct Case {
        double first, second;
        std::size_t from, to;
    };
    for (const Case& c :
         {Case{0.0, 0.25, 0, 4000}, Case{0.25, 0.5, 4000, 8000}, Case{0.5, 0.25, 4000, 8000},
          Case{9.0, 0.75, 12000, 16000}, Case{0.5, 0.5, 8000, 8000}, Case{1.0, 0.0, 0, 16000}}) {
        SCOPED_TRACE(testing::Message() << c.first << " → " << c.second);
        ASSERT_TRUE(FileManagerHelper::deleteChunkBetweenPos1(c.first, c.second, base, output));
        expectOutput(without(track.samples, c.from, c.to));
        EXPECT_EQ(readBytes(base), track.bytes());
    }
    // The emptied track is still a track: the next take goes into it wherever the slider stood.
    std::filesystem::rename(output, base);
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 3.0));
    expectOutput(added.samples);
}

TEST_F(WaveEditTest, RecordingCutShortKeepsTheAudioItHas) {
    // The data size promises 16000 samples; the file stops one byte into sample 10000.
    test::writeBytes(base, track.bytes().substr(0, track.dataOffset() + 8 + 10000 * 2 + 1));
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 5.0));
    // The take goes after the last whole sample, not after the stray byte.
    expectOutput(spliced(ramp(1, 10000), 10000, added.samples), 1);
    // Cutting to the end takes the stray byte with it.
    ASSERT_TRUE(FileManagerHelper::deleteChunkBetweenPos1(0.5, 9.0, base, output));
    expectOutput(ramp(1, 8000));
}

TEST_F(WaveEditTest, DamagedFilesAreRefusedAsTrackOrTake) {
    const auto whole = track.bytes();
    auto noBlockAlign = whole;
    noBlockAlign[32] = noBlockAlign[33] = '\0';
    std::vector<std::pair<std::string, std::string>> damaged{
        {"raw samples", whole.substr(track.dataOffset() + 8)},
        {"not WAVE", std::string(whole).replace(8, 4, "AVI ")},
        {"block align 0", noBlockAlign},
        {"8 kHz", test::Wave{.samples = added.samples, .rate = 8000}.bytes()}, // would play at double speed
    };
    // Empty, the RIFF header alone, cut inside the "fmt " body, inside the "LIST" text just after
    // its "data", and inside the data size field.
    for (const std::size_t length :
         {std::size_t{0}, std::size_t{12}, std::size_t{35}, whole.find("data") + 8, track.dataOffset() + 7}) {
        damaged.emplace_back("cut at " + std::to_string(length), whole.substr(0, length));
    }
    // Each edit reading it fails and says why, removes the output of an earlier edit and leaves
    // the inputs as they were. An 8 kHz track can still be cut: only a splice mixes rates.
    for (const auto& [what, bytes] : damaged) {
        for (const std::string* broken : {&take, &base}) {
            for (const bool cut : {false, true}) {
                if (cut && (broken == &take || what == "8 kHz")) {
                    continue;
                }
                SCOPED_TRACE(what + (broken == &take ? " take" : " track") + (cut ? ", cut" : ", insertion"));
                writeFiles();
                test::writeBytes(*broken, bytes);
                const auto before = test::filesIn(directory.path());
                test::writeBytes(output, "an earlier edit");
                test::LogCapture log;
                EXPECT_FALSE(cut ? FileManagerHelper::deleteChunkBetweenPos1(0.0, 0.5, base, output)
                                 : FileManagerHelper::insertWaveFile(take, base, output, 0.5));
                EXPECT_FALSE(log.lines().empty());
                EXPECT_EQ(test::filesIn(directory.path()), before);
            }
        }
    }
}

} // namespace
} // namespace orvaneh
