#pragma once

#include <functional>

namespace orvaneh {

// The base of every screen controller: the navigation-bar buttons it wants, the hook asked
// before the back button closes it, and the change signal its view listens to. Main run
// loop only.
class SuperController {
public:
    virtual ~SuperController() = default;

    virtual bool shouldDisplayBackButton() const { return true; }
    virtual bool shouldDisplayMenuButton() const { return false; }
    // Asked when the back button is touched; the screen closes only on true. A screen that
    // confirms first answers false and closes itself later.
    virtual bool viewShouldBackToParentView() { return true; }
    // The back button: true when the screen may close now.
    bool onBackButton() { return viewShouldBackToParentView(); }

    // Called after every change of what the view shows (empty: nobody listens).
    void setChangeCallback(std::function<void()> callback) { changeCallback_ = std::move(callback); }

protected:
    void changed() const {
        if (changeCallback_) {
            changeCallback_();
        }
    }

private:
    std::function<void()> changeCallback_;
};

} // namespace orvaneh
