#include "App/cli/LiveTakeConsole.h"

#include "App/cli/DictationFormat.h"
#include "App/cli/DictationRecorder.h"
#include "Classes/audio/VuMeterGrid.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <ostream>
#include <poll.h>
#include <string_view>
#include <termios.h>
#include <unistd.h>

namespace orvaneh {

namespace {

using namespace std::chrono_literals;

// A plain progress line this often when the messages do not go to a terminal.
constexpr auto kPlainLineInterval = 5s;
// How long the run loop turns between two looks at the keys and the level.
constexpr double kPollSeconds = 0.05;
// Past the limit in wall time, a take that hears nothing (a stalled input) still ends.
constexpr double kLimitGraceSeconds = 3;
constexpr int kBarCells = 30;

// What the signal handlers reach, since a handler has no object to go through: set by the one
// console open, cleared when it closes. Only lock-free atomics and the saved terminal, written
// before the handlers are installed.
struct SignalTarget {
    std::atomic<int> pipeWrite{-1};
    std::atomic<bool> rawTerminal{false};
    termios saved{};
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
};

SignalTarget& signalTarget() {
    static SignalTarget target;
    return target;
}

void onSignal(int number) {
    const int savedErrno = errno;
    SignalTarget& target = signalTarget();
    if (target.rawTerminal.exchange(false)) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &target.saved);
    }
    const int fd = target.pipeWrite.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

LiveTakeConsole::LiveTakeConsole(std::ostream& err, bool stopAtEndOfInput)
    : err_(err), stopAtEndOfInput_(stopAtEndOfInput), terminalOutput_(::isatty(STDERR_FILENO) != 0),
      lastPlainLine_(std::chrono::steady_clock::now()) {
    SignalTarget& target = signalTarget();
    if (::pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        target.pipeWrite = signalPipe_[1];
    }
    // Keys one by one, without echo; signals stay on, so that Ctrl-C is SIGINT as always.
    if (::isatty(STDIN_FILENO) != 0 && ::tcgetattr(STDIN_FILENO, &target.saved) == 0) {
        termios raw = target.saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
            target.rawTerminal = true;
        }
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Not reset on delivery: the same signal often arrives twice at once (sent to the process and
    // to its group, as timeout(1) does), and the second must not kill the take being stopped. The
    // previous handlers are back once the take has stopped, before it is saved, so a signal
    // during the save still takes its default action.
    action.sa_flags = 0;
    ::sigaction(SIGINT, &action, &target.previousInterrupt);
    ::sigaction(SIGTERM, &action, &target.previousTerminate);
}

LiveTakeConsole::~LiveTakeConsole() {
    close();
}

void LiveTakeConsole::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    SignalTarget& target = signalTarget();
    ::sigaction(SIGINT, &target.previousInterrupt, nullptr);
    ::sigaction(SIGTERM, &target.previousTerminate, nullptr);
    if (target.rawTerminal.exchange(false)) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &target.saved);
    }
    target.pipeWrite = -1;
    for (int& fd : signalPipe_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (lineShown_ && terminalOutput_) {
        err_ << std::endl;
    }
}

std::string LiveTakeConsole::levelLine(double seconds, float level) {
    const bool heard = std::isfinite(level) && level > VuMeterGrid::kMinDb;
    const auto lit =
        heard ? std::clamp(
                    static_cast<int>(std::lround(VuMeterGrid::dbToPc(std::min(level, 0.0f)) * kBarCells)), 0,
                    kBarCells)
              : 0;
    std::string line = "● " + DictationFormat::duration(seconds) + "  [" +
                       std::string(static_cast<std::size_t>(lit), '#') +
                       std::string(static_cast<std::size_t>(kBarCells - lit), '-') + "]  ";
    line += heard ? std::to_string(std::lround(std::min(level, 0.0f))) + " dBFS" : "< -60 dBFS";
    return line;
}

std::optional<LiveTakeConsole::Stop> LiveTakeConsole::pollInput() {
    pollfd watched[2] = {{signalPipe_[0], POLLIN, 0}, {readingInput_ ? STDIN_FILENO : -1, POLLIN, 0}};
    if (::poll(watched, 2, 0) <= 0) {
        return std::nullopt;
    }
    if (watched[0].revents & POLLIN) {
        return Stop::Signal;
    }
    if (watched[1].revents & POLLNVAL) {
        readingInput_ = false;
    } else if (watched[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        char bytes[64];
        const auto count = ::read(STDIN_FILENO, bytes, sizeof bytes);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            return std::nullopt;
        }
        if (count <= 0) {
            readingInput_ = false;
            return stopAtEndOfInput_ ? std::optional(Stop::EndOfInput) : std::nullopt;
        }
        for (const char byte : std::string_view(bytes, static_cast<std::size_t>(count))) {
            // Space or Enter; Ctrl-D, which a terminal without line editing passes as a byte.
            if (byte == ' ' || byte == '\n' || byte == '\r' || byte == '\x04') {
                return Stop::Key;
            }
        }
    }
    return std::nullopt;
}

void LiveTakeConsole::show(double seconds, float level) {
    if (terminalOutput_) {
        err_ << '\r' << levelLine(seconds, level) << "\033[K" << std::flush;
        lineShown_ = true;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPlainLine_ >= kPlainLineInterval) {
        lastPlainLine_ = now;
        err_ << "Enregistrement : " << DictationFormat::duration(seconds) << ", "
             << (level > VuMeterGrid::kMinDb ? std::to_string(std::lround(level)) + " dBFS" : "< -60 dBFS")
             << std::endl;
    }
}

LiveTakeConsole::Stop LiveTakeConsole::waitForStop(const DictationRecorder& recorder,
                                                   std::optional<double> limit) {
    err_ << "Enregistrement au micro"
         << (limit ? " pendant " + DictationFormat::duration(*limit) + " (ou jusqu'à" : " jusqu'à")
         << " la touche espace ou Entrée" << (limit ? ")" : "") << "." << std::endl;
    const auto started = std::chrono::steady_clock::now();
    while (true) {
        RunLoop::main().runFor(Seconds(kPollSeconds));
        if (recorder.liveTakeLost()) {
            return Stop::DeviceLost;
        }
        if (auto stop = pollInput()) {
            return *stop;
        }
        const double heard = recorder.liveTakeElapsed();
        const double wall = Seconds(std::chrono::steady_clock::now() - started).count();
        if (limit && (heard >= *limit || wall >= *limit + kLimitGraceSeconds)) {
            return Stop::Duration;
        }
        show(heard, recorder.liveTakeLevel());
    }
}

} // namespace orvaneh
