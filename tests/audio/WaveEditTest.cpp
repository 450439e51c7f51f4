// Insertion of a take into a track and cut of a passage, checked sample by sample against the
// expected audio, with the sizes a player relies on.
#include "Classes/core/FileManagerHelper.h"
#include "Platform/log/Log.h"
#include "audio/WaveTestFiles.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace orvaneh {
namespace {

using test::ramp;
using test::readBytes;
using test::WaveLayout;
using Samples = std::vector<std::int16_t>;

class WaveEditTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    std::string base = path("dictee.wav");
    std::string take = path("dictee2.wav");
    std::string output = path("temp3.wav");
    // One second of track (1 … 16000) and a quarter-second take (−1 … −4000) at 16 kHz.
    Samples baseSamples = ramp(1, 16000);
    Samples takeSamples = ramp(-1, 4000, -1);

    std::string path(const std::string& name) const { return (directory.path() / name).string(); }

    // Refusals are logged; keep them off the test's output.
    void SetUp() override { Log::setEchoToStderr(false); }
    void TearDown() override { Log::setEchoToStderr(true); }

    void writeFiles(const WaveLayout& baseLayout = {}) {
        test::writeBytes(base, test::waveBytes(baseSamples, baseLayout));
        test::writeBytes(take, test::waveBytes(takeSamples));
    }

    // The output holds exactly `expected` under the base's chunks, and its sizes agree with
    // its length.
    void expectOutput(const Samples& expected, const WaveLayout& layout = {}) {
        const auto dataOffset = test::dataOffsetOf(layout);
        const auto contents = test::readWave(output, dataOffset);
        EXPECT_EQ(contents.beforeData.substr(8), readBytes(base).substr(8, dataOffset - 8));
        EXPECT_EQ(contents.dataTag, "data");
        EXPECT_EQ(contents.riffSize, contents.length - 8);
        EXPECT_EQ(contents.dataSize, contents.length - dataOffset - 8);
        EXPECT_EQ(contents.dataSize, expected.size() * 2);
        EXPECT_EQ(contents.samples, expected);
    }
};

TEST_F(WaveEditTest, InsertionPutsTheWholeTakeAtTheFrameOfItsTime) {
    // 0.25003 s is 4000.48 samples; 0.7 s in single precision is 11199.9998: the nearest frame.
    // Past the end appends.
    const std::vector<std::pair<double, std::size_t>> cases{
        {0.0, 0},     {0.5, 8000},  {0.25003, 4000}, {static_cast<double>(0.7F), 11200},
        {1.0, 16000}, {5.0, 16000}, {-1.0, 0},       {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& [seconds, sample] : cases) {
        SCOPED_TRACE(seconds);
        writeFiles();
        const auto baseBytes = readBytes(base);
        const auto takeBytes = readBytes(take);
        ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, seconds));
        expectOutput(test::spliced(baseSamples, sample, takeSamples));
        EXPECT_EQ(readBytes(output).size(), baseBytes.size() + takeSamples.size() * 2);
        EXPECT_EQ(readBytes(base), baseBytes);
        EXPECT_EQ(readBytes(take), takeBytes);
    }
    EXPECT_EQ(test::namesIn(directory.path()),
              (std::vector<std::string>{"dictee.wav", "dictee2.wav", "temp3.wav"}));

    // Frames (i, −i) at 1000 Hz, 4 bytes each: 0.0013 s is 5.2 bytes, which only a 4-byte
    // frame keeps from swapping the channels.
    Samples frames;
    for (int i = 1; i <= 100; ++i) {
        frames.insert(frames.end(), {static_cast<std::int16_t>(i), static_cast<std::int16_t>(-i)});
    }
    const Samples added{1000, -1000, 1001, -1001};
    test::writeBytes(base, test::waveBytes(frames, WaveLayout(1000, 2)));
    test::writeBytes(take, test::waveBytes(added, WaveLayout(1000, 2)));
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 0.0013));
    EXPECT_EQ(test::readWave(output, 36).samples, test::spliced(frames, 2, added));
}

