#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/runloop/RunLoop.h"
#include "support/TestProfile.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <numbers>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

// --- WAV bytes, written and read here independently of the code under test ------------------

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, unsigned value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

unsigned get16(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

unsigned get32(const std::string& bytes, std::size_t at) {
    return get16(bytes, at) | get16(bytes, at + 2) << 16;
}

struct WaveSpec {
    unsigned format = 1;
    unsigned channels = 1;
    unsigned rate = 16000;
    unsigned bits = 16;
};

// An odd-sized "LIST" chunk (with its pad byte) comes first, to be skipped.
void writeWave(const fs::path& path, WaveSpec spec, const std::vector<std::int16_t>& samples) {
    std::string body = "WAVE";
    body += "LIST";
    put32(body, 3);
    body += std::string("abc\0", 4);
    body += "fmt ";
    put32(body, 16);
    put16(body, spec.format);
    put16(body, spec.channels);
    put32(body, spec.rate);
    put32(body, spec.rate * spec.channels * spec.bits / 8);
    put16(body, spec.channels * spec.bits / 8);
    put16(body, spec.bits);
    body += "data";
    put32(body, static_cast<unsigned>(samples.size() * 2));
    for (auto sample : samples) {
        put16(body, static_cast<std::uint16_t>(sample));
    }
    std::string file = "RIFF";
    put32(file, static_cast<unsigned>(body.size()));
    std::ofstream(path, std::ios::binary) << file << body;
}

struct ReadWave {
    std::vector<std::string> chunks; // ids in file order
    std::string fmt;
    std::vector<std::int16_t> samples;
};

ReadWave readWave(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ReadWave wave;
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(get32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        auto id = bytes.substr(at, 4);
        auto size = get32(bytes, at + 4);
        wave.chunks.push_back(id);
        if (id == "fmt ") {
            wave.fmt = bytes.substr(at + 8, size);
        } else if (id == "data") {
            EXPECT_EQ(at + 8 + size, bytes.size());
            for (std::size_t i = 0; i < size / 2; ++i) {
                wave.samples.push_back(static_cast<std::int16_t>(get16(bytes, at + 8 + 2 * i)));
            }
        }
        at += 8 + size + (size & 1);
    }
    return wave;
}

std::vector<std::int16_t> tone(std::size_t frames, double rate, double amplitude) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < frames; ++i) {
        samples.push_back(static_cast<std::int16_t>(std::lround(
            amplitude * 32767 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / rate))));
    }
    return samples;
}

class SimulatedMediaTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    SimulatedMediaBackend& media = profile.media();

    void run(double seconds) { RunLoop::main().runFor(Seconds(seconds)); }
};

// --- Recorder -------------------------------------------------------------------------------

TEST_F(SimulatedMediaTest, ATakeWritesTheInputHeardDuringItsTime) {
    EXPECT_EQ(&MediaBackend::shared(), &media);
    std::vector<std::int16_t> input;
    for (int i = 0; i < 30000; ++i) {
        input.push_back(static_cast<std::int16_t>(i * 37 % 65536 - 32768));
    }
    auto inputPath = profile.home() / "input.wav";
    writeWave(inputPath, {}, input);
    media.setInput(SimulatedAudioInput::file(inputPath.string()));

    auto path = (profile.documents() / "take.wav").string();
    auto recorder = media.makeRecorder(path, {});
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(recorder->prepareToRecord());
    ASSERT_TRUE(recorder->record());
    run(1);
    EXPECT_DOUBLE_EQ(recorder->currentTime(), 1.0);
    run(1.5);
    recorder->stop();
    EXPECT_FALSE(recorder->isRecording());
    run(3);
    EXPECT_DOUBLE_EQ(recorder->currentTime(), 2.5);

    auto wave = readWave(path);
    EXPECT_EQ(wave.chunks, (std::vector<std::string>{"fmt ", "FLLR", "data"}));
    ASSERT_EQ(wave.fmt.size(), 16u);
    EXPECT_EQ(get16(wave.fmt, 0), 1u);      // PCM
    EXPECT_EQ(get16(wave.fmt, 2), 1u);      // mono
    EXPECT_EQ(get32(wave.fmt, 4), 16000u);  // rate
    EXPECT_EQ(get32(wave.fmt, 8), 32000u);  // bytes per second
    EXPECT_EQ(get16(wave.fmt, 12), 2u);     // block
    EXPECT_EQ(get16(wave.fmt, 14), 16u);    // bits
    ASSERT_EQ(wave.samples.size(), 40000u); // the file runs out after 30000: silence follows
    for (std::size_t i = 0; i < wave.samples.size(); ++i) {
        ASSERT_EQ(wave.samples[i], i < input.size() ? input[i] : 0) << "frame " << i;
    }

    // A new take hears the input from its start again and replaces the file, leaving no
    // temporary file behind.
    ASSERT_TRUE(recorder->record());
    run(0.5);
    recorder->stop();
    wave = readWave(path);
    ASSERT_EQ(wave.samples.size(), 8000u);
    EXPECT_TRUE(std::equal(wave.samples.begin(), wave.samples.end(), input.begin()));
    EXPECT_EQ(media.writtenFiles(), (std::vector<std::string>{path, path}));
    EXPECT_EQ(std::distance(fs::directory_iterator(profile.documents()), fs::directory_iterator()), 1);

    auto nowhere = media.makeRecorder((profile.home() / "absent" / "take.wav").string(), {});
    ASSERT_TRUE(nowhere);
    EXPECT_FALSE(nowhere->prepareToRecord());
    EXPECT_FALSE(nowhere->record());
    EXPECT_EQ(media.recordersMade(), 2);
}

