#include "Classes/audio/SpeexEncoder.h"

#include "support/LogCapture.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <ogg/ogg.h>
#include <speex/speex.h>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A speech-like test signal: two partials under a slow syllabic envelope. The second
// channel carries the same voice at half the level, which intensity stereo keeps.
std::int16_t sampleAt(std::size_t index, int rate, int channel) {
    const double t = static_cast<double>(index) / rate;
    const double envelope = 0.55 + 0.45 * std::sin(2 * M_PI * 3.0 * t);
    const double voice = std::sin(2 * M_PI * 220.0 * t) + 0.5 * std::sin(2 * M_PI * 660.0 * t);
    return static_cast<std::int16_t>((channel == 0 ? 7000 : 3500) * envelope * voice);
}

void put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// A whole RIFF chunk, with its pad byte when the body is odd.
std::string chunk(const char* tag, const std::string& body) {
    std::string out(tag, 4);
    put32(out, static_cast<std::uint32_t>(body.size()));
    return out + body + (body.size() % 2 != 0 ? "\0"s : ""s);
}

// A WAV file built field by field, so that each field can be made wrong on purpose.
struct Wave {
    int rate = 16000;
    int channels = 1;
    int bits = 16;
    std::size_t frames = 16000;
    int format = 1;
    int byteRateOverride = -1;
    int blockAlignOverride = -1;
    std::string formatExtra;                   // bytes after the 16 of the "fmt " body
    std::int64_t declaredDataSize = -1;        // -1: the real size
    std::vector<std::string> chunksBeforeFmt;  // whole chunks, tag included
    std::vector<std::string> chunksBeforeData; // whole chunks, tag included
    bool withData = true;

    std::string pcm() const {
        std::string audio;
        for (std::size_t index = 0; index < frames; ++index) {
            for (int channel = 0; channel < channels; ++channel) {
                const std::int16_t sample = sampleAt(index, rate, channel);
                if (bits == 8) {
                    audio.push_back(static_cast<char>((sample >> 8) + 128));
                } else {
                    put16(audio, static_cast<std::uint16_t>(sample));
                }
            }
        }
        return audio;
    }

    std::string bytes() const {
        std::string fmt;
        put16(fmt, static_cast<unsigned>(format));
        put16(fmt, static_cast<unsigned>(channels));
        put32(fmt, static_cast<std::uint32_t>(rate));
        put32(fmt, static_cast<std::uint32_t>(byteRateOverride >= 0 ? byteRateOverride
                                                                    : rate * channels * bits / 8));
        put16(fmt, static_cast<unsigned>(blockAlignOverride >= 0 ? blockAlignOverride : channels * bits / 8));
        put16(fmt, static_cast<unsigned>(bits));
        fmt += formatExtra;
        std::string body = "WAVE";
        for (const auto& chunk : chunksBeforeFmt) {
            body += chunk;
        }
        body += chunk("fmt ", fmt);
        for (const auto& chunk : chunksBeforeData) {
            body += chunk;
        }
        if (withData) {
            const std::string audio = pcm();
            body += "data";
            put32(body, static_cast<std::uint32_t>(declaredDataSize >= 0
                                                       ? declaredDataSize
                                                       : static_cast<std::int64_t>(audio.size())));
            body += audio;
        }
        std::string file = "RIFF";
        put32(file, static_cast<std::uint32_t>(body.size()));
        return file + body;
    }
};

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Packet {
    std::string bytes;
    std::int64_t granule = 0;
    bool bos = false;
    bool eos = false;
    int page = 0;
};

// Every packet of the Ogg stream in the file, with the index of the page it ends on.
std::vector<Packet> readPackets(const fs::path& path) {
    const std::string data = readFile(path);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(data.size()));
    std::memcpy(buffer, data.data(), data.size());
    ogg_sync_wrote(&sync, static_cast<long>(data.size()));
    ogg_stream_state stream;
    bool started = false;
    std::vector<Packet> packets;
    ogg_page page;
    int pageIndex = 0;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!started) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            started = true;
        }
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) == 1) {
            packets.push_back(
                {std::string(reinterpret_cast<char*>(packet.packet), static_cast<std::size_t>(packet.bytes)),
                 packet.granulepos, packet.b_o_s != 0, packet.e_o_s != 0, pageIndex});
        }
        ++pageIndex;
    }
    if (started) {
        ogg_stream_clear(&stream);
    }
    ogg_sync_clear(&sync);
    return packets;
}