TEST_F(WaveEditTest, CutRemovesExactlyThePassageInEitherOrder) {
    struct Case {
        double first, second;
        std::size_t from, to;
    };
    for (const Case& c :
         {Case{0.0, 0.25, 0, 4000}, Case{0.25, 0.5, 4000, 8000}, Case{0.5, 0.25, 4000, 8000},
          Case{0.75, 1.0, 12000, 16000}, Case{9.0, 0.75, 12000, 16000}, Case{0.5, 0.5, 8000, 8000},
          Case{-3.0, 0.25, 0, 4000}, Case{1.0, 0.0, 0, 16000}, Case{0.0, 60.0, 0, 16000}}) {
        SCOPED_TRACE(testing::Message() << c.first << " → " << c.second);
        writeFiles();
        const auto baseBytes = readBytes(base);
        ASSERT_TRUE(FileManagerHelper::deleteChunkBetweenPos1(c.first, c.second, base, output));
        expectOutput(test::without(baseSamples, c.from, c.to));
        EXPECT_EQ(readBytes(base), baseBytes);
    }
    // The next take goes into the emptied track, wherever the slider stood.
    std::filesystem::rename(output, base);
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 3.0));
    expectOutput(takeSamples);
}

TEST_F(WaveEditTest, ChunksAroundTheAudioAreNotTakenForIt) {
    // Before the audio, an odd-sized chunk (with its pad byte) and a "LIST" chunk whose text
    // says "data": kept. After it, a chunk that is not audio: left out.
    WaveLayout layout(16000, 1, {{"fact", "odd"}, test::listChunkMentioningData()}, {{"id3 ", "tag bytes"}});
    writeFiles(layout);
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 0.5));
    expectOutput(test::spliced(baseSamples, 8000, takeSamples), layout);
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 1.0));
    expectOutput(test::spliced(baseSamples, 16000, takeSamples), layout);
    ASSERT_TRUE(FileManagerHelper::deleteChunkBetweenPos1(0.25, 0.5, base, output));
    expectOutput(test::without(baseSamples, 4000, 8000), layout);
}

TEST_F(WaveEditTest, RecordingCutShortKeepsTheAudioItHas) {
    // The data size promises 16000 samples; the file stops one byte into sample 10000.
    writeFiles();
    test::writeBytes(base, readBytes(base).substr(0, 44 + 10000 * 2 + 1));
    ASSERT_TRUE(FileManagerHelper::insertWaveFile(take, base, output, 5.0));
    auto contents = test::readWave(output, 36);
    EXPECT_EQ(contents.dataSize, contents.length - 44);
    // The take goes after the last whole sample, not after the stray byte.
    EXPECT_EQ(contents.samples, test::spliced(ramp(1, 10000), 10000, takeSamples));
    // Cutting to the end takes the stray byte with it.
    ASSERT_TRUE(FileManagerHelper::deleteChunkBetweenPos1(0.5, 9.0, base, output));
    expectOutput(ramp(1, 8000));
}

