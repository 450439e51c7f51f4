#pragma once

#include "App/desktop/DesktopApplication.h"
#include "App/desktop/MainWindow.h"

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <filesystem>
#include <memory>

namespace orvaneh::test {

// The desktop program on a fresh profile directory, for tests that drive its window as a person
// would: by object names, on the offscreen platform, with the core's run loop pumped by Qt's.
class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();

    bool valid() const { return home_->isValid(); }
    std::filesystem::path home() const { return home_->path().toStdString(); }

    // Starts the program on the profile (again, after stop(), as a person reopening it).
    bool start();
    // Closes the window and puts the profile out of service; the directory stays.
    void stop();

    DesktopApplication& desktop() { return *desktop_; }
    MainWindow* window() const { return desktop_ ? desktop_->window() : nullptr; }

    // The window's widget of that object name (a warning when there is none).
    template <class T = QWidget> T* find(const char* name) const {
        auto* widget = window() ? window()->findChild<T*>(name) : nullptr;
        if (!widget) {
            qWarning("no widget named %s", name);
        }
        return widget;
    }
    // The visible message box of that object name ("choix", "question", "alerte"...).
    static QMessageBox* box(const char* name);
    // The view of the screen on top of the navigation.
    QWidget* shownScreen() const;
    // The texts of one column of the dictation list.
    QStringList listColumn(int column) const;

private:
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<DesktopApplication> desktop_;
};

} // namespace orvaneh::test
