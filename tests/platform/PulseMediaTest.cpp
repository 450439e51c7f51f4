// The PulseAudio back-end against a private server started by the test: its own runtime
// directory and socket, a null sink as the default output, and a pipe source into which the
// test plays a 440 Hz tone as the default input.
#ifdef ORVANEH_HAVE_PULSE

#include "Platform/media/InPlaceWaveWriter.h"
#include "Platform/media/PulseMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "support/PrivatePulseServer.h"
#include "support/RecordedWave.h"
#include "support/TestProfile.h"
#include "support/ToneMicrophone.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <numbers>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::PrivatePulseServer;
using test::ToneMicrophone;
using Wave = test::RecordedWave;

Wave readWave(const fs::path& path) {
    return Wave::read(path);
}

void writeTone(const fs::path& path, int channels, int rate, double seconds) {
    InPlaceWaveWriter writer;
    ASSERT_TRUE(writer.create(path.string(), channels, rate));
    std::vector<std::int16_t> samples;
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
        const auto value =
            static_cast<std::int16_t>(std::lround(10000 * std::sin(2 * std::numbers::pi * 440 * i / rate)));
        samples.insert(samples.end(), static_cast<std::size_t>(channels), value);
    }
    ASSERT_TRUE(writer.append(samples.data(), samples.size()));
    ASSERT_TRUE(writer.finish());
}

class PulseMediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::resetMain(std::make_shared<SystemClock>());
        server = std::make_unique<PrivatePulseServer>(directory.path() / "server", true);
        if (!server->ready()) {
            server.reset();
            GTEST_SKIP() << PrivatePulseServer::kSkipMessage;
        }
        microphone = std::make_unique<ToneMicrophone>(server->microphone());
        media = std::make_unique<PulseMediaBackend>(server->address());
    }
    void TearDown() override {
        media.reset();
        microphone.reset();
        server.reset();
    }

    void run(std::chrono::milliseconds time) { RunLoop::main().runFor(Seconds(time)); }
    bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
        return RunLoop::main().runUntil(condition, Seconds(limit));
    }

    test::TemporaryDirectory directory;
    std::unique_ptr<PrivatePulseServer> server;
    std::unique_ptr<ToneMicrophone> microphone;
    std::unique_ptr<PulseMediaBackend> media;
};

TEST_F(PulseMediaTest, RecordsTheDefaultInputThroughToDisk) {
    EXPECT_EQ(media->audioSession().recordPermission(), AudioSession::RecordPermission::Granted);

    const auto path = directory.path() / "take.wav";
    auto recorder = media->makeRecorder(path.string(), {});
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(recorder->prepareToRecord());
    recorder->setMeteringEnabled(true);
    ASSERT_TRUE(recorder->record());
    EXPECT_TRUE(recorder->isRecording());

    float loudest = -160;
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - started < 2s) {
        run(100ms);
        recorder->updateMeters();
        loudest = std::max(loudest, recorder->averagePowerForChannel(0));
        if (std::chrono::steady_clock::now() - started > 1500ms &&
            std::chrono::steady_clock::now() - started < 1600ms) {
            // Mid-take, the file is already a valid WAV of at least the first half second.
            EXPECT_GE(readWave(path).seconds(), 0.5);
        }
    }
    recorder->stop();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_GT(loudest, -40);
    recorder->updateMeters();
    EXPECT_EQ(recorder->averagePowerForChannel(0), -160); // not recording: silence

    const Wave wave = readWave(path);
    EXPECT_EQ(wave.channels, 1u);
    EXPECT_EQ(wave.rate, 16000u);
    EXPECT_NEAR(wave.seconds(), 2.0, 0.25);
    EXPECT_NEAR(recorder->currentTime(), wave.seconds(), 0.01);
    EXPECT_NEAR(wave.frequency(), 440, 440 * 0.03);

    // A second take replaces the first.
    ASSERT_TRUE(recorder->record());
    run(300ms);
    recorder.reset(); // ends the take as stop() does
    EXPECT_NEAR(readWave(path).seconds(), 0.3, 0.2);
}