std::int32_t field32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index) {
        value |= std::uint32_t{static_cast<unsigned char>(bytes[offset + index])} << (8 * index);
    }
    return static_cast<std::int32_t>(value);
}

struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved
};

// Decodes with the Speex project's own decoder, the reference for what an office will hear.
// It writes the plain 44-byte WAV header.
Decoded decodeWithSpeexdec(const fs::path& spx, const fs::path& wav) {
    auto result = test::ProcessRunner::run({"/usr/bin/speexdec", spx.string(), wav.string()});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string bytes = readFile(wav);
    Decoded decoded;
    if (bytes.size() < 44) {
        ADD_FAILURE() << "speexdec wrote no WAV file";
        return decoded;
    }
    decoded.channels = static_cast<unsigned char>(bytes[22]);
    decoded.rate = field32(bytes, 24);
    decoded.samples.resize((bytes.size() - 44) / 2);
    std::memcpy(decoded.samples.data(), bytes.data() + 44, decoded.samples.size() * 2);
    return decoded;
}

// Best normalised correlation between the decoded channel and the source signal over the
// codec's possible delays; near 1 when the audio came through, near 0 for noise or garbage.
double similarity(const Decoded& decoded, int channel, int sourceRate) {
    const auto channels = static_cast<std::size_t>(decoded.channels);
    const std::size_t frames = decoded.samples.size() / channels;
    double best = 0;
    for (std::size_t delay = 0; delay < 400 && delay < frames; ++delay) {
        double cross = 0, energyA = 0, energyB = 0;
        for (std::size_t index = 1000; index < 9000 && index + delay < frames; ++index) {
            const double a = decoded.samples[(index + delay) * channels + static_cast<std::size_t>(channel)];
            const double b = sampleAt(index, sourceRate, channel);
            cross += a * b;
            energyA += a * a;
            energyB += b * b;
        }
        if (energyA > 0 && energyB > 0) {
            best = std::max(best, cross / std::sqrt(energyA * energyB));
        }
    }
    return best;
}

std::string libraryVersion() {
    const char* version = nullptr;
    speex_lib_ctl(SPEEX_LIB_GET_VERSION_STRING, &version);
    return version;
}

class SpeexEncoderTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    test::LogCapture log;
    SpeexEncoder encoder;
    fs::path source = directory.path() / "1.wav";
    fs::path destination = directory.path() / "Envoi_1.spx";

    bool encode(const std::string& bytes, int rate = 16) {
        writeFile(source, bytes);
        return encoder.encode(source.string(), destination.string(), rate);
    }

    // Nothing under the destination name nor beside it: the sender finds no file to ship.
    void expectNoOutput() {
        EXPECT_FALSE(fs::exists(destination));
        for (const auto& entry : fs::directory_iterator(directory.path())) {
            EXPECT_EQ(entry.path(), source) << "left behind: " << entry.path();
        }
    }

    // One packet per codec frame, ending on the sample count. The reader sees a granule
    // position only on the packet that ends a page (-1 elsewhere); each such one must be the
    // frames encoded so far less the codec's lookahead, bounded by the samples.
    void expectFramedAudio(const std::vector<Packet>& packets, int modeId, std::int64_t samples) {
        void* state = speex_encoder_init(speex_lib_get_mode(modeId));
        int frameSize = 0;
        int lookahead = 0;
        speex_encoder_ctl(state, SPEEX_GET_FRAME_SIZE, &frameSize);
        speex_encoder_ctl(state, SPEEX_GET_LOOKAHEAD, &lookahead);
        speex_encoder_destroy(state);

        ASSERT_GE(packets.size(), 3U);
        const std::int64_t frames =
            std::max<std::int64_t>(1, (samples + lookahead + frameSize - 1) / frameSize);
        EXPECT_EQ(static_cast<std::int64_t>(packets.size()) - 2, frames);
        for (std::size_t index = 2; index < packets.size(); ++index) {
            const auto frame = static_cast<std::int64_t>(index) - 2;
            if (packets[index].granule != -1) {
                EXPECT_EQ(packets[index].granule, std::min((frame + 1) * frameSize - lookahead, samples))
                    << index;
            }
            EXPECT_EQ(packets[index].eos, index + 1 == packets.size()) << index;
        }
        EXPECT_EQ(packets.back().granule, samples);
    }
};

