#include "support/ToneMicrophone.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <numbers>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace orvaneh::test {

using namespace std::chrono_literals;

ToneMicrophone::ToneMicrophone(const std::filesystem::path& fifo) {
    thread_ = std::thread([this, fifo] {
        // A server gone makes the write fail, not the process die.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        // Non-blocking: while nobody records, the source leaves the pipe full and the tone is
        // dropped, as a microphone's sound is.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        // The smallest pipe (about 1/8 s of tone): a take starts with what is said from then
        // on, as with a microphone, not with seconds of tone the pipe held meanwhile.
        if (fd >= 0) {
            ::fcntl(fd, F_SETPIPE_SZ, 4096);
        }
        constexpr int kChunk = kRate / 50;
        std::vector<std::int16_t> chunk(kChunk);
        auto next = std::chrono::steady_clock::now();
        for (long first = 0; fd >= 0 && !stopping_; first += kChunk) {
            for (int i = 0; i < kChunk; ++i) {
                chunk[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                    std::lround(10000 * std::sin(2 * std::numbers::pi * kFrequency *
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

ToneMicrophone::~ToneMicrophone() {
    stopping_ = true;
    thread_.join();
}

} // namespace orvaneh::test
