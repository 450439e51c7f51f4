#include "Classes/screens/Menu.h"

#include "Classes/screens/Colors.h"
#include "Platform/localisation/Localization.h"

#include <algorithm>

namespace orvaneh {

Menu::Menu() {
    struct Definition {
        Tag tag;
        const char* key;
        const char* title;
        const char* icon;
    };
    static constexpr Definition definitions[] = {
        {Dictees, "MENU_DICTEES", "Dictées", "menuDictees"},
        {Workflow, "MENU_WORKFLOW", "Workflow", "menuWorkflow"},
        {Sites, "MENU_SITES", "Sites", "menuSites"},
        {Parametres, "MENU_PARAMETRES", "Paramètres", "menuParametres"},
        {Informations, "MENU_INFORMATIONS", "Informations", "menuInformations"},
    };
    double top = kFirstEntryTop;
    for (const auto& definition : definitions) {
        entries_.push_back({definition.tag, localized(definition.key, definition.title), definition.icon,
                            Rect{0, top, kPanelWidth, kEntryHeight}});
        top += kEntryHeight;
    }
}

Color Menu::backgroundOf(int tag) const {
    return highlighted_ == tag ? kHighlightColor : Colors::Clear;
}

void Menu::touch(int tag) {
    const bool known =
        std::any_of(entries_.begin(), entries_.end(), [tag](const Entry& entry) { return entry.tag == tag; });
    highlighted_ = known ? std::optional<int>(tag) : std::nullopt;
    changed();
    const std::weak_ptr<char> alive = alive_;
    if (auto target = target_) {
        target(tag);
    }
    if (alive.lock()) {
        closeMenu();
    }
}

void Menu::show() {
    if (!shown_) {
        shown_ = true;
        changed();
    }
}

void Menu::closeMenu() {
    if (shown_) {
        shown_ = false;
        changed();
    }
}

void Menu::changed() const {
    if (changeCallback_) {
        changeCallback_();
    }
}

} // namespace orvaneh
