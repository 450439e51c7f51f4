#pragma once

#include "Platform/runloop/Clock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// The user-interface services that code outside the screens uses: transient banners,
// alerts, yes/no questions, the wait box and the network activity indicator. The desktop
// application supplies a windowed implementation, the command line a console one and the
// tests a headless one that records every call. Every method may be called from any thread.
class UserInterface {
public:
    // Receives the index of the button touched: 0 for the cancel button, 1 for the other.
    using Answer = std::function<void(int button)>;

    virtual ~UserInterface() = default;

    // A transient banner with `text`, shown for `duration`.
    virtual void showBanner(const std::string& text, Seconds duration) = 0;
    // The banner with `text`, shown for bannerDuration(text).
    void pushBanner(const std::string& text) { showBanner(text, bannerDuration(text)); }
    // How long a banner stays: min(20, 3 + 17 × length / 200) seconds, the length counted in
    // characters, so that a longer text can be read to its end.
    static Seconds bannerDuration(const std::string& text);
    // A modal alert with one button.
    virtual void showAlert(const std::string& title, const std::string& message) = 0;
    // A modal question; `answer` is called once, on the main run loop, with the button.
    // `tag` tells the asker which question is answered.
    virtual void askConfirmation(const std::string& title, const std::string& message,
                                 const std::string& cancelTitle, const std::string& otherTitle, int tag,
                                 Answer answer) = 0;
    // One action of a choice menu (an action sheet, or an alert with several buttons).
    struct Choice {
        enum class Style { Normal, Destructive, Cancel };
        std::string title;
        Style style = Style::Normal;
    };
    // A choice menu; `answer` is called once, on the main run loop, with the index of the
    // action in `choices` (a cancel-style action is answered like any other).
    virtual void presentChoices(const std::string& title, const std::string& message,
                                const std::vector<Choice>& choices, int tag, Answer answer) = 0;
    // Navigation: back to the root screen (the dictation list), and a side screen shown by name
    // with its argument (the desktop application maps names to views; the others record it).
    virtual void popToRoot() = 0;
    virtual void showScreen(const std::string& screen, const std::string& argument) = 0;

    // The answer the next question or choice menu gets without asking anyone (scripts and
    // tests): a button, or an action's index. Answers queue up in order.
    virtual void queueAnswer(int button) = 0;

    // The wait box, with a progress bar or not; progress from 0 to 1.
    virtual void showWait(bool withProgressBar) = 0;
    virtual void setWaitProgress(double progress) = 0;
    virtual void closeWait() = 0;
    // The network activity indicator.
    virtual void setNetworkActivityIndicatorVisible(bool visible) = 0;

    // The process-wide implementation. A headless one until another is installed.
    static UserInterface& shared();
    static void install(std::shared_ptr<UserInterface> userInterface);
};

} // namespace orvaneh
