#include "Classes/screens/AboutController.h"

#include "Platform/files/Resources.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"

#include <array>
#include <system_error>

namespace orvaneh {

namespace {

struct TabDefinition {
    const char* titleKey;
    const char* title;
    const char* pageKey;
    const char* page; // under resources/info
};

constexpr std::array<TabDefinition, AboutController::kTabCount> kTabs{{
    {"INFORMATION_VIEW_TAB_ABOUT", "A PROPOS", "INFO_ABOUT_URL", "a-propos.html"},
    {"INFORMATION_VIEW_TAB_EULA", "CLUF", "INFO_CLUF_URL", "licence.html"},
    {"INFORMATION_VIEW_TAB_HELP", "AIDE", "INFO_HELP_URL", "aide.html"},
}};

bool isTab(int index) {
    return index >= 0 && index < AboutController::kTabCount;
}

} // namespace

std::string AboutController::title() const {
    return localized("INFORMATION_VIEW_TITLE", "Informations");
}

std::vector<std::string> AboutController::tabTitles() const {
    std::vector<std::string> titles;
    for (const auto& tab : kTabs) {
        titles.push_back(localized(tab.titleKey, tab.title));
    }
    return titles;
}

void AboutController::selectTab(int index) {
    if (!isTab(index)) {
        Log::write("Écran d'informations : onglet inconnu " + std::to_string(index) + ", ignoré");
        return;
    }
    if (index != selectedTab_) {
        selectedTab_ = index;
        changed();
    }
}

std::string AboutController::pageUrlOfTab(int index) {
    if (!isTab(index)) {
        return {};
    }
    const auto& tab = kTabs[static_cast<std::size_t>(index)];
    const std::string page = localized(tab.pageKey, tab.page);
    if (page.find("://") != std::string::npos) {
        return page;
    }
    const std::filesystem::path path(page);
    return fileUrl(path.is_absolute() ? path : Resources::path("info") / path);
}

std::string AboutController::fileUrl(const std::filesystem::path& path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
    std::string url = "file://";
    for (unsigned char c : absolute.lexically_normal().string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0x0F];
        }
    }
    return url;
}

} // namespace orvaneh
