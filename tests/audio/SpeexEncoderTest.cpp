#include "Classes/audio/SpeexEncoder.h"

#include "audio/WaveTestFiles.h"
#include "support/LogCapture.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <ogg/ogg.h>
#include <speex/speex.h>
#include <thread>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A speech-like test signal: two partials under a slow syllabic envelope. A second channel
// carries the same voice at half the level, which intensity stereo keeps.
test::Samples voice(std::size_t frames, std::uint32_t rate = 16000, int channels = 1) {
    test::Samples samples;
    for (std::size_t index = 0; index < frames; ++index) {
        const double t = static_cast<double>(index) / rate;
        const double value = (0.55 + 0.45 * std::sin(2 * M_PI * 3.0 * t)) *
                             (std::sin(2 * M_PI * 220.0 * t) + 0.5 * std::sin(2 * M_PI * 660.0 * t));
        for (int channel = 0; channel < channels; ++channel) {
            samples.push_back(static_cast<std::int16_t>((channel == 0 ? 7000 : 3500) * value));
        }
    }
    return samples;
}

// The best normalised correlation of one channel with the source over the codec's possible
// delays (near 1 when the audio came through, near 0 for noise or garbage), and the decoded
// level relative to the source's there.
std::pair<double, double> match(const test::Samples& decoded, const test::Samples& source,
                                std::size_t channels, std::size_t channel) {
    std::pair<double, double> best{0, 0};
    for (std::size_t delay = 0; delay < 400; ++delay) {
        double cross = 0, decodedEnergy = 0, sourceEnergy = 0;
        for (std::size_t frame = 1000; frame < 9000; ++frame) {
            const double a = decoded.at((frame + delay) * channels + channel);
            const double b = source.at(frame * channels + channel);
            cross += a * b;
            decodedEnergy += a * a;
            sourceEnergy += b * b;
        }
        best = std::max(best, {cross / std::sqrt(decodedEnergy * sourceEnergy + 1), cross / sourceEnergy});
    }
    return best;
}

struct Packet {
    std::string bytes;
    std::int64_t granule = 0;
    bool bos = false, eos = false;
    int page = 0; // the page it ends on
};

std::vector<Packet> readPackets(const fs::path& path) {
    const std::string data = test::readBytes(path);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::copy(data.begin(), data.end(), ogg_sync_buffer(&sync, static_cast<long>(data.size())));
    ogg_sync_wrote(&sync, static_cast<long>(data.size()));
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0);
    ogg_page page;
    ogg_packet packet;
    std::vector<Packet> packets;
    for (int index = 0; ogg_sync_pageout(&sync, &page) == 1; ++index) {
        if (index == 0) {
            ogg_stream_reset_serialno(&stream, ogg_page_serialno(&page));
        }
        ogg_stream_pagein(&stream, &page);
        while (ogg_stream_packetout(&stream, &packet) == 1) {
            packets.push_back(
                {std::string(reinterpret_cast<char*>(packet.packet), static_cast<std::size_t>(packet.bytes)),
                 packet.granulepos, packet.b_o_s != 0, packet.e_o_s != 0, index});
        }
    }
    ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return packets;
}

// After the two headers, one packet per codec frame until the frames, less the codec's
// lookahead, cover every sample. The reader sees a granule position only on the packet that
// ends a page (-1 elsewhere): the frames so far less the lookahead, bounded by the samples.
void expectFramedAudio(const std::vector<Packet>& packets, int modeId, std::int64_t samples) {
    void* state = speex_encoder_init(speex_lib_get_mode(modeId));
    int frameSize = 0, lookahead = 0;
    speex_encoder_ctl(state, SPEEX_GET_FRAME_SIZE, &frameSize);
    speex_encoder_ctl(state, SPEEX_GET_LOOKAHEAD, &lookahead);
    speex_encoder_destroy(state);
    const std::int64_t frames = std::max<std::int64_t>(1, (samples + lookahead + frameSize - 1) / frameSize);
    ASSERT_EQ(static_cast<std::int64_t>(packets.size()), 2 + frames);
    for (std::size_t index = 2; index < packets.size(); ++index) {
        SCOPED_TRACE(index);
        if (packets[index].granule != -1) {
            EXPECT_EQ(packets[index].granule,
                      std::min<std::int64_t>(static_cast<std::int64_t>(index - 1) * frameSize - lookahead,
                                             samples));
        }
        EXPECT_EQ(packets[index].eos, index + 1 == packets.size());
    }
    EXPECT_EQ(packets.back().granule, samples);
}

class SpeexEncoderTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    test::LogCapture log;
    SpeexEncoder encoder;
    fs::path source = directory.path() / "1.wav";
    fs::path destination = directory.path() / "Envoi_1.spx";

    bool encode(const std::string& bytes, int rate = 16) {
        test::writeBytes(source, bytes);
        return encoder.encode(source.string(), destination.string(), rate);
    }

    // Only the source is left: without a destination, the sender finds no file to ship.
    void expectNoOutput() { EXPECT_EQ(test::filesIn(directory.path()).size(), 1U); }
};

TEST_F(SpeexEncoderTest, DecodesToTheSameAudio) {
    // The 18-byte "fmt " body of many editors, an odd-sized chunk before it and chunks after
    // it, one a "LIST" whose text says "data": the audio starts after the real "data" header.
    const test::Wave withChunks{.samples = voice(32000),
                                .fmtExtra = std::string(2, '\0'),
                                .beforeFmt = {{"JUNK", std::string(27, 'x')}},
                                .beforeData = {test::listMentioningData, {"fact", "\x40\x1f\0\0"s}}};
    for (const test::Wave& wave : {withChunks, test::Wave{.samples = voice(32000), .bits = 8},
                                   test::Wave{.samples = voice(32000, 16000, 2), .channels = 2}}) {
        SCOPED_TRACE(testing::Message() << wave.channels << " channel(s), " << wave.bits << " bits");
        ASSERT_TRUE(encode(wave.bytes()));
        // The Speex project's own decoder: the reference for what an office will hear. It writes
        // the plain 44-byte header.
        const fs::path decodedPath = directory.path() / "decoded.wav";
        const auto result =
            test::ProcessRunner::run({"/usr/bin/speexdec", destination.string(), decodedPath.string()});
        ASSERT_EQ(result.status, 0) << result.err;
        const auto bytes = test::readBytes(decodedPath);
        const auto decoded = test::samplesFrom(bytes, 44);
        EXPECT_EQ(test::le32(bytes, 24), 16000U);
        ASSERT_EQ(bytes.at(22), wave.channels);
        // The decoder gives whole frames: never less than the input, at most one frame more.
        const std::size_t frames = decoded.size() / wave.channels;
        ASSERT_GE(frames, 32000U);
        EXPECT_LT(frames, 32000U + 320);
        for (std::size_t channel = 0; channel < wave.channels; ++channel) {
            const auto [correlation, gain] = match(decoded, wave.samples, wave.channels, channel);
            EXPECT_GT(correlation, 0.8) << channel;
            // A little level is lost, the same on both channels: their balance is kept.
            EXPECT_NEAR(gain, 0.9, 0.2) << channel;
        }
    }
}

