// Finding the chunks of a WAV file, and the small readings the recorder uses.
#include "Classes/audio/WaveHeader.h"

#include "Classes/core/FileManagerHelper.h"
#include "audio/WaveTestFiles.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace orvaneh {
namespace {

class WaveHeaderTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    std::filesystem::path file = directory.path() / "dictee.wav";

    std::optional<WaveHeader> headerOf(const std::string& bytes) {
        test::writeBytes(file, bytes);
        return WaveHeader::readFile(file);
    }
};

TEST_F(WaveHeaderTest, TagsAreSearchedForOnlyWhenTheChunkListIsBroken) {
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

TEST_F(WaveHeaderTest, ByteRateOfTheDictationFileIsLoggedAndZeroWithoutOne) {
    test::LogCapture log;
    test::writeBytes(file, test::Wave{.samples = test::ramp(0, 10), .rate = 8000}.bytes());
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath(file.string()), 16000.0F);
    EXPECT_TRUE(log.contains("NbrBytePerSec : 16000"));
    // The recorder then falls back to its setting.
    test::writeBytes(file, "not a wave file at all, only text");
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath(file.string()), 0.0F);
}

TEST_F(WaveHeaderTest, SizeRepairFollowsTheFileLength) {
    const test::Wave wave{.samples = test::ramp(0, 50), .beforeData = {test::listMentioningData}};
    const auto dataOffset = wave.dataOffset();
    auto repair = [&](const std::string& bytes) {
        test::writeBytes(file, bytes);
        const int descriptor = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        const bool ok = FileManagerHelper::updateLengthOfNewFile(descriptor, dataOffset);
        ::close(descriptor);
        return ok;
    };
    const auto bytes = wave.bytes();
    auto wrongSizes = bytes;
    test::setLe32(wrongSizes, 4, 7);
    test::setLe32(wrongSizes, dataOffset + 4, 9);
    ASSERT_TRUE(repair(wrongSizes));
    EXPECT_EQ(test::readBytes(file), bytes);

    // Ending inside the data chunk header: completed, with no audio.
    ASSERT_TRUE(repair(bytes.substr(0, dataOffset + 3)));
    EXPECT_EQ(test::readBytes(file), (test::Wave{.beforeData = wave.beforeData}.bytes()));

    EXPECT_FALSE(repair(bytes.substr(0, dataOffset - 1)));
}

} // namespace
} // namespace orvaneh
