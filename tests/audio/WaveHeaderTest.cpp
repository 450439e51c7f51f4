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

using test::WaveLayout;

std::string withLe32(std::string bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

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
    WaveLayout layout(16000, 1, {{"JUNK", "xxxx"}, test::listChunkMentioningData()});
    const auto header = headerOf(withLe32(test::waveBytes(test::ramp(0, 10), layout), 40, 0x7FFFFFF0));
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->foundBySearch);
    EXPECT_EQ(header->dataOffset, test::dataOffsetOf(layout));
    EXPECT_EQ(header->audioSize, 20U);

    // A whole chunk list without a "data" chunk: a comment's plausible-looking "data" is not
    // taken for one.
    std::string comment("data\0\0\0\0", 8);
    auto bytes = test::waveBytes({}, WaveLayout(16000, 1, {{"LIST", comment}}));
    bytes.resize(bytes.size() - 8);
    EXPECT_FALSE(headerOf(withLe32(bytes, 4, static_cast<std::uint32_t>(bytes.size() - 8))));
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
             Case{6.0F, 1, 8},         //
             Case{1.0e9F, 32000, 2147483520},
             Case{std::nanf(""), 32000, 4},
         }) {
        EXPECT_EQ(FileManagerHelper::getValueToSeekWithTime(c.seconds, c.byteRate), c.offset)
            << c.seconds << " s at " << c.byteRate;
    }
}

TEST_F(WaveHeaderTest, ByteRateOfTheDictationFileIsLoggedAndZeroWithoutOne) {
    test::LogCapture log;
    test::writeBytes(file, test::waveBytes(test::ramp(0, 10), WaveLayout(8000)));
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath(file.string()), 16000.0F);
    EXPECT_TRUE(log.contains("NbrBytePerSec : 16000"));
    // The recorder then falls back to its setting.
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath((directory.path() / "absent.wav").string()),
              0.0F);
    test::writeBytes(file, "not a wave file at all, only text");
    EXPECT_EQ(FileManagerHelper::getSampleRateForDictationAtPath(file.string()), 0.0F);
}

TEST_F(WaveHeaderTest, SizeRepairFollowsTheFileLength) {
    WaveLayout layout(16000, 1, {test::listChunkMentioningData()});
    const auto dataOffset = test::dataOffsetOf(layout);
    auto repair = [&](const std::string& bytes) {
        test::writeBytes(file, bytes);
        const int descriptor = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        const bool ok = FileManagerHelper::updateLengthOfNewFile(descriptor, dataOffset);
        ::close(descriptor);
        return ok;
    };
    const auto bytes = test::waveBytes(test::ramp(0, 50), layout);
    ASSERT_TRUE(repair(withLe32(withLe32(bytes, 4, 7), dataOffset + 4, 9)));
    EXPECT_EQ(test::readBytes(file), bytes);

    // Ending inside the data chunk header: completed, with no audio.
    ASSERT_TRUE(repair(bytes.substr(0, dataOffset + 3)));
    EXPECT_EQ(test::readBytes(file), test::waveBytes({}, layout));

    EXPECT_FALSE(repair(bytes.substr(0, dataOffset - 1)));
}

} // namespace
} // namespace orvaneh
