#pragma once

#include "Classes/app/OrvanehAppDelegate.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class MainWindow;
class QtUserInterface;
class RunLoopPump;
class TerminationHandler;

// The desktop program: reads its options (--home), puts the profile in service, pumps the main
// run loop from Qt's, installs the windowed user interface, runs the application's start-up
// with the background sender, then its screens in the main window. A QApplication must exist;
// GUI thread only.
class DesktopApplication {
public:
    DesktopApplication();
    // The window and the pump go first, then the windowed interface is put back to the headless one.
    ~DesktopApplication();
    DesktopApplication(const DesktopApplication&) = delete;
    DesktopApplication& operator=(const DesktopApplication&) = delete;

    // Reads the options, `arguments` without the program name (no QApplication needed, so that
    // --help works without a display). The exit status when the program must stop there: 0
    // after the help, 2 for wrong usage with the French reason on `err`.
    static std::optional<int> readOptions(const std::vector<std::string>& arguments,
                                          std::optional<std::filesystem::path>& home, std::ostream& out,
                                          std::ostream& err);
    // The French reason why no window can open: neither DISPLAY nor WAYLAND_DISPLAY set and no
    // Qt platform chosen (QT_QPA_PLATFORM); Qt would abort. Checked before the QApplication.
    static std::optional<std::string> missingDisplay();
    // Puts the profile at `home` (the default one when none) in service and opens the window.
    // The French reason when the application cannot start; the caller then runs Qt's loop.
    std::optional<std::string> start(const std::optional<std::filesystem::path>& home);

    // The system asks the program to stop (SIGTERM, SIGINT, SIGHUP reach it here, on the GUI
    // thread): the window closes as its close button closes it, keeping a take in progress and
    // unsaved work, then Qt's loop ends.
    void endSession(int signalNumber);

    OrvanehAppDelegate& application() { return application_; }
    MainWindow* window() const { return window_.get(); }
    RunLoopPump* pump() const { return pump_.get(); }

private:
    OrvanehAppDelegate application_;
    std::shared_ptr<QtUserInterface> userInterface_;
    std::unique_ptr<RunLoopPump> pump_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<TerminationHandler> termination_;
};

} // namespace orvaneh