TEST_F(SpeexEncoderTest, WidebandDictationGivesHeaderCommentAndOnePacketPerFrame) {
    Wave wave;
    wave.frames = 21955; // not a whole number of frames
    ASSERT_TRUE(encode(wave.bytes()));
    const auto packets = readPackets(destination);
    ASSERT_GE(packets.size(), 3U);

    const Packet& header = packets[0];
    EXPECT_TRUE(header.bos);
    EXPECT_EQ(header.granule, 0);
    ASSERT_EQ(header.bytes.size(), 80U);
    EXPECT_EQ(header.bytes.substr(0, 8), "Speex   ");
    EXPECT_EQ(field32(header.bytes, 36), 16000); // rate
    EXPECT_EQ(field32(header.bytes, 40), 1);     // wideband
    EXPECT_EQ(field32(header.bytes, 48), 1);     // channels
    EXPECT_EQ(field32(header.bytes, 56), 320);   // 20 ms frames
    EXPECT_EQ(field32(header.bytes, 60), 0);     // constant bit rate
    EXPECT_EQ(field32(header.bytes, 64), 1);     // frames per packet

    const Packet& comment = packets[1];
    const std::string vendor = "Encoded with Speex " + libraryVersion();
    EXPECT_EQ(comment.granule, 0);
    ASSERT_EQ(comment.bytes.size(), vendor.size() + 8);
    EXPECT_EQ(field32(comment.bytes, 0), static_cast<std::int32_t>(vendor.size()));
    EXPECT_EQ(comment.bytes.substr(4, vendor.size()), vendor);
    EXPECT_EQ(field32(comment.bytes, 4 + vendor.size()), 0);
    // Each header stands alone on its page, as players expect.
    EXPECT_EQ(header.page, 0);
    EXPECT_EQ(comment.page, 1);
    EXPECT_GT(packets[2].page, 1);

    expectFramedAudio(packets, SPEEX_MODEID_WB, 21955);
    for (std::size_t index = 3; index < packets.size(); ++index) {
        EXPECT_EQ(packets[index].bytes.size(), packets[2].bytes.size())
            << "constant bit rate, packet " << index;
    }
    EXPECT_TRUE(log.contains("Encoding 16000 Hz audio using wideband (sub-band CELP) mode (mono)"));
    EXPECT_FALSE(log.contains("Warning"));
    EXPECT_EQ(std::distance(fs::directory_iterator(directory.path()), fs::directory_iterator()), 2)
        << "nothing beside the source and the destination";
}

TEST_F(SpeexEncoderTest, DecodesToTheSameAudio) {
    struct Case {
        const char* name;
        int channels;
        int bits;
    };
    for (const Case& c : {Case{"mono 16 bits", 1, 16}, Case{"mono 8 bits", 1, 8}, Case{"stereo", 2, 16}}) {
        SCOPED_TRACE(c.name);
        Wave wave;
        wave.channels = c.channels;
        wave.bits = c.bits;
        wave.frames = 32000;
        ASSERT_TRUE(encode(wave.bytes()));
        const Decoded decoded = decodeWithSpeexdec(destination, directory.path() / "decoded.wav");
        EXPECT_EQ(decoded.rate, 16000);
        ASSERT_EQ(decoded.channels, c.channels);
        const std::size_t frames = decoded.samples.size() / static_cast<std::size_t>(c.channels);
        // The decoder gives whole frames: never less than the input, at most one frame more.
        EXPECT_GE(frames, wave.frames);
        EXPECT_LT(frames, wave.frames + 320);
        EXPECT_GT(similarity(decoded, 0, 16000), 0.8);
        if (c.channels == 2) {
            EXPECT_GT(similarity(decoded, 1, 16000), 0.8);
            double left = 0, right = 0;
            for (std::size_t index = 0; index + 1 < decoded.samples.size(); index += 2) {
                left += std::abs(decoded.samples[index]);
                right += std::abs(decoded.samples[index + 1]);
            }
            EXPECT_NEAR(right / left, 0.5, 0.15) << "the balance between the channels is kept";
        }
    }
}

