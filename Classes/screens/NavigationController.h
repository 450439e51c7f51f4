#pragma once

#include "Classes/screens/SuperController.h"

#include <functional>
#include <memory>
#include <vector>

namespace orvaneh {

// The stack of screens the window shows, the dictation list at its root, and the screens
// presented modally over it (a picker may be presented over a parameter screen). A screen taken off the stack
// is released on a later turn of the main run loop, so a screen may close itself (or return to the root) from
// inside one of its own methods. Main run loop only.
class NavigationController {
public:
    using Screen = std::shared_ptr<SuperController>;

    NavigationController() = default;
    ~NavigationController();
    NavigationController(const NavigationController&) = delete;
    NavigationController& operator=(const NavigationController&) = delete;

    // Makes `screen` the only one on the stack.
    void setRoot(Screen screen);
    void push(Screen screen);
    // True when the screen on top is a T (or derives from it).
    template <class T> bool topIs() const {
        return !stack_.empty() && dynamic_cast<const T*>(stack_.back().get()) != nullptr;
    }
    // Takes the top screen off, never the root. False when only the root is left.
    bool pop();
    // The back button of the top screen: it closes only when it allows it.
    bool back();
    void popToRoot();

    // A screen shown modally over the stack and over those presented before it.
    void present(Screen screen);
    // Takes the top presented screen off.
    void dismiss();
    // The top presented screen, or none.
    Screen presented() const { return presented_.empty() ? nullptr : presented_.back(); }
    const std::vector<Screen>& presentedScreens() const { return presented_; }

    Screen top() const { return stack_.empty() ? nullptr : stack_.back(); }
    Screen root() const { return stack_.empty() ? nullptr : stack_.front(); }
    const std::vector<Screen>& screens() const { return stack_; }

    // Called after every change of the stack or of the presented screen.
    void setChangeCallback(std::function<void()> callback) { changeCallback_ = std::move(callback); }

private:
    std::vector<Screen> stack_;
    std::vector<Screen> presented_;
    std::function<void()> changeCallback_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    void adopt(const Screen& screen);
    // Removes `screen` wherever it is (a screen closing itself).
    void close(SuperController* screen);
    // Releases the screens later, on the main run loop.
    static void retire(std::vector<Screen> screens);
    void changed() const;
};

} // namespace orvaneh
