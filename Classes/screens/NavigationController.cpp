#include "Classes/screens/NavigationController.h"

#include "Platform/runloop/RunLoop.h"

#include <algorithm>

namespace orvaneh {

NavigationController::~NavigationController() {
    for (const auto& screen : stack_) {
        screen->setCloseHandler(nullptr);
    }
    for (const auto& screen : presented_) {
        screen->setCloseHandler(nullptr);
    }
}

void NavigationController::adopt(const Screen& screen) {
    std::weak_ptr<char> alive = alive_;
    SuperController* raw = screen.get();
    screen->setCloseHandler([this, alive, raw] {
        if (alive.lock()) {
            close(raw);
        }
    });
}

void NavigationController::setRoot(Screen screen) {
    if (!screen) {
        return;
    }
    adopt(screen);
    std::vector<Screen> old;
    old.swap(stack_);
    stack_.push_back(std::move(screen));
    retire(std::move(old));
    changed();
}

void NavigationController::push(Screen screen) {
    if (!screen) {
        return;
    }
    adopt(screen);
    stack_.push_back(std::move(screen));
    changed();
}

bool NavigationController::pop() {
    if (stack_.size() < 2) {
        return false;
    }
    std::vector<Screen> old{stack_.back()};
    stack_.pop_back();
    retire(std::move(old));
    changed();
    return true;
}

bool NavigationController::back() {
    if (stack_.size() < 2) {
        return false;
    }
    // Keeps the screen alive while it decides, even if it closes itself.
    Screen top = stack_.back();
    return top->onBackButton();
}

void NavigationController::popToRoot() {
    if (stack_.size() < 2 && presented_.empty()) {
        return;
    }
    std::vector<Screen> old(stack_.begin() + (stack_.empty() ? 0 : 1), stack_.end());
    if (!stack_.empty()) {
        stack_.resize(1);
    }
    old.insert(old.end(), presented_.begin(), presented_.end());
    presented_.clear();
    retire(std::move(old));
    changed();
}

void NavigationController::present(Screen screen) {
    if (!screen) {
        return;
    }
    adopt(screen);
    presented_.push_back(std::move(screen));
    changed();
}

void NavigationController::dismiss() {
    if (presented_.empty()) {
        return;
    }
    std::vector<Screen> old{presented_.back()};
    presented_.pop_back();
    retire(std::move(old));
    changed();
}

void NavigationController::close(SuperController* screen) {
    auto modal = std::find_if(presented_.begin(), presented_.end(),
                              [screen](const Screen& each) { return each.get() == screen; });
    if (modal != presented_.end()) {
        std::vector<Screen> old{*modal};
        presented_.erase(modal);
        retire(std::move(old));
        changed();
        return;
    }
    auto found = std::find_if(stack_.begin(), stack_.end(),
                              [screen](const Screen& each) { return each.get() == screen; });
    // The root stays: the window always shows a screen.
    if (found == stack_.end() || found == stack_.begin()) {
        return;
    }
    std::vector<Screen> old{*found};
    stack_.erase(found);
    retire(std::move(old));
    changed();
}

void NavigationController::retire(std::vector<Screen> screens) {
    if (screens.empty()) {
        return;
    }
    for (const auto& screen : screens) {
        screen->setCloseHandler(nullptr);
    }
    RunLoop::main().post([screens = std::move(screens)] {});
}

void NavigationController::changed() const {
    if (changeCallback_) {
        changeCallback_();
    }
}

} // namespace orvaneh
