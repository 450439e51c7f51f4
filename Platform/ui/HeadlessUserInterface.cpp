#include "Platform/ui/HeadlessUserInterface.h"

namespace orvaneh {

namespace {

// Designated initialisers would leave members out, which the warnings flag.
HeadlessUserInterface::Call makeCall(std::string kind, std::string title = {}, std::string message = {},
                                     double value = 0) {
    HeadlessUserInterface::Call call;
    call.kind = std::move(kind);
    call.title = std::move(title);
    call.message = std::move(message);
    call.value = value;
    return call;
}

} // namespace

void HeadlessUserInterface::record(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

void HeadlessUserInterface::showBanner(const std::string& text, Seconds duration) {
    record(makeCall("banner", {}, text, duration.count()));
}

void HeadlessUserInterface::showAlert(const std::string& title, const std::string& message) {
    record(makeCall("alert", title, message));
}

void HeadlessUserInterface::askConfirmation(const std::string& title, const std::string& message,
                                            const std::string& cancelTitle, const std::string& otherTitle,
                                            int tag, Answer answer) {
    auto call = makeCall("confirmation", title, message);
    call.tag = tag;
    call.cancelTitle = cancelTitle;
    call.otherTitle = otherTitle;
    ask(std::move(call), std::move(answer));
}

void HeadlessUserInterface::presentChoices(const std::string& title, const std::string& message,
                                           const std::vector<Choice>& choices, int tag, Answer answer) {
    auto call = makeCall("choices", title, message);
    call.tag = tag;
    call.choices = choices;
    ask(std::move(call), std::move(answer));
}

void HeadlessUserInterface::ask(Call call, Answer answer) {
    std::optional<int> button;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        if (!queuedAnswers_.empty()) {
            button = queuedAnswers_.front();
            queuedAnswers_.pop_front();
        } else {
            pending_.push_back(std::move(answer));
        }
    }
    // Outside the lock: the answer may well ask another question.
    if (button && answer) {
        answer(*button);
    }
}

void HeadlessUserInterface::popToRoot() {
    record(makeCall("popToRoot"));
}

void HeadlessUserInterface::showScreen(const std::string& screen, const std::string& argument) {
    record(makeCall("screen", screen, argument));
}

void HeadlessUserInterface::showWait(bool withProgressBar) {
    record(makeCall("wait", {}, {}, withProgressBar ? 1.0 : 0.0));
}

void HeadlessUserInterface::setWaitProgress(double progress) {
    record(makeCall("progress", {}, {}, progress));
}

void HeadlessUserInterface::closeWait() {
    record(makeCall("closeWait"));
}

void HeadlessUserInterface::setNetworkActivityIndicatorVisible(bool visible) {
    record(makeCall("activity", {}, {}, visible ? 1.0 : 0.0));
}

void HeadlessUserInterface::queueAnswer(int button) {
    std::lock_guard lock(mutex_);
    queuedAnswers_.push_back(button);
}

bool HeadlessUserInterface::answerPending(int button) {
    Answer answer;
    {
        std::lock_guard lock(mutex_);
        if (pending_.empty()) {
            return false;
        }
        answer = std::move(pending_.front());
        pending_.pop_front();
    }
    if (answer) {
        answer(button);
    }
    return true;
}

std::size_t HeadlessUserInterface::pendingQuestions() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

std::vector<HeadlessUserInterface::Call> HeadlessUserInterface::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> HeadlessUserInterface::messages(const std::string& kind) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const auto& call : calls_) {
        if (call.kind == kind) {
            result.push_back(call.message);
        }
    }
    return result;
}

// Forgets what was shown, not what the test arranged: queued answers stay queued and the
// questions still waiting can still be answered.
void HeadlessUserInterface::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

} // namespace orvaneh
