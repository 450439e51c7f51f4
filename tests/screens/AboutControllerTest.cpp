#include "Classes/screens/AboutController.h"

#include "Platform/files/Resources.h"
#include "Platform/localisation/Localization.h"
#include "support/CliProcess.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gmock/gmock.h>
#include <set>
#include <sstream>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// The path a file URL names, its escapes decoded.
std::string pathOfFileUrl(const std::string& url) {
    std::string path;
    for (std::size_t i = std::string("file://").size(); i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            path += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += url[i];
        }
    }
    return path;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// Well-formed UTF-8: no stray continuation bytes, no overlong or truncated sequences.
bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80                        ? 1
                                   : (c >> 5) == 0x6 && c >= 0xC2  ? 2
                                   : (c >> 4) == 0xE               ? 3
                                   : (c >> 3) == 0x1E && c <= 0xF4 ? 4
                                                                   : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

class AboutControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    AboutController screen;
};

TEST_F(AboutControllerTest, EveryTabShowsOneOfOurPagesInFrench) {
    const auto titles = screen.tabTitles();
    ASSERT_EQ(titles.size(), static_cast<std::size_t>(AboutController::kTabCount));
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), titles.size());
    EXPECT_EQ(screen.title(), "Informations");

    std::set<std::string> pages;
    for (int tab = 0; tab < AboutController::kTabCount; ++tab) {
        SCOPED_TRACE(titles[static_cast<std::size_t>(tab)]);
        screen.selectTab(tab);
        EXPECT_EQ(screen.selectedTab(), tab);
        const std::string url = screen.pageUrl();
        ASSERT_THAT(url, StartsWith("file:///"));
        const std::string page = contentsOf(pathOfFileUrl(url));
        ASSERT_FALSE(page.empty()) << url;
        EXPECT_TRUE(isUtf8(page));
        EXPECT_THAT(page, HasSubstr("<html lang=\"fr\">"));
        EXPECT_THAT(page, HasSubstr("<meta charset=\"utf-8\">"));
        EXPECT_THAT(page, Not(HasSubstr("@PROJECT_"))) << "a placeholder left unfilled";
        pages.insert(page);
    }
    EXPECT_EQ(pages.size(), 3u);
}

TEST_F(AboutControllerTest, TheAboutPageCarriesTheProgramsVersion) {
    const auto version = test::runCli(profile.home(), {"--version"});
    ASSERT_EQ(version.status, 0);
    const std::string number =
        version.out.substr(version.out.rfind(' ') + 1, version.out.find('\n') - version.out.rfind(' ') - 1);
    ASSERT_FALSE(number.empty());
    const std::string page = contentsOf(pathOfFileUrl(AboutController::pageUrlOfTab(AboutController::About)));
    EXPECT_THAT(page, HasSubstr("Version " + number + "<"));
}

TEST_F(AboutControllerTest, ATabThatDoesNotExistChangesNothing) {
    screen.selectTab(AboutController::Help);
    int changes = 0;
    screen.setChangeCallback([&] { ++changes; });
    for (int tab : {-1, AboutController::kTabCount, 99}) {
        screen.selectTab(tab);
        EXPECT_EQ(AboutController::pageUrlOfTab(tab), "");
    }
    screen.selectTab(AboutController::Help);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(screen.selectedTab(), AboutController::Help);
}

TEST_F(AboutControllerTest, ALocalisationTableMayNameOtherPages) {
    test::TemporaryDirectory directory;
    const auto table = directory.path() / "fr.json";
    std::ofstream(table) << R"({"INFO_ABOUT_URL": "https://exemple.fr/a-propos",
                                "INFO_CLUF_URL": "licence pro.html",
                                "INFO_HELP_URL": ")"
                         << (directory.path() / "aide été.html").string() << R"("})";
    ASSERT_TRUE(Localization::loadTable(table));
    EXPECT_EQ(AboutController::pageUrlOfTab(AboutController::About), "https://exemple.fr/a-propos");
    // A name is looked for among our pages, escaped as a URL must be.
    const std::string licence = AboutController::pageUrlOfTab(AboutController::Licence);
    EXPECT_THAT(licence, HasSubstr("/info/licence%20pro.html"));
    EXPECT_EQ(pathOfFileUrl(licence),
              (Resources::path("info") / "licence pro.html").lexically_normal().string());
    const std::string help = AboutController::pageUrlOfTab(AboutController::Help);
    EXPECT_THAT(help, HasSubstr("/aide%20%C3%A9t%C3%A9.html"));
    EXPECT_EQ(pathOfFileUrl(help), (directory.path() / "aide été.html").string());
    Localization::loadDefaultTable();
}

} // namespace
} // namespace orvaneh
