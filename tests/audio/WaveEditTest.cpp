// Insertion of a take into a track and cut of a passage, checked sample by sample against the
// expected audio, with the sizes a player relies on; the chunks of a WAV file and the small
// readings the recorder uses.
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/FileManagerHelper.h"
#include "Platform/log/Log.h"
#include "audio/WaveTestFiles.h"
#include "support/LogCapture.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

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
    std::optional<WaveHeader> headerOf(const std::string& bytes) {
        test::writeBytes(base, bytes);
        return WaveHeader::readFile(base);
    }

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
        // Fields that contradict each other: a reader trusting one of them hears noise or silence.
        {"block align 4 for mono 16 bits", test::Wave{.samples = added.samples, .blockAlign = 4}.bytes()},
        {"block align 1 for mono 16 bits", test::Wave{.samples = added.samples, .blockAlign = 1}.bytes()},
        {"byte rate of 8 kHz", test::Wave{.samples = added.samples, .byteRate = 16000}.bytes()},
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
                int error = -1;
                EXPECT_FALSE(cut ? FileManagerHelper::deleteChunkBetweenPos1(0.0, 0.5, base, output, &error)
                                 : FileManagerHelper::insertWaveFile(take, base, output, 0.5, &error));
                EXPECT_EQ(error, 0) << "an input is the cause, not a write";
                EXPECT_FALSE(log.lines().empty());
                EXPECT_EQ(test::filesIn(directory.path()), before);
            }
        }
    }
}

// An output that cannot be written hands back the errno of the write, for the message that
// says what the disk did; the inputs stay as they were.
TEST_F(WaveEditTest, AnOutputThatCannotBeWrittenHandsBackItsError) {
    const auto before = test::filesIn(directory.path());
    const std::string nowhere = path("absent/temp3.wav");
    for (const bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut" : "insertion");
        int error = 0;
        EXPECT_FALSE(cut ? FileManagerHelper::deleteChunkBetweenPos1(0.0, 0.5, base, nowhere, &error)
                         : FileManagerHelper::insertWaveFile(take, base, nowhere, 0.5, &error));
        EXPECT_EQ(error, ENOENT);
        EXPECT_EQ(test::filesIn(directory.path()), before);
    }
}

// Tracks whose bytes before the audio do not form a header a reader can use as it is: the
// output gets a header of its own, "fmt " first, and reads back with its exact audio.
TEST_F(WaveEditTest, EditsOfTracksInAnyChunkOrderReadBack) {
    auto brokenWalk = test::Wave{.samples = ramp(1, 16000), .beforeData = {{"JUNK", "xxxx"}}}.bytes();
    test::setLe32(brokenWalk, 40, 0x7FFFFFF0); // the "JUNK" size runs past the end
    const std::vector<std::pair<std::string, std::string>> tracks{
        {"data first", test::Wave{.samples = ramp(1, 16000), .dataFirst = true}.bytes()},
        {"data first, odd fmt, chunks around", test::Wave{.samples = ramp(1, 16000),
                                                          .fmtExtra = "x",
                                                          .beforeFmt = {test::listMentioningData},
                                                          .beforeData = {{"fact", "odd"}},
                                                          .dataFirst = true}
                                                   .bytes()},
        {"walk broken", brokenWalk},
    };
    const bool withSox = std::filesystem::exists("/usr/bin/sox");
    for (const auto& [what, bytes] : tracks) {
        for (const bool cut : {false, true}) {
            SCOPED_TRACE(what + (cut ? ", cut" : ", insertion"));
            test::writeBytes(base, bytes);
            ASSERT_TRUE(cut ? FileManagerHelper::deleteChunkBetweenPos1(0.25, 0.5, base, output)
                            : FileManagerHelper::insertWaveFile(take, base, output, 0.5));
            const auto expected =
                cut ? without(ramp(1, 16000), 4000, 8000) : spliced(ramp(1, 16000), 8000, added.samples);
            std::string why;
            const auto header = WaveHeader::readFile(output, &why);
            ASSERT_TRUE(header) << why;
            EXPECT_FALSE(header->foundBySearch);
            EXPECT_LT(header->fmtOffset, header->dataOffset);
            EXPECT_TRUE(header->sameFormatAs(*WaveHeader::readFile(take)));
            EXPECT_EQ(header->audioSize, expected.size() * 2);
            const auto out = readBytes(output);
            EXPECT_EQ(test::le32(out, 4), out.size() - 8);
            EXPECT_EQ(test::audioOf(output), expected);
            if (withSox) {
                const auto decoded = test::ProcessRunner::run({"/usr/bin/sox", output, "-t", "raw", "-"});
                ASSERT_EQ(decoded.status, 0) << decoded.err;
                EXPECT_EQ(test::samplesFrom(decoded.out, 0), expected);
            }
        }
    }
}

