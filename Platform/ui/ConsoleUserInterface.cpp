#include "Platform/ui/ConsoleUserInterface.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iostream>
#include <string>

namespace orvaneh {

namespace {

// A command prints its result just after the messages that go with it.
constexpr std::size_t kRememberedLines = 32;

} // namespace

ConsoleUserInterface::ConsoleUserInterface(std::ostream& messages, bool interactive)
    : messages_(messages), interactive_(interactive) {}

void ConsoleUserInterface::showBanner(const std::string& text, Seconds) {
    std::lock_guard lock(mutex_);
    messages_ << text << std::endl;
    rememberShown(text);
}

void ConsoleUserInterface::showAlert(const std::string& title, const std::string& message) {
    std::lock_guard lock(mutex_);
    if (title.empty()) {
        messages_ << message << std::endl;
    } else {
        messages_ << title << " : " << message << std::endl;
    }
    rememberShown(title.empty() ? message : title + " : " + message);
}

void ConsoleUserInterface::rememberShown(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find('\n', start), text.size());
        shownLines_.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    while (shownLines_.size() > kRememberedLines) {
        shownLines_.pop_front();
    }
}

bool ConsoleUserInterface::takeShownLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    auto found = std::find(shownLines_.begin(), shownLines_.end(), line);
    if (found == shownLines_.end()) {
        return false;
    }
    shownLines_.erase(found);
    return true;
}

void ConsoleUserInterface::queueAnswer(int button) {
    std::lock_guard lock(mutex_);
    queuedAnswers_.push_back(button);
}

std::optional<int> ConsoleUserInterface::takeQueuedAnswer() {
    if (queuedAnswers_.empty()) {
        return std::nullopt;
    }
    int button = queuedAnswers_.front();
    queuedAnswers_.pop_front();
    return button;
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
        if (auto queued = takeQueuedAnswer()) {
            button = *queued;
            messages_ << "(réponse « " << (button == 1 ? otherTitle : cancelTitle) << " »)" << std::endl;
        } else if (interactive_) {
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

void ConsoleUserInterface::presentChoices(const std::string& title, const std::string& message,
                                          const std::vector<Choice>& choices, int, Answer answer) {
    int index = -1;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (choices[i].style == Choice::Style::Cancel) {
                index = static_cast<int>(i);
            }
        }
        if (!title.empty()) {
            messages_ << title << std::endl;
        }
        if (!message.empty()) {
            messages_ << message << std::endl;
        }
        for (std::size_t i = 0; i < choices.size(); ++i) {
            messages_ << "  " << (i + 1) << ". " << choices[i].title << std::endl;
        }
        if (auto queued = takeQueuedAnswer()) {
            index = *queued;
        } else if (interactive_) {
            messages_ << "Choix : " << std::flush;
            std::string reply;
            if (std::getline(std::cin, reply)) {
                try {
                    int number = std::stoi(reply);
                    if (number >= 1 && number <= static_cast<int>(choices.size())) {
                        index = number - 1;
                    }
                } catch (const std::exception&) {
                    // Not a number: the cancel action stands.
                }
            }
        }
        if (index >= 0 && index < static_cast<int>(choices.size())) {
            messages_ << "(réponse « " << choices[static_cast<std::size_t>(index)].title << " »)"
                      << std::endl;
        }
    }
    if (answer && index >= 0) {
        answer(index);
    }
}

void ConsoleUserInterface::popToRoot() {}

void ConsoleUserInterface::showScreen(const std::string&, const std::string&) {}

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
