#pragma once

#include "Platform/ui/UserInterface.h"

#include <deque>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

namespace orvaneh {

// The command line's user interface: banners and alerts are written as lines on the message
// stream (stderr by default, so that standard output keeps only the command's result).
// Questions are asked on the terminal when standard input is one; otherwise they are
// answered with the cancel button, which is said on the message stream.
class ConsoleUserInterface final : public UserInterface {
public:
    explicit ConsoleUserInterface(std::ostream& messages, bool interactive);

    void showBanner(const std::string& text, Seconds duration) override;
    void showAlert(const std::string& title, const std::string& message) override;
    void askConfirmation(const std::string& title, const std::string& message, const std::string& cancelTitle,
                         const std::string& otherTitle, int tag, Answer answer) override;
    // Printed as a numbered list; answered from the terminal, else with the cancel-style action.
    void presentChoices(const std::string& title, const std::string& message,
                        const std::vector<Choice>& choices, int tag, Answer answer) override;
    void popToRoot() override;
    void showScreen(const std::string& screen, const std::string& argument) override;
    void showWait(bool withProgressBar) override;
    void setWaitProgress(double progress) override;
    void closeWait() override;
    void setNetworkActivityIndicatorVisible(bool visible) override;

    // The answer the command line gives to the next question or choice menu, in place of the
    // terminal's (a button, or an action's index); the answer is printed.
    void queueAnswer(int button) override;

    // True when `line` is one of the lines of a banner or alert shown since the last time it
    // was asked about (so that the command line does not print it again on the same
    // terminal); the line is then forgotten.
    bool takeShownLine(const std::string& line);

private:
    std::ostream& messages_;
    bool interactive_;
    std::mutex mutex_;
    int lastPercent_ = -1;
    std::deque<int> queuedAnswers_;
    std::deque<std::string> shownLines_; // the last ones only

    void rememberShown(const std::string& text);

    std::optional<int> takeQueuedAnswer();
};

} // namespace orvaneh