TEST_F(WaveEditTest, TakeWithAStrayByteAddsOnlyItsWholeFrames) {
    test::writeBytes(take, added.bytes() + "\x7f");
    auto bytes = readBytes(take);
    test::setLe32(bytes, 40, static_cast<std::uint32_t>(added.samples.size() * 2 + 1));
    test::writeBytes(take, bytes);
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 0.5));
    expectOutput(spliced(track.samples, 8000, added.samples));
}

TEST_F(WaveEditTest, TagsAreSearchedForOnlyWhenTheChunkListIsBroken) {
    // A "JUNK" size running past the end breaks the walk. In the search, the "LIST" text's
    // "data" is followed by letters (a huge size) and is passed over for the real chunk.
    const test::Wave wave{.samples = test::ramp(0, 10),
                          .beforeData = {{"JUNK", "xxxx"}, test::listMentioningData}};
    auto bytes = wave.bytes();
    test::setLe32(bytes, 40, 0x7FFFFFF0);
    const auto header = headerOf(bytes);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->foundBySearch);
    EXPECT_EQ(header->dataOffset, wave.dataOffset());
    EXPECT_EQ(header->audioSize, 20U);

    // A whole chunk list without a "data" chunk: a comment's plausible-looking "data" is not
    // taken for one.
    const test::Wave noData{.beforeData = {{"LIST", std::string("data\0\0\0\0", 8)}}, .withData = false};
    EXPECT_FALSE(headerOf(noData.bytes()));
}

TEST(WaveSeekTest, TimeToOffsetRoundsToMultiplesOfFour) {
    struct Case {
        float seconds;
        std::int32_t byteRate, offset;
    };
    for (const Case& c : {
             Case{0.0F, 32000, 4},     // just past the "data" tag
             Case{1.5F, 32000, 48000}, //
             Case{0.00009F, 32000, 4}, // 2 goes up
             Case{0.0001F, 32000, 4},  // 3.2 truncates to 3, which goes up
             Case{5.0F, 1, 4},         // 1 goes down
             Case{1.0e9F, 32000, 2147483520},
             Case{std::nanf(""), 32000, 4},
         }) {
        EXPECT_EQ(FileManagerHelper::getValueToSeekWithTime(c.seconds, c.byteRate), c.offset)
            << c.seconds << " s at " << c.byteRate;
    }
}

TEST_F(WaveEditTest, ByteRateOfTheDictationFileOrZeroWithoutOne) {
    test::writeBytes(base, test::Wave{.samples = test::ramp(0, 10), .rate = 8000}.bytes());
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath(base), 16000.0F);
    // The recorder then falls back to its setting.
    test::writeBytes(base, "not a wave file at all, only text");
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath(base), 0.0F);
}

TEST_F(WaveEditTest, SizeRepairFollowsTheFileLength) {
    const test::Wave wave{.samples = test::ramp(0, 50), .beforeData = {test::listMentioningData}};
    const auto dataOffset = wave.dataOffset();
    auto repair = [&](const std::string& bytes) {
        test::writeBytes(base, bytes);
        const int descriptor = ::open(base.c_str(), O_RDWR | O_CLOEXEC);
        const bool ok = FileManagerHelper::updateLengthOfNewFile(descriptor, dataOffset);
        ::close(descriptor);
        return ok;
    };
    const auto bytes = wave.bytes();
    auto wrongSizes = bytes;
    test::setLe32(wrongSizes, 4, 7);
    test::setLe32(wrongSizes, dataOffset + 4, 9);
    ASSERT_TRUE(repair(wrongSizes));
    EXPECT_EQ(test::readBytes(base), bytes);

    // Ending inside the data chunk header: completed, with no audio.
    ASSERT_TRUE(repair(bytes.substr(0, dataOffset + 3)));
    EXPECT_EQ(test::readBytes(base), (test::Wave{.beforeData = wave.beforeData}.bytes()));

    EXPECT_FALSE(repair(bytes.substr(0, dataOffset - 1)));
}

} // namespace
} // namespace orvaneh
