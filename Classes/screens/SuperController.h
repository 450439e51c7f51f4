#pragma once

#include <functional>
#include <string>

namespace orvaneh {

// The base of every screen controller: the navigation-bar buttons it wants, the hook asked
// before the back button closes it, the wait overlay, and the change signal its view listens
// to. A view draws a controller from what it exposes and calls it back; it holds no rule of
// its own. Main run loop only.
class SuperController {
public:
    static constexpr const char* kBackButtonImage = "exit";
    static constexpr const char* kMenuButtonImage = "menuIcon";

    virtual ~SuperController() = default;

    // The name of the screen, as views and logs know it (the interface file's name).
    virtual std::string screenName() const = 0;
    // The title of the navigation bar.
    virtual std::string title() const { return {}; }

    virtual bool shouldDisplayBackButton() const { return true; }
    // The menu button opens the application's main menu.
    virtual bool shouldDisplayMenuButton() const { return false; }
    // Asked when the back button is touched; the screen closes only on true. A screen that
    // confirms first answers false and closes itself later with cancel().
    virtual bool viewShouldBackToParentView() { return true; }
    // The back button: closes the screen when viewShouldBackToParentView allows it. True when
    // it was closed.
    bool onBackButton();
    // Closes the screen now (the navigation it belongs to removes it); nothing when it was
    // not shown by a navigation.
    void cancel();

    // The wait overlay (a box with a spinning indicator over the whole window).
    void showWaitMessage();
    void hideWaitMessage();
    bool waitMessageShown() const { return waitMessageShown_; }

    // Called after every change of what the view shows (empty: nobody listens).
    void setChangeCallback(std::function<void()> callback) { changeCallback_ = std::move(callback); }
    // Set by the navigation that shows the screen: how the screen closes itself.
    void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

protected:
    void changed() const {
        if (changeCallback_) {
            changeCallback_();
        }
    }

private:
    std::function<void()> changeCallback_;
    std::function<void()> closeHandler_;
    bool waitMessageShown_ = false;
};

} // namespace orvaneh
