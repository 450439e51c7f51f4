#pragma once

#include "Classes/screens/SuperController.h"

#include <filesystem>
#include <string>
#include <vector>

namespace orvaneh {

// The information screen: three tabs (about, end-user licence, help), each showing one page.
// The pages are our own HTML files in resources/info; a localisation table may name other
// pages (a URL, or a file name under resources/info). The view draws the title, the tab
// titles with the selected one marked, and loads pageUrl(). Main run loop only.
class AboutController : public SuperController {
public:
    enum Tab { About = 0, Licence = 1, Help = 2 };
    static constexpr int kTabCount = 3;

    std::string screenName() const override { return "AboutController"; }
    std::string title() const override;
    bool shouldDisplayMenuButton() const override { return true; }

    std::vector<std::string> tabTitles() const;
    // Another tab; an index that is no tab is ignored.
    void selectTab(int index);
    int selectedTab() const { return selectedTab_; }
    // The page of the selected tab, as a URL the view loads.
    std::string pageUrl() const { return pageUrlOfTab(selectedTab_); }
    static std::string pageUrlOfTab(int index);

    // "file://" and the absolute path, with the characters a URL cannot hold escaped.
    static std::string fileUrl(const std::filesystem::path& path);

private:
    int selectedTab_ = About;
};

} // namespace orvaneh