TEST_F(PulseMediaTest, PlaysAFileAndTellsItsEndOnTheMainLoop) {
    const auto path = directory.path() / "stereo.wav";
    writeTone(path, 2, 22050, 0.8);
    auto player = media->makePlayer(path.string());
    ASSERT_TRUE(player);
    EXPECT_EQ(player->numberOfChannels(), 2);
    EXPECT_NEAR(player->duration(), 0.8, 0.001);

    int finished = 0;
    bool onMainThread = false;
    player->setDelegate([&](bool successfully) {
        finished += successfully ? 1 : 100;
        onMainThread = RunLoop::main().isCurrentThread();
    });
    player->setMeteringEnabled(true);
    ASSERT_TRUE(player->play());
    run(300ms);
    const double early = player->currentTime();
    EXPECT_GT(early, 0.05);
    EXPECT_LT(early, 0.6);
    player->updateMeters();
    EXPECT_GT(player->averagePowerForChannel(1), -40);

    // Paused, it holds its place and never reports an end.
    player->pause();
    const double paused = player->currentTime();
    EXPECT_GE(paused, early);
    run(1000ms);
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(player->currentTime(), paused);

    ASSERT_TRUE(player->play());
    EXPECT_TRUE(runUntil([&] { return finished > 0; }, 3000ms));
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_DOUBLE_EQ(player->currentTime(), player->duration());

    // From past the end, playing ends at once; a destroyed player calls nobody.
    finished = 0;
    ASSERT_TRUE(player->play());
    EXPECT_TRUE(runUntil([&] { return finished > 0; }, 1000ms));
    player->setCurrentTime(0);
    ASSERT_TRUE(player->play());
    player.reset();
    run(1200ms);
    EXPECT_EQ(finished, 1);
}

TEST_F(PulseMediaTest, ALostServerKeepsTheTakeAndTellsTheUser) {
    std::vector<PostedNotification> notices;
    auto observation = NotificationCenter::defaultCenter().addObserver(
        MediaBackend::kDeviceLostNotification, [&](const PostedNotification& notice) {
            EXPECT_TRUE(RunLoop::main().isCurrentThread());
            notices.push_back(notice);
        });
    const auto path = directory.path() / "lost.wav";
    auto recorder = media->makeRecorder(path.string(), {});
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(recorder->record());
    run(1000ms);
    server->stop(SIGKILL);

    EXPECT_TRUE(runUntil([&] { return !notices.empty(); }, 3000ms));
    EXPECT_FALSE(recorder->isRecording());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].userInfo.value("path", ""), path.string());
    EXPECT_NE(notices[0].userInfo.value("message", "").find("conservé"), std::string::npos);

    const Wave wave = readWave(path);
    EXPECT_NEAR(wave.seconds(), 1.0, 0.3);
    EXPECT_NEAR(recorder->currentTime(), wave.seconds(), 0.01);
    EXPECT_NEAR(wave.frequency(), 440, 440 * 0.03);

    // With the server gone, everything fails promptly.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(recorder->record());
    EXPECT_EQ(media->audioSession().recordPermission(), AudioSession::RecordPermission::Denied);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 4s);
    EXPECT_EQ(readWave(path).samples.size(), wave.samples.size()); // a failed start leaves the take
}

TEST(PulseMediaWithoutMicrophoneTest, PermissionNeedsAServerWithAnInput) {
    RunLoop::resetMain(std::make_shared<SystemClock>());
    test::TemporaryDirectory directory;
    {
        PulseMediaBackend nowhere((directory.path() / "none").string());
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(nowhere.audioSession().recordPermission(), AudioSession::RecordPermission::Denied);
        auto recorder = nowhere.makeRecorder((directory.path() / "x.wav").string(), {});
        ASSERT_TRUE(recorder);
        EXPECT_FALSE(recorder->record());
        bool answered = true;
        nowhere.audioSession().requestRecordPermission([&](bool granted) { answered = granted; });
        EXPECT_FALSE(answered);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    }
    PrivatePulseServer server(directory.path() / "server", false);
    if (!server.ready()) {
        GTEST_SKIP() << PrivatePulseServer::kSkipMessage;
    }
    // Only the null sink's monitor: no microphone.
    PulseMediaBackend media(server.address());
    EXPECT_EQ(media.audioSession().recordPermission(), AudioSession::RecordPermission::Denied);

    AudioRecorderSettings compressed;
    compressed.formatId = "aac";
    EXPECT_FALSE(media.makeRecorder((directory.path() / "x.wav").string(), compressed));
    EXPECT_FALSE(media.makePlayer((directory.path() / "missing.wav").string()));
}

} // namespace
} // namespace orvaneh

#endif
