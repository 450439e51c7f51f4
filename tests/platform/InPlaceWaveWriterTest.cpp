#include "Platform/media/InPlaceWaveWriter.h"

#include "Platform/files/AtomicFile.h"
#include "Platform/media/PcmWaveReader.h"
#include "support/TestProfile.h"

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

unsigned readLe(const std::string& bytes, std::size_t at, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// The file as a crash would leave it: the sizes its header claims, checked against its length.
struct Header {
    unsigned riffSize = 0;
    unsigned dataSize = 0;
    std::size_t fileSize = 0;
};

Header headerOf(const fs::path& path) {
    const std::string bytes = AtomicFile::read(path).value_or("");
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) {
        return {};
    }
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
    Header header{readLe(bytes, 4, 4), readLe(bytes, 40, 4), bytes.size()};
    EXPECT_EQ(header.riffSize, header.dataSize + 36);
    EXPECT_LE(header.dataSize + 44, header.fileSize); // never claims more than is there
    return header;
}

std::vector<std::int16_t> ramp(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(i * 7919 % 65536 - 32768);
    }
    return samples;
}

class InPlaceWaveWriterTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    fs::path path = directory.path() / "take.wav";
};

TEST_F(InPlaceWaveWriterTest, TheFileOnDiskIsAValidWaveOfAllButTheLastSecondAtAnyTime) {
    InPlaceWaveWriter writer;
    ASSERT_TRUE(writer.create(path.string(), 1, 8000));
    EXPECT_EQ(headerOf(path).dataSize, 0u);

    // 0.6 s: written through, the sizes not yet refreshed.
    const auto samples = ramp(8000 * 3);
    ASSERT_TRUE(writer.append(samples.data(), 4800));
    auto header = headerOf(path);
    EXPECT_EQ(header.fileSize, 44u + 4800 * 2);
    EXPECT_EQ(header.dataSize, 0u);
    // Past one second since the last refresh: the header tells all that is there.
    ASSERT_TRUE(writer.append(samples.data() + 4800, 4000));
    header = headerOf(path);
    EXPECT_EQ(header.dataSize, 8800u * 2);
    ASSERT_TRUE(writer.append(samples.data() + 8800, 24000 - 8800));
    EXPECT_GE(headerOf(path).dataSize, 16000u * 2);
    EXPECT_EQ(writer.frames(), 24000u);

    ASSERT_TRUE(writer.finish());
    EXPECT_EQ(headerOf(path).dataSize, 24000u * 2);
    auto wave = PcmWaveReader::open(path);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->sampleRate(), 8000);
    EXPECT_EQ(wave->channels(), 1);
    std::vector<std::int16_t> read;
    wave->readFrames(0, 24000, read);
    EXPECT_TRUE(read == samples);
}

TEST_F(InPlaceWaveWriterTest, StereoKeepsWholeFramesAndGapsAreSilence) {
    std::ofstream(path) << std::string(100000, 'x'); // an older, longer file is replaced
    InPlaceWaveWriter writer;
    ASSERT_TRUE(writer.create(path.string(), 2, 16000, 0));
    const std::vector<std::int16_t> samples{1, -1, 2, -2, 3};
    ASSERT_TRUE(writer.append(samples.data(), samples.size())); // the torn last frame is dropped
    ASSERT_TRUE(writer.appendSilence(5001));                    // so is a torn half of silence
    ASSERT_TRUE(writer.append(samples.data() + 2, 2));
    ASSERT_TRUE(writer.finish());

    auto wave = PcmWaveReader::open(path);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->channels(), 2);
    ASSERT_EQ(wave->frameCount(), 2u + 2500 + 1);
    std::vector<std::int16_t> read;
    wave->readFrames(0, wave->frameCount(), read);
    EXPECT_EQ(std::vector<std::int16_t>(read.begin(), read.begin() + 4),
              (std::vector<std::int16_t>{1, -1, 2, -2}));
    EXPECT_EQ(std::count(read.begin() + 4, read.end() - 2, 0), 5000);
    EXPECT_EQ(std::vector<std::int16_t>(read.end() - 2, read.end()), (std::vector<std::int16_t>{2, -2}));
    EXPECT_EQ(fs::file_size(path), 44u + read.size() * 2);
}

TEST_F(InPlaceWaveWriterTest, RefusesWhatItCannotWriteAndSaysWhyInFrench) {
    InPlaceWaveWriter writer;
    std::string error;
    EXPECT_FALSE(writer.create((directory.path() / "absent" / "take.wav").string(), 1, 16000, 1, &error));
    EXPECT_NE(error.find("Impossible d'écrire"), std::string::npos) << error;
    EXPECT_EQ(writer.error(), ENOENT);
    EXPECT_FALSE(writer.isOpen());
    const std::int16_t sample = 1;
    EXPECT_FALSE(writer.append(&sample, 1));
    EXPECT_FALSE(writer.finish());

    for (auto [channels, rate] : {std::pair{0, 16000}, std::pair{9, 16000}, std::pair{1, 0}}) {
        EXPECT_FALSE(writer.create(path.string(), channels, rate)) << channels << " " << rate;
    }

    // A full disk: the cause is handed back for the message of the take, and said in French.
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(writer.create("/dev/full", 1, 16000, 1, &error));
        EXPECT_EQ(writer.error(), ENOSPC);
        EXPECT_NE(error.find("plus de place sur le disque"), std::string::npos) << error;
    }
    ASSERT_TRUE(writer.create(path.string(), 1, 16000));
    EXPECT_EQ(writer.error(), 0);
}

} // namespace
} // namespace orvaneh
