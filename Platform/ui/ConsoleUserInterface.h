#pragma once

#include "Platform/ui/UserInterface.h"

#include <iosfwd>
#include <mutex>

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
    void showWait(bool withProgressBar) override;
    void setWaitProgress(double progress) override;
    void closeWait() override;
    void setNetworkActivityIndicatorVisible(bool visible) override;

private:
    std::ostream& messages_;
    bool interactive_;
    std::mutex mutex_;
    int lastPercent_ = -1;
};

} // namespace orvaneh
