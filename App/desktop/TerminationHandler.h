#pragma once

#include <QObject>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace orvaneh {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C in the terminal that started the
// window) into a call on the GUI thread: the handler only writes the signal's number to a pipe,
// whose reading end Qt's loop watches. One at a time per process; the previous handlers come
// back on destruction.
class TerminationHandler : public QObject {
    Q_OBJECT
public:
    // `onSignal` receives the signal's number, on the GUI thread.
    explicit TerminationHandler(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~TerminationHandler() override;
    TerminationHandler(const TerminationHandler&) = delete;
    TerminationHandler& operator=(const TerminationHandler&) = delete;

    // False when the pipe could not be made (the signals then keep their default effect).
    bool installed() const { return notifier_ != nullptr; }

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

    std::function<void(int)> onSignal_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3]{};

    static void handle(int number);
    void readSignals();
};

} // namespace orvaneh
