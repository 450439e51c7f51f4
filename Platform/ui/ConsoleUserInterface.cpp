#include "Platform/ui/ConsoleUserInterface.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

namespace orvaneh {

ConsoleUserInterface::ConsoleUserInterface(std::ostream& messages, bool interactive)
    : messages_(messages), interactive_(interactive) {}

void ConsoleUserInterface::showBanner(const std::string& text, Seconds) {
    std::lock_guard lock(mutex_);
    messages_ << text << std::endl;
}

void ConsoleUserInterface::showAlert(const std::string& title, const std::string& message) {
    std::lock_guard lock(mutex_);
    if (title.empty()) {
        messages_ << message << std::endl;
    } else {
        messages_ << title << " : " << message << std::endl;
    }
}

void ConsoleUserInterface::askConfirmation(const std::string& title, const std::string& message,
                                           const std::string& cancelTitle, const std::string& otherTitle, int,
                                           Answer answer) {
    int button = 0;
    {
        std::lock_guard lock(mutex_);
        if (!title.empty()) {
            messages_ << title << std::endl;
        }
        messages_ << message << std::endl;
        if (interactive_) {
            messages_ << "[" << otherTitle << " : o / " << cancelTitle << " : n] " << std::flush;
            std::string reply;
            if (std::getline(std::cin, reply) && !reply.empty() && (reply[0] == 'o' || reply[0] == 'O')) {
                button = 1;
            }
        } else {
            messages_ << "(pas de terminal : réponse « " << cancelTitle << " »)" << std::endl;
        }
    }
    if (answer) {
        answer(button);
    }
}

void ConsoleUserInterface::showWait(bool) {
    std::lock_guard lock(mutex_);
    lastPercent_ = -1;
    messages_ << "Veuillez patienter..." << std::endl;
}

void ConsoleUserInterface::setWaitProgress(double progress) {
    std::lock_guard lock(mutex_);
    int percent = static_cast<int>(std::lround(std::clamp(progress, 0.0, 1.0) * 100));
    // One line per tenth is enough on a terminal.
    if (percent / 10 != lastPercent_ / 10 || lastPercent_ < 0) {
        messages_ << "Progression : " << percent << " %" << std::endl;
    }
    lastPercent_ = percent;
}

void ConsoleUserInterface::closeWait() {
    std::lock_guard lock(mutex_);
    lastPercent_ = -1;
}

void ConsoleUserInterface::setNetworkActivityIndicatorVisible(bool) {}

} // namespace orvaneh
