#include "Classes/core/Tools.h"

#include "Classes/core/FileManagerHelper.h"
#include "support/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace orvaneh {
namespace {

TEST(ToolsTest, DocumentsDirectoryHasNoTrailingSlashAndDeletingIsQuiet) {
    test::TestProfile profile;
    EXPECT_EQ(FileManagerHelper::getPathForFileName("/1.wav"), profile.documents().string() + "/1.wav");
    Profile::install(Profile(profile.home() / "Documents/", profile.home() / "config"));
    EXPECT_EQ(Tools::documentsDirectory(), (profile.home() / "Documents").string());
    Profile::install(profile.profile());

    auto path = profile.writeDocument("a.txt");
    Tools::deleteFileAtPath(path.string());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NO_THROW(Tools::deleteFileAtPath(path.string()));
}

TEST(ToolsTest, DatesFollowTheProcessClock) {
    test::TestProfile profile;
    profile.clock().advance(Seconds(1.5));
    EXPECT_DOUBLE_EQ(Tools::unixTsInSeconds(),
                     std::chrono::duration<double>(VirtualClock::defaultStart().time_since_epoch()).count() +
                         1.5);
    test::ScopedTimeZone paris("Europe/Paris");
    // The virtual clock starts at 2026-01-15 09:00:00 UTC; 1.5 s later, 10:00:01 in Paris.
    EXPECT_EQ(Tools::getDateStrForFormat("dd/MM/yyyy HH:mm:ss"), "15/01/2026 10:00:01");
}

TEST(ToolsTest, TimeIntervalToString) {
    const std::pair<double, const char*> cases[] = {{0, "0:00"},     {59.99, "0:59"}, {75.9, "1:15"},
                                                    {3600, "60:00"}, {-5, "0:00"},    {std::nan(""), "0:00"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(Tools::timeIntervalToString(seconds), text) << seconds;
    }
    EXPECT_FALSE(Tools::timeIntervalToString(std::numeric_limits<double>::infinity()).empty());
}

TEST(ToolsTest, ParseJsonNeverThrowsAndLimitsTheDepth) {
    EXPECT_EQ(Tools::parseJSON("\"[[[\\\"[[\""), Json("[[[\"[["));
    for (std::string text : {"", "{", "[1,]", "{\"a\" 1}", "\"\xFF\"", "nul"}) {
        EXPECT_FALSE(Tools::parseJSON(text).has_value()) << text;
    }
    // Depth is limited; brackets inside strings do not count towards it.
    EXPECT_FALSE(Tools::parseJSON(std::string(100000, '[')).has_value());
    EXPECT_FALSE(Tools::parseJSON(std::string(513, '[') + std::string(513, ']')).has_value());
    EXPECT_TRUE(Tools::parseJSON(std::string(512, '[') + std::string(512, ']')).has_value());
    EXPECT_TRUE(Tools::parseJSON("[\"" + std::string(100000, '[') + "\"]").has_value());
}

TEST(ToolsTest, MessagesGoThroughTheUserInterface) {
    test::TestProfile profile;
    Tools::displayAlertViewWithMessage("Envoi terminé", "Titre caché");
    profile.ui().queueAnswer(1);
    std::pair<int, int> answered{-1, -1};
    Tools::displayAlertViewWithConfirm("Supprimer ?", "Attention", 7, [&](int tag, int button) {
        answered = {tag, button};
    });
    EXPECT_EQ(profile.ui().messages("banner"), std::vector<std::string>{"Envoi terminé"});
    EXPECT_EQ(profile.ui().messages("confirmation"), std::vector<std::string>{"Supprimer ?"});
    EXPECT_EQ(answered, (std::pair<int, int>{7, 1}));
}

} // namespace
} // namespace orvaneh
