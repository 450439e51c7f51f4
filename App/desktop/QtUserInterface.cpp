#include "App/desktop/QtUserInterface.h"

#include "App/desktop/BannerView.h"
#include "Platform/log/Log.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <cmath>

namespace orvaneh {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QMessageBox::ButtonRole roleOf(UserInterface::Choice::Style style) {
    switch (style) {
    case UserInterface::Choice::Style::Cancel:
        return QMessageBox::RejectRole;
    case UserInterface::Choice::Style::Destructive:
        return QMessageBox::DestructiveRole;
    case UserInterface::Choice::Style::Normal:
        break;
    }
    return QMessageBox::AcceptRole;
}

// The window title of a sheet-like box is hidden or easily missed on most desktops: the title is the box's
// own (bold) text, the message its detail. A box with only a message shows that message; one with neither (a
// bare menu of actions) asks the obvious question rather than showing an icon alone.
void fillBox(QMessageBox* box, const std::string& title, const std::string& message) {
    box->setWindowTitle(text(title));
    if (title.empty()) {
        box->setTextFormat(Qt::PlainText);
        box->setText(message.empty() ? QString("Que souhaitez-vous faire ?") : text(message));
        return;
    }
    box->setTextFormat(Qt::RichText);
    box->setText("<b>" + text(title).toHtmlEscaped() + "</b>");
    box->setInformativeText(text(message).toHtmlEscaped().replace('\n', "<br>"));
}

} // namespace

QtUserInterface::QtUserInterface(QWidget* window, BannerView* banner, QLabel* activity)
    : context_(std::make_unique<QObject>()), window_(window), banner_(banner), activity_(activity) {}

QtUserInterface::~QtUserInterface() {
    if (wait_) {
        wait_->deleteLater();
    }
}

void QtUserInterface::onGuiThread(std::function<void()> work) {
    if (QThread::currentThread() == context_->thread()) {
        work();
        return;
    }
    // Dropped by Qt when the context is destroyed before the call is delivered.
    QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

void QtUserInterface::showBanner(const std::string& message, Seconds duration) {
    const int milliseconds = static_cast<int>(std::lround(std::max(0.0, duration.count()) * 1000));
    onGuiThread([this, message, milliseconds] {
        if (banner_) {
            banner_->showBanner(text(message), milliseconds);
        }
    });
}

void QtUserInterface::showAlert(const std::string& title, const std::string& message) {
    onGuiThread([this, title, message] {
        auto* box = new QMessageBox(QMessageBox::Information, {}, {}, QMessageBox::NoButton, window_);
        fillBox(box, title, message);
        box->setObjectName(kAlertName);
        box->setAccessibleName(text(title.empty() ? message : title));
        auto* ok = box->addButton("OK", QMessageBox::AcceptRole);
        ok->setObjectName("bouton0");
        ok->setAccessibleName("OK");
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    });
}

void QtUserInterface::askConfirmation(const std::string& title, const std::string& message,
                                      const std::string& cancelTitle, const std::string& otherTitle, int tag,
                                      Answer answer) {
    Log::write("Question " + std::to_string(tag) + " : " + title);
    std::vector<Choice> buttons{{cancelTitle, Choice::Style::Cancel}};
    if (!otherTitle.empty()) {
        buttons.push_back({otherTitle, Choice::Style::Normal});
    }
    ask(kQuestionName, title, message, buttons, std::move(answer));
}

void QtUserInterface::presentChoices(const std::string& title, const std::string& message,
                                     const std::vector<Choice>& choices, int tag, Answer answer) {
    Log::write("Menu de choix " + std::to_string(tag) + " : " + title);
    ask(kChoicesName, title, message, choices, std::move(answer));
}

bool QtUserInterface::takeQueuedAnswer(int& button) {
    std::lock_guard lock(mutex_);
    if (queuedAnswers_.empty()) {
        return false;
    }
    button = queuedAnswers_.front();
    queuedAnswers_.pop_front();
    return true;
}

void QtUserInterface::ask(const char* name, const std::string& title, const std::string& message,
                          const std::vector<Choice>& buttons, Answer answer) {
    int preset = 0;
    if (takeQueuedAnswer(preset)) {
        // At once, as the headless interface does, but always on the GUI thread.
        if (answer) {
            onGuiThread([answer = std::move(answer), preset] { answer(preset); });
        }
        return;
    }
    onGuiThread([this, name, title, message, buttons, answer = std::move(answer)] {
        auto* box = new QMessageBox(QMessageBox::Question, {}, {}, QMessageBox::NoButton, window_);
        fillBox(box, title, message);
        box->setObjectName(name);
        box->setAccessibleName(text(title.empty() ? message : title));
        auto answered = std::make_shared<bool>(false);
        for (std::size_t index = 0; index < buttons.size(); ++index) {
            auto* button = box->addButton(text(buttons[index].title), roleOf(buttons[index].style));
            button->setObjectName(QString("bouton%1").arg(index));
            button->setAccessibleName(text(buttons[index].title));
            // Each button answers once with its own index, on the GUI thread (the main loop's).
            QObject::connect(button, &QAbstractButton::clicked, box, [answer, answered, index] {
                if (!*answered && answer) {
                    *answered = true;
                    answer(static_cast<int>(index));
                }
            });
        }
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    });
}

void QtUserInterface::popToRoot() {}

void QtUserInterface::showScreen(const std::string& screen, const std::string& argument) {
    Log::write("Écran " + screen + " (" + argument + ")");
}

void QtUserInterface::queueAnswer(int button) {
    std::lock_guard lock(mutex_);
    queuedAnswers_.push_back(button);
}

void QtUserInterface::showWait(bool withProgressBar) {
    onGuiThread([this, withProgressBar] {
        if (!wait_) {
            wait_ = new QProgressDialog(window_);
            wait_->setObjectName(kWaitName);
            wait_->setAccessibleName("Veuillez patienter");
            wait_->setLabelText("Veuillez patienter…");
            wait_->setCancelButton(nullptr);
            wait_->setWindowModality(Qt::WindowModal);
            wait_->setMinimumDuration(0);
            wait_->setAutoClose(false);
            wait_->setAutoReset(false);
        }
        // An empty range is Qt's busy indicator.
        wait_->setRange(0, withProgressBar ? 100 : 0);
        wait_->setValue(0);
        wait_->show();
    });
}

void QtUserInterface::setWaitProgress(double progress) {
    const int percent = static_cast<int>(std::lround(std::clamp(progress, 0.0, 1.0) * 100));
    onGuiThread([this, percent] {
        if (wait_) {
            wait_->setValue(percent);
        }
    });
}

void QtUserInterface::closeWait() {
    onGuiThread([this] {
        if (wait_) {
            wait_->hide();
        }
    });
}

void QtUserInterface::setNetworkActivityIndicatorVisible(bool visible) {
    onGuiThread([this, visible] {
        if (activity_) {
            activity_->setVisible(visible);
        }
    });
}

} // namespace orvaneh
