#include "App/desktop/TerminationHandler.h"

#include "Platform/log/Log.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvaneh {

namespace {

// The writing end for the handler, which can reach nothing else safely.
std::atomic<int> signalWriteEnd{-1};

} // namespace

void TerminationHandler::handle(int number) {
    const int saved = errno;
    const int fd = signalWriteEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

TerminationHandler::TerminationHandler(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (signalWriteEnd.load() >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipe_) != 0) {
        Log::write("Erreur : les signaux d'arrêt ne peuvent pas être suivis, la fenêtre ne les traitera pas");
        return;
    }
    // A full pipe must not block the handler: signals then pending are enough to end anyway.
    ::fcntl(pipe_[1], F_SETFL, ::fcntl(pipe_[1], F_GETFL) | O_NONBLOCK);
    signalWriteEnd.store(pipe_[1]);
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readSignals(); });
    struct sigaction action {};
    action.sa_handler = &TerminationHandler::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t index = 0; index < std::size(kSignals); ++index) {
        ::sigaction(kSignals[index], &action, &previous_[index]);
    }
}

TerminationHandler::~TerminationHandler() {
    if (!notifier_) {
        return;
    }
    for (std::size_t index = 0; index < std::size(kSignals); ++index) {
        ::sigaction(kSignals[index], &previous_[index], nullptr);
    }
    signalWriteEnd.store(-1);
    delete notifier_;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TerminationHandler::readSignals() {
    unsigned char byte = 0;
    if (::read(pipe_[0], &byte, 1) == 1 && onSignal_) {
        onSignal_(byte);
    }
}

} // namespace orvaneh
