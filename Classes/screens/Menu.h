#pragma once

#include "Classes/screens/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The slide-out main menu: the logo and the five entries that lead to the application's
// sections. Touching an entry highlights it, hands its tag to the target (the application
// object, which opens the section) and closes the menu. The view draws the logo, each entry's
// title, icon, frame and background, and shows or hides the panel after each change.
// Main run loop only.
class Menu {
public:
    enum Tag { Dictees = 1, Workflow = 2, Sites = 3, Parametres = 4, Informations = 5 };

    struct Entry {
        int tag = 0;
        std::string title;
        std::string icon; // image name
        Rect frame;       // in the panel
    };

    static constexpr const char* kLogoImage = "logo_menu";
    static constexpr double kPanelWidth = 260;
    static constexpr double kFirstEntryTop = 205;
    static constexpr double kEntryHeight = 40;
    // The background of the entry touched last: white at 0.9, barely visible over the panel.
    static constexpr Color kHighlightColor = {0.9, 0.9, 0.9, 0.2};

    Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::vector<Entry>& entries() const { return entries_; }
    // The background of the entry with that tag: the highlight, or clear.
    Color backgroundOf(int tag) const;
    std::optional<int> highlightedTag() const { return highlighted_; }

    // Who receives the touched tags.
    void setTarget(std::function<void(int tag)> target) { target_ = std::move(target); }
    // An entry touched: highlighted, its tag handed to the target, the menu closed. A tag that
    // is no entry still reaches the target (which logs it) but highlights nothing.
    void touch(int tag);

    void show();
    void closeMenu();
    bool isShown() const { return shown_; }

    // Called after every change of what the view shows.
    void setChangeCallback(std::function<void()> callback) { changeCallback_ = std::move(callback); }

private:
    std::vector<Entry> entries_;
    std::optional<int> highlighted_;
    bool shown_ = false;
    std::function<void(int)> target_;
    std::function<void()> changeCallback_;
    // The target may destroy the menu: touch() checks this before closing.
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    void changed() const;
};

} // namespace orvaneh