TEST_F(WaveEditTest, TakeOnAnotherFileSystemIsCopiedByHand) {
    // The kernel does not copy between file systems; the edit then goes through its buffer,
    // here with a take larger than the buffer.
    struct stat here {};
    struct stat there {};
    if (::stat(directory.path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
        here.st_dev == there.st_dev) {
        GTEST_SKIP() << "no second file system";
    }
    takeSamples = ramp(-1, 50000, -1);
    writeFiles();
    const std::string farTake = "/dev/shm/orvaneh-take-" + std::to_string(::getpid()) + ".wav";
    test::writeBytes(farTake, readBytes(take));
    std::filesystem::remove(take);
    const bool inserted = FileManagerHelper::insertWaveFile(farTake, base, output, 0.5);
    std::filesystem::remove(farTake);
    ASSERT_TRUE(inserted);
    expectOutput(test::spliced(baseSamples, 8000, takeSamples));
}

class WaveEditRefusalTest : public WaveEditTest {
protected:
    // Every edit that reads `broken` fails and says why, leaves no output (not even one from
    // an earlier edit) and leaves the inputs as they were.
    void expectRefused(const std::string& broken) {
        std::vector<std::function<bool()>> edits{
            [&] { return FileManagerHelper::insertWaveFile(take, base, output, 0.5); },
            [&] { return FileManagerHelper::insertWaveFile(take, base, output, 0.0); }};
        if (broken == base) {
            edits.emplace_back(
                [&] { return FileManagerHelper::deleteChunkBetweenPos1(0.0, 0.5, base, output); });
        }
        for (const auto& edit : edits) {
            const auto before = test::namesIn(directory.path());
            std::map<std::string, std::string> contents;
            for (const auto& name : before) {
                if (std::filesystem::is_regular_file(path(name))) {
                    contents[name] = readBytes(path(name));
                }
            }
            test::writeBytes(output, "an earlier edit");
            test::LogCapture log;
            EXPECT_FALSE(edit());
            EXPECT_FALSE(log.lines().empty());
            EXPECT_EQ(test::namesIn(directory.path()), before);
            for (const auto& [name, bytes] : contents) {
                EXPECT_EQ(readBytes(path(name)), bytes) << name;
            }
        }
    }
};

TEST_F(WaveEditRefusalTest, DamagedFilesAreRefusedAsTrackOrTake) {
    auto patched = [&](const char* from, const char* to) {
        auto bytes = test::waveBytes(baseSamples);
        bytes.replace(bytes.find(from), 4, to);
        return bytes;
    };
    auto zeroed = [&](std::size_t offset) { // a 16-bit field of the "fmt " chunk
        auto bytes = test::waveBytes(baseSamples);
        bytes[offset] = bytes[offset + 1] = '\0';
        return bytes;
    };
    std::vector<std::pair<std::string, std::string>> damaged{
        {"raw samples", test::waveBytes(baseSamples).substr(44)},
        {"no data chunk", patched("data", "dat_")},
        {"no fmt chunk", patched("fmt ", "fmt_")},
        {"not WAVE", patched("WAVE", "AVI ")},
        {"no channels", zeroed(22)},
        {"block align 0", zeroed(32)},
        {"8 kHz take", test::waveBytes(takeSamples, WaveLayout(8000))}, // would play at double speed
    };
    // Every length that stops before the data size field is whole, including those that stop
    // inside the "LIST" text after its "data".
    WaveLayout withList(16000, 1, {test::listChunkMentioningData()});
    const auto whole = test::waveBytes(baseSamples, withList);
    for (std::size_t length = 0; length < test::dataOffsetOf(withList) + 8; ++length) {
        damaged.emplace_back("cut at " + std::to_string(length), whole.substr(0, length));
    }
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        for (const std::string* broken : {&take, &base}) {
            writeFiles();
            test::writeBytes(*broken, bytes);
            if (what != "8 kHz take" || broken == &take) {
                expectRefused(*broken);
            }
        }
    }
}

TEST_F(WaveEditRefusalTest, MissingInputsAndUnwritableOutputsAreRefused) {
    writeFiles();
    std::filesystem::remove(take);
    expectRefused(take);
    writeFiles();
    std::filesystem::remove(base);
    std::filesystem::create_directory(base);
    expectRefused(base);

    std::filesystem::remove(base);
    writeFiles();
    const auto before = test::namesIn(directory.path());
    EXPECT_FALSE(FileManagerHelper::insertWaveFile(take, base, path("absent/temp3.wav"), 0.5));
    EXPECT_FALSE(FileManagerHelper::deleteChunkBetweenPos1(0.0, 0.5, base, path("absent/temp3.wav")));
    EXPECT_EQ(test::namesIn(directory.path()), before);
}

} // namespace
} // namespace orvaneh