TEST_F(SpeexEncoderTest, RateAdviceAgainstTheMode) {
    struct Case {
        int rate;
        int selector;
        const char* expected; // nullptr: no warning at all
    };
    const Case cases[] = {
        {8000, 16,
         "Warning: Trying to encode in wideband (sub-band CELP) at 8000 Hz. I'll do it but I suggest you try "
         "narrowband instead"},
        {16000, 8,
         "Warning: Trying to encode in narrowband at 16000 Hz. I'll do it but I suggest you try wideband "
         "instead"},
        {32000, 16,
         "Warning: Trying to encode in wideband (sub-band CELP) at 32000 Hz. I'll do it but I suggest you "
         "try "
         "ultra-wideband instead"},
        {22050, 16,
         "Warning: Speex is only optimized for 8, 16 and 32 kHz. It will still work at 22050 Hz but your "
         "mileage may vary"},
        {16000, 16, nullptr},
        {8000, 8, nullptr},
        {32000, 32, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, selector " + std::to_string(c.selector));
        log.clear();
        Wave wave;
        wave.rate = c.rate;
        wave.frames = static_cast<std::size_t>(c.rate / 10);
        ASSERT_TRUE(encode(wave.bytes(), c.selector)) << "a warning does not stop the encoding";
        EXPECT_EQ(log.contains("Warning"), c.expected != nullptr);
        if (c.expected) {
            EXPECT_TRUE(log.contains(c.expected));
        }
        const auto packets = readPackets(destination);
        ASSERT_FALSE(packets.empty());
        EXPECT_EQ(field32(packets[0].bytes, 36), c.rate);
        const int expectedMode = c.selector == 8 ? 0 : c.selector == 32 ? 2 : 1;
        EXPECT_EQ(field32(packets[0].bytes, 40), expectedMode);
        expectFramedAudio(packets, expectedMode, static_cast<std::int64_t>(wave.frames));
    }
}

TEST_F(SpeexEncoderTest, DeclaredDataSizeBoundsTheAudio) {
    Wave shorter;
    shorter.frames = 8000;
    shorter.declaredDataSize = 2 * 5000;
    ASSERT_TRUE(encode(shorter.bytes()));
    EXPECT_EQ(readPackets(destination).back().granule, 5000);

    Wave longer;
    longer.frames = 8000;
    longer.declaredDataSize = 2 * 100000;
    ASSERT_TRUE(encode(longer.bytes()));
    EXPECT_EQ(readPackets(destination).back().granule, 8000);

    // Streamed recorders write 0xFFFFFFFF when the length is unknown: all of it is audio.
    Wave unknown;
    unknown.frames = 8000;
    unknown.declaredDataSize = 0xFFFFFFFF;
    ASSERT_TRUE(encode(unknown.bytes()));
    EXPECT_EQ(readPackets(destination).back().granule, 8000);

    Wave empty;
    empty.frames = 0;
    ASSERT_TRUE(encode(empty.bytes()));
    const auto packets = readPackets(destination);
    ASSERT_EQ(packets.size(), 3U);
    EXPECT_EQ(packets.back().granule, 0);
    EXPECT_TRUE(packets.back().eos);
}

TEST_F(SpeexEncoderTest, HeaderWalkSkipsOtherChunks) {
    Wave wave;
    wave.frames = 4000;
    wave.formatExtra = std::string(2, '\0');                      // the 18-byte "fmt " body of many editors
    wave.chunksBeforeFmt = {chunk("JUNK", std::string(27, 'x'))}; // odd size, padded
    wave.chunksBeforeData = {chunk("LIST", "INFOICMT\x0a\0\0\0data data\0"s), chunk("fact", "\x40\x1f\0\0"s)};
    ASSERT_TRUE(encode(wave.bytes()));
    const auto packets = readPackets(destination);
    expectFramedAudio(packets, SPEEX_MODEID_WB, 4000);
    const Decoded decoded = decodeWithSpeexdec(destination, directory.path() / "decoded.wav");
    EXPECT_GT(similarity(decoded, 0, 16000), 0.8) << "the audio starts after the real \"data\" header";
}

TEST_F(SpeexEncoderTest, RefusedInputsLeaveNoDestination) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const auto with = [](auto change) {
        Wave wave;
        wave.frames = 1600;
        change(wave);
        return wave.bytes();
    };
    const std::string valid = with([](Wave&) {});
    const Case cases[] = {
        {"byte rate", with([](Wave& w) { w.byteRateOverride = 16000; }),
         "Corrupted header: ByteRate mismatch"},
        {"block align", with([](Wave& w) { w.blockAlignOverride = 4; }),
         "Corrupted header: BlockAlign mismatch"},
        {"float", with([](Wave& w) { w.format = 3; }), "Only PCM encoding is supported"},
        {"three channels", with([](Wave& w) { w.channels = 3; }),
         "Only mono and (intensity) stereo supported"},
        {"24 bits", with([](Wave& w) { w.bits = 24; }), "Only 8/16-bit linear supported"},
        {"12 kHz", with([](Wave& w) { w.rate = 12000; }),
         "Only 8 kHz (narrowband) and 16 kHz (wideband) supported (plus 11.025 kHz and 22.05 kHz, but your "
         "mileage may vary)"},
        {"no data", with([](Wave& w) { w.withData = false; }), "Corrupted WAVE file: no \"data\""},
        {"no fmt", valid.substr(0, 12) + chunk("LIST", "INFO"), "Corrupted WAVE file: no \"fmt \""},
        {"cut in fmt", valid.substr(0, 24), "Corrupted WAVE file: no \"fmt \""},
        {"short file", "RIFF\x10\0\0\0WAV"s, "short file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        // A stream from an earlier attempt must not be shipped in place of this one.
        writeFile(destination, "earlier stream");
        EXPECT_FALSE(encode(c.bytes));
        EXPECT_TRUE(log.contains(c.message));
        expectNoOutput();
    }

    log.clear();
    fs::remove(source);
    EXPECT_FALSE(encoder.encode(source.string(), destination.string(), 16));
    EXPECT_TRUE(log.contains(source.string() + ": No such file or directory"));

    const fs::path nowhere = directory.path() / "absent" / "out.spx";
    writeFile(source, valid);
    EXPECT_FALSE(encoder.encode(source.string(), nowhere.string(), 16));
    EXPECT_FALSE(fs::exists(nowhere));
}

TEST_F(SpeexEncoderTest, RawSamplesUseTheModeRate) {
    struct Case {
        int selector;
        int rate;
        int modeId;
    };
    for (const Case& c : {Case{8, 8000, SPEEX_MODEID_NB}, Case{16, 16000, SPEEX_MODEID_WB},
                          Case{32, 32000, SPEEX_MODEID_UWB}}) {
        SCOPED_TRACE(c.selector);
        std::string raw;
        const std::size_t samples = 5000;
        for (std::size_t index = 0; index < samples; ++index) {
            put16(raw, static_cast<std::uint16_t>(sampleAt(index, c.rate, 0)));
        }
        log.clear();
        ASSERT_TRUE(encode(raw, c.selector));
        const auto packets = readPackets(destination);
        ASSERT_FALSE(packets.empty());
        EXPECT_EQ(field32(packets[0].bytes, 36), c.rate);
        // The first twelve bytes, read to look for "RIFF", are audio too.
        expectFramedAudio(packets, c.modeId, samples);
        EXPECT_FALSE(log.contains("Warning"));
    }
}

TEST_F(SpeexEncoderTest, StopFromAnotherThreadRemovesTheDestination) {
    Wave wave;
    wave.frames = 16000 * 300;
    writeFile(source, wave.bytes());
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
    wave.frames = 1600;
    ASSERT_TRUE(encode(wave.bytes()));
    expectFramedAudio(readPackets(destination), SPEEX_MODEID_WB, 1600);
}

} // namespace
} // namespace orvaneh
