#include "Platform/files/AtomicFile.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/runloop/RunLoop.h"
#include "support/Files.h"
#include "support/TestProfile.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <numbers>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

// --- WAV bytes, written and read here independently of the code under test ------------------

std::string le(unsigned value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

unsigned readLe(const std::string& bytes, std::size_t at, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

struct WaveSpec {
    unsigned format = 1;
    unsigned channels = 1;
    unsigned rate = 16000;
    unsigned bits = 16;
};

std::string fmtBody(WaveSpec s) {
    return le(s.format, 2) + le(s.channels, 2) + le(s.rate, 4) + le(s.rate * s.channels * s.bits / 8, 4) +
           le(s.channels * s.bits / 8, 2) + le(s.bits, 2);
}

// An odd-sized "LIST" chunk (with its pad byte) comes first, to be skipped.
void writeWave(const fs::path& path, WaveSpec spec, const std::vector<std::int16_t>& samples) {
    std::string body = std::string("WAVELIST\3\0\0\0abc\0fmt \x10\0\0\0", 24) + fmtBody(spec) + "data" +
                       le(static_cast<unsigned>(samples.size() * 2), 4);
    for (auto sample : samples) {
        body += le(static_cast<std::uint16_t>(sample), 2);
    }
    std::ofstream(path, std::ios::binary) << "RIFF" << le(static_cast<unsigned>(body.size()), 4) << body;
}

struct ReadWave {
    std::vector<std::string> chunks; // ids in file order
    std::string fmt;
    std::vector<std::int16_t> samples;
};

ReadWave readWave(const fs::path& path) {
    std::string bytes = AtomicFile::read(path).value_or("");
    ReadWave wave;
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 4), "RIFFWAVE");
    EXPECT_EQ(readLe(bytes, 4, 4), bytes.size() - 8);
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        auto id = bytes.substr(at, 4);
        auto size = readLe(bytes, at + 4, 4);
        wave.chunks.push_back(id);
        if (id == "fmt ") {
            wave.fmt = bytes.substr(at + 8, size);
        } else if (id == "data") {
            EXPECT_EQ(at + 8 + size, bytes.size());
            for (std::size_t i = 0; i < size / 2; ++i) {
                wave.samples.push_back(static_cast<std::int16_t>(readLe(bytes, at + 8 + 2 * i, 2)));
            }
        }
        at += 8 + size + (size & 1);
    }
    return wave;
}

class SimulatedMediaTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    SimulatedMediaBackend& media = profile.media();

    void run(double seconds) { RunLoop::main().runFor(Seconds(seconds)); }
};

TEST_F(SimulatedMediaTest, ATakeWritesTheInputHeardDuringItsTime) {
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
    EXPECT_EQ(wave.fmt, fmtBody({})); // 16-bit mono PCM at 16000 Hz
    auto heard = input;
    heard.resize(40000, 0); // the file runs out after 30000: silence follows
    EXPECT_TRUE(wave.samples == heard);

    // A new take hears the input from its start again and replaces the file, leaving no
    // temporary file behind.
    ASSERT_TRUE(recorder->record());
    run(0.5);
    recorder->stop();
    wave = readWave(path);
    ASSERT_EQ(wave.samples.size(), 8000u);
    EXPECT_TRUE(std::equal(wave.samples.begin(), wave.samples.end(), input.begin()));
    EXPECT_EQ(test::entryNames(profile.documents()), std::vector<std::string>{"take.wav"});

    auto nowhere = media.makeRecorder((profile.home() / "absent" / "take.wav").string(), {});
    ASSERT_TRUE(nowhere);
    EXPECT_FALSE(nowhere->prepareToRecord());
    EXPECT_FALSE(nowhere->record());
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

// The meters of a long file input follow it block after block: one second of silence, two of
// a full-scale square wave, then the end of the file.
TEST_F(SimulatedMediaTest, RecorderMetersAFileInputWhereverTheTakeIs) {
    std::vector<std::int16_t> input(16000, 0);
    for (int i = 0; i < 32000; ++i) {
        input.push_back(i % 2 == 0 ? 32767 : -32767);
    }
    const auto inputPath = profile.home() / "input.wav";
    writeWave(inputPath, {}, input);
    media.setInput(SimulatedAudioInput::file(inputPath.string()));
    auto recorder = media.makeRecorder((profile.documents() / "meter.wav").string(), {});
    recorder->setMeteringEnabled(true);
    ASSERT_TRUE(recorder->record());
    for (const auto& [seconds, expected] :
         std::vector<std::pair<double, float>>{{0.5, -160}, {1.0, -160}, {1.1, 0}, {2.9, 0}, {3.1, -160}}) {
        run(seconds - recorder->currentTime());
        recorder->updateMeters();
        EXPECT_NEAR(recorder->averagePowerForChannel(0), expected, 0.01) << seconds;
    }
    recorder->stop();
}

TEST_F(SimulatedMediaTest, PlayerFollowsTheClockAndFinishesOnceAtTheEnd) {
    // Two seconds of stereo at 8000 Hz: a half-scale tone on the left, silence on the right.
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 16000; ++i) {
        double left = 0.5 * 32767 * std::sin(2 * std::numbers::pi * 440 * i / 8000.0);
        samples.insert(samples.end(), {static_cast<std::int16_t>(std::lround(left)), 0});
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

    // Destroyed while playing: no callback afterwards.
    player->setCurrentTime(0);
    player->play();
    player.reset();
    run(5);
    EXPECT_EQ(finished.size(), 1u);
}

TEST_F(SimulatedMediaTest, NoPlayerForAMissingOrNonPcmFile) {
    const std::vector<std::int16_t> samples(100, 1000);
    writeWave(profile.home() / "8bit.wav", {.bits = 8}, samples);
    writeWave(profile.home() / "float.wav", {.format = 3}, samples);
    profile.writeDocument("text.wav", "RIFF....WAVE not a chunk in sight");
    const auto tube = profile.home() / "tube.wav";
    ASSERT_EQ(::mkfifo(tube.c_str(), 0600), 0);
    for (auto path :
         {profile.home() / "absent.wav", profile.home() / "8bit.wav", profile.home() / "float.wav",
          profile.documents() / "text.wav", profile.documents(), tube}) {
        EXPECT_FALSE(media.makePlayer(path.string())) << path;
    }
    // Nor does the microphone wait on a tube: it hears silence.
    media.setInput(SimulatedAudioInput::file(tube.string()));
    auto path = (profile.documents() / "take.wav").string();
    auto recorder = media.makeRecorder(path, {});
    ASSERT_TRUE(recorder->record());
    run(0.5);
    recorder->stop();
    EXPECT_EQ(readWave(path).samples, std::vector<std::int16_t>(8000, 0));
}

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
}

} // namespace
} // namespace orvaneh
