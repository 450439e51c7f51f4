// The PulseAudio back-end against a private server started by the test: its own runtime
// directory and socket, a null sink as the default output, and a pipe source into which the
// test plays a 440 Hz tone as the default input.
#ifdef ORVANEH_HAVE_PULSE

#include "Platform/files/AtomicFile.h"
#include "Platform/media/InPlaceWaveWriter.h"
#include "Platform/media/PulseMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "support/TestProfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Says a 440 Hz tone into a server's pipe source, 20 ms at a time in real time, from a thread
// of its own, until destroyed or the server goes.
class Microphone {
public:
    explicit Microphone(const fs::path& fifo) {
        thread_ = std::thread([this, fifo] {
            // A server gone makes the write fail, not the process die.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            // Non-blocking: while nobody records, the source leaves the pipe full and the tone
            // is dropped, as a microphone's sound is.
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            constexpr int kRate = 16000;
            constexpr int kChunk = kRate / 50;
            std::vector<std::int16_t> chunk(kChunk);
            auto next = std::chrono::steady_clock::now();
            for (long first = 0; fd >= 0 && !stopping_; first += kChunk) {
                for (int i = 0; i < kChunk; ++i) {
                    chunk[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                        std::lround(10000 * std::sin(2 * std::numbers::pi * 440 *
                                                     static_cast<double>(first + i) / kRate)));
                }
                if (::write(fd, chunk.data(), chunk.size() * 2) < 0 && errno != EAGAIN) {
                    break;
                }
                next += 20ms;
                std::this_thread::sleep_until(next);
            }
            if (fd >= 0) {
                ::close(fd);
            }
        });
    }
    ~Microphone() {
        stopping_ = true;
        thread_.join();
    }
    Microphone(const Microphone&) = delete;
    Microphone& operator=(const Microphone&) = delete;

private:
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A PulseAudio server of the test's own, stopped (and reaped) with the object.
class PulseServer {
public:
    PulseServer(const fs::path& directory, bool withMicrophone) : directory_(directory) {
        fs::create_directories(directory / "home");
        fs::create_directories(directory / "runtime");
        std::ofstream script(directory / "server.pa");
        script << "load-module module-null-sink sink_name=silent\n"
               << "set-default-sink silent\n";
        if (withMicrophone) {
            // A microphone fed by the test (Microphone below), in real time.
            script << "load-module module-pipe-source source_name=microphone file=" << microphone().string()
                   << " format=s16le rate=16000 channels=1\n"
                   << "set-default-source microphone\n";
        }
        // Last: once the socket answers, everything else is there.
        script << "load-module module-native-protocol-unix socket=" << socket().string()
               << " auth-anonymous=1\n";
        script.close();
        const std::string scriptPath = (directory / "server.pa").string();
        const std::string logPath = (directory / "server.log").string();
        // Everything the child needs is made before fork: other threads may hold locks then.
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view name(*entry, std::string_view(*entry).find('='));
            if (name != "HOME" && name != "XDG_RUNTIME_DIR" && name != "XDG_CONFIG_HOME") {
                environment.emplace_back(*entry);
            }
        }
        // As root (CI) the server only warns; --system=no keeps it a per-user server whose
        // state lives under the test's directory.
        environment.push_back("HOME=" + (directory / "home").string());
        environment.push_back("XDG_RUNTIME_DIR=" + (directory / "runtime").string());
        environment.push_back("XDG_CONFIG_HOME=" + (directory / "home").string());
        std::vector<std::string> arguments{"pulseaudio",
                                           "-n",
                                           "-F",
                                           scriptPath,
                                           "--daemonize=no",
                                           "--system=no",
                                           "--exit-idle-time=-1",
                                           "--disable-shm=yes",
                                           "--use-pid-file=no",
                                           "--realtime=no",
                                           "--high-priority=no",
                                           "--log-target=stderr"};
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        for (auto& entry : environment) {
            envp.push_back(entry.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (log >= 0) {
                ::dup2(log, STDOUT_FILENO);
                ::dup2(log, STDERR_FILENO);
            }
            ::execvpe("pulseaudio", argv.data(), envp.data());
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + 8s;
        while (pid_ > 0 && !accepts() && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1; // gone already: no server here
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        ready_ = pid_ > 0 && accepts();
    }
    ~PulseServer() { stop(SIGTERM); }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool ready() const { return ready_; }
    fs::path socket() const { return directory_ / "native"; }
    fs::path microphone() const { return directory_ / "microphone"; }
    std::string address() const { return "unix:" + socket().string(); }
    std::string log() const { return AtomicFile::read(directory_ / "server.log").value_or(""); }

    // SIGKILL: the server vanishes as a crashed one does.
    void stop(int signal) {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, signal);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        pid_ = -1;
    }

private:
    bool accepts() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = socket().string();
        if (fd < 0 || path.size() >= sizeof address.sun_path) {
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        std::copy(path.begin(), path.end(), address.sun_path);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return ok;
    }

    fs::path directory_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

unsigned readLe(const std::string& bytes, std::size_t at, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// A mono 16-bit WAV as written to disk, read here independently of the code under test; the
// header must agree with itself and never claim more than the file holds.
struct Wave {
    unsigned channels = 0;
    unsigned rate = 0;
    std::vector<std::int16_t> samples;
    double seconds() const { return rate == 0 ? 0 : static_cast<double>(samples.size()) / channels / rate; }
};

Wave readWave(const fs::path& path) {
    const std::string bytes = AtomicFile::read(path).value_or("");
    Wave wave;
    if (bytes.size() < 44) {
        ADD_FAILURE() << "no WAV header in " << path;
        return wave;
    }
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(readLe(bytes, 20, 2), 1u);  // PCM
    EXPECT_EQ(readLe(bytes, 34, 2), 16u); // 16 bits
    wave.channels = readLe(bytes, 22, 2);
    wave.rate = readLe(bytes, 24, 4);
    const unsigned size = readLe(bytes, 40, 4);
    EXPECT_EQ(readLe(bytes, 4, 4), size + 36);
    EXPECT_LE(size + 44, bytes.size());
    for (std::size_t i = 0; 44 + 2 * i + 1 < 44 + std::min<std::size_t>(size, bytes.size() - 44); ++i) {
        wave.samples.push_back(static_cast<std::int16_t>(readLe(bytes, 44 + 2 * i, 2)));
    }
    return wave;
}

// The frequency of a steady tone from its upward zero crossings.
double frequencyOf(const Wave& wave) {
    int crossings = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = 1; i < wave.samples.size(); ++i) {
        if (wave.samples[i - 1] < 0 && wave.samples[i] >= 0) {
            if (crossings++ == 0) {
                first = i;
            }
            last = i;
        }
    }
    return crossings < 2
               ? 0
               : (crossings - 1) * static_cast<double>(wave.rate) / static_cast<double>(last - first);
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
        server = std::make_unique<PulseServer>(directory.path() / "server", true);
        if (!server->ready()) {
            server.reset();
            GTEST_SKIP()
                << "Aucun serveur PulseAudio n'a pu démarrer / no PulseAudio server could be started";
        }
        microphone = std::make_unique<Microphone>(server->microphone());
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
    std::unique_ptr<PulseServer> server;
    std::unique_ptr<Microphone> microphone;
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
    EXPECT_NEAR(frequencyOf(wave), 440, 440 * 0.03);

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
    EXPECT_NEAR(frequencyOf(wave), 440, 440 * 0.03);

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
    PulseServer server(directory.path() / "server", false);
    if (!server.ready()) {
        GTEST_SKIP() << "Aucun serveur PulseAudio n'a pu démarrer / no PulseAudio server could be started";
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
