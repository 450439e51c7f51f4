#include "Classes/screens/Menu.h"

#include "Classes/screens/Colors.h"
#include "support/TestProfile.h"

#include <gmock/gmock.h>
#include <memory>
#include <optional>
#include <vector>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;

class MenuTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    Menu menu;
    std::vector<int> received;
    int changes = 0;

    void SetUp() override {
        menu.setTarget([this](int tag) { received.push_back(tag); });
        menu.setChangeCallback([this] { ++changes; });
    }
    std::vector<int> highlighted() const {
        std::vector<int> tags;
        for (const auto& entry : menu.entries()) {
            if (menu.backgroundOf(entry.tag) == Menu::kHighlightColor) {
                tags.push_back(entry.tag);
            } else {
                EXPECT_EQ(menu.backgroundOf(entry.tag), Colors::Clear) << entry.tag;
            }
        }
        return tags;
    }
};

TEST_F(MenuTest, EntriesAreStackedWithoutGapOrOverlap) {
    const auto& entries = menu.entries();
    ASSERT_EQ(entries.size(), 5u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(entries[i].title);
        EXPECT_EQ(entries[i].tag, static_cast<int>(i) + 1);
        EXPECT_FALSE(entries[i].title.empty());
        EXPECT_FALSE(entries[i].icon.empty());
        EXPECT_GT(entries[i].frame.height, 0);
        EXPECT_EQ(entries[i].frame.width, Menu::kPanelWidth);
        if (i > 0) {
            EXPECT_EQ(entries[i].frame.y, entries[i - 1].frame.y + entries[i - 1].frame.height);
        }
    }
    // The titles are those of the localisation table, accents and all.
    EXPECT_EQ(entries[Menu::Parametres - 1].title, "Paramètres");
    EXPECT_EQ(entries[Menu::Dictees - 1].title, "Dictées");
}

TEST_F(MenuTest, TouchingAnEntryHighlightsItAloneHandsItOnAndCloses) {
    menu.show();
    ASSERT_TRUE(menu.isShown());
    EXPECT_THAT(highlighted(), ElementsAre());

    menu.touch(Menu::Sites);
    EXPECT_THAT(received, ElementsAre(Menu::Sites));
    EXPECT_THAT(highlighted(), ElementsAre(Menu::Sites));
    EXPECT_FALSE(menu.isShown());

    // Shown again, the section the user is in stays marked until another is touched.
    menu.show();
    EXPECT_THAT(highlighted(), ElementsAre(Menu::Sites));
    menu.touch(Menu::Informations);
    EXPECT_THAT(received, ElementsAre(Menu::Sites, Menu::Informations));
    EXPECT_THAT(highlighted(), ElementsAre(Menu::Informations));
    EXPECT_FALSE(menu.isShown());
    EXPECT_GE(changes, 4);
}

TEST_F(MenuTest, AnUnknownTagReachesTheTargetButHighlightsNothing) {
    menu.show();
    menu.touch(Menu::Workflow);
    for (int tag : {0, 6, -1, 42}) {
        menu.show();
        menu.touch(tag);
        EXPECT_EQ(received.back(), tag);
        EXPECT_THAT(highlighted(), ElementsAre());
        EXPECT_EQ(menu.highlightedTag(), std::nullopt);
        EXPECT_FALSE(menu.isShown());
    }
}

TEST_F(MenuTest, ShowAndCloseSignalOnlyRealChanges) {
    menu.closeMenu();
    EXPECT_EQ(changes, 0);
    menu.show();
    menu.show();
    EXPECT_EQ(changes, 1);
    menu.closeMenu();
    EXPECT_EQ(changes, 2);
}

TEST(MenuLifetimeTest, ATargetMayReleaseTheMenuOrBeMissing) {
    test::TestProfile profile;
    auto menu = std::make_unique<Menu>();
    menu->show();
    int got = 0;
    // The application replaces the whole panel when a section opens.
    menu->setTarget([&](int tag) {
        got = tag;
        menu.reset();
    });
    menu->touch(Menu::Dictees);
    EXPECT_EQ(got, Menu::Dictees);
    EXPECT_EQ(menu, nullptr);

    Menu untargeted;
    untargeted.show();
    untargeted.touch(Menu::Parametres);
    EXPECT_FALSE(untargeted.isShown());
    EXPECT_EQ(untargeted.highlightedTag(), Menu::Parametres);
}

} // namespace
} // namespace orvaneh