TEST_F(SimulatedMediaTest, RecorderMetersTheLastTwentiethOfASecond) {
    struct Case {
        SimulatedAudioInput input;
        bool metering;
        float expected;
    };
    const Case cases[] = {
        {SimulatedAudioInput::tone(440, 0.5), true, -9.03f},
        {SimulatedAudioInput::tone(440, 1.0), true, -3.01f},
        {SimulatedAudioInput::silence(), true, -160},
        {SimulatedAudioInput::tone(440, 0.5), false, -160},
    };
    for (const auto& c : cases) {
        media.setInput(c.input);
        auto recorder = media.makeRecorder((profile.documents() / "meter.wav").string(), {});
        recorder->setMeteringEnabled(c.metering);
        recorder->record();
        recorder->updateMeters();
        EXPECT_EQ(recorder->averagePowerForChannel(0), -160) << "nothing heard yet";
        run(0.2);
        recorder->updateMeters();
        EXPECT_NEAR(recorder->averagePowerForChannel(0), c.expected, 0.02) << c.expected;
        recorder->stop();
    }
}

// --- Player ---------------------------------------------------------------------------------

TEST_F(SimulatedMediaTest, PlayerFollowsTheClockAndFinishesOnceAtTheEnd) {
    // Two seconds of stereo at 8000 Hz: a tone on the left, silence on the right.
    auto left = tone(16000, 8000, 0.5);
    std::vector<std::int16_t> samples;
    for (auto sample : left) {
        samples.insert(samples.end(), {sample, 0});
    }
    auto path = profile.home() / "stereo.wav";
    writeWave(path, {.channels = 2, .rate = 8000}, samples);

    auto player = media.makePlayer(path.string());
    ASSERT_TRUE(player);
    EXPECT_DOUBLE_EQ(player->duration(), 2.0);
    EXPECT_EQ(player->numberOfChannels(), 2);
    std::vector<MonotonicTime> finished;
    player->setDelegate([&](bool successfully) {
        EXPECT_TRUE(successfully);
        finished.push_back(profile.clock().now());
    });
    auto start = profile.clock().now();

    ASSERT_TRUE(player->play());
    run(0.5);
    EXPECT_DOUBLE_EQ(player->currentTime(), 0.5);
    player->setMeteringEnabled(true);
    player->updateMeters();
    EXPECT_NEAR(player->averagePowerForChannel(0), -9.03, 0.05);
    EXPECT_EQ(player->averagePowerForChannel(1), -160);

    player->pause();
    run(1);
    EXPECT_DOUBLE_EQ(player->currentTime(), 0.5);
    player->play();
    run(0.25);
    player->setCurrentTime(1.5); // 1.75 s after the start: the end moves to 2.25 s
    run(0.499);
    EXPECT_TRUE(finished.empty());
    EXPECT_TRUE(player->isPlaying());
    run(5);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0] - start, std::chrono::milliseconds(2250));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_DOUBLE_EQ(player->currentTime(), 2.0);

    // From beyond the end, playing ends on the next turn of the loop.
    player->setCurrentTime(7);
    EXPECT_DOUBLE_EQ(player->currentTime(), 7.0);
    player->play();
    RunLoop::main().runPending();
    EXPECT_EQ(finished.size(), 2u);

    // Destroyed while playing: no callback afterwards.
    player->setCurrentTime(0);
    player->play();
    player.reset();
    run(5);
    EXPECT_EQ(finished.size(), 2u);
}

TEST_F(SimulatedMediaTest, NoPlayerForAMissingOrNonPcmFile) {
    const std::vector<std::int16_t> samples(100, 1000);
    writeWave(profile.home() / "8bit.wav", {.bits = 8}, samples);
    writeWave(profile.home() / "float.wav", {.format = 3}, samples);
    profile.writeDocument("text.wav", "RIFF....WAVE not a chunk in sight");
    for (auto path : {profile.home() / "absent.wav", profile.home() / "8bit.wav",
                      profile.home() / "float.wav", profile.documents() / "text.wav", profile.documents()}) {
        EXPECT_FALSE(media.makePlayer(path.string())) << path;
    }
    EXPECT_EQ(media.playersMade(), 0);
}

// --- Session --------------------------------------------------------------------------------

TEST_F(SimulatedMediaTest, PermissionIsAnsweredOnAnotherThread) {
    auto& session = media.audioSession();
    EXPECT_EQ(session.recordPermission(), AudioSession::RecordPermission::Granted);
    media.setRecordPermission(AudioSession::RecordPermission::Undetermined);
    media.setPermissionAnswer(false);

    std::promise<std::pair<bool, std::thread::id>> answer;
    session.requestRecordPermission([&](bool granted) {
        answer.set_value({granted, std::this_thread::get_id()});
    });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    auto [granted, thread] = future.get();
    EXPECT_FALSE(granted);
    EXPECT_NE(thread, std::this_thread::get_id());
    EXPECT_EQ(session.recordPermission(), AudioSession::RecordPermission::Denied);

    std::string error;
    EXPECT_TRUE(session.overrideOutputAudioPortToSpeaker(error));
    media.setSpeakerOverrideError("Haut-parleur indisponible");
    EXPECT_FALSE(session.overrideOutputAudioPortToSpeaker(error));
    EXPECT_EQ(error, "Haut-parleur indisponible");
}

} // namespace
} // namespace orvaneh
