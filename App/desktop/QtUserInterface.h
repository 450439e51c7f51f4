#pragma once

#include "Platform/ui/UserInterface.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <memory>
#include <mutex>

class QLabel;
class QMessageBox;
class QProgressDialog;
class QWidget;

namespace orvaneh {

class BannerView;

// The windowed user interface: alerts, questions and choice menus as window-modal message
// boxes (never a nested event loop: answers arrive through the boxes' signals), banners on the
// window's BannerView, a wait box and the network activity label. Calls from other threads
// are handed to the GUI thread. Like the headless interface, queued answers are given at once,
// without a box, so that scripts and tests can go through a question.
// Created on the GUI thread; the widgets may die before it (it then shows nothing).
class QtUserInterface final : public UserInterface {
public:
    QtUserInterface(QWidget* window, BannerView* banner, QLabel* activity);
    ~QtUserInterface() override;

    void showBanner(const std::string& text, Seconds duration) override;
    void showAlert(const std::string& title, const std::string& message) override;
    void askConfirmation(const std::string& title, const std::string& message, const std::string& cancelTitle,
                         const std::string& otherTitle, int tag, Answer answer) override;
    void presentChoices(const std::string& title, const std::string& message,
                        const std::vector<Choice>& choices, int tag, Answer answer) override;
    // The navigation draws the screens: these only close what was shown over them.
    void popToRoot() override;
    void showScreen(const std::string& screen, const std::string& argument) override;
    void queueAnswer(int button) override;
    void showWait(bool withProgressBar) override;
    void setWaitProgress(double progress) override;
    void closeWait() override;
    void setNetworkActivityIndicatorVisible(bool visible) override;

    // Object names of the boxes, for tests and accessibility tools.
    static constexpr const char* kAlertName = "alerte";
    static constexpr const char* kQuestionName = "question";
    static constexpr const char* kChoicesName = "choix";
    static constexpr const char* kWaitName = "attente";

private:
    std::unique_ptr<QObject> context_; // lives on the GUI thread: the target of handed-over calls
    QPointer<QWidget> window_;
    QPointer<BannerView> banner_;
    QPointer<QLabel> activity_;
    QPointer<QProgressDialog> wait_;
    std::mutex mutex_;
    std::deque<int> queuedAnswers_;

    // Runs `work` on the GUI thread: now when already there.
    void onGuiThread(std::function<void()> work);
    bool takeQueuedAnswer(int& button);
    // A window-modal box whose buttons answer with their index in `buttons`.
    void ask(const char* name, const std::string& title, const std::string& message,
             const std::vector<Choice>& buttons, Answer answer);
};

} // namespace orvaneh