// Each stream: a header and a comment, each alone on its page as players expect, then one
// constant-size packet per codec frame.
TEST_F(SpeexEncoderTest, HeaderModeAndLengthFollowTheInput) {
    const auto tenthAt = [](std::uint32_t rate) {
        return test::Wave{.samples = voice(rate / 10, rate), .rate = rate}.bytes();
    };
    const auto declaring = [](std::uint32_t size) {
        return test::Wave{.samples = voice(8000), .dataSize = size}.bytes();
    };
    const char* version = nullptr;
    speex_lib_ctl(SPEEX_LIB_GET_VERSION_STRING, &version);
    // The vendor's length and text, then no user comment.
    std::string comment = "    Encoded with Speex "s + version + "\0\0\0\0"s;
    test::setLe32(comment, 0, static_cast<std::uint32_t>(comment.size() - 8));
    struct Case {
        const char* name;
        std::string bytes;
        int selector;
        std::uint32_t rate;
        int mode;
        std::int64_t samples;
        const char* warning = nullptr;
    };
    const Case cases[] = {
        {"not whole frames", test::Wave{.samples = voice(21955)}.bytes(), 16, 16000, SPEEX_MODEID_WB, 21955},
        {"8 kHz in wideband", tenthAt(8000), 16, 8000, SPEEX_MODEID_WB, 800, "suggest you try narrowband"},
        {"22.05 kHz", tenthAt(22050), 16, 22050, SPEEX_MODEID_WB, 2205,
         "only optimized for 8, 16 and 32 kHz"},
        {"8 kHz narrowband", tenthAt(8000), 8, 8000, SPEEX_MODEID_NB, 800},
        {"32 kHz ultra-wideband", tenthAt(32000), 32, 32000, SPEEX_MODEID_UWB, 3200},
        // The declared size bounds the audio, but for 0xFFFFFFFF: streamed recorders write it
        // when the length is unknown.
        {"declared shorter", declaring(10000), 16, 16000, SPEEX_MODEID_WB, 5000},
        {"declared longer", declaring(200000), 16, 16000, SPEEX_MODEID_WB, 8000},
        {"length unknown", declaring(0xFFFFFFFF), 16, 16000, SPEEX_MODEID_WB, 8000},
        {"no audio", test::Wave{}.bytes(), 16, 16000, SPEEX_MODEID_WB, 0},
        // Raw samples are at the mode's rate; the twelve bytes read to look for "RIFF" are
        // audio too.
        {"raw ultra-wideband", tenthAt(32000).substr(44), 32, 32000, SPEEX_MODEID_UWB, 3200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        ASSERT_TRUE(encode(c.bytes, c.selector)) << "a warning does not stop the encoding";
        EXPECT_EQ(log.contains("Warning"), c.warning != nullptr);
        EXPECT_TRUE(log.contains(c.warning ? c.warning : ""));
        EXPECT_EQ(test::filesIn(directory.path()).size(), 2U)
            << "nothing beside the source and the destination";
        const auto packets = readPackets(destination);
        ASSERT_GE(packets.size(), 3U);
        const std::string& header = packets[0].bytes;
        ASSERT_EQ(header.size(), 80U);
        EXPECT_EQ(header.substr(0, 8), "Speex   ");
        // Rate, mode, mono, constant bit rate, one frame per packet.
        for (const auto& [offset, value] : std::map<std::size_t, std::uint32_t>{
                 {36, c.rate}, {40, static_cast<std::uint32_t>(c.mode)}, {48, 1}, {60, 0}, {64, 1}}) {
            EXPECT_EQ(test::le32(header, offset), value) << offset;
        }
        EXPECT_TRUE(packets[0].bos);
        EXPECT_EQ(packets[1].bytes, comment);
        EXPECT_EQ(packets[0].granule, 0);
        EXPECT_EQ(packets[1].granule, 0);
        EXPECT_EQ(packets[0].page, 0);
        EXPECT_EQ(packets[1].page, 1);
        EXPECT_GT(packets[2].page, 1);
        expectFramedAudio(packets, c.mode, c.samples);
        for (std::size_t index = 3; index < packets.size(); ++index) {
            EXPECT_EQ(packets[index].bytes.size(), packets[2].bytes.size()) << "constant bit rate, " << index;
        }
    }
}

TEST_F(SpeexEncoderTest, RefusedInputsLeaveNoDestination) {
    const auto tenth = voice(1600);
    int index = 0;
    // A wrong byte rate, 24 bits, 12 kHz, no "data" chunk, a file too short for a header.
    for (const std::string& bytes :
         {test::Wave{.samples = tenth, .byteRate = 16000}.bytes(),
          test::Wave{.samples = tenth, .bits = 24}.bytes(),
          test::Wave{.samples = tenth, .rate = 12000}.bytes(),
          test::Wave{.samples = tenth, .withData = false}.bytes(), "RIFF\x10\0\0\0WAV"s}) {
        SCOPED_TRACE(index++);
        log.clear();
        // A stream from an earlier attempt must not be shipped in place of this one.
        test::writeBytes(destination, "earlier stream");
        EXPECT_FALSE(encode(bytes));
        EXPECT_FALSE(log.lines().empty()) << "the reason is logged";
        expectNoOutput();
    }
}

TEST_F(SpeexEncoderTest, StopFromAnotherThreadRemovesTheDestination) {
    test::writeBytes(source, test::Wave{.samples = test::Samples(16000 * 300, 1000)}.bytes());
    std::atomic<bool> finished{false};
    // Repeated: the flag is cleared when the encoding starts, which this thread cannot see.
    std::thread stopper([&] {
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            encoder.stop();
        }
    });
    const auto started = std::chrono::steady_clock::now();
    const bool encoded = encoder.encode(source.string(), destination.string(), 16);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    finished = true;
    stopper.join();
    EXPECT_FALSE(encoded);
    expectNoOutput();
    EXPECT_LT(elapsed, std::chrono::seconds(1)) << "stops at the next frame, not at the end";

    // The stop of the last run does not carry over.
    ASSERT_TRUE(encode(test::Wave{.samples = voice(1600)}.bytes()));
    expectFramedAudio(readPackets(destination), SPEEX_MODEID_WB, 1600);
}

} // namespace
} // namespace orvaneh
