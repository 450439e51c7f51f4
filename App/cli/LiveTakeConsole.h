#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

namespace orvaneh {

class DictationRecorder;

// The terminal side of a take from the microphone: shows the time heard and the level, and
// waits for the person (or the script) to end it. On a terminal, the keys are read one by one
// without echo, and the level is one line redrawn in place; elsewhere, a plain progress line now
// and then. SIGINT and SIGTERM end the take like a key does (the take is kept), and the terminal
// is given back as it was on every way out, the signals included: from the handler itself, so
// that a signal after the take has stopped (its default action, the handlers being given back
// then) leaves a usable terminal too.
// One object at a time per process; main thread only.
class LiveTakeConsole {
public:
    enum class Stop { Key, EndOfInput, Duration, Signal, DeviceLost };

    // `stopAtEndOfInput`: the end of standard input ends the take (a script closing its pipe);
    // otherwise it only stops the reading (a script with --duree and /dev/null as input).
    LiveTakeConsole(std::ostream& err, bool stopAtEndOfInput);
    ~LiveTakeConsole();
    LiveTakeConsole(const LiveTakeConsole&) = delete;
    LiveTakeConsole& operator=(const LiveTakeConsole&) = delete;

    // Runs the main loop while the recorder's take runs, until a key (space, Enter), the end of
    // input, `limit` seconds heard, a signal or the loss of the input.
    Stop waitForStop(const DictationRecorder& recorder, std::optional<double> limit);
    // Ends the level line and gives the terminal and the signals back (the destructor does too):
    // before any question on the terminal.
    void close();

    // The level line: time heard, a bar over -60 … 0 dB and the level in dB full scale.
    static std::string levelLine(double seconds, float level);

private:
    std::ostream& err_;
    bool stopAtEndOfInput_;
    bool readingInput_ = true;
    bool terminalOutput_;
    bool open_ = true;
    bool lineShown_ = false;
    // The handlers write the signal's number here; the loop reads it.
    int signalPipe_[2] = {-1, -1};
    std::chrono::steady_clock::time_point lastPlainLine_;

    // The key, end of input or signal seen since the last call.
    std::optional<Stop> pollInput();
    void show(double seconds, float level);
};

} // namespace orvaneh
