#pragma once

#include "Platform/ui/UserInterface.h"

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace orvaneh {

// Records every call for tests, which assert the exact French texts, and answers questions
// as the test says: with the next queued answer at once, or later through answerPending.
class HeadlessUserInterface final : public UserInterface {
public:
    struct Call {
        // "banner", "alert", "confirmation", "choices", "popToRoot", "screen", "wait", "progress",
        // "closeWait", "activity"
        std::string kind;
        std::string title;
        std::string message; // banner text, alert or question message
        int tag = 0;
        double value = 0;        // banner duration in seconds, progress, indicator (1 shown, 0 hidden)
        std::string cancelTitle; // a question's buttons
        std::string otherTitle;
        std::vector<Choice> choices; // a choice menu's actions
    };

    void showBanner(const std::string& text, Seconds duration) override;
    void showAlert(const std::string& title, const std::string& message) override;
    void askConfirmation(const std::string& title, const std::string& message, const std::string& cancelTitle,
                         const std::string& otherTitle, int tag, Answer answer) override;
    void presentChoices(const std::string& title, const std::string& message,
                        const std::vector<Choice>& choices, int tag, Answer answer) override;
    void popToRoot() override;
    // Recorded with the screen as title and the argument as message.
    void showScreen(const std::string& screen, const std::string& argument) override;
    void showWait(bool withProgressBar) override;
    void setWaitProgress(double progress) override;
    void closeWait() override;
    void setNetworkActivityIndicatorVisible(bool visible) override;

    // The answer given to the next question or choice menu (called synchronously from
    // askConfirmation or presentChoices): a button, or the index of an action.
    void queueAnswer(int button) override;
    // Answers the oldest question still waiting. False when none waits.
    bool answerPending(int button);
    std::size_t pendingQuestions() const;

    std::vector<Call> calls() const;
    // The texts of the calls of one kind, in order.
    std::vector<std::string> messages(const std::string& kind) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::deque<int> queuedAnswers_;
    std::deque<Answer> pending_;
    void record(Call call);
    void ask(Call call, Answer answer);
};

} // namespace orvaneh
